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
