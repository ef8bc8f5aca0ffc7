# Warnings and sanitizers for the project's own targets (not for third-party code).
function(quorvex_target target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
    target_include_directories(${target} PUBLIC "${PROJECT_SOURCE_DIR}")
    if(WIN32)
        # Every Win32 call is a W variant; UNICODE makes the unsuffixed macros pick them too.
        target_compile_definitions(${target} PUBLIC UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
                                                    _WIN32_WINNT=0x0A00 WINVER=0x0A00)
    endif()
    if(QUORVEX_SANITIZE AND NOT WIN32)
        target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer
                                                 -fno-sanitize-recover=all)
        target_link_options(${target} PUBLIC -fsanitize=address,undefined)
    endif()
endfunction()

# A header-only library from Debian's /usr/include as an INTERFACE target. The MinGW compiler must
# not search all of /usr/include (glibc's headers), so it gets a folder holding links to just the
# library's own headers.
#   quorvex_header_library(TARGET HEADER ENTRY...)  e.g. (quorvex_json nlohmann/json.hpp nlohmann)
function(quorvex_header_library target header)
    find_path(${target}_INCLUDE_DIR ${header} PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
    set(include "${${target}_INCLUDE_DIR}")
    if(CMAKE_CROSSCOMPILING)
        set(include "${CMAKE_BINARY_DIR}/header-links/${target}")
        file(MAKE_DIRECTORY "${include}")
        foreach(entry IN LISTS ARGN)
            if(NOT EXISTS "${include}/${entry}")
                file(CREATE_LINK "${${target}_INCLUDE_DIR}/${entry}" "${include}/${entry}" SYMBOLIC)
            endif()
        endforeach()
    endif()
    add_library(${target} INTERFACE)
    target_include_directories(${target} SYSTEM INTERFACE "${include}")
endfunction()
