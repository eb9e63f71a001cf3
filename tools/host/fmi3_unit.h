// An instance of the FMI 3.0 unit driven as a host drives the FMI 2.0 unit:
// values named by the FMI 2.0 value references (value_map.h), each call
// answered with the status the FMI 2.0 unit gives for the same call. So a
// run of the one can be compared with a run of the other, value for value.
//
// What a host of FMI 3.0 does differently is done here: the experiment goes
// with entering initialisation; one element of an array is written by
// reading the array, changing the element and writing the array whole; all
// values are read in one call and put in FMI 2.0's order.
//
// The statuses have the same numbers in both versions, with one difference
// of meaning: a step that stops at the stop time answers fmi3Discard with
// terminateSimulation (computed in part, the simulation cannot go on),
// where the FMI 2.0 unit answers fmi2Error; doStep returns fmi2Error then.
#ifndef TARVO_TOOLS_HOST_FMI3_UNIT_H
#define TARVO_TOOLS_HOST_FMI3_UNIT_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "host/fmi_api.h"
#include "host/model_values.h"
#include "host/value_map.h"

namespace tarvo::host {

// The same call's status as the FMI 2.0 unit reports it.
fmi2Status fmi2StatusOf(fmi3Status status);

class Fmi3Unit {
public:
    // The map must be sound (valueMapFault); api must outlive the object,
    // which keeps what it needs of the map.
    Fmi3Unit(const Fmi3Api& api, const ValueMap& map);
    ~Fmi3Unit();
    Fmi3Unit(const Fmi3Unit&) = delete;
    Fmi3Unit& operator=(const Fmi3Unit&) = delete;

    // Co-simulation with the map's instantiation token, a resource path the
    // unit never reads, not visible, no debug logging, no event mode, no
    // early return. False when the unit gives no instance.
    bool instantiate(const char* name, fmi3InstanceEnvironment environment,
                     fmi3LogMessageCallback logMessage);
    fmi3Instance instance() const { return instance_; }
    // After a fatal status no function may be called, fmi3FreeInstance
    // neither: the instance is left as it is.
    void abandon() { instance_ = nullptr; }

    // fmi3EnterInitializationMode with the experiment: no tolerance.
    fmi2Status enterInitialisation(double startTime, bool stopTimeDefined, double stopTime);
    fmi2Status exitInitialisation();
    fmi2Status terminate();
    fmi2Status reset();

    // A reference of no FMI 3.0 variable is refused without a call, as the
    // FMI 2.0 unit refuses it.
    fmi2Status setReal(fmi2ValueReference vr, double value);
    fmi2Status getReal(fmi2ValueReference vr, double& value);
    fmi2Status readAllValues(ModelValues& values);

    // noSetFMUStatePriorToCurrentPoint true, as the FMI 2.0 hosts here call.
    fmi2Status doStep(double communicationPoint, double stepSize);

    // The state in memory: a state that is not null is overwritten.
    fmi2Status getState(fmi3FMUState& state);
    fmi2Status setState(fmi3FMUState state);
    fmi2Status freeState(fmi3FMUState& state);

    // The state as bytes, which the FMI 2.0 unit does not offer.
    fmi3Status serializeState(fmi3FMUState state, std::vector<std::uint8_t>& bytes);
    fmi3Status deserializeState(const std::vector<std::uint8_t>& bytes, fmi3FMUState& state);

private:
    struct Location {
        std::size_t variable = 0;
        std::size_t element = 0;
    };

    const Fmi3Api& api_;
    std::string instantiationToken_;
    fmi3Instance instance_ = nullptr;
    // Each variable's reference and element count; for each value that a
    // read of all variables returns, in its order, the FMI 2.0 value
    // reference it is.
    std::vector<fmi3ValueReference> references_;
    std::vector<std::size_t> elementCounts_;
    std::vector<fmi2ValueReference> order_;
    std::vector<Location> locations_;  // by FMI 2.0 value reference
    std::vector<double> scratch_;      // all values, or one array's elements
};

}  // namespace tarvo::host

#endif  // TARVO_TOOLS_HOST_FMI3_UNIT_H
