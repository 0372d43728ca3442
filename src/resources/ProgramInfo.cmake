# SPDX-License-Identifier: MIT
# wydrukid95_program_info(TARGET DESCRIPTION): compiles version information (the project's
# version, the product name and DESCRIPTION) and the program manifest into a Windows program.
function(wydrukid95_program_info target description)
  string(REPLACE "." ";" _parts ${WYDRUKI_VERSION})
  list(GET _parts 0 INFO_MAJOR)
  list(GET _parts 1 INFO_MINOR)
  list(GET _parts 2 INFO_PATCH)
  set(INFO_VERSION ${WYDRUKI_VERSION})
  set(INFO_NAME ${target})
  set(INFO_FILE ${target}.exe)
  set(INFO_DESCRIPTION "${description}")
  set(INFO_MANIFEST ${PROJECT_SOURCE_DIR}/src/resources/wydrukid95.manifest)
  set(_rc ${CMAKE_BINARY_DIR}/resources/${target}-info.rc)
  configure_file(${PROJECT_SOURCE_DIR}/src/resources/ProgramInfo.rc.in ${_rc} @ONLY)
  target_sources(${target} PRIVATE ${_rc})
  # windres does not see the manifest as a dependency of the script.
  set_property(SOURCE ${_rc} APPEND PROPERTY OBJECT_DEPENDS ${INFO_MANIFEST})
endfunction()
