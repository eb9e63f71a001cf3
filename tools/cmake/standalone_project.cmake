# What every project built on its own beside the main build sets first (the
# fuzz targets, the unit with plain pairs, the trace tool for another
# platform): C++17 without extensions, a build type when none is given, and
# warnings as errors when asked for, as the main build does.
#   include(<repo>/tools/cmake/standalone_project.cmake)
#   tarvo_standalone_project(DEFAULT_BUILD_TYPE)
macro(tarvo_standalone_project default_build_type)
  set(CMAKE_CXX_STANDARD 17)
  set(CMAKE_CXX_STANDARD_REQUIRED ON)
  set(CMAKE_CXX_EXTENSIONS OFF)
  if(NOT CMAKE_BUILD_TYPE AND NOT CMAKE_CONFIGURATION_TYPES)
    set(CMAKE_BUILD_TYPE ${default_build_type} CACHE STRING "Build type" FORCE)
  endif()
  option(TARVO_WARNINGS_AS_ERRORS "Treat compiler warnings as errors" OFF)
  if(TARVO_WARNINGS_AS_ERRORS)
    add_compile_options(-Werror)
  endif()
endmacro()
