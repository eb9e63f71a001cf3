// Call recorder: the binary of a recording archive. It stands where
// Tarvo_Unit.so stands in the archive, loads the real unit shipped beside it
// in resources/recorder/Tarvo_Unit.so, forwards every FMI call to it with the
// host's own arguments (callbacks included) and hands back exactly what the
// unit answered. Each call becomes one JSON line in the file that the
// environment variable TARVO_RECORDER_LOG names: its arguments, its status
// and every value it returned or wrote, doubles as exact hexadecimal floats.
// The trace tool replays such a log on a fresh unit (trace --replay).
//
// Instances and snapshots appear in the log as their addresses, so a replay
// can map each onto the handle it made itself at the same point; addresses
// are unique in a process also when a host loads the recording archive
// several times over (as libcosim does for each slave), each copy of the
// recorder with its own unit and its own log file descriptor. Within one
// copy a lock serialises the calls, so the log's order is the order in
// which the unit ran them, also when a host drives instances from several
// threads; every line is one append, so lines of several copies never mix.
//
// The log is opened when an instance is created and closed when the last
// one is freed; a call made while no instance lives appends its line on its
// own. A log that cannot be opened makes fmi2Instantiate fail with a message
// to the host's logger.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <unordered_set>

#define JSON_NOEXCEPTION
#include "fmi2/fmi2_functions.h"
#include "host/unit_library.h"
#include "trace/call_log.h"

namespace tarvo::recorder {
namespace {

using namespace call_log;

// Where the real unit lies, relative to the archive's root (two folders
// above binaries/linux64/).
constexpr const char kUnitInArchive[] = "/resources/recorder/Tarvo_Unit.so";

struct Recorder {
    std::recursive_mutex lock;
    host::UnitLibrary unit;  // closed when a host unloads the recorder
    std::string unitPath;
    std::string loadError;
    int logFile = -1;
    bool sessionStarted = false;
    std::unordered_set<const void*> instances;  // the live ones made through this copy
};

Recorder recorder;

// The archive's root from this library's own path.
std::string unitPathBesideThisLibrary() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&unitPathBesideThisLibrary), &info) == 0 ||
        info.dli_fname == nullptr) {
        return std::string();
    }
    char* resolved = realpath(info.dli_fname, nullptr);
    std::string path = resolved != nullptr ? resolved : info.dli_fname;
    std::free(resolved);
    for (int up = 0; up < 3; ++up) {
        const std::size_t slash = path.rfind('/');
        if (slash == std::string::npos) {
            return std::string();
        }
        path.erase(slash);
    }
    return path + kUnitInArchive;
}

bool loadUnit() {
    if (recorder.unit.isLoaded()) {
        return true;
    }
    recorder.unitPath = unitPathBesideThisLibrary();
    if (!recorder.unit.load(recorder.unitPath)) {
        recorder.loadError = recorder.unit.error();
        return false;
    }
    return true;
}

// Opens the log for appending; on failure returns -1 and says why.
int openLog(std::string& reason) {
    const char* path = std::getenv(kLogVariable);
    if (path == nullptr || *path == '\0') {
        reason = std::string(kLogVariable) +
                 " is not set; it must name the file the calls are "
                 "recorded in";
        return -1;
    }
    const int file = open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (file < 0) {
        reason = std::string("cannot write the call log ") + path + ": " + std::strerror(errno);
    }
    return file;
}

void writeAll(int file, const std::string& text) {
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = write(file, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;  // a full disk loses lines; the host's calls go on unchanged
        }
        written += static_cast<std::size_t>(n);
    }
}

// The first line of each copy of the recorder comes after a session line
// that names the process and the unit it forwards to.
void writeLine(const Json& line) {
    std::string lines;
    if (!recorder.sessionStarted) {
        Json session = Json::object();
        session["session"] = static_cast<long long>(getpid());
        session["unit"] = recorder.unitPath;
        lines = session.dump() + '\n';
    }
    lines += line.dump() + '\n';
    if (recorder.logFile >= 0) {
        writeAll(recorder.logFile, lines);
        recorder.sessionStarted = true;
        return;
    }
    std::string ignored;
    const int file = openLog(ignored);
    if (file >= 0) {
        writeAll(file, lines);
        close(file);
        recorder.sessionStarted = true;
    }
}

// One call in progress: holds the lock from the start of the call to its
// line in the log, so that no other call runs in between.
class Call {
public:
    explicit Call(const char* name) : guard_(recorder.lock) {
        line_["call"] = name;
        ready_ = loadUnit();
    }
    Call(const char* name, const void* instance) : Call(name) {
        line_["instance"] = handle(instance);
    }
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;

    bool ready() const { return ready_; }
    const host::Fmi2Api& unit() const { return recorder.unit.fmi2(); }
    Json& operator[](const char* key) { return line_[key]; }

    fmi2Status finish(fmi2Status status) {
        line_["status"] = static_cast<int>(status);
        writeLine(line_);
        return status;
    }
    void finish() { writeLine(line_); }

private:
    std::lock_guard<std::recursive_mutex> guard_;
    Json line_ = Json::object();
    bool ready_ = false;
};

// The recorder's own message, complete in the format argument (any '%'
// doubled), since not every host fills in further arguments.
void report(const fmi2CallbackFunctions* functions, fmi2String instanceName,
            const std::string& message) {
    if (functions == nullptr || functions->logger == nullptr) {
        return;
    }
    std::string format = "Tarvo_Unit recorder: ";
    for (char character : message) {
        format += character;
        if (character == '%') {
            format += '%';
        }
    }
    functions->logger(functions->componentEnvironment,
                      instanceName != nullptr ? instanceName : "?", fmi2Error, "error",
                      format.c_str());
}

Json callbackPresence(const fmi2CallbackFunctions* functions) {
    if (functions == nullptr) {
        return nullptr;
    }
    Json presence = Json::object();
    presence["logger"] = functions->logger != nullptr;
    presence["allocateMemory"] = functions->allocateMemory != nullptr;
    presence["freeMemory"] = functions->freeMemory != nullptr;
    presence["stepFinished"] = functions->stepFinished != nullptr;
    presence["componentEnvironment"] = functions->componentEnvironment != nullptr;
    return presence;
}

// The get family: the values go into the log when the unit says they are
// valid.
template <typename Value, typename Forward, typename Convert>
fmi2Status getValues(const char* name, fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                     Value value[], Forward forward, Convert convert) {
    Call call(name, c);
    if (!call.ready()) {
        return fmi2Error;
    }
    const fmi2Status status = forward(call.unit())(c, vr, nvr, value);
    call["vr"] = numbers(vr, nvr);
    call["nvr"] = nvr;
    if (value == nullptr) {
        call["value"] = nullptr;
    } else if (valuesValid(status)) {
        call["value"] = convert(value, nvr);
    }
    return call.finish(status);
}

template <typename Value, typename Forward, typename Convert>
fmi2Status setValues(const char* name, fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                     const Value value[], Forward forward, Convert convert) {
    Call call(name, c);
    if (!call.ready()) {
        return fmi2Error;
    }
    call["vr"] = numbers(vr, nvr);
    call["nvr"] = nvr;
    call["value"] = convert(value, nvr);
    return call.finish(forward(call.unit())(c, vr, nvr, value));
}

template <typename Forward>
fmi2Status plainCall(const char* name, fmi2Component c, Forward forward) {
    Call call(name, c);
    if (!call.ready()) {
        return fmi2Error;
    }
    return call.finish(forward(call.unit())(c));
}

// The status queries: the unit writes nothing into value, so only whether
// the host passed one is recorded.
template <typename Value, typename Forward>
fmi2Status statusQuery(const char* name, fmi2Component c, fmi2StatusKind s, Value* value,
                       Forward forward) {
    Call call(name, c);
    if (!call.ready()) {
        return fmi2Error;
    }
    call["s"] = static_cast<int>(s);
    if (value == nullptr) {
        call["value"] = nullptr;
    }
    return call.finish(forward(call.unit())(c, s, value));
}

template <typename Forward>
const char* fixedString(const char* name, const char* fallback, Forward forward) {
    Call call(name);
    const char* result = call.ready() ? forward(call.unit())() : fallback;
    call["result"] = text(result);
    call.finish();
    return result;
}

// Unloads the unit and closes the log when a host unloads the recorder, so
// that nothing of it outlives its library.
__attribute__((destructor)) void releaseAtUnload() {
    if (recorder.logFile >= 0) {
        close(recorder.logFile);
        recorder.logFile = -1;
    }
    recorder.unit.close();
}

}  // namespace
}  // namespace tarvo::recorder

using tarvo::call_log::valuesValid;
using tarvo::recorder::Call;
using tarvo::recorder::recorder;
namespace rec = tarvo::recorder;

// The unit's function of the same name, taken from the table once loaded.
#define TARVO_FORWARD(name) [](const tarvo::host::Fmi2Api& unit) { return unit.name; }

extern "C" {

const char* fmi2GetTypesPlatform(void) {
    return rec::fixedString("fmi2GetTypesPlatform", fmi2TypesPlatform,
                            TARVO_FORWARD(fmi2GetTypesPlatform));
}

const char* fmi2GetVersion(void) {
    return rec::fixedString("fmi2GetVersion", fmi2Version, TARVO_FORWARD(fmi2GetVersion));
}

fmi2Status fmi2SetDebugLogging(fmi2Component c, fmi2Boolean loggingOn, size_t nCategories,
                               const fmi2String categories[]) {
    Call call("fmi2SetDebugLogging", c);
    if (!call.ready()) {
        return fmi2Error;
    }
    call["loggingOn"] = loggingOn;
    call["nCategories"] = nCategories;
    call["categories"] = rec::texts(categories, nCategories);
    return call.finish(call.unit().fmi2SetDebugLogging(c, loggingOn, nCategories, categories));
}

fmi2Component fmi2Instantiate(fmi2String instanceName, fmi2Type fmuType, fmi2String fmuGUID,
                              fmi2String fmuResourceLocation,
                              const fmi2CallbackFunctions* functions, fmi2Boolean visible,
                              fmi2Boolean loggingOn) {
    Call call("fmi2Instantiate");
    if (!call.ready()) {
        rec::report(functions, instanceName, recorder.loadError);
        return nullptr;
    }
    if (recorder.logFile < 0) {
        std::string reason;
        recorder.logFile = rec::openLog(reason);
        if (recorder.logFile < 0) {
            rec::report(functions, instanceName, reason);
            return nullptr;
        }
    }
    fmi2Component instance = call.unit().fmi2Instantiate(
        instanceName, fmuType, fmuGUID, fmuResourceLocation, functions, visible, loggingOn);
    if (instance != nullptr) {
        recorder.instances.insert(instance);
    }
    call["instanceName"] = rec::text(instanceName);
    call["fmuType"] = static_cast<int>(fmuType);
    call["fmuGUID"] = rec::text(fmuGUID);
    call["fmuResourceLocation"] = rec::text(fmuResourceLocation);
    call["functions"] = rec::callbackPresence(functions);
    call["visible"] = visible;
    call["loggingOn"] = loggingOn;
    call["result"] = rec::handle(instance);
    call.finish();
    if (recorder.instances.empty()) {
        close(recorder.logFile);
        recorder.logFile = -1;
    }
    return instance;
}

void fmi2FreeInstance(fmi2Component c) {
    Call call("fmi2FreeInstance", c);
    if (!call.ready()) {
        return;
    }
    call.unit().fmi2FreeInstance(c);
    call.finish();
    if (recorder.instances.erase(c) != 0) {
        if (recorder.instances.empty() && recorder.logFile >= 0) {
            close(recorder.logFile);
            recorder.logFile = -1;
        }
    }
}

fmi2Status fmi2SetupExperiment(fmi2Component c, fmi2Boolean toleranceDefined, fmi2Real tolerance,
                               fmi2Real startTime, fmi2Boolean stopTimeDefined,
                               fmi2Real stopTime) {
    Call call("fmi2SetupExperiment", c);
    if (!call.ready()) {
        return fmi2Error;
    }
    call["toleranceDefined"] = toleranceDefined;
    call["tolerance"] = rec::real(tolerance);
    call["startTime"] = rec::real(startTime);
    call["stopTimeDefined"] = stopTimeDefined;
    call["stopTime"] = rec::real(stopTime);
    return call.finish(call.unit().fmi2SetupExperiment(c, toleranceDefined, tolerance, startTime,
                                                       stopTimeDefined, stopTime));
}

#define TARVO_PLAIN_CALL(name)                                \
    fmi2Status name(fmi2Component c) {                        \
        return rec::plainCall(#name, c, TARVO_FORWARD(name)); \
    }
TARVO_PLAIN_CALL(fmi2EnterInitializationMode)
TARVO_PLAIN_CALL(fmi2ExitInitializationMode)
TARVO_PLAIN_CALL(fmi2Terminate)
TARVO_PLAIN_CALL(fmi2Reset)
TARVO_PLAIN_CALL(fmi2CancelStep)
#undef TARVO_PLAIN_CALL

fmi2Status fmi2GetReal(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                       fmi2Real value[]) {
    return rec::getValues("fmi2GetReal", c, vr, nvr, value, TARVO_FORWARD(fmi2GetReal),
                          rec::reals);
}

fmi2Status fmi2GetInteger(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                          fmi2Integer value[]) {
    return rec::getValues("fmi2GetInteger", c, vr, nvr, value, TARVO_FORWARD(fmi2GetInteger),
                          rec::numbers<fmi2Integer>);
}

fmi2Status fmi2GetBoolean(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                          fmi2Boolean value[]) {
    return rec::getValues("fmi2GetBoolean", c, vr, nvr, value, TARVO_FORWARD(fmi2GetBoolean),
                          rec::numbers<fmi2Boolean>);
}

fmi2Status fmi2GetString(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                         fmi2String value[]) {
    return rec::getValues("fmi2GetString", c, vr, nvr, value, TARVO_FORWARD(fmi2GetString),
                          rec::texts);
}

fmi2Status fmi2SetReal(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                       const fmi2Real value[]) {
    return rec::setValues("fmi2SetReal", c, vr, nvr, value, TARVO_FORWARD(fmi2SetReal),
                          rec::reals);
}

fmi2Status fmi2SetInteger(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                          const fmi2Integer value[]) {
    return rec::setValues("fmi2SetInteger", c, vr, nvr, value, TARVO_FORWARD(fmi2SetInteger),
                          rec::numbers<fmi2Integer>);
}

fmi2Status fmi2SetBoolean(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                          const fmi2Boolean value[]) {
    return rec::setValues("fmi2SetBoolean", c, vr, nvr, value, TARVO_FORWARD(fmi2SetBoolean),
                          rec::numbers<fmi2Boolean>);
}

fmi2Status fmi2SetString(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                         const fmi2String value[]) {
    return rec::setValues("fmi2SetString", c, vr, nvr, value, TARVO_FORWARD(fmi2SetString),
                          rec::texts);
}

fmi2Status fmi2GetFMUstate(fmi2Component c, fmi2FMUstate* FMUstate) {
    Call call("fmi2GetFMUstate", c);
    if (!call.ready()) {
        return fmi2Error;
    }
    call["FMUstate"] = FMUstate == nullptr ? rec::Json(nullptr) : rec::handle(*FMUstate);
    const fmi2Status status = call.unit().fmi2GetFMUstate(c, FMUstate);
    if (FMUstate != nullptr) {
        call["result"] = rec::handle(*FMUstate);
    }
    return call.finish(status);
}

fmi2Status fmi2SetFMUstate(fmi2Component c, fmi2FMUstate FMUstate) {
    Call call("fmi2SetFMUstate", c);
    if (!call.ready()) {
        return fmi2Error;
    }
    call["FMUstate"] = rec::handle(FMUstate);
    return call.finish(call.unit().fmi2SetFMUstate(c, FMUstate));
}

fmi2Status fmi2FreeFMUstate(fmi2Component c, fmi2FMUstate* FMUstate) {
    Call call("fmi2FreeFMUstate", c);
    if (!call.ready()) {
        return fmi2Error;
    }
    call["FMUstate"] = FMUstate == nullptr ? rec::Json(nullptr) : rec::handle(*FMUstate);
    const fmi2Status status = call.unit().fmi2FreeFMUstate(c, FMUstate);
    if (FMUstate != nullptr) {
        call["result"] = rec::handle(*FMUstate);
    }
    return call.finish(status);
}

fmi2Status fmi2SerializedFMUstateSize(fmi2Component c, fmi2FMUstate FMUstate, size_t* size) {
    Call call("fmi2SerializedFMUstateSize", c);
    if (!call.ready()) {
        return fmi2Error;
    }
    call["FMUstate"] = rec::handle(FMUstate);
    const fmi2Status status = call.unit().fmi2SerializedFMUstateSize(c, FMUstate, size);
    if (size == nullptr) {
        call["size"] = nullptr;
    } else if (valuesValid(status)) {
        call["size"] = *size;
    }
    return call.finish(status);
}

fmi2Status fmi2SerializeFMUstate(fmi2Component c, fmi2FMUstate FMUstate,
                                 fmi2Byte serializedState[], size_t size) {
    Call call("fmi2SerializeFMUstate", c);
    if (!call.ready()) {
        return fmi2Error;
    }
    call["FMUstate"] = rec::handle(FMUstate);
    call["size"] = size;
    const fmi2Status status =
        call.unit().fmi2SerializeFMUstate(c, FMUstate, serializedState, size);
    if (serializedState == nullptr) {
        call["serializedState"] = nullptr;
    } else if (valuesValid(status)) {
        call["serializedState"] = rec::bytes(serializedState, size);
    }
    return call.finish(status);
}

fmi2Status fmi2DeSerializeFMUstate(fmi2Component c, const fmi2Byte serializedState[], size_t size,
                                   fmi2FMUstate* FMUstate) {
    Call call("fmi2DeSerializeFMUstate", c);
    if (!call.ready()) {
        return fmi2Error;
    }
    call["serializedState"] = rec::bytes(serializedState, size);
    call["size"] = size;
    const fmi2Status status =
        call.unit().fmi2DeSerializeFMUstate(c, serializedState, size, FMUstate);
    if (FMUstate == nullptr) {
        call["FMUstate"] = nullptr;
    } else if (valuesValid(status)) {
        call["FMUstate"] = rec::handle(*FMUstate);
    }
    return call.finish(status);
}

fmi2Status fmi2GetDirectionalDerivative(fmi2Component c, const fmi2ValueReference vUnknown_ref[],
                                        size_t nUnknown, const fmi2ValueReference vKnown_ref[],
                                        size_t nKnown, const fmi2Real dvKnown[],
                                        fmi2Real dvUnknown[]) {
    Call call("fmi2GetDirectionalDerivative", c);
    if (!call.ready()) {
        return fmi2Error;
    }
    call["vUnknown_ref"] = rec::numbers(vUnknown_ref, nUnknown);
    call["nUnknown"] = nUnknown;
    call["vKnown_ref"] = rec::numbers(vKnown_ref, nKnown);
    call["nKnown"] = nKnown;
    call["dvKnown"] = rec::reals(dvKnown, nKnown);
    const fmi2Status status = call.unit().fmi2GetDirectionalDerivative(
        c, vUnknown_ref, nUnknown, vKnown_ref, nKnown, dvKnown, dvUnknown);
    if (dvUnknown == nullptr) {
        call["dvUnknown"] = nullptr;
    } else if (valuesValid(status)) {
        call["dvUnknown"] = rec::reals(dvUnknown, nUnknown);
    }
    return call.finish(status);
}

fmi2Status fmi2GetContinuousStates(fmi2Component c, fmi2Real x[], size_t nx) {
    Call call("fmi2GetContinuousStates", c);
    if (!call.ready()) {
        return fmi2Error;
    }
    call["nx"] = nx;
    const fmi2Status status = call.unit().fmi2GetContinuousStates(c, x, nx);
    if (x == nullptr) {
        call["x"] = nullptr;
    } else if (valuesValid(status)) {
        call["x"] = rec::reals(x, nx);
    }
    return call.finish(status);
}

fmi2Status fmi2SetRealInputDerivatives(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                                       const fmi2Integer order[], const fmi2Real value[]) {
    Call call("fmi2SetRealInputDerivatives", c);
    if (!call.ready()) {
        return fmi2Error;
    }
    call["vr"] = rec::numbers(vr, nvr);
    call["nvr"] = nvr;
    call["order"] = rec::numbers(order, nvr);
    call["value"] = rec::reals(value, nvr);
    return call.finish(call.unit().fmi2SetRealInputDerivatives(c, vr, nvr, order, value));
}

fmi2Status fmi2GetRealOutputDerivatives(fmi2Component c, const fmi2ValueReference vr[],
                                        size_t nvr, const fmi2Integer order[], fmi2Real value[]) {
    Call call("fmi2GetRealOutputDerivatives", c);
    if (!call.ready()) {
        return fmi2Error;
    }
    call["vr"] = rec::numbers(vr, nvr);
    call["nvr"] = nvr;
    call["order"] = rec::numbers(order, nvr);
    const fmi2Status status = call.unit().fmi2GetRealOutputDerivatives(c, vr, nvr, order, value);
    if (value == nullptr) {
        call["value"] = nullptr;
    } else if (valuesValid(status)) {
        call["value"] = rec::reals(value, nvr);
    }
    return call.finish(status);
}

fmi2Status fmi2DoStep(fmi2Component c, fmi2Real currentCommunicationPoint,
                      fmi2Real communicationStepSize,
                      fmi2Boolean noSetFMUStatePriorToCurrentPoint) {
    Call call("fmi2DoStep", c);
    if (!call.ready()) {
        return fmi2Error;
    }
    call["currentCommunicationPoint"] = rec::real(currentCommunicationPoint);
    call["communicationStepSize"] = rec::real(communicationStepSize);
    call["noSetFMUStatePriorToCurrentPoint"] = noSetFMUStatePriorToCurrentPoint;
    return call.finish(call.unit().fmi2DoStep(c, currentCommunicationPoint, communicationStepSize,
                                              noSetFMUStatePriorToCurrentPoint));
}

fmi2Status fmi2GetStatus(fmi2Component c, const fmi2StatusKind s, fmi2Status* value) {
    return rec::statusQuery("fmi2GetStatus", c, s, value, TARVO_FORWARD(fmi2GetStatus));
}

fmi2Status fmi2GetRealStatus(fmi2Component c, const fmi2StatusKind s, fmi2Real* value) {
    return rec::statusQuery("fmi2GetRealStatus", c, s, value, TARVO_FORWARD(fmi2GetRealStatus));
}

fmi2Status fmi2GetIntegerStatus(fmi2Component c, const fmi2StatusKind s, fmi2Integer* value) {
    return rec::statusQuery("fmi2GetIntegerStatus", c, s, value,
                            TARVO_FORWARD(fmi2GetIntegerStatus));
}

fmi2Status fmi2GetBooleanStatus(fmi2Component c, const fmi2StatusKind s, fmi2Boolean* value) {
    return rec::statusQuery("fmi2GetBooleanStatus", c, s, value,
                            TARVO_FORWARD(fmi2GetBooleanStatus));
}

fmi2Status fmi2GetStringStatus(fmi2Component c, const fmi2StatusKind s, fmi2String* value) {
    return rec::statusQuery("fmi2GetStringStatus", c, s, value,
                            TARVO_FORWARD(fmi2GetStringStatus));
}

#undef TARVO_FORWARD

}  // extern "C"
