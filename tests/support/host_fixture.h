// A small host for tests: a logger that records every call with its six
// arguments and the formatted message, an allocator that counts, can fail
// the n-th allocation and knows what is still allocated, and helpers that
// instantiate with good defaults. Free of any test framework, so fuzzers and
// tools can use it too; it drives the unit through the host library's table
// of FMI 2.0 functions (tools/host), linked in or loaded alike.
#ifndef TARVO_TESTS_SUPPORT_HOST_FIXTURE_H
#define TARVO_TESTS_SUPPORT_HOST_FIXTURE_H

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "fmi2/fmi2_functions.h"
#include "host/fmi_api.h"
#include "host/model_values.h"
#include "host/unit_calls.h"

namespace tarvo::testing {

// The tests drive the unit's FMI 2.0 functions.
using FmiApi = host::Fmi2Api;

constexpr const char kTestModelGuid[] = "{3f1c9a52-7b4e-4d08-a6c3-5e92b07d41af}";
constexpr const char kTestInstanceName[] = "unit";
constexpr const char kTestResourceLocation[] = "file:///tmp/tarvo/resources";
constexpr int kModelValueCount = host::kValueCount;

// Values by name, as the variable table declares them.
using host::kInputA;
using host::kInputB;
using host::valueReferenceOf;

// ---------------------------------------------------------------- logging

struct LogRecord {
    fmi2ComponentEnvironment componentEnvironment;
    bool instanceNameIsNull;
    std::string instanceName;
    fmi2Status status;
    std::string category;
    std::string format;   // the message argument as passed
    std::string message;  // the message with its arguments filled in
};

struct LogRecorder {
    std::vector<LogRecord> records;

    void clear() { records.clear(); }
    size_t size() const { return records.size(); }
    bool empty() const { return records.empty(); }
    const LogRecord& last() const { return records.back(); }
};

// Messages whose componentEnvironment argument was null land here, since
// the recorder cannot be found without it. A sound unit never fills it.
inline LogRecorder& strayLog() {
    thread_local LogRecorder log;
    return log;
}

inline std::string copyOrEmpty(const char* text) {
    return text == nullptr ? std::string() : std::string(text);
}

inline void recordingLogger(fmi2ComponentEnvironment componentEnvironment,
                            fmi2String instanceName, fmi2Status status, fmi2String category,
                            fmi2String message, ...) {
    LogRecorder* recorder = componentEnvironment != nullptr
                                ? static_cast<LogRecorder*>(componentEnvironment)
                                : &strayLog();
    std::string formatted;
    if (message != nullptr) {
        char buffer[1024];
        va_list args;
        va_start(args, message);
        std::vsnprintf(buffer, sizeof buffer, message, args);
        va_end(args);
        formatted = buffer;
    }
    recorder->records.push_back(
        LogRecord{componentEnvironment, instanceName == nullptr, copyOrEmpty(instanceName),
                  status, copyOrEmpty(category), copyOrEmpty(message), formatted});
}

// -------------------------------------------------------------- allocation

struct AllocationCall {
    size_t count;
    size_t size;
    void* result;
};

// calloc/free underneath; one ledger per thread, since the host's allocator
// callbacks carry no context.
class AllocationLedger {
public:
    void reset() {
        for (auto& block : live_) {
            std::free(block.first);
        }
        live_.clear();
        calls_.clear();
        frees_ = 0;
        unknownFrees_ = 0;
        failAt_ = 0;
        failAll_ = false;
    }

    // The n-th allocation from now on (1 = the next one) returns null.
    void failAllocation(int n) { failAt_ = static_cast<int>(calls_.size()) + n; }
    void failAllAllocations(bool fail) { failAll_ = fail; }

    void* allocate(size_t count, size_t size) {
        const bool fail = failAll_ || static_cast<int>(calls_.size()) + 1 == failAt_;
        void* block = fail ? nullptr : std::calloc(count == 0 ? 1 : count, size == 0 ? 1 : size);
        calls_.push_back(AllocationCall{count, size, block});
        if (block != nullptr) {
            live_[block] = count * size;
        }
        return block;
    }

    void release(void* block) {
        ++frees_;
        if (block == nullptr) {
            return;
        }
        auto found = live_.find(block);
        if (found == live_.end()) {
            ++unknownFrees_;  // never allocated here, or freed twice
            return;
        }
        live_.erase(found);
        std::free(block);
    }

    const std::vector<AllocationCall>& calls() const { return calls_; }
    int allocationCount() const { return static_cast<int>(calls_.size()); }
    int freeCount() const { return frees_; }
    int unknownFrees() const { return unknownFrees_; }
    size_t outstanding() const { return live_.size(); }
    size_t outstandingBytes() const {
        size_t bytes = 0;
        for (const auto& block : live_) {
            bytes += block.second;
        }
        return bytes;
    }
    bool isLive(const void* block) const { return live_.count(const_cast<void*>(block)) != 0; }

private:
    std::map<void*, size_t> live_;
    std::vector<AllocationCall> calls_;
    int frees_ = 0;
    int unknownFrees_ = 0;
    int failAt_ = 0;
    bool failAll_ = false;
};

inline AllocationLedger& allocationLedger() {
    thread_local AllocationLedger ledger;
    return ledger;
}

inline void* countingAllocate(size_t count, size_t size) {
    return allocationLedger().allocate(count, size);
}

inline void countingFree(void* block) {
    allocationLedger().release(block);
}

// ------------------------------------------------------------------ host

// Frees its instance when it goes out of scope.
class InstanceHandle {
public:
    InstanceHandle() = default;
    InstanceHandle(const FmiApi* api, fmi2Component component)
        : api_(api), component_(component) {}
    InstanceHandle(InstanceHandle&& other) noexcept
        : api_(other.api_), component_(std::exchange(other.component_, nullptr)) {}
    InstanceHandle& operator=(InstanceHandle&& other) noexcept {
        if (this != &other) {
            reset();
            api_ = other.api_;
            component_ = std::exchange(other.component_, nullptr);
        }
        return *this;
    }
    InstanceHandle(const InstanceHandle&) = delete;
    InstanceHandle& operator=(const InstanceHandle&) = delete;
    ~InstanceHandle() { reset(); }

    fmi2Component get() const { return component_; }
    explicit operator bool() const { return component_ != nullptr; }
    fmi2Component release() { return std::exchange(component_, nullptr); }
    void reset() {
        if (component_ != nullptr) {
            api_->fmi2FreeInstance(std::exchange(component_, nullptr));
        }
    }

private:
    const FmiApi* api_ = nullptr;
    fmi2Component component_ = nullptr;
};

// One host: its callback record routes messages to its own log and
// allocations to the thread's ledger. Not movable: the callback record
// points at the log, and instances keep the record by reference.
class TestHost {
public:
    explicit TestHost(const FmiApi& unitApi)
        : api(unitApi),
          callbacks{&recordingLogger, &countingAllocate, &countingFree, nullptr, &log} {}
    TestHost(const TestHost&) = delete;
    TestHost& operator=(const TestHost&) = delete;

    fmi2Component instantiateRaw(const char* name = kTestInstanceName,
                                 fmi2Type type = fmi2CoSimulation,
                                 const char* guid = kTestModelGuid,
                                 const char* location = kTestResourceLocation) {
        return api.fmi2Instantiate(name, type, guid, location, &callbacks, fmi2False, fmi2False);
    }

    InstanceHandle instantiate(const char* name = kTestInstanceName,
                               const char* location = kTestResourceLocation) {
        return InstanceHandle(&api,
                              instantiateRaw(name, fmi2CoSimulation, kTestModelGuid, location));
    }

    // Instantiated, set up (optionally with a stop time) and initialised.
    InstanceHandle initialised(const char* name = kTestInstanceName, bool stopTimeDefined = false,
                               double stopTime = 0.0) {
        InstanceHandle instance = instantiate(name);
        if (instance) {
            api.fmi2SetupExperiment(instance.get(), fmi2False, 0.0, 0.0,
                                    stopTimeDefined ? fmi2True : fmi2False, stopTime);
            api.fmi2EnterInitializationMode(instance.get());
            api.fmi2ExitInitializationMode(instance.get());
        }
        return instance;
    }

    double getReal(fmi2Component instance, fmi2ValueReference vr) const {
        double value = 0.0;
        host::getReal(api, instance, vr, value);
        return value;
    }

    fmi2Status setReal(fmi2Component instance, fmi2ValueReference vr, double value) const {
        return host::setReal(api, instance, vr, value);
    }

    // All 247 model values, in value-reference order.
    std::vector<double> allValues(fmi2Component instance) const {
        host::ModelValues values{};
        host::readAllValues(api, instance, values);
        return std::vector<double>(values.begin(), values.end());
    }

    const FmiApi& api;
    LogRecorder log;
    const fmi2CallbackFunctions callbacks;
};

// Values compared bit for bit, so that NaN equals NaN and -0.0 differs from 0.0.
inline bool sameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

inline bool sameBits(const std::vector<double>& a, const std::vector<double>& b) {
    return a.size() == b.size() &&
           (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
}

}  // namespace tarvo::testing

#endif  // TARVO_TESTS_SUPPORT_HOST_FIXTURE_H
