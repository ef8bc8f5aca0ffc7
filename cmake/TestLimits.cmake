# No test times the program. A test's limit (TIMEOUT) only catches a hang: at least three times
# what it takes on a machine twice as slow as the development machine, under the load of a full
# run. quorvex_test_limit sets it, stretched by QUORVEX_TEST_TIME_FACTOR (a whole number) from the
# environment the tree is configured in, and hands the same factor to the waits inside the test
# (tests/time-limits.sh, tests/time_limits.h).
set(QUORVEX_TEST_TIME_FACTOR "$ENV{QUORVEX_TEST_TIME_FACTOR}")
if(NOT QUORVEX_TEST_TIME_FACTOR MATCHES "^[1-9][0-9]*$")
    set(QUORVEX_TEST_TIME_FACTOR 1)
endif()
# quorvex_test_limit(SECONDS TEST...)
function(quorvex_test_limit seconds)
    get_property(shared DIRECTORY PROPERTY quorvex_wine_slots_shared)
    if(CMAKE_CROSSCOMPILING AND NOT shared)
        set_property(DIRECTORY PROPERTY quorvex_wine_slots_shared TRUE)
        cmake_language(DEFER CALL quorvex_share_wine_slots)
    endif()
    math(EXPR stretched "${seconds} * ${QUORVEX_TEST_TIME_FACTOR}")
    foreach(test IN LISTS ARGN)
        set_tests_properties(${test} PROPERTIES TIMEOUT ${stretched})
        set_property(TEST ${test} APPEND PROPERTY ENVIRONMENT
                     QUORVEX_TEST_TIME_FACTOR=${QUORVEX_TEST_TIME_FACTOR})
    endforeach()
endfunction()
# The same for GoogleTest cases found at test time: quorvex_gtest_limit(VAR SECONDS) puts the
# properties in VAR, for gtest_discover_tests(... PROPERTIES ${VAR}).
function(quorvex_gtest_limit var seconds)
    math(EXPR stretched "${seconds} * ${QUORVEX_TEST_TIME_FACTOR}")
    set(${var} TIMEOUT ${stretched} ENVIRONMENT
        QUORVEX_TEST_TIME_FACTOR=${QUORVEX_TEST_TIME_FACTOR} PARENT_SCOPE)
endfunction()
# scripts/test.sh runs two tests for each free core: most of them wait on Wine, timers and other
# processes. A test that keeps a core busy takes both of that core's (PROCESSORS 2).
set(quorvex_a_core PROCESSORS 2)
# In the Windows tree the tests that start Wine share that count between them (the "wine"
# resource of the file scripts/test.sh writes), as many of them as PROCESSORS says; their
# programs wait on each other and on timers, and run slower beside a busy compiler than the
# compiler is worth. A test marked quorvex_beside_wine starts no Wine: it runs in one slot more
# that the pass gets, at the lowest priority (nice 19), on what Wine's tests leave of the cores.
# (Run without that file, ctest ignores the resource, and every test counts as before.)
set(quorvex_beside_wine LABELS beside-wine)
# The tests of the current folder take their slots; quorvex_test_limit has it called once per
# folder of the Windows tree, at the folder's end, when every test there has its properties.
function(quorvex_share_wine_slots)
    get_property(tests DIRECTORY PROPERTY TESTS)
    foreach(test IN LISTS tests)
        get_test_property(${test} LABELS labels)
        if(NOT "beside-wine" IN_LIST labels)
            get_test_property(${test} PROCESSORS processors)
            if(NOT processors)
                set(processors 1)
            endif()
            set_tests_properties(${test} PROPERTIES RESOURCE_GROUPS "wine:${processors}")
        endif()
    endforeach()
endfunction()
# The signing tests' certificate profiles (tests/signing/signing_support.h): their keys are the
# costly part, so every host tree of this checkout shares one folder of them, under a lock.
set(QUORVEX_TEST_PROFILES "${CMAKE_SOURCE_DIR}/build/test-profiles" CACHE PATH
    "Where the signing tests keep the profiles they make")
