#include "trace/replayer.h"

#include <cstdlib>
#include <deque>
#include <string>
#include <vector>

#include "host/callbacks.h"
#include "trace/replay_arguments.h"
#include "trace/replay_handles.h"
#include "trace/trace_error.h"

namespace tarvo::trace {
namespace {

// The component environment of every replayed instance: the prefix of the
// unit's messages.
char environmentMark[] = "replay";

}  // namespace

class Replayer::Calls {
public:
    explicit Calls(const host::Fmi2Api& unit) : unit_(unit) {}
    Calls(const Calls&) = delete;
    Calls& operator=(const Calls&) = delete;
    ~Calls() { releaseAll(); }

    // Makes the call of one line again; the outputs it got, in the log's
    // encoding, for comparison with the line.
    Json replay(const Json& line) {
        const std::string name = fieldOf(line, "call").get<std::string>();
        Json got = Json::object();
#define TARVO_REPLAY_CASE(function) \
    if (name == #function) {        \
        function(line, got);        \
        return got;                 \
    }
        TARVO_FMI2_EXPORTS(TARVO_REPLAY_CASE)
#undef TARVO_REPLAY_CASE
        throw TraceError("unknown call \"" + name + "\"");
    }

    std::size_t leftInstances() const {
        return instances_.size();
    }

private:
    fmi2Component instance(const Json& line) {
        return instances_.find(handleOf(line, "instance"), "the instance");
    }

    fmi2FMUstate snapshot(const Json& line) {
        return snapshots_.find(handleOf(line, "FMUstate"), "the snapshot");
    }

    // Whatever the log left alive: freed here, so the replay leaves nothing.
    void releaseAll() {
        for (void* snapshot : snapshots_.takeAll()) {
            std::free(snapshot);
        }
        for (void* instance : instances_.takeAll()) {
            unit_.fmi2FreeInstance(instance);
        }
        for (void* instance : replaced_) {
            unit_.fmi2FreeInstance(instance);
        }
        replaced_.clear();
    }

    static Json status(fmi2Status value) {
        return static_cast<int>(value);
    }

    // ----------------------------------------------------------- the calls

    void fmi2GetTypesPlatform(const Json&, Json& got) {
        got["result"] = call_log::text(unit_.fmi2GetTypesPlatform());
    }

    void fmi2GetVersion(const Json&, Json& got) {
        got["result"] = call_log::text(unit_.fmi2GetVersion());
    }

    void fmi2SetDebugLogging(const Json& line, Json& got) {
        const std::size_t n = countOf(line, "nCategories");
        Texts categories = textsOf(fieldOf(line, "categories"), n);
        got["status"] = status(unit_.fmi2SetDebugLogging(
            instance(line), integerOf(line, "loggingOn"), n, categories.pointers.data()));
    }

    void fmi2Instantiate(const Json& line, Json& got) {
        std::string name, guid, location;
        const Json& functions = fieldOf(line, "functions");
        const fmi2CallbackFunctions* callbacks = nullptr;
        if (!functions.is_null()) {
            auto present = [&functions](const char* key) {
                return functions.at(key).get<bool>();
            };
            callbacks_.push_back(fmi2CallbackFunctions{
                present("logger") ? host::logToStderr : nullptr,
                present("allocateMemory") ? host::allocateZeroed : nullptr,
                present("freeMemory") ? host::freeAllocated : nullptr,
                present("stepFinished") ? host::ignoreStepFinished : nullptr,
                present("componentEnvironment") ? environmentMark : nullptr});
            callbacks = &callbacks_.back();
        }
        fmi2Component made = unit_.fmi2Instantiate(
            optionalText(fieldOf(line, "instanceName"), name),
            static_cast<fmi2Type>(integerOf(line, "fmuType")),
            optionalText(fieldOf(line, "fmuGUID"), guid),
            optionalText(fieldOf(line, "fmuResourceLocation"), location), callbacks,
            integerOf(line, "visible"), integerOf(line, "loggingOn"));
        const std::string recorded = handleOf(line, "result");
        if (made != nullptr && instances_.contains(recorded)) {
            // An address bound already: a host that ended without freeing
            // its instance, and another process of the same log.
            replaced_.push_back(instances_.find(recorded, "the instance"));
            instances_.forget(recorded);
        }
        got["result"] = instances_.match(recorded, made);
        if (made != nullptr && recorded == call_log::kNullHandle) {
            unit_.fmi2FreeInstance(made);  // a difference already; kept by nobody
        }
    }

    void fmi2FreeInstance(const Json& line, Json&) {
        unit_.fmi2FreeInstance(instance(line));
        instances_.forget(handleOf(line, "instance"));
    }

    void fmi2SetupExperiment(const Json& line, Json& got) {
        got["status"] = status(unit_.fmi2SetupExperiment(
            instance(line), integerOf(line, "toleranceDefined"),
            realOf(fieldOf(line, "tolerance")), realOf(fieldOf(line, "startTime")),
            integerOf(line, "stopTimeDefined"), realOf(fieldOf(line, "stopTime"))));
    }

    void fmi2EnterInitializationMode(const Json& line, Json& got) {
        got["status"] = status(unit_.fmi2EnterInitializationMode(instance(line)));
    }

    void fmi2ExitInitializationMode(const Json& line, Json& got) {
        got["status"] = status(unit_.fmi2ExitInitializationMode(instance(line)));
    }

    void fmi2Terminate(const Json& line, Json& got) {
        got["status"] = status(unit_.fmi2Terminate(instance(line)));
    }

    void fmi2Reset(const Json& line, Json& got) {
        got["status"] = status(unit_.fmi2Reset(instance(line)));
    }

    void fmi2CancelStep(const Json& line, Json& got) {
        got["status"] = status(unit_.fmi2CancelStep(instance(line)));
    }

    template <typename Value, typename Function, typename Encode>
    void getValues(const Json& line, Json& got, Function function, Encode encode) {
        const std::size_t n = countOf(line, "nvr");
        Array<fmi2ValueReference> vr = numbersOf<fmi2ValueReference>(fieldOf(line, "vr"), n);
        Array<Value> value = outputFor<Value>(line, "value", n);
        const fmi2Status result = function(instance(line), vr.data(), n, value.data());
        got["status"] = status(result);
        if (!value.null && call_log::valuesValid(result)) {
            got["value"] = encode(value.data(), n);
        }
    }

    void fmi2GetReal(const Json& line, Json& got) {
        getValues<fmi2Real>(line, got, unit_.fmi2GetReal, call_log::reals);
    }

    void fmi2GetInteger(const Json& line, Json& got) {
        getValues<fmi2Integer>(line, got, unit_.fmi2GetInteger, call_log::numbers<fmi2Integer>);
    }

    void fmi2GetBoolean(const Json& line, Json& got) {
        getValues<fmi2Boolean>(line, got, unit_.fmi2GetBoolean, call_log::numbers<fmi2Boolean>);
    }

    void fmi2GetString(const Json& line, Json& got) {
        getValues<fmi2String>(line, got, unit_.fmi2GetString, call_log::texts);
    }

    template <typename Function, typename Values>
    void setValues(const Json& line, Json& got, Function function, Values values) {
        const std::size_t n = countOf(line, "nvr");
        Array<fmi2ValueReference> vr = numbersOf<fmi2ValueReference>(fieldOf(line, "vr"), n);
        auto value = values(fieldOf(line, "value"), n);
        got["status"] = status(function(instance(line), vr.data(), n, value.data()));
    }

    void fmi2SetReal(const Json& line, Json& got) {
        setValues(line, got, unit_.fmi2SetReal, realsOf);
    }

    void fmi2SetInteger(const Json& line, Json& got) {
        setValues(line, got, unit_.fmi2SetInteger, numbersOf<fmi2Integer>);
    }

    void fmi2SetBoolean(const Json& line, Json& got) {
        setValues(line, got, unit_.fmi2SetBoolean, numbersOf<fmi2Boolean>);
    }

    void fmi2SetString(const Json& line, Json& got) {
        const std::size_t n = countOf(line, "nvr");
        Array<fmi2ValueReference> vr = numbersOf<fmi2ValueReference>(fieldOf(line, "vr"), n);
        Texts value = textsOf(fieldOf(line, "value"), n);
        got["status"] =
            status(unit_.fmi2SetString(instance(line), vr.data(), n, value.pointers.data()));
    }

    void fmi2GetFMUstate(const Json& line, Json& got) {
        const Json& given = fieldOf(line, "FMUstate");
        fmi2Component c = instance(line);
        if (given.is_null()) {
            got["status"] = status(unit_.fmi2GetFMUstate(c, nullptr));
            return;
        }
        fmi2FMUstate handle = snapshot(line);
        const bool fresh = handle == nullptr;
        got["status"] = status(unit_.fmi2GetFMUstate(c, &handle));
        const std::string recorded = handleOf(line, "result");
        got["result"] = snapshots_.match(recorded, handle);
        if (fresh && handle != nullptr && recorded == call_log::kNullHandle) {
            std::free(handle);  // a difference already; kept by nobody
        }
    }

    void fmi2SetFMUstate(const Json& line, Json& got) {
        got["status"] = status(unit_.fmi2SetFMUstate(instance(line), snapshot(line)));
    }

    void fmi2FreeFMUstate(const Json& line, Json& got) {
        const Json& given = fieldOf(line, "FMUstate");
        fmi2Component c = instance(line);
        if (given.is_null()) {
            got["status"] = status(unit_.fmi2FreeFMUstate(c, nullptr));
            return;
        }
        fmi2FMUstate handle = snapshot(line);
        got["status"] = status(unit_.fmi2FreeFMUstate(c, &handle));
        const std::string recorded = handleOf(line, "result");
        got["result"] = snapshots_.match(recorded, handle);
        if (recorded == call_log::kNullHandle && handle == nullptr) {
            snapshots_.forget(handleOf(line, "FMUstate"));
        }
    }

    void fmi2SerializedFMUstateSize(const Json& line, Json& got) {
        Array<std::size_t> size = outputFor<std::size_t>(line, "size", 1);
        const fmi2Status result =
            unit_.fmi2SerializedFMUstateSize(instance(line), snapshot(line), size.data());
        got["status"] = status(result);
        if (!size.null && call_log::valuesValid(result)) {
            got["size"] = size.values[0];
        }
    }

    void fmi2SerializeFMUstate(const Json& line, Json& got) {
        const std::size_t n = countOf(line, "size");
        Array<fmi2Byte> bytes = outputFor<fmi2Byte>(line, "serializedState", n);
        const fmi2Status result =
            unit_.fmi2SerializeFMUstate(instance(line), snapshot(line), bytes.data(), n);
        got["status"] = status(result);
        if (!bytes.null && call_log::valuesValid(result)) {
            got["serializedState"] = call_log::bytes(bytes.data(), n);
        }
    }

    void fmi2DeSerializeFMUstate(const Json& line, Json& got) {
        const std::size_t n = countOf(line, "size");
        const Json& given = fieldOf(line, "serializedState");
        Array<fmi2Byte> bytes;
        bytes.null = given.is_null();
        if (!bytes.null) {
            const std::string hex = given.get<std::string>();
            if (hex.size() != 2 * n) {
                throw TraceError("\"serializedState\" does not hold \"size\" bytes");
            }
            for (std::size_t i = 0; i < n; ++i) {
                bytes.values.push_back(
                    static_cast<fmi2Byte>(std::stoi(hex.substr(2 * i, 2), nullptr, 16)));
            }
        }
        const bool handleNull = line.contains("FMUstate") && line.at("FMUstate").is_null();
        fmi2FMUstate handle = nullptr;
        const fmi2Status result = unit_.fmi2DeSerializeFMUstate(instance(line), bytes.data(), n,
                                                                handleNull ? nullptr : &handle);
        got["status"] = status(result);
        if (!handleNull && call_log::valuesValid(result)) {
            got["FMUstate"] = snapshots_.match(handleOf(line, "FMUstate"), handle);
        }
    }

    void fmi2GetDirectionalDerivative(const Json& line, Json& got) {
        const std::size_t unknowns = countOf(line, "nUnknown");
        const std::size_t knowns = countOf(line, "nKnown");
        auto unknownRefs = numbersOf<fmi2ValueReference>(fieldOf(line, "vUnknown_ref"), unknowns);
        auto knownRefs = numbersOf<fmi2ValueReference>(fieldOf(line, "vKnown_ref"), knowns);
        Array<fmi2Real> known = realsOf(fieldOf(line, "dvKnown"), knowns);
        Array<fmi2Real> unknown = outputFor<fmi2Real>(line, "dvUnknown", unknowns);
        const fmi2Status result = unit_.fmi2GetDirectionalDerivative(
            instance(line), unknownRefs.data(), unknowns, knownRefs.data(), knowns, known.data(),
            unknown.data());
        got["status"] = status(result);
        if (!unknown.null && call_log::valuesValid(result)) {
            got["dvUnknown"] = call_log::reals(unknown.data(), unknowns);
        }
    }

    void fmi2GetContinuousStates(const Json& line, Json& got) {
        const std::size_t n = countOf(line, "nx");
        Array<fmi2Real> x = outputFor<fmi2Real>(line, "x", n);
        const fmi2Status result = unit_.fmi2GetContinuousStates(instance(line), x.data(), n);
        got["status"] = status(result);
        if (!x.null && call_log::valuesValid(result)) {
            got["x"] = call_log::reals(x.data(), n);
        }
    }

    void fmi2SetRealInputDerivatives(const Json& line, Json& got) {
        const std::size_t n = countOf(line, "nvr");
        auto vr = numbersOf<fmi2ValueReference>(fieldOf(line, "vr"), n);
        auto order = numbersOf<fmi2Integer>(fieldOf(line, "order"), n);
        Array<fmi2Real> value = realsOf(fieldOf(line, "value"), n);
        got["status"] = status(unit_.fmi2SetRealInputDerivatives(instance(line), vr.data(), n,
                                                                 order.data(), value.data()));
    }

    void fmi2GetRealOutputDerivatives(const Json& line, Json& got) {
        const std::size_t n = countOf(line, "nvr");
        auto vr = numbersOf<fmi2ValueReference>(fieldOf(line, "vr"), n);
        auto order = numbersOf<fmi2Integer>(fieldOf(line, "order"), n);
        Array<fmi2Real> value = outputFor<fmi2Real>(line, "value", n);
        const fmi2Status result = unit_.fmi2GetRealOutputDerivatives(instance(line), vr.data(), n,
                                                                     order.data(), value.data());
        got["status"] = status(result);
        if (!value.null && call_log::valuesValid(result)) {
            got["value"] = call_log::reals(value.data(), n);
        }
    }

    void fmi2DoStep(const Json& line, Json& got) {
        got["status"] = status(
            unit_.fmi2DoStep(instance(line), realOf(fieldOf(line, "currentCommunicationPoint")),
                             realOf(fieldOf(line, "communicationStepSize")),
                             integerOf(line, "noSetFMUStatePriorToCurrentPoint")));
    }

    template <typename Value, typename Function>
    void statusQuery(const Json& line, Json& got, Function function) {
        Value value{};
        const bool valueNull = line.contains("value") && line.at("value").is_null();
        got["status"] =
            status(function(instance(line), static_cast<fmi2StatusKind>(integerOf(line, "s")),
                            valueNull ? nullptr : &value));
    }

    void fmi2GetStatus(const Json& line, Json& got) {
        statusQuery<fmi2Status>(line, got, unit_.fmi2GetStatus);
    }

    void fmi2GetRealStatus(const Json& line, Json& got) {
        statusQuery<fmi2Real>(line, got, unit_.fmi2GetRealStatus);
    }

    void fmi2GetIntegerStatus(const Json& line, Json& got) {
        statusQuery<fmi2Integer>(line, got, unit_.fmi2GetIntegerStatus);
    }

    void fmi2GetBooleanStatus(const Json& line, Json& got) {
        statusQuery<fmi2Boolean>(line, got, unit_.fmi2GetBooleanStatus);
    }

    void fmi2GetStringStatus(const Json& line, Json& got) {
        statusQuery<fmi2String>(line, got, unit_.fmi2GetStringStatus);
    }

    const host::Fmi2Api& unit_;
    std::deque<fmi2CallbackFunctions> callbacks_;  // the unit keeps a pointer to each
    Handles instances_;
    Handles snapshots_;
    std::vector<fmi2Component> replaced_;
};

Replayer::Replayer(const host::Fmi2Api& unit) : calls_(std::make_unique<Calls>(unit)) {}

Replayer::~Replayer() = default;

Json Replayer::replay(const Json& line) {
    return calls_->replay(line);
}

std::size_t Replayer::leftInstances() const {
    return calls_->leftInstances();
}

}  // namespace tarvo::trace
