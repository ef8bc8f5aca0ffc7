# The sample widget package: the default WGTFILE payload (QUORVEX_WIDGET_PACKAGE empty). Built in
# both presets; pack-widget.sh signs the files with a throwaway key and zips them.
set(_quorvex_widget_dir "${CMAKE_CURRENT_LIST_DIR}")
set(QUORVEX_SAMPLE_WIDGET "${CMAKE_BINARY_DIR}/payloads/Quorvex.wgt")

foreach(_tool bash zip openssl)
    find_program(QUORVEX_${_tool}_PROGRAM ${_tool})
    if(NOT QUORVEX_${_tool}_PROGRAM)
        message(FATAL_ERROR "The sample widget package needs '${_tool}' (scripts/setup.sh installs it)")
    endif()
endforeach()

set(_quorvex_widget_sources
    "${_quorvex_widget_dir}/config.xml"
    "${_quorvex_widget_dir}/index.html"
    "${_quorvex_widget_dir}/css/style.css"
    "${_quorvex_widget_dir}/js/main.js"
    "${_quorvex_widget_dir}/logo_117.png")

add_custom_command(
    OUTPUT "${QUORVEX_SAMPLE_WIDGET}"
    COMMAND "${QUORVEX_bash_PROGRAM}" "${_quorvex_widget_dir}/pack-widget.sh" "${_quorvex_widget_dir}"
            "${QUORVEX_SAMPLE_WIDGET}" "${CMAKE_CURRENT_BINARY_DIR}/widget"
    DEPENDS ${_quorvex_widget_sources} "${_quorvex_widget_dir}/pack-widget.sh"
    COMMENT "Packing the sample widget Quorvex.wgt"
    VERBATIM)
add_custom_target(quorvex_sample_widget ALL DEPENDS "${QUORVEX_SAMPLE_WIDGET}")

if(NOT WIN32)
    # The package as the simulated TV reads it; the second test breaks copies of it on purpose.
    add_test(NAME sample_widget_package
             COMMAND "${QUORVEX_bash_PROGRAM}" "${_quorvex_widget_dir}/check-widget.sh" "${QUORVEX_SAMPLE_WIDGET}")
    add_test(NAME sample_widget_check_catches_faults
             COMMAND "${QUORVEX_bash_PROGRAM}" "${_quorvex_widget_dir}/test-check-widget.sh"
                     "${QUORVEX_SAMPLE_WIDGET}")
    # Scripts over the package: nothing the sanitizer pass adds to.
    set_tests_properties(sample_widget_package sample_widget_check_catches_faults PROPERTIES
                         LABELS plain)
    quorvex_test_limit(120 sample_widget_package sample_widget_check_catches_faults)
endif()

unset(_quorvex_widget_sources)
