// A host scenario of tests/vectors (FORMAT.md there): the set-up, the
// writes before initialisation ends, and the communication steps with the
// writes that precede each.
#ifndef TARVO_TOOLS_TRACE_SCENARIO_H
#define TARVO_TOOLS_TRACE_SCENARIO_H

#include <string>
#include <vector>

#include "fmi2/fmi2_types.h"

namespace tarvo::trace {

struct SetCall {
    fmi2ValueReference valueReference = 0;
    double value = 0.0;
};

struct Step {
    std::vector<SetCall> sets;
    double communicationPoint = 0.0;
    double stepSize = 0.0;
};

struct Scenario {
    std::string name;
    double startTime = 0.0;
    bool stopTimeDefined = false;
    double stopTime = 0.0;
    std::vector<SetCall> initSets;
    std::vector<Step> steps;
};

// Reads a scenario file; a TraceError names what is missing or malformed.
Scenario readScenario(const std::string& path);

}  // namespace tarvo::trace

#endif  // TARVO_TOOLS_TRACE_SCENARIO_H
