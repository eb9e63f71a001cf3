# Turns Tarvo_Unit.fmu into a recording archive: the same model description,
# sources and documentation; the call recorder as binaries/linux64/
# Tarvo_Unit.so; the archive's own unit moved to resources/recorder/, where
# the recorder loads it. A host runs the recording archive like the unit
# itself, and TARVO_RECORDER_LOG names the file its calls are logged in.
#
#   cmake -DFMU=Tarvo_Unit.fmu -DRECORDER=build/tools/recorder/archive/binaries/linux64/Tarvo_Unit.so
#         -DOUTPUT=Tarvo_Unit.recording.fmu -P tools/recorder/make_recording_fmu.cmake
cmake_minimum_required(VERSION 3.25)
foreach(argument FMU RECORDER OUTPUT)
  if(NOT DEFINED ${argument})
    message(FATAL_ERROR "make_recording_fmu: -D${argument}=... is required")
  endif()
  get_filename_component(${argument} "${${argument}}" ABSOLUTE)
endforeach()
if(NOT EXISTS "${FMU}" OR NOT EXISTS "${RECORDER}")
  message(FATAL_ERROR "make_recording_fmu: ${FMU} or ${RECORDER} does not exist")
endif()

set(staging "${OUTPUT}.staging")
file(REMOVE_RECURSE "${staging}")
file(ARCHIVE_EXTRACT INPUT "${FMU}" DESTINATION "${staging}")
set(binary "${staging}/binaries/linux64/Tarvo_Unit.so")
if(NOT EXISTS "${binary}")
  message(FATAL_ERROR "make_recording_fmu: ${FMU} has no binaries/linux64/Tarvo_Unit.so")
endif()
if(EXISTS "${staging}/resources/recorder")
  message(FATAL_ERROR "make_recording_fmu: ${FMU} is a recording archive already")
endif()
file(MAKE_DIRECTORY "${staging}/resources/recorder")
file(RENAME "${binary}" "${staging}/resources/recorder/Tarvo_Unit.so")
file(COPY_FILE "${RECORDER}" "${binary}")

# Zipped from inside the staging folder, so that no path carries a prefix.
file(GLOB entries RELATIVE "${staging}" "${staging}/*")
list(SORT entries)
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf "${OUTPUT}" --format=zip ${entries}
                WORKING_DIRECTORY "${staging}" RESULT_VARIABLE packed)
file(REMOVE_RECURSE "${staging}")
if(NOT packed EQUAL 0)
  message(FATAL_ERROR "make_recording_fmu: packing ${OUTPUT} failed")
endif()
