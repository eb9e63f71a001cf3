# Lays out the archive's sources/ folder: the library tree (without the test
# or tool folders), its build description as library.cmake, and a top-level
# CMakeLists.txt that builds Tarvo_Unit.so from them alone.
#   cmake -DSOURCE_DIR=<repo>/src -DTOP_LEVEL=<CMakeLists.txt> -DDESTINATION=<sources> -P stage_sources.cmake
file(REMOVE_RECURSE "${DESTINATION}")
file(GLOB_RECURSE files RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/*")
foreach(file IN LISTS files)
  if(file STREQUAL "CMakeLists.txt")
    configure_file("${SOURCE_DIR}/${file}" "${DESTINATION}/library.cmake" COPYONLY)
  else()
    configure_file("${SOURCE_DIR}/${file}" "${DESTINATION}/${file}" COPYONLY)
  endif()
endforeach()
configure_file("${TOP_LEVEL}" "${DESTINATION}/CMakeLists.txt" COPYONLY)
