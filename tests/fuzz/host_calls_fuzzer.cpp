// Host call sequences: the input decodes into FMI calls on up to three
// instances and four snapshot handles, with arguments good and bad, and an
// allocator that fails on command. Checked after every call: the status is
// one the unit may give (and the one documented where the call fixes it),
// every message is one of the fixed messages, sent to the host's
// componentEnvironment with status error and category "error", a refused
// call touches nothing, each record keeps its own pointers, and no block is
// freed that was not allocated. At the end everything is freed through the
// FMI calls and nothing may stay allocated. The sanitizers watch every
// access on the way.
//
// Input format (seeds: host_calls_seeds.py): a stream of one-byte opcodes,
// each followed by its argument bytes; missing bytes read as zero.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <string>
#include <vector>

#include "fmi2/instance.h"
#include "fmi2/logging.h"
#include "runtime/model_runtime.h"
#include "support/host_fixture.h"

extern "C" fmi2Component instantiateWithTypeValue(fmi2String instanceName, int typeValue,
                                                  fmi2String guid, fmi2String resourceLocation,
                                                  const fmi2CallbackFunctions* functions);

namespace {

namespace testing = tarvo::testing;
using Record = tarvo::fmi2::Instance;
using tarvo::runtime::ModelState;

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "host calls: %s\n", what);
    std::abort();
}

void check(bool condition, const char* what) {
    if (!condition) fail(what);
}

// ------------------------------------------------------------ input

class Input {
public:
    Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool empty() const { return position_ >= size_; }
    uint8_t byte() { return position_ < size_ ? data_[position_++] : 0; }
    uint32_t word() {
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i) value |= static_cast<uint32_t>(byte()) << (8 * i);
        return value;
    }
    double rawReal() {
        uint64_t bits = 0;
        for (int i = 0; i < 8; ++i) bits |= static_cast<uint64_t>(byte()) << (8 * i);
        double value = 0.0;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    // Up to 31 bytes, taken as they are (a zero ends the string early).
    std::string text() {
        const size_t length = byte() % 32;
        std::string value;
        for (size_t i = 0; i < length; ++i) value += static_cast<char>(byte());
        return value;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t position_ = 0;
};

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kMax = std::numeric_limits<double>::max();

// Values a host may write: the workload's own, edges of the conversions,
// and everything that is not a plain number. An index past the table reads
// eight raw bytes.
constexpr double kValues[] = {0.0,          -0.0,          1.0,          -0.5,
                              0.5,          0.2,           2.0,          1e-6,
                              kNaN,         -kNaN,         kInf,         -kInf,
                              kMax,         -kMax,         4.9e-324,     2.2250738585072014e-308,
                              1e300,        -1e300,        3e10,         -3e10,
                              2147483647.5, -2147483648.5, 2147483648.0, -2147483649.0,
                              100.0,        -7.0};
constexpr size_t kValueCount = sizeof kValues / sizeof kValues[0];

double value(Input& in) {
    const uint8_t index = in.byte();
    return index < kValueCount ? kValues[index] : in.rawReal();
}

constexpr fmi2Integer kIntegers[] = {0, 1, -1, 5, -7, 2147483647, -2147483647 - 1, 1000};

fmi2Integer integerValue(Input& in) {
    const uint8_t index = in.byte();
    constexpr size_t count = sizeof kIntegers / sizeof kIntegers[0];
    if (index < count) return kIntegers[index];
    return static_cast<fmi2Integer>(in.word());
}

// Bytes 0..246 are the model's references as they stand; the rest of the
// byte range names references beyond the data area, up to the largest. The
// corpus is written in this encoding (host_calls_seeds.py).
constexpr uint8_t kFirstByteBeyond = 247;
static_assert(kFirstByteBeyond == tarvo::runtime::kValueCount,
              "the model data changed size: review the encoding and the corpus");

fmi2ValueReference valueReference(Input& in) {
    const uint8_t index = in.byte();
    if (index < kFirstByteBeyond) return index;
    constexpr fmi2ValueReference kEnd = tarvo::runtime::kValueCount;
    constexpr fmi2ValueReference beyond[] = {kEnd,        kEnd + 1,    256u,        1000u,
                                             0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFEu, 0xFFFFFFFFu};
    return index < 255 ? beyond[index - kFirstByteBeyond] : in.word();
}

// Step sizes: short positive ones (at most 1e-4, a hundred internal steps),
// zero, negative and non-finite ones.
constexpr double kStepSizes[] = {1e-6,  5e-7, 1e-7,  2.5e-6,   1e-5,  3e-5, 1e-4,
                                 0.0,   -0.0, -1e-6, -1e-3,    -1.0,  kNaN, kInf,
                                 -kInf, kMax, -kMax, 4.9e-324, 1e-300};
constexpr size_t kStepSizeCount = sizeof kStepSizes / sizeof kStepSizes[0];

// ------------------------------------------------------------ host

// The host's log and its callback records: complete, and with each member
// the unit checks missing in turn.
testing::LogRecorder hostLog;

void stepFinishedMustNotBeCalled(fmi2ComponentEnvironment, fmi2Status) {
    fail("stepFinished called");
}

const fmi2CallbackFunctions kCompleteCallbacks{&testing::recordingLogger,
                                               &testing::countingAllocate, &testing::countingFree,
                                               nullptr, &hostLog};
const fmi2CallbackFunctions kWithStepFinished{&testing::recordingLogger,
                                              &testing::countingAllocate, &testing::countingFree,
                                              &stepFinishedMustNotBeCalled, &hostLog};
const fmi2CallbackFunctions kWithoutLogger{nullptr, &testing::countingAllocate,
                                           &testing::countingFree, nullptr, &hostLog};
const fmi2CallbackFunctions kWithoutAllocate{&testing::recordingLogger, nullptr,
                                             &testing::countingFree, nullptr, &hostLog};
const fmi2CallbackFunctions kWithoutFree{&testing::recordingLogger, &testing::countingAllocate,
                                         nullptr, nullptr, &hostLog};

constexpr int kSlotCount = 3;
constexpr int kSnapshotCount = 4;

// Model time one input may integrate in all: keeps each input fast.
constexpr double kAdvanceBudget = 5e-4;

struct Slot {
    fmi2Component component = nullptr;
    const fmi2CallbackFunctions* callbacks = nullptr;
    std::string name;
};

struct Session {
    Slot slots[kSlotCount];
    fmi2FMUstate snapshots[kSnapshotCount] = {};
    double advanceLeft = kAdvanceBudget;
};

Record* record(fmi2Component component) {
    return tarvo::fmi2::instanceOf(component);
}

testing::AllocationLedger& ledger() {
    return testing::allocationLedger();
}

bool isFixedMessage(const std::string& format) {
    namespace fmi = tarvo::fmi2;
    const char* const fixed[] = {fmi::kMissingInstanceName,
                                 fmi::kMissingMemoryCallback,
                                 fmi::kMissingGuid,
                                 fmi::kWrongGuid,
                                 fmi::kOutOfMemoryInstance,
                                 fmi::kOutOfMemoryName,
                                 fmi::kCoSimulationOnly,
                                 fmi::kFinishTimeExceeded,
                                 fmi::kSnapshotAllocationFailed,
                                 fmi::kSnapshotRestoreFailed};
    for (const char* message : fixed) {
        if (format == message) return true;
    }
    return false;
}

// Messages sent by the last call, each checked against the fixed table.
size_t checkMessages() {
    check(testing::strayLog().empty(), "message sent without the host's componentEnvironment");
    const size_t count = hostLog.size();
    for (const testing::LogRecord& entry : hostLog.records) {
        check(isFixedMessage(entry.format), "message outside the fixed table");
        check(entry.status == fmi2Error, "message status not fmi2Error");
        check(entry.category == "error", "message category not \"error\"");
        check(!entry.instanceNameIsNull, "message without an instance name");
    }
    return count;
}

void expectMessage(const char* message) {
    check(hostLog.size() == 1 && hostLog.last().format == message, "expected message missing");
}

void checkStatus(fmi2Status status) {
    const int code = static_cast<int>(status);
    check(code == fmi2OK || code == fmi2Discard || code == fmi2Error,
          "status outside OK/Discard/Error");
}

void checkStatus(fmi2Status status, fmi2Status expected) {
    checkStatus(status);
    check(status == expected, "status other than the documented one");
}

// Every live record still points at its own callbacks, name copy and data,
// whatever was restored into it.
void checkRecords(const Session& session) {
    for (const Slot& slot : session.slots) {
        if (slot.component == nullptr) continue;
        const Record* r = record(slot.component);
        check(r->host.functions == slot.callbacks, "record lost its callback record");
        check(ledger().isLive(r->host.instanceName) && slot.name == r->host.instanceName,
              "record lost its name copy");
        check(r->host.resourcePath == nullptr || ledger().isLive(r->host.resourcePath),
              "record points at a freed resource path");
        check(r->model.state.stepSize == 1e-6, "internal step changed");
    }
    check(ledger().unknownFrees() == 0, "a block freed that was not allocated");
}

fmi2Component component(const Session& session, Input& in) {
    return session.slots[in.byte() % kSlotCount].component;
}

// ------------------------------------------------------------ calls

// A text argument as choice picks it: one of the given texts, then a text
// of the input's own, then the empty text, then none (null). The text is
// kept in storage, which the pointer returned points into.
const char* pickText(Input& in, unsigned choice, std::initializer_list<const char*> given,
                     std::string& storage) {
    if (choice < given.size()) {
        storage = given.begin()[choice];
        return storage.c_str();
    }
    if (choice == given.size()) {
        storage = in.text();
        return storage.c_str();
    }
    return choice == given.size() + 1 ? "" : nullptr;
}

void instantiate(Session& session, Input& in) {
    Slot& slot = session.slots[in.byte() % kSlotCount];
    if (slot.component != nullptr) {
        fmi2FreeInstance(slot.component);
        slot.component = nullptr;
    }
    const uint8_t variant = in.byte();

    const fmi2CallbackFunctions* const records[] = {&kCompleteCallbacks,
                                                    &kCompleteCallbacks,
                                                    &kWithStepFinished,
                                                    &kWithoutLogger,
                                                    &kWithoutAllocate,
                                                    &kWithoutFree,
                                                    nullptr};
    const fmi2CallbackFunctions* callbacks = records[(variant & 0x7) % 7];

    std::string givenName;
    const char* const namePointer = pickText(in, (variant >> 3) & 0x3, {"unit"}, givenName);
    const bool nameGiven = namePointer != nullptr && namePointer[0] != '\0';
    // The name as far as the unit reads it (a zero byte ends it).
    const std::string name = nameGiven ? std::string(namePointer) : std::string();

    std::string guid;
    const char* guidPointer = nullptr;
    const uint8_t guidChoice = in.byte() % 8;
    switch (guidChoice) {
        case 0:
        case 1:
        case 2: guid = testing::kTestModelGuid; break;
        case 3: guid = "{"; break;                                         // a prefix
        case 4: guid = std::string(testing::kTestModelGuid) + "0"; break;  // one more
        case 5: guid = "{3F1C9A52-7B4E-4D08-A6C3-5E92B07D41AF}"; break;    // upper case
        case 6: guid = in.text(); break;
        default: break;
    }
    if (guidChoice != 7) guidPointer = guid.c_str();
    const bool guidGiven = guidPointer != nullptr && guidPointer[0] != '\0';
    const bool guidExact =
        guidPointer != nullptr && std::strcmp(guidPointer, testing::kTestModelGuid) == 0;

    std::string location;
    const char* const locationPointer = pickText(
        in, in.byte() % 5, {testing::kTestResourceLocation, "file:///D:/a%20b%2F"}, location);
    const bool locationGiven = locationPointer != nullptr && locationPointer[0] != '\0';

    const uint8_t typeChoice = in.byte() % 8;
    const int typeValues[] = {fmi2CoSimulation,
                              fmi2CoSimulation,
                              fmi2CoSimulation,
                              fmi2CoSimulation,
                              fmi2ModelExchange,
                              2,
                              -1,
                              -2147483647 - 1};
    const int typeValue = typeValues[typeChoice];

    const size_t liveBefore = ledger().outstanding();
    const int callsBefore = ledger().allocationCount();
    hostLog.clear();
    const fmi2Component c =
        instantiateWithTypeValue(namePointer, typeValue, guidPointer, locationPointer, callbacks);
    checkMessages();
    const auto& calls = ledger().calls();
    const auto allocationFailed = [&](int index) {
        const size_t at = static_cast<size_t>(callsBefore + index);
        return at < calls.size() && calls[at].result == nullptr;
    };

    // The documented outcome, in the order the checks are made.
    const char* expectedMessage = nullptr;
    bool expectSuccess = false;
    if (callbacks == nullptr || callbacks->logger == nullptr) {
    } else if (!nameGiven) {
        expectedMessage = tarvo::fmi2::kMissingInstanceName;
    } else if (callbacks->allocateMemory == nullptr || callbacks->freeMemory == nullptr) {
        expectedMessage = tarvo::fmi2::kMissingMemoryCallback;
    } else if (!guidGiven) {
        expectedMessage = tarvo::fmi2::kMissingGuid;
    } else if (!guidExact) {
        expectedMessage = tarvo::fmi2::kWrongGuid;
    } else if (allocationFailed(0)) {
        expectedMessage = tarvo::fmi2::kOutOfMemoryInstance;
    } else if (allocationFailed(1)) {
        expectedMessage = tarvo::fmi2::kOutOfMemoryName;
    } else if (typeValue != fmi2CoSimulation) {
        expectedMessage = tarvo::fmi2::kCoSimulationOnly;
    } else {
        expectSuccess = true;
    }

    if (!expectSuccess) {
        check(c == nullptr, "instantiation succeeded against its arguments");
        if (expectedMessage != nullptr) {
            expectMessage(expectedMessage);
            if (expectedMessage == tarvo::fmi2::kMissingInstanceName) {
                check(hostLog.last().instanceName == "?", "missing-name message not under \"?\"");
            } else {
                check(hostLog.last().instanceName == name, "message under another name");
            }
        } else {
            check(hostLog.empty(), "message without a logger");
        }
        check(ledger().outstanding() == liveBefore, "failed instantiation left memory allocated");
        return;
    }
    check(c != nullptr, "instantiation failed with good arguments");
    check(hostLog.empty(), "successful instantiation logged");
    const Record* r = record(c);
    const bool pathExpected = locationGiven && !allocationFailed(2);
    check((r->host.resourcePath != nullptr) == pathExpected,
          "resource path against the location");
    check(ledger().outstanding() == liveBefore + (pathExpected ? 3u : 2u),
          "instantiation holds other blocks than record, name and path");
    check(r->model.state.currentTime == 0.0 && r->model.state.stepSize == 1e-6,
          "fresh record not in its first state");
    slot.component = c;
    slot.callbacks = callbacks;
    slot.name = name;
}

void freeInstance(Session& session, Input& in) {
    Slot& slot = session.slots[in.byte() % kSlotCount];
    const size_t liveBefore = ledger().outstanding();
    const Record* r = record(slot.component);
    const size_t owned = r == nullptr ? 0 : (r->host.resourcePath != nullptr ? 3 : 2);
    hostLog.clear();
    fmi2FreeInstance(slot.component);  // null does nothing
    check(checkMessages() == 0, "freeing logged");
    check(ledger().outstanding() == liveBefore - owned, "freeing kept blocks of the instance");
    slot.component = nullptr;
}

void setupExperiment(Session& session, Input& in) {
    const fmi2Component c = component(session, in);
    const fmi2Boolean toleranceDefined = in.byte() & 1;
    const double tolerance = value(in);
    const double startTime = value(in);
    const fmi2Boolean stopTimeDefined = static_cast<fmi2Boolean>(in.byte() % 4) - 1;  // -1..2
    const double stopTime = value(in);
    const fmi2Status status =
        fmi2SetupExperiment(c, toleranceDefined, tolerance, startTime, stopTimeDefined, stopTime);
    const bool refused = c == nullptr || (stopTimeDefined == 1 && std::isnan(stopTime));
    checkStatus(status, refused ? fmi2Error : fmi2OK);
}

void lifecycle(Session& session, Input& in) {
    const fmi2Component c = component(session, in);
    const fmi2Status expected = c == nullptr ? fmi2Error : fmi2OK;
    switch (in.byte() % 4) {
        case 0: checkStatus(fmi2EnterInitializationMode(c), expected); break;
        case 1: checkStatus(fmi2ExitInitializationMode(c), expected); break;
        case 2:
            checkStatus(fmi2Reset(c), expected);
            if (c != nullptr)
                check(record(c)->model.state.currentTime == 0.0, "reset kept the clock");
            break;
        default: checkStatus(fmi2Terminate(c), expected); break;
    }
}

void doStep(Session& session, Input& in) {
    const fmi2Component c = component(session, in);
    const uint8_t pointChoice = in.byte() % 8;
    const uint8_t stepChoice = in.byte();
    const double stepSize = stepChoice < kStepSizeCount ? kStepSizes[stepChoice]
                                                        : static_cast<double>(stepChoice) * 1e-7;
    const double clock = c == nullptr ? 0.0 : record(c)->model.state.currentTime;
    double point = clock;
    switch (pointChoice) {
        case 0:
        case 1:
        case 2: point = clock; break;      // where the model is
        case 3: point = 0.0; break;        // behind it
        case 4: point = value(in); break;  // anything
        case 5: point = clock - 1e-6; break;
        case 6: point = -kMax; break;
        default: point = kNaN; break;
    }
    // Keep each input fast: a request that would integrate more than the
    // budget left is moved back to the model's clock, or dropped.
    const double end = point + stepSize;
    if (c != nullptr && std::isfinite(end) && end - clock > session.advanceLeft) {
        point = clock;
        if (!(point + stepSize - clock <= session.advanceLeft)) return;
    }
    const fmi2Boolean noPriorState = in.byte() & 1;

    const Record* r = record(c);
    const bool finiteRequest =
        std::isfinite(point) && std::isfinite(stepSize) && std::isfinite(point + stepSize);
    const double clockBefore = clock;
    const int flagBefore = r == nullptr ? 0 : r->model.state.parametersChanged;
    std::vector<double> dataBefore;
    if (r != nullptr)
        dataBefore.assign(r->model.state.values,
                          r->model.state.values + tarvo::runtime::kValueCount);

    hostLog.clear();
    const fmi2Status status = fmi2DoStep(c, point, stepSize, noPriorState);
    checkStatus(status);
    const size_t messages = checkMessages();
    if (c == nullptr) {
        check(status == fmi2Error, "step on a null instance not refused");
        return;
    }
    if (messages != 0) {
        expectMessage(tarvo::fmi2::kFinishTimeExceeded);
        check(hostLog.last().instanceName == r->host.instanceName,
              "finish-time message under another instance's name");
        check(status == fmi2Error, "finish-time message with success");
    }
    if (stepSize == 0.0) {
        check(status == fmi2OK && r->model.state.parametersChanged == flagBefore,
              "zero step did something");
    }
    if (stepSize == 0.0 || !finiteRequest) {
        // Nothing at all may change: not the clock, not a value.
        check(stepSize == 0.0 || status == fmi2Error, "non-finite step not refused");
        check(r->model.state.currentTime == clockBefore ||
                  (std::isnan(r->model.state.currentTime) && std::isnan(clockBefore)),
              "refused step moved the clock");
        check(std::memcmp(dataBefore.data(), r->model.state.values,
                          sizeof r->model.state.values) == 0,
              "refused step changed values");
        return;
    }
    check(r->model.state.parametersChanged == 0, "step left the parameter flag set");
    const double advanced = r->model.state.currentTime - clockBefore;
    check(!(advanced < 0.0), "step moved the clock back");
    check(advanced == 0.0 || r->model.state.currentTime <= point + stepSize,
          "step integrated beyond its end");
    if (advanced > 0.0) session.advanceLeft -= advanced;
}

// The whole call is refused or made: a refused get writes nothing, a
// refused set changes nothing.
template <typename T>
bool fillPattern(std::vector<T>& values) {
    std::memset(values.data(), 0xA5, values.size() * sizeof(T));
    return true;
}

template <typename T>
bool isPattern(const std::vector<T>& values) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(values.data());
    for (size_t i = 0; i < values.size() * sizeof(T); ++i) {
        if (bytes[i] != 0xA5) return false;
    }
    return true;
}

fmi2Integer expectedInteger(double x) {
    if (!(x > -2147483649.0 && x < 2147483648.0)) return -2147483647 - 1;
    return static_cast<fmi2Integer>(x);
}

struct Access {
    fmi2Component c;
    std::vector<fmi2ValueReference> vrs;
    bool vrNull;
    bool valuesNull;
    bool valid;
};

Access readAccess(const Session& session, Input& in) {
    Access access{component(session, in), {}, false, false, false};
    const size_t count = in.byte() % 6;
    const uint8_t nulls = in.byte() % 16;
    access.vrNull = nulls == 1;
    access.valuesNull = nulls == 2;
    for (size_t i = 0; i < count; ++i) access.vrs.push_back(valueReference(in));
    access.valid = access.c != nullptr;
    if (count != 0) {
        access.valid = access.valid && !access.vrNull && !access.valuesNull;
        for (fmi2ValueReference vr : access.vrs) {
            access.valid = access.valid && vr < tarvo::runtime::kValueCount;
        }
    }
    return access;
}

const fmi2ValueReference* vrArgument(const Access& access) {
    return access.vrNull || access.vrs.empty() ? nullptr : access.vrs.data();
}

void getValues(Session& session, Input& in) {
    const uint8_t kind = in.byte() % 3;
    const Access access = readAccess(session, in);
    const size_t count = access.vrs.size();
    const Record* r = record(access.c);
    fmi2Status status = fmi2OK;
    if (kind == 0) {
        std::vector<fmi2Real> values(count + 1);
        fillPattern(values);
        status = fmi2GetReal(access.c, vrArgument(access), count,
                             access.valuesNull ? nullptr : values.data());
        if (access.valid) {
            for (size_t i = 0; i < count; ++i)
                check(testing::sameBits(values[i], r->model.state.values[access.vrs[i]]),
                      "real read wrong");
        } else {
            values.pop_back();
            check(isPattern(values), "refused real read wrote");
        }
    } else if (kind == 1) {
        std::vector<fmi2Integer> values(count + 1);
        fillPattern(values);
        status = fmi2GetInteger(access.c, vrArgument(access), count,
                                access.valuesNull ? nullptr : values.data());
        if (access.valid) {
            for (size_t i = 0; i < count; ++i)
                check(values[i] == expectedInteger(r->model.state.values[access.vrs[i]]),
                      "integer read wrong");
        } else {
            values.pop_back();
            check(isPattern(values), "refused integer read wrote");
        }
    } else {
        std::vector<fmi2Boolean> values(count + 1);
        fillPattern(values);
        status = fmi2GetBoolean(access.c, vrArgument(access), count,
                                access.valuesNull ? nullptr : values.data());
        if (access.valid) {
            for (size_t i = 0; i < count; ++i)
                check(values[i] == (r->model.state.values[access.vrs[i]] == 1.0 ? 1 : 0),
                      "boolean read wrong");
        } else {
            values.pop_back();
            check(isPattern(values), "refused boolean read wrote");
        }
    }
    checkStatus(status, access.valid ? fmi2OK : fmi2Error);
    check(checkMessages() == 0, "value access logged");
}

void setValues(Session& session, Input& in) {
    const uint8_t kind = in.byte() % 3;
    const Access access = readAccess(session, in);
    const size_t count = access.vrs.size();
    Record* r = record(access.c);
    std::vector<double> stored(count);
    fmi2Status status = fmi2OK;
    std::vector<double> dataBefore;
    int flagBefore = 0;
    if (r != nullptr) {
        dataBefore.assign(r->model.state.values,
                          r->model.state.values + tarvo::runtime::kValueCount);
        flagBefore = r->model.state.parametersChanged;
    }
    hostLog.clear();
    if (kind == 0) {
        std::vector<fmi2Real> values(count);
        for (size_t i = 0; i < count; ++i) stored[i] = values[i] = value(in);
        status = fmi2SetReal(access.c, vrArgument(access), count,
                             access.valuesNull || count == 0 ? nullptr : values.data());
    } else if (kind == 1) {
        std::vector<fmi2Integer> values(count);
        for (size_t i = 0; i < count; ++i) {
            values[i] = integerValue(in);
            stored[i] = static_cast<double>(values[i]);
        }
        status = fmi2SetInteger(access.c, vrArgument(access), count,
                                access.valuesNull || count == 0 ? nullptr : values.data());
    } else {
        std::vector<fmi2Boolean> values(count);
        for (size_t i = 0; i < count; ++i) {
            values[i] = integerValue(in);
            stored[i] = values[i] != 0 ? 1.0 : 0.0;
        }
        status = fmi2SetBoolean(access.c, vrArgument(access), count,
                                access.valuesNull || count == 0 ? nullptr : values.data());
    }
    checkStatus(status, access.valid ? fmi2OK : fmi2Error);
    check(checkMessages() == 0, "value access logged");
    if (r == nullptr) return;
    if (!access.valid) {
        check(std::memcmp(dataBefore.data(), r->model.state.values,
                          sizeof r->model.state.values) == 0,
              "refused write changed values");
        check(r->model.state.parametersChanged == flagBefore,
              "refused write touched the parameter flag");
        return;
    }
    bool parameterWritten = false;
    for (size_t i = 0; i < count; ++i) {
        const fmi2ValueReference vr = access.vrs[i];
        // P[0..46]; the initial values, parameters to a host too, leave the flag.
        parameterWritten = parameterWritten || (vr >= tarvo::runtime::kParametersStart &&
                                                vr < tarvo::runtime::kInitialValuesStart);
        bool lastWrite = true;
        for (size_t j = i + 1; j < count; ++j) lastWrite = lastWrite && access.vrs[j] != vr;
        if (lastWrite)
            check(testing::sameBits(r->model.state.values[vr], stored[i]),
                  "written value not stored");
    }
    check(r->model.state.parametersChanged == (parameterWritten ? 1 : flagBefore),
          "parameter flag wrong");
}

void getContinuousStates(Session& session, Input& in) {
    const fmi2Component c = component(session, in);
    const size_t counts[] = {20, 20, 19, 21, 0, 1, 247};
    const size_t nx = counts[in.byte() % 7];
    const bool nullArray = (in.byte() % 8) == 0;
    std::vector<fmi2Real> x(nx == 0 ? 1 : nx);  // exactly what the host claims to hold
    fillPattern(x);
    const fmi2Status status = fmi2GetContinuousStates(c, nullArray ? nullptr : x.data(), nx);
    const bool valid = c != nullptr && nx == 20 && !nullArray;
    checkStatus(status, valid ? fmi2OK : fmi2Error);
    if (valid) {
        check(std::memcmp(x.data(), tarvo::runtime::statesOf(record(c)->model),
                          20 * sizeof(double)) == 0,
              "states read wrong");
    } else {
        check(isPattern(x), "refused state read wrote");
    }
    check(checkMessages() == 0, "state read logged");
}

void getSnapshot(Session& session, Input& in) {
    const fmi2Component c = component(session, in);
    const uint8_t choice = in.byte();
    fmi2FMUstate& handle = session.snapshots[choice % kSnapshotCount];
    const bool nullPointer = (choice >> 2) % 8 == 0;
    const fmi2FMUstate before = handle;
    const int callsBefore = ledger().allocationCount();
    hostLog.clear();
    const fmi2Status status = fmi2GetFMUstate(c, nullPointer ? nullptr : &handle);
    checkStatus(status);
    checkMessages();
    if (c == nullptr) {
        check(status == fmi2Error && handle == before && hostLog.empty(),
              "snapshot without instance");
        return;
    }
    if (nullPointer) {
        check(status == fmi2Discard && hostLog.empty(), "snapshot into no handle");
        return;
    }
    if (before != nullptr) {
        check(status == fmi2OK && handle == before && ledger().allocationCount() == callsBefore,
              "reused snapshot handle not overwritten in place");
    } else if (status == fmi2Error) {
        check(handle == nullptr && ledger().calls().back().result == nullptr,
              "snapshot failed without a failed allocation");
        expectMessage(tarvo::fmi2::kSnapshotAllocationFailed);
        check(hostLog.last().instanceName == record(c)->host.instanceName,
              "snapshot message under another name");
        return;
    } else {
        check(status == fmi2OK && handle != nullptr && ledger().isLive(handle),
              "new snapshot not allocated");
    }
    check(std::memcmp(handle, &record(c)->model.state, sizeof(ModelState)) == 0,
          "snapshot not a copy of the model state");
}

void setSnapshot(Session& session, Input& in) {
    const fmi2Component c = component(session, in);
    const uint8_t choice = in.byte();
    const fmi2FMUstate state =
        (choice >> 2) % 8 == 0 ? nullptr : session.snapshots[choice % kSnapshotCount];
    Record* r = record(c);
    std::vector<double> dataBefore;
    if (r != nullptr)
        dataBefore.assign(r->model.state.values,
                          r->model.state.values + tarvo::runtime::kValueCount);
    hostLog.clear();
    const fmi2Status status = fmi2SetFMUstate(c, state);
    checkStatus(status);
    checkMessages();
    if (c == nullptr) {
        check(status == fmi2Error && hostLog.empty(), "restore without instance");
        return;
    }
    if (state == nullptr) {
        check(status == fmi2Error, "restore of nothing");
        expectMessage(tarvo::fmi2::kSnapshotRestoreFailed);
        check(std::memcmp(dataBefore.data(), r->model.state.values,
                          sizeof r->model.state.values) == 0,
              "failed restore changed values");
        return;
    }
    check(status == fmi2OK && hostLog.empty(), "restore failed");
    check(std::memcmp(state, &r->model.state, sizeof(ModelState)) == 0,
          "restore did not take the snapshot's state");
}

void freeSnapshot(Session& session, Input& in) {
    const fmi2Component c = component(session, in);
    const uint8_t choice = in.byte();
    fmi2FMUstate& handle = session.snapshots[choice % kSnapshotCount];
    const bool nullPointer = (choice >> 2) % 8 == 0;
    const fmi2FMUstate before = handle;
    const size_t liveBefore = ledger().outstanding();
    const fmi2Status status = fmi2FreeFMUstate(c, nullPointer ? nullptr : &handle);
    check(checkMessages() == 0, "releasing a snapshot logged");
    if (nullPointer || before == nullptr) {
        checkStatus(status, fmi2OK);
        check(ledger().outstanding() == liveBefore, "nothing to release, yet released");
    } else if (c == nullptr) {
        checkStatus(status, fmi2Error);
        check(handle == before && ledger().isLive(before),
              "snapshot released without an instance");
    } else {
        checkStatus(status, fmi2OK);
        check(handle == nullptr && ledger().outstanding() == liveBefore - 1,
              "snapshot not released");
    }
}

// Status queries, cancelling and every function the unit does not offer:
// their fixed result, and nothing written into the caller's arguments.
void fixedResults(Session& session, Input& in) {
    const fmi2Component c = component(session, in);
    const uint8_t choice = in.byte();
    const fmi2StatusKind kinds[] = {fmi2DoStepStatus, fmi2PendingStatus, fmi2LastSuccessfulTime,
                                    fmi2Terminated};
    const fmi2StatusKind kind = kinds[(choice >> 4) % 4];
    const fmi2Status onInstance = c == nullptr ? fmi2Error : fmi2OK;
    const fmi2Status discardOnInstance = c == nullptr ? fmi2Error : fmi2Discard;
    std::vector<uint64_t> out(8);
    fillPattern(out);
    void* const scratch = out.data();
    const fmi2ValueReference vrs[2] = {testing::valueReferenceOf("level.capacity"), 300};
    const fmi2Integer orders[2] = {1, 1};
    const fmi2Real reals[2] = {kNaN, 1.0};
    const fmi2String strings[2] = {"a", nullptr};
    switch (choice % 16) {
        case 0:
            checkStatus(fmi2GetStatus(c, kind, static_cast<fmi2Status*>(scratch)), onInstance);
            break;
        case 1:
            checkStatus(fmi2GetRealStatus(c, kind, static_cast<fmi2Real*>(scratch)), onInstance);
            break;
        case 2:
            checkStatus(fmi2GetIntegerStatus(c, kind, static_cast<fmi2Integer*>(scratch)),
                        onInstance);
            break;
        case 3:
            checkStatus(fmi2GetBooleanStatus(c, kind, static_cast<fmi2Boolean*>(scratch)),
                        onInstance);
            break;
        case 4:
            checkStatus(fmi2GetStringStatus(c, kind, static_cast<fmi2String*>(scratch)),
                        discardOnInstance);
            break;
        case 5: checkStatus(fmi2CancelStep(c), fmi2Error); break;
        case 6:
            checkStatus(fmi2GetString(c, vrs, 2, static_cast<fmi2String*>(scratch)), fmi2Error);
            break;
        case 7: checkStatus(fmi2SetString(c, vrs, 2, strings), fmi2Error); break;
        case 8:
            checkStatus(fmi2SerializedFMUstateSize(c, session.snapshots[0],
                                                   static_cast<size_t*>(scratch)),
                        discardOnInstance);
            break;
        case 9:
            checkStatus(
                fmi2SerializeFMUstate(c, session.snapshots[1], static_cast<fmi2Byte*>(scratch),
                                      sizeof(uint64_t) * out.size()),
                discardOnInstance);
            break;
        case 10: {
            fmi2FMUstate state = session.snapshots[2];
            const fmi2FMUstate before = state;
            checkStatus(
                fmi2DeSerializeFMUstate(c, static_cast<const fmi2Byte*>(scratch), 16, &state),
                discardOnInstance);
            check(state == before, "deserialisation wrote a handle");
            break;
        }
        case 11:
            checkStatus(fmi2GetDirectionalDerivative(c, vrs, 2, vrs, 2, reals,
                                                     static_cast<fmi2Real*>(scratch)),
                        discardOnInstance);
            break;
        case 12:
            checkStatus(fmi2SetRealInputDerivatives(c, vrs, 2, orders, reals), fmi2Error);
            break;
        case 13:
            checkStatus(
                fmi2GetRealOutputDerivatives(c, vrs, 2, orders, static_cast<fmi2Real*>(scratch)),
                fmi2Error);
            break;
        case 14: {
            const fmi2String categories[1] = {"error"};
            checkStatus(fmi2SetDebugLogging(c, choice & 1, 1, categories), onInstance);
            break;
        }
        default:
            check(std::strcmp(fmi2GetVersion(), "2.0") == 0 &&
                      std::strcmp(fmi2GetTypesPlatform(), "default") == 0,
                  "information strings");
            break;
    }
    check(isPattern(out), "a fixed-result call wrote into its arguments");
    check(checkMessages() == 0, "a fixed-result call logged");
}

// Arms the allocator: the n-th allocation from now fails, or every one.
void allocatorControl(Input& in) {
    const uint8_t choice = in.byte();
    if (choice < 16) {
        ledger().failAllocation(choice % 4 + 1);
    } else if (choice < 24) {
        ledger().failAllAllocations(choice % 2 == 0);
    }
}

// Nothing may stay allocated once every instance and snapshot is released
// through the FMI calls.
void releaseEverything(Session& session) {
    testing::AllocationLedger& l = ledger();
    l.failAllAllocations(false);
    l.failAllocation(-l.allocationCount());  // a position already passed: nothing fails
    fmi2Component keeper = nullptr;
    for (const Slot& slot : session.slots) {
        if (slot.component != nullptr) keeper = slot.component;
    }
    bool ownKeeper = false;
    bool anySnapshot = false;
    for (fmi2FMUstate state : session.snapshots) anySnapshot = anySnapshot || state != nullptr;
    if (keeper == nullptr && anySnapshot) {
        keeper = fmi2Instantiate("keeper", fmi2CoSimulation, testing::kTestModelGuid, nullptr,
                                 &kCompleteCallbacks, fmi2False, fmi2False);
        check(keeper != nullptr, "no instance to release snapshots with");
        ownKeeper = true;
    }
    for (fmi2FMUstate& state : session.snapshots) {
        if (state != nullptr) checkStatus(fmi2FreeFMUstate(keeper, &state), fmi2OK);
    }
    if (ownKeeper) fmi2FreeInstance(keeper);
    for (Slot& slot : session.slots) {
        fmi2FreeInstance(slot.component);
        slot.component = nullptr;
    }
    check(l.outstanding() == 0, "memory left allocated at the end");
    check(l.unknownFrees() == 0, "a block freed that was not allocated");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    testing::allocationLedger().reset();
    testing::strayLog().clear();
    hostLog.clear();
    Session session;
    Input in(data, size);
    for (int call = 0; call < 256 && !in.empty(); ++call) {
        hostLog.clear();
        switch (in.byte() % 16) {
            case 0: instantiate(session, in); break;
            case 1: freeInstance(session, in); break;
            case 2: setupExperiment(session, in); break;
            case 3: lifecycle(session, in); break;
            case 4:
            case 5: doStep(session, in); break;
            case 6: getValues(session, in); break;
            case 7:
            case 8: setValues(session, in); break;
            case 9: getContinuousStates(session, in); break;
            case 10: getSnapshot(session, in); break;
            case 11: setSnapshot(session, in); break;
            case 12: freeSnapshot(session, in); break;
            case 13: fixedResults(session, in); break;
            case 14: allocatorControl(in); break;
            default: checkMessages(); break;
        }
        checkMessages();
        checkRecords(session);
    }
    releaseEverything(session);
    return 0;
}
