# Lays out the archive's sources/ folder: the library tree with the boundary
# of the archive's FMI version only (fmi2/ or fmi3/), its build description
# as library.cmake, and a top-level CMakeLists.txt that builds Tarvo_Unit.so
# from them alone; an FMI 3.0 archive's sources also carry the build
# description that FMI 3.0 hosts read, buildDescription.xml. With
# COS_SIN=portable the sources select the unit's own correctly rounded cos
# and sin, whoever compiles them and with whatever flags.
#   cmake -DSOURCE_DIR=<repo>/src -DTOP_LEVEL=<CMakeLists.txt> -DDESTINATION=<sources>
#         -DBOUNDARY=fmi2|fmi3 [-DBUILD_DESCRIPTION=<buildDescription.xml>]
#         [-DCOS_SIN=c-library|portable] -P stage_sources.cmake
if(BOUNDARY STREQUAL "fmi2")
  set(other_boundary fmi3)
elseif(BOUNDARY STREQUAL "fmi3")
  set(other_boundary fmi2)
else()
  message(FATAL_ERROR "BOUNDARY must be fmi2 or fmi3, not ${BOUNDARY}")
endif()
file(REMOVE_RECURSE "${DESTINATION}")
file(GLOB_RECURSE files RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/*")
list(FILTER files EXCLUDE REGEX "^${other_boundary}/")
foreach(file IN LISTS files)
  if(file STREQUAL "CMakeLists.txt")
    configure_file("${SOURCE_DIR}/${file}" "${DESTINATION}/library.cmake" COPYONLY)
  else()
    configure_file("${SOURCE_DIR}/${file}" "${DESTINATION}/${file}" COPYONLY)
  endif()
endforeach()
configure_file("${TOP_LEVEL}" "${DESTINATION}/CMakeLists.txt" COPYONLY)
if(DEFINED BUILD_DESCRIPTION)
  configure_file("${BUILD_DESCRIPTION}" "${DESTINATION}/buildDescription.xml" COPYONLY)
endif()

if(COS_SIN STREQUAL "portable")
  set(choice "${DESTINATION}/trig/cos_sin_choice.h")
  file(READ "${choice}" text)
  string(REPLACE "#define TARVO_PORTABLE_COS_SIN 0" "#define TARVO_PORTABLE_COS_SIN 1" portable "${text}")
  if(portable STREQUAL text)
    message(FATAL_ERROR "${choice}: no choice of cos and sin to make portable")
  endif()
  file(WRITE "${choice}" "${portable}")
elseif(DEFINED COS_SIN AND NOT COS_SIN STREQUAL "c-library")
  message(FATAL_ERROR "COS_SIN must be c-library or portable, not ${COS_SIN}")
endif()
