# The trace tool's sources, one job each, for its build here and for the
# builds for other platforms (cross/).
set(tarvo_trace_sources
  # a scenario: the command line, reading, running, the result file,
  # comparing and reporting
  trace.cpp trace_options.cpp scenario.cpp json_file.cpp run_scenario.cpp scenario_record.cpp
  trace_result.cpp cos_sin_variant.cpp compare_results.cpp report.cpp
  # the same on the FMI 3.0 unit: the value map, the run
  value_map_file.cpp run_scenario_fmi3.cpp
  # a call log: the command line, reading a call's arguments, making it
  # again, comparing and reporting
  replay.cpp replay_arguments.cpp replay_handles.cpp replayer.cpp replay_compare.cpp
  replay_report.cpp)
list(TRANSFORM tarvo_trace_sources PREPEND ${CMAKE_CURRENT_LIST_DIR}/)
