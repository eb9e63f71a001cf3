#include "trace/replay.h"

#include <cstdlib>
#include <deque>
#include <fstream>
#include <iostream>
#include <limits>
#include <map>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include "fmi2/fmi2_functions.h"
#include "host/callbacks.h"
#include "host/hex_float.h"
#include "host/unit_library.h"
#include "trace/call_log.h"

namespace tarvo::trace {
namespace {

using call_log::Json;
using host::Fmi2Api;
using host::parseHexFloat;

// A log that cannot be read, or a unit that cannot be loaded: status 2.
struct ReplayError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A call that cannot be made again as the host made it (a handle that was
// never handed out, or already freed): counts as a difference.
struct CannotReplay : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Counts beyond this come only from hosts passing bad arrays; the replay
// allocates nothing for them.
constexpr std::size_t kLargestCount = std::size_t{1} << 24;

// The component environment of every replayed instance: the prefix of the
// unit's messages.
char environmentMark[] = "replay";

const Json& field(const Json& line, const char* key) {
    if (!line.contains(key)) {
        throw ReplayError(std::string("missing \"") + key + "\"");
    }
    return line.at(key);
}

std::size_t count(const Json& line, const char* key) {
    const Json& item = field(line, key);
    if (!item.is_number_unsigned()) {
        throw ReplayError(std::string("\"") + key + "\" must be a count");
    }
    return item.get<std::size_t>();
}

int integer(const Json& line, const char* key) {
    const Json& item = field(line, key);
    if (!item.is_number_integer()) {
        throw ReplayError(std::string("\"") + key + "\" must be an integer");
    }
    return item.get<int>();
}

double realOf(const Json& item) {
    double value = 0.0;
    if (!item.is_string() || !parseHexFloat(item.get<std::string>(), value)) {
        throw ReplayError("expected a hexadecimal float, got " + item.dump());
    }
    return value;
}

// The bytes a logged string stands for (code points up to U+00FF).
std::string bytesOf(const Json& item) {
    if (!item.is_string()) {
        throw ReplayError("expected a string, got " + item.dump());
    }
    const std::string utf8 = item.get<std::string>();
    std::string result;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if (byte < 0x80) {
            result += static_cast<char>(byte);
        } else if ((byte == 0xc2 || byte == 0xc3) && i + 1 < utf8.size()) {
            result += static_cast<char>(((byte & 0x03) << 6) |
                                        (static_cast<unsigned char>(utf8[++i]) & 0x3f));
        } else {
            throw ReplayError("a string holds a character beyond U+00FF: " + item.dump());
        }
    }
    return result;
}

void checkCount(std::size_t n) {
    if (n > kLargestCount) {
        throw CannotReplay("a count of " + std::to_string(n) + " with arrays given");
    }
}

// A logged array as the arguments of a call: its values, or a null pointer.
template <typename T>
struct Array {
    std::vector<T> values;
    bool null = false;
    T* data() { return null ? nullptr : values.data(); }
};

template <typename T, typename Convert>
Array<T> arrayOf(const Json& item, std::size_t n, Convert convert) {
    Array<T> array;
    if (item.is_null()) {
        array.null = true;
        return array;
    }
    if (!item.is_array() || item.size() != n) {
        throw ReplayError("expected " + std::to_string(n) + " values, got " + item.dump());
    }
    for (const Json& value : item) {
        array.values.push_back(convert(value));
    }
    return array;
}

Array<fmi2Real> realsOf(const Json& item, std::size_t n) {
    return arrayOf<fmi2Real>(item, n, realOf);
}

template <typename T>
Array<T> numbersOf(const Json& item, std::size_t n) {
    return arrayOf<T>(item, n, [](const Json& value) {
        if (!value.is_number_integer()) {
            throw ReplayError("expected an integer, got " + value.dump());
        }
        return value.get<T>();
    });
}

// Strings: the bytes, and the pointers the call takes.
struct Texts {
    std::deque<std::string> storage;
    Array<fmi2String> pointers;
};

Texts textsOf(const Json& item, std::size_t n) {
    Texts texts;
    texts.pointers = arrayOf<fmi2String>(item, n, [&texts](const Json& value) -> fmi2String {
        if (value.is_null()) {
            return nullptr;
        }
        texts.storage.push_back(bytesOf(value));
        return texts.storage.back().c_str();
    });
    return texts;
}

const char* optionalText(const Json& item, std::string& storage) {
    if (item.is_null()) {
        return nullptr;
    }
    storage = bytesOf(item);
    return storage.c_str();
}

// An output array: null as the host passed it, else room for n values.
template <typename T>
Array<T> outputFor(const Json& line, const char* key, std::size_t n) {
    Array<T> array;
    array.null = line.contains(key) && line.at(key).is_null();
    if (!array.null) {
        checkCount(n);
        array.values.assign(n, T{});
    }
    return array;
}

// The handles of the log (addresses in the recording process) bound to the
// handles the replay made at the same calls.
class Handles {
public:
    // The replay's handle for a recorded one the host passed in.
    void* find(const std::string& recorded, const char* what) const {
        if (recorded == call_log::kNullHandle) {
            return nullptr;
        }
        const auto found = bound_.find(recorded);
        if (found == bound_.end()) {
            throw CannotReplay(std::string("the host passed ") + what + " " + recorded +
                               ", which the unit never handed out or had freed");
        }
        return found->second;
    }

    // A handle the unit gave back where the log shows `recorded`: `recorded`
    // itself when ours corresponds (binding it if it is new), else a
    // description of ours for the difference.
    Json match(const std::string& recorded, void* ours) {
        if (ours == nullptr || recorded == call_log::kNullHandle) {
            return ours == nullptr ? Json(call_log::kNullHandle)
                                   : Json("a handle, not a null one");
        }
        const auto found = bound_.find(recorded);
        if (found != bound_.end()) {
            return found->second == ours ? Json(recorded) : Json("another handle than before");
        }
        for (const auto& known : bound_) {
            if (known.second == ours) {
                return "the handle recorded as " + known.first;
            }
        }
        bound_[recorded] = ours;
        return recorded;
    }

    bool contains(const std::string& recorded) const { return bound_.count(recorded) != 0; }
    void forget(const std::string& recorded) { bound_.erase(recorded); }

    // Every handle still bound, and unbinds them all.
    std::vector<void*> takeAll() {
        std::vector<void*> all;
        for (const auto& known : bound_) {
            all.push_back(known.second);
        }
        bound_.clear();
        return all;
    }

    std::size_t size() const { return bound_.size(); }

private:
    std::map<std::string, void*> bound_;
};

std::string handleOf(const Json& line, const char* key) {
    const Json& item = field(line, key);
    if (!item.is_string()) {
        throw ReplayError(std::string("\"") + key + "\" must be a handle");
    }
    return item.get<std::string>();
}

// Replays calls one by one, with the instances and snapshots it makes bound
// to those of the log.
class Replayer {
public:
    explicit Replayer(const Fmi2Api& unit) : unit_(unit) {}
    Replayer(const Replayer&) = delete;
    Replayer& operator=(const Replayer&) = delete;
    ~Replayer() { releaseAll(); }

    // Makes the call of one line again; the outputs it got, in the log's
    // encoding, for comparison with the line.
    Json replay(const Json& line) {
        const std::string name = field(line, "call").get<std::string>();
        Json got = Json::object();
#define TARVO_REPLAY_CASE(function) \
    if (name == #function) {        \
        function(line, got);        \
        return got;                 \
    }
        TARVO_FMI2_EXPORTS(TARVO_REPLAY_CASE)
#undef TARVO_REPLAY_CASE
        throw ReplayError("unknown call \"" + name + "\"");
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
        const std::size_t n = count(line, "nCategories");
        Texts categories = textsOf(field(line, "categories"), n);
        got["status"] = status(unit_.fmi2SetDebugLogging(
            instance(line), integer(line, "loggingOn"), n, categories.pointers.data()));
    }

    void fmi2Instantiate(const Json& line, Json& got) {
        std::string name, guid, location;
        const Json& functions = field(line, "functions");
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
            optionalText(field(line, "instanceName"), name),
            static_cast<fmi2Type>(integer(line, "fmuType")),
            optionalText(field(line, "fmuGUID"), guid),
            optionalText(field(line, "fmuResourceLocation"), location), callbacks,
            integer(line, "visible"), integer(line, "loggingOn"));
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
            instance(line), integer(line, "toleranceDefined"), realOf(field(line, "tolerance")),
            realOf(field(line, "startTime")), integer(line, "stopTimeDefined"),
            realOf(field(line, "stopTime"))));
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
        const std::size_t n = count(line, "nvr");
        Array<fmi2ValueReference> vr = numbersOf<fmi2ValueReference>(field(line, "vr"), n);
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
        const std::size_t n = count(line, "nvr");
        Array<fmi2ValueReference> vr = numbersOf<fmi2ValueReference>(field(line, "vr"), n);
        auto value = values(field(line, "value"), n);
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
        const std::size_t n = count(line, "nvr");
        Array<fmi2ValueReference> vr = numbersOf<fmi2ValueReference>(field(line, "vr"), n);
        Texts value = textsOf(field(line, "value"), n);
        got["status"] =
            status(unit_.fmi2SetString(instance(line), vr.data(), n, value.pointers.data()));
    }

    void fmi2GetFMUstate(const Json& line, Json& got) {
        const Json& given = field(line, "FMUstate");
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
        const Json& given = field(line, "FMUstate");
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
        const std::size_t n = count(line, "size");
        Array<fmi2Byte> bytes = outputFor<fmi2Byte>(line, "serializedState", n);
        const fmi2Status result =
            unit_.fmi2SerializeFMUstate(instance(line), snapshot(line), bytes.data(), n);
        got["status"] = status(result);
        if (!bytes.null && call_log::valuesValid(result)) {
            got["serializedState"] = call_log::bytes(bytes.data(), n);
        }
    }

    void fmi2DeSerializeFMUstate(const Json& line, Json& got) {
        const std::size_t n = count(line, "size");
        const Json& given = field(line, "serializedState");
        Array<fmi2Byte> bytes;
        bytes.null = given.is_null();
        if (!bytes.null) {
            const std::string hex = given.get<std::string>();
            if (hex.size() != 2 * n) {
                throw ReplayError("\"serializedState\" does not hold \"size\" bytes");
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
        const std::size_t unknowns = count(line, "nUnknown");
        const std::size_t knowns = count(line, "nKnown");
        auto unknownRefs = numbersOf<fmi2ValueReference>(field(line, "vUnknown_ref"), unknowns);
        auto knownRefs = numbersOf<fmi2ValueReference>(field(line, "vKnown_ref"), knowns);
        Array<fmi2Real> known = realsOf(field(line, "dvKnown"), knowns);
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
        const std::size_t n = count(line, "nx");
        Array<fmi2Real> x = outputFor<fmi2Real>(line, "x", n);
        const fmi2Status result = unit_.fmi2GetContinuousStates(instance(line), x.data(), n);
        got["status"] = status(result);
        if (!x.null && call_log::valuesValid(result)) {
            got["x"] = call_log::reals(x.data(), n);
        }
    }

    void fmi2SetRealInputDerivatives(const Json& line, Json& got) {
        const std::size_t n = count(line, "nvr");
        auto vr = numbersOf<fmi2ValueReference>(field(line, "vr"), n);
        auto order = numbersOf<fmi2Integer>(field(line, "order"), n);
        Array<fmi2Real> value = realsOf(field(line, "value"), n);
        got["status"] = status(unit_.fmi2SetRealInputDerivatives(instance(line), vr.data(), n,
                                                                 order.data(), value.data()));
    }

    void fmi2GetRealOutputDerivatives(const Json& line, Json& got) {
        const std::size_t n = count(line, "nvr");
        auto vr = numbersOf<fmi2ValueReference>(field(line, "vr"), n);
        auto order = numbersOf<fmi2Integer>(field(line, "order"), n);
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
            unit_.fmi2DoStep(instance(line), realOf(field(line, "currentCommunicationPoint")),
                             realOf(field(line, "communicationStepSize")),
                             integer(line, "noSetFMUStatePriorToCurrentPoint")));
    }

    template <typename Value, typename Function>
    void statusQuery(const Json& line, Json& got, Function function) {
        Value value{};
        const bool valueNull = line.contains("value") && line.at("value").is_null();
        got["status"] =
            status(function(instance(line), static_cast<fmi2StatusKind>(integer(line, "s")),
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

    const Fmi2Api& unit_;
    std::deque<fmi2CallbackFunctions> callbacks_;  // the unit keeps a pointer to each
    Handles instances_;
    Handles snapshots_;
    std::vector<fmi2Component> replaced_;
};

// What differs between the outputs of the replay and those of the log, or
// an empty string.
std::string difference(const Json& line, const Json& got) {
    for (const auto& output : got.items()) {
        if (!line.contains(output.key())) {
            continue;  // the host did not get this output either
        }
        const Json& recorded = line.at(output.key());
        const Json& replayed = output.value();
        if (recorded == replayed) {
            continue;
        }
        if (recorded.is_array() && replayed.is_array() && recorded.size() == replayed.size()) {
            for (std::size_t i = 0; i < recorded.size(); ++i) {
                if (recorded[i] != replayed[i]) {
                    return output.key() + "[" + std::to_string(i) + "]: got " +
                           replayed[i].dump() + ", recorded " + recorded[i].dump();
                }
            }
        }
        return output.key() + ": got " + replayed.dump() + ", recorded " + recorded.dump();
    }
    return std::string();
}

struct Options {
    std::string libraryPath;
    std::string logPath;
};

const char kUsage[] = "usage: trace --library Tarvo_Unit.so --replay CALLS.jsonl\n";

Options parseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if ((argument == "--library" || argument == "--replay") && i + 1 < argc) {
            (argument == "--library" ? options.libraryPath : options.logPath) = argv[++i];
        } else {
            throw ReplayError("unexpected argument " + argument + "\n" + kUsage);
        }
    }
    if (options.libraryPath.empty() || options.logPath.empty()) {
        throw ReplayError(std::string("a library and a log are required\n") + kUsage);
    }
    return options;
}

constexpr std::size_t kDifferencesShown = 10;

int replayLog(const Options& options) {
    std::ifstream log(options.logPath);
    if (!log) {
        throw ReplayError("cannot open " + options.logPath);
    }
    host::UnitLibrary unit;
    if (!unit.load(options.libraryPath)) {
        throw ReplayError(unit.error());
    }
    Replayer replayer(unit.fmi2());
    std::map<std::string, std::size_t> calls;
    std::size_t callCount = 0;
    std::size_t differing = 0;
    std::string text;
    for (std::size_t number = 1; std::getline(log, text); ++number) {
        const std::string where = options.logPath + ":" + std::to_string(number);
        Json line;
        try {
            line = Json::parse(text);
            if (line.contains("session")) {
                continue;  // a process or a copy of the recorder begins logging
            }
            const std::string name = field(line, "call").get<std::string>();
            ++calls[name];
            ++callCount;
            std::string differs;
            try {
                differs = difference(line, replayer.replay(line));
            } catch (const CannotReplay& reason) {
                differs = std::string("cannot be made again: ") + reason.what();
            }
            if (!differs.empty() && ++differing <= kDifferencesShown) {
                std::cerr << where << ": " << name << ": " << differs << '\n';
            }
        } catch (const Json::exception& error) {
            throw ReplayError(where + ": " + error.what());
        } catch (const ReplayError& error) {
            throw ReplayError(where + ": " + error.what());
        }
    }
    std::string counts;
    for (const auto& call : calls) {
        counts += (counts.empty() ? "" : ", ") + call.first + " " + std::to_string(call.second);
    }
    if (differing != 0) {
        std::cerr << options.logPath << ": " << differing << " of " << callCount
                  << " calls differ (" << counts << ")\n";
        return 1;
    }
    std::cout << options.logPath << ": " << callCount
              << " calls replayed, every status and value identical (" << counts << ")\n";
    if (replayer.leftInstances() != 0) {
        std::cout << replayer.leftInstances() << " instances were left alive by the host\n";
    }
    return 0;
}

}  // namespace

bool isReplayCommand(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--replay") {
            return true;
        }
    }
    return false;
}

int replayMain(int argc, char** argv) {
    try {
        return replayLog(parseOptions(argc, argv));
    } catch (const std::exception& error) {
        std::cerr << "trace: " << error.what() << '\n';
    }
    return 2;
}

}  // namespace tarvo::trace
