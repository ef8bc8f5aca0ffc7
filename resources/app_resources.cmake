# Icons, install glyph, logo and manifest: compiled from app.rc into quorvex_resources (Windows only;
# the host build has no resources of this kind).
if(WIN32)
    set(_quorvex_rc "${CMAKE_CURRENT_LIST_DIR}/app.rc")
    target_sources(quorvex_resources PRIVATE "${_quorvex_rc}")
    # windres looks for the files named in the .rc in its include directories.
    set_property(SOURCE "${_quorvex_rc}" APPEND PROPERTY COMPILE_OPTIONS "-I${CMAKE_CURRENT_LIST_DIR}")
    # CMake does not scan .rc files for the files they embed; name them so a change recompiles.
    set_property(SOURCE "${_quorvex_rc}" APPEND PROPERTY OBJECT_DEPENDS
        "${CMAKE_CURRENT_LIST_DIR}/images/app.ico"
        "${CMAKE_CURRENT_LIST_DIR}/images/window.ico"
        "${CMAKE_CURRENT_LIST_DIR}/images/install-glyph.ico"
        "${CMAKE_CURRENT_LIST_DIR}/widget/logo_117.png"
        "${CMAKE_CURRENT_LIST_DIR}/app.manifest")
    unset(_quorvex_rc)
endif()
