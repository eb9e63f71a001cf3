// A scenario run on the FMI 3.0 unit as a host of FMI 3.0 runs it, recorded
// as on the FMI 2.0 unit: the same 247 values in FMI 2.0's value-reference
// order, found by name (value_map_file.h), and the statuses the FMI 2.0
// unit gives for the same calls (host/fmi3_unit.h).
#ifndef TARVO_TOOLS_TRACE_RUN_SCENARIO_FMI3_H
#define TARVO_TOOLS_TRACE_RUN_SCENARIO_FMI3_H

#include <cstddef>
#include <string>

#include "host/fmi_api.h"
#include "host/value_map.h"
#include "trace/scenario.h"
#include "trace/trace_result.h"

namespace tarvo::trace {

// A state carried from one run to another as the unit's bytes: written
// after step afterStep (0: after initialisation), or read to go on from
// there.
struct StateFile {
    enum class Use {
        none,
        save,
        resume
    };
    Use use = Use::none;
    std::string path;
    std::size_t afterStep = 0;
};

// fmi3InstantiateCoSimulation, fmi3EnterInitializationMode with the
// scenario's experiment, the initial writes, fmi3ExitInitializationMode
// (record 0), then per step its writes and one fmi3DoStep, a record after
// each; fmi3Terminate, fmi3FreeInstance. A write to one element of an array
// reads the array and writes it whole.
//
// Resumed, the run initialises the same way, then sets the state read from
// the file: its first record is afterStep, taken after fmi3SetFMUState with
// that call's status, and the steps after afterStep follow.
//
// A failing call is reported on standard error and the run goes on; after
// a fatal status nothing more is called. The unit's messages go to
// standard error, prefixed with the scenario's name.
TraceResult runScenarioFmi3(const host::Fmi3Api& unit, const host::ValueMap& map,
                            const Scenario& scenario, const StateFile& state);

}  // namespace tarvo::trace

#endif  // TARVO_TOOLS_TRACE_RUN_SCENARIO_FMI3_H
