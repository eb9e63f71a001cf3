// The call recorder as a host loads it: the same host session run on the
// unit and on the recorder gives the same statuses, values and messages;
// the log it writes replays identically; calls on null and unknown handles
// are logged; a log that cannot be written refuses the instance. Run under
// valgrind (memcheck.recorder) and in the sanitizer build, which check that
// nothing leaks.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "host/unit_library.h"
#include "support/host_fixture.h"

namespace tarvo::testing {
namespace {

// The libraries stay loaded until the program ends, and are closed then,
// so that a leak check sees everything they hold released.
const FmiApi& loaded(const host::UnitLibrary& library) {
    EXPECT_TRUE(library.isLoaded()) << library.error();
    return library.fmi2();
}

const FmiApi& unit() {
    static const host::UnitLibrary library(TARVO_UNIT_LIBRARY);
    return loaded(library);
}

const FmiApi& recorder() {
    static const host::UnitLibrary library(TARVO_RECORDER_LIBRARY);
    return loaded(library);
}

std::string bitsOf(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%a", value);
    return text;
}

// A host session that touches every call, errors and bad handles included,
// written down as it goes: every status, every value read and every message.
std::vector<std::string> runSession(const FmiApi& api) {
    allocationLedger().reset();
    std::vector<std::string> transcript;
    {
        TestHost host(api);
        auto note = [&transcript](const std::string& what, long long result) {
            transcript.push_back(what + " -> " + std::to_string(result));
        };
        auto noteValues = [&](const char* what, fmi2Component c) {
            std::string values = what;
            for (double value : host.allValues(c)) {
                values += ' ' + bitsOf(value);
            }
            transcript.push_back(values);
        };
        transcript.push_back(api.fmi2GetVersion());
        transcript.push_back(api.fmi2GetTypesPlatform());
        fmi2Component a = host.instantiateRaw("a");
        fmi2Component b = host.instantiateRaw("b");
        note("refused instance",
             host.instantiateRaw("c", fmi2CoSimulation, "{wrong}") != nullptr);
        note("debug logging", api.fmi2SetDebugLogging(a, fmi2True, 0, nullptr));
        note("set-up with stop time",
             api.fmi2SetupExperiment(a, fmi2False, 0.0, 0.0, fmi2True, 3e-3));
        note("set-up", api.fmi2SetupExperiment(b, fmi2True, 1e-6, 0.0, fmi2False, 0.0));
        for (fmi2Component c : {a, b}) {
            note("enter", api.fmi2EnterInitializationMode(c));
            note("input", host.setReal(c, kInputA, 1.0));
            note("exit", api.fmi2ExitInitializationMode(c));
            note("step", api.fmi2DoStep(c, 0.0, 1e-3, fmi2True));
        }
        fmi2FMUstate state = nullptr;
        note("take snapshot", api.fmi2GetFMUstate(a, &state));
        note("step", api.fmi2DoStep(a, 1e-3, 1e-3, fmi2False));
        note("retake snapshot", api.fmi2GetFMUstate(a, &state));
        note("restore into the other", api.fmi2SetFMUstate(b, state));
        noteValues("after restore", b);
        note("past the stop time", api.fmi2DoStep(a, 2e-3, 5e-3, fmi2True));
        noteValues("at the stop time", a);
        note("reset", api.fmi2Reset(b));

        const fmi2ValueReference refs[] = {valueReferenceOf("pi"), kInputA,
                                           valueReferenceOf("states[8]"),
                                           valueReferenceOf("variables[82]")};
        fmi2Integer integers[4] = {};
        fmi2Boolean booleans[4] = {};
        fmi2String strings[4] = {};
        note("integers", api.fmi2GetInteger(b, refs, 4, integers));
        note("booleans", api.fmi2GetBoolean(b, refs, 4, booleans));
        for (int i = 0; i < 4; ++i) {
            note("integer", integers[i]);
            note("boolean", booleans[i]);
        }
        note("strings", api.fmi2GetString(b, refs, 4, strings));
        note("set strings", api.fmi2SetString(b, refs, 1, strings));
        const fmi2Integer seven = -7;
        const fmi2Boolean five = 5;
        note("set integer", api.fmi2SetInteger(b, &refs[1], 1, &seven));
        note("set Boolean", api.fmi2SetBoolean(b, &refs[2], 1, &five));
        const fmi2ValueReference beyond = runtime::kModelDataSize;
        double ignored = 0.0;
        note("bad reference", api.fmi2GetReal(b, &beyond, 1, &ignored));
        double states[20] = {};
        note("19 states", api.fmi2GetContinuousStates(b, states, 19));
        note("20 states", api.fmi2GetContinuousStates(b, states, 20));
        note("step after reset", api.fmi2DoStep(b, 1e-3, 1e-3, fmi2True));
        noteValues("after reset and step", b);

        size_t size = 0;
        fmi2Byte bytes[8] = {};
        fmi2FMUstate restored = nullptr;
        const fmi2Integer order = 1;
        double derivative = 0.0;
        fmi2Status status = fmi2OK;
        fmi2Real real = 0.0;
        fmi2Integer integer = 0;
        fmi2Boolean boolean = 0;
        fmi2String string = nullptr;
        note("size", api.fmi2SerializedFMUstateSize(b, state, &size));
        note("serialise", api.fmi2SerializeFMUstate(b, state, bytes, sizeof bytes));
        note("deserialise", api.fmi2DeSerializeFMUstate(b, bytes, sizeof bytes, &restored));
        note("derivative",
             api.fmi2GetDirectionalDerivative(b, refs, 1, refs, 1, &derivative, &derivative));
        note("input derivative",
             api.fmi2SetRealInputDerivatives(b, refs, 1, &order, &derivative));
        note("output derivative",
             api.fmi2GetRealOutputDerivatives(b, refs, 1, &order, &derivative));
        note("cancel", api.fmi2CancelStep(b));
        note("status", api.fmi2GetStatus(b, fmi2DoStepStatus, &status));
        note("real status", api.fmi2GetRealStatus(b, fmi2LastSuccessfulTime, &real));
        note("integer status", api.fmi2GetIntegerStatus(b, fmi2DoStepStatus, &integer));
        note("Boolean status", api.fmi2GetBooleanStatus(b, fmi2Terminated, &boolean));
        note("string status", api.fmi2GetStringStatus(b, fmi2PendingStatus, &string));

        note("null instance step", api.fmi2DoStep(nullptr, 0.0, 1e-3, fmi2True));
        note("null instance read", api.fmi2GetReal(nullptr, refs, 1, &ignored));
        note("restore nothing", api.fmi2SetFMUstate(a, nullptr));
        note("snapshot into nowhere", api.fmi2GetFMUstate(a, nullptr));
        note("free snapshot", api.fmi2FreeFMUstate(a, &state));
        note("free nothing", api.fmi2FreeFMUstate(a, nullptr));
        for (fmi2Component c : {a, b}) {
            note("terminate", api.fmi2Terminate(c));
            api.fmi2FreeInstance(c);
        }
        api.fmi2FreeInstance(nullptr);
        for (const LogRecord& message : host.log.records) {
            transcript.push_back(message.instanceName + ": " + message.message);
        }
        for (const LogRecord& message : strayLog().records) {
            transcript.push_back("without environment, " + message.instanceName + ": " +
                                 message.message);
        }
        strayLog().clear();
    }
    EXPECT_EQ(allocationLedger().outstanding(), 0u);
    EXPECT_EQ(allocationLedger().unknownFrees(), 0);
    return transcript;
}

// The lines of a log's calls, without its session lines.
std::vector<std::string> readCalls(const std::string& path) {
    std::vector<std::string> calls;
    std::ifstream log(path);
    for (std::string line; std::getline(log, line);) {
        if (line.rfind("{\"call\":", 0) == 0) {
            calls.push_back(line);
        }
    }
    return calls;
}

// Runs the trace tool's replay of a log; its exit status and what it said.
std::pair<int, std::string> replay(const std::string& log) {
    const std::string output = log + ".replay";
    const std::string command = std::string(TARVO_TRACE_TOOL) +
                                " --library " TARVO_UNIT_LIBRARY " --replay " + log + " >" +
                                output + " 2>&1";
    const int status = std::system(command.c_str());
    std::ifstream said(output);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1,
            std::string(std::istreambuf_iterator<char>(said), {})};
}

class Recorder : public ::testing::Test {
protected:
    void SetUp() override {
        log = ::testing::TempDir() + "recorder_test_" + std::to_string(getpid()) + ".jsonl";
        std::remove(log.c_str());
        setenv("TARVO_RECORDER_LOG", log.c_str(), 1);
    }
    void TearDown() override { unsetenv("TARVO_RECORDER_LOG"); }

    std::string log;
};

TEST_F(Recorder, ForwardsEveryCallUnchangedAndItsLogReplaysIdentically) {
    const std::vector<std::string> direct = runSession(unit());
    const std::vector<std::string> recorded = runSession(recorder());
    ASSERT_GT(direct.size(), 60u);
    ASSERT_EQ(recorded.size(), direct.size());
    for (std::size_t i = 0; i < direct.size(); ++i) {
        ASSERT_EQ(recorded[i], direct[i]) << "entry " << i << " of the transcript";
    }

    const std::vector<std::string> calls = readCalls(log);
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.front(), R"({"call":"fmi2GetVersion","result":"2.0"})");
    EXPECT_EQ(calls.back(), R"({"call":"fmi2FreeInstance","instance":"0x0"})");
    const auto [status, said] = replay(log);
    EXPECT_EQ(status, 0) << said;
    EXPECT_NE(said.find("every status and value identical"), std::string::npos) << said;
}

TEST_F(Recorder, CallsOnUnknownHandlesAreLoggedAndCannotBeReplayed) {
    TestHost host(recorder());
    int elsewhere = 0;
    EXPECT_EQ(host.api.fmi2CancelStep(&elsewhere), fmi2Error);
    EXPECT_EQ(host.api.fmi2GetStringStatus(&elsewhere, fmi2DoStepStatus, nullptr), fmi2Discard);
    EXPECT_EQ(host.api.fmi2DoStep(nullptr, 0.0, 1e-3, fmi2True), fmi2Error);

    char address[32];
    std::snprintf(address, sizeof address, "%p", static_cast<void*>(&elsewhere));
    const std::vector<std::string> calls = readCalls(log);
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0], R"({"call":"fmi2CancelStep","instance":")" + std::string(address) +
                            R"(","status":3})");
    EXPECT_EQ(calls[1], R"({"call":"fmi2GetStringStatus","instance":")" + std::string(address) +
                            R"(","s":0,"value":null,"status":2})");
    EXPECT_EQ(calls[2], R"({"call":"fmi2DoStep","instance":"0x0","currentCommunicationPoint":)"
                        R"("0x0.0p+0","communicationStepSize":"0x1.0624dd2f1a9fcp-10",)"
                        R"("noSetFMUStatePriorToCurrentPoint":1,"status":3})");
    const auto [status, said] = replay(log);
    EXPECT_EQ(status, 1) << said;
    EXPECT_NE(said.find("fmi2CancelStep: cannot be made again"), std::string::npos) << said;
    EXPECT_NE(said.find("2 of 3 calls differ"), std::string::npos) << said;
}

TEST_F(Recorder, ALogThatCannotBeWrittenRefusesTheInstance) {
    allocationLedger().reset();
    TestHost host(recorder());
    setenv("TARVO_RECORDER_LOG", "/nonexistent/folder/calls.jsonl", 1);
    EXPECT_EQ(host.instantiateRaw("a"), nullptr);
    ASSERT_EQ(host.log.size(), 1u);
    EXPECT_EQ(host.log.last().status, fmi2Error);
    EXPECT_EQ(host.log.last().instanceName, "a");
    EXPECT_EQ(host.log.last().message,
              "Tarvo_Unit recorder: cannot write the call log /nonexistent/folder/calls.jsonl: "
              "No such file or directory");

    unsetenv("TARVO_RECORDER_LOG");
    EXPECT_EQ(host.instantiateRaw("a"), nullptr);
    EXPECT_EQ(host.log.last().message,
              "Tarvo_Unit recorder: TARVO_RECORDER_LOG is not set; it must name the file the "
              "calls are recorded in");
    EXPECT_EQ(host.api.fmi2Instantiate("a", fmi2CoSimulation, kTestModelGuid, "", nullptr, 0, 0),
              nullptr);
    EXPECT_EQ(allocationLedger().allocationCount(), 0);
}

}  // namespace
}  // namespace tarvo::testing
