# The program's version, set in one place: project(VERSION) in the top-level CMakeLists, or
# QUORVEX_VERSION, which the release command (scripts/release.sh) passes. It reaches the exe's
# version resource (resources/version.rc.in) and the release's file names.
#   QUORVEX_VERSION_TEXT    the version as given: 1.2.0 or 1.2.0.7
#   QUORVEX_VERSION_COMMAS  four numbers for VERSIONINFO: 1,2,0,0 or 1,2,0,7
set(QUORVEX_VERSION "" CACHE STRING
    "The program's version: three or four numbers (1.2.0, 1.2.0.7); empty: project()'s VERSION")

set(QUORVEX_VERSION_TEXT "${QUORVEX_VERSION}")
if(QUORVEX_VERSION_TEXT STREQUAL "")
    set(QUORVEX_VERSION_TEXT "${PROJECT_VERSION}")
endif()
# Each number is a 16-bit field of VERSIONINFO; no leading zeros, so that the text and the
# numbers Windows shows are the same.
set(_number "(0|[1-9][0-9]?[0-9]?[0-9]?[0-9]?)")
if(NOT QUORVEX_VERSION_TEXT MATCHES "^${_number}\\.${_number}\\.${_number}(\\.${_number})?$")
    message(FATAL_ERROR "QUORVEX_VERSION '${QUORVEX_VERSION_TEXT}': three or four numbers "
                        "separated by dots, each 0-65535, e.g. 1.2.0 or 1.2.0.7")
endif()
string(REPLACE "." ";" _parts "${QUORVEX_VERSION_TEXT}")
list(LENGTH _parts _count)
if(_count EQUAL 3)
    list(APPEND _parts 0)
endif()
foreach(_part IN LISTS _parts)
    if(_part GREATER 65535)
        message(FATAL_ERROR "QUORVEX_VERSION '${QUORVEX_VERSION_TEXT}': ${_part} is over 65535")
    endif()
endforeach()
list(JOIN _parts "," QUORVEX_VERSION_COMMAS)
unset(_number)
unset(_parts)
unset(_count)
unset(_part)
