// A scenario run on a loaded unit as a host runs it.
#ifndef TARVO_TOOLS_TRACE_RUN_SCENARIO_H
#define TARVO_TOOLS_TRACE_RUN_SCENARIO_H

#include "host/fmi_api.h"
#include "trace/scenario.h"
#include "trace/trace_result.h"

namespace tarvo::trace {

// Instantiate, set up, initialise with the initial writes, then per step its
// writes and one fmi2DoStep; a record after initialisation and after every
// step. A failing call is reported on standard error and the run goes on;
// after fmi2Fatal nothing more is called. The unit's messages go to
// standard error, prefixed with the scenario's name.
TraceResult runScenario(const host::Fmi2Api& unit, const Scenario& scenario);

}  // namespace tarvo::trace

#endif  // TARVO_TOOLS_TRACE_RUN_SCENARIO_H
