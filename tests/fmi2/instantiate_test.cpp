// Instantiation: the checks in their order, their messages and logger
// arguments, allocation failure at each point, the fresh record, freeing.
#include <cstdint>
#include <cstring>
#include <string>

#include "fmi2/logging.h"
#include "fmi_fixture.h"
#include "runtime/model_identity.h"

namespace tarvo::testing {
namespace {

class Instantiate : public FmiTest {
protected:
    // The one message expected from a failed instantiation.
    void expectSingleError(const char* instanceName, const char* message) {
        ASSERT_EQ(host.log.size(), 1u);
        const LogRecord& entry = host.log.last();
        EXPECT_EQ(entry.componentEnvironment, &host.log);
        EXPECT_FALSE(entry.instanceNameIsNull);
        EXPECT_EQ(entry.instanceName, instanceName);
        EXPECT_EQ(entry.status, fmi2Error);
        EXPECT_EQ(entry.category, "error");
        EXPECT_EQ(entry.message, message);
    }
};

TEST_F(Instantiate, WithoutCallbacksOrLoggerFailsSilentlyAllocatingNothing) {
    EXPECT_EQ(api.fmi2Instantiate("u", fmi2CoSimulation, kTestModelGuid, nullptr, nullptr,
                                  fmi2False, fmi2False),
              nullptr);
    const fmi2CallbackFunctions noLogger{nullptr, &countingAllocate, &countingFree, nullptr,
                                         &host.log};
    EXPECT_EQ(api.fmi2Instantiate("u", fmi2CoSimulation, kTestModelGuid, nullptr, &noLogger,
                                  fmi2False, fmi2False),
              nullptr);
    EXPECT_EQ(allocationLedger().allocationCount(), 0);
}

TEST_F(Instantiate, MissingNameIsReportedUnderQuestionMarkWithTheHostEnvironment) {
    EXPECT_EQ(host.instantiateRaw(nullptr), nullptr);
    expectSingleError("?", fmi2::kMissingInstanceName);
    host.log.clear();
    EXPECT_EQ(host.instantiateRaw(""), nullptr);
    expectSingleError("?", fmi2::kMissingInstanceName);
    EXPECT_EQ(allocationLedger().allocationCount(), 0);
}

TEST_F(Instantiate, EachMissingMemoryCallbackIsReported) {
    const fmi2CallbackFunctions noFree{&recordingLogger, &countingAllocate, nullptr, nullptr,
                                       &host.log};
    const fmi2CallbackFunctions noAllocate{&recordingLogger, nullptr, &countingFree, nullptr,
                                           &host.log};
    for (const fmi2CallbackFunctions* callbacks : {&noFree, &noAllocate}) {
        host.log.clear();
        EXPECT_EQ(api.fmi2Instantiate("u", fmi2CoSimulation, kTestModelGuid, nullptr, callbacks,
                                      fmi2False, fmi2False),
                  nullptr);
        expectSingleError("u", fmi2::kMissingMemoryCallback);
    }
    EXPECT_EQ(allocationLedger().allocationCount(), 0);
}

TEST_F(Instantiate, ChecksComeInTheirOrder) {
    // Missing name before missing allocator, missing allocator before GUID.
    const fmi2CallbackFunctions noAllocate{&recordingLogger, nullptr, &countingFree, nullptr,
                                           &host.log};
    EXPECT_EQ(api.fmi2Instantiate("", fmi2CoSimulation, nullptr, nullptr, &noAllocate, fmi2False,
                                  fmi2False),
              nullptr);
    expectSingleError("?", fmi2::kMissingInstanceName);
    host.log.clear();
    EXPECT_EQ(api.fmi2Instantiate("u", fmi2CoSimulation, nullptr, nullptr, &noAllocate, fmi2False,
                                  fmi2False),
              nullptr);
    expectSingleError("u", fmi2::kMissingMemoryCallback);
    host.log.clear();
    // A wrong GUID is refused before the type is looked at.
    EXPECT_EQ(host.instantiateRaw("u", fmi2ModelExchange, "{x}"), nullptr);
    expectSingleError("u",
                      "fmi2Instantiate: Wrong GUID {x}. Expected "
                      "{3f1c9a52-7b4e-4d08-a6c3-5e92b07d41af}.");
}

TEST_F(Instantiate, MissingGuidIsReported) {
    EXPECT_EQ(host.instantiateRaw("u", fmi2CoSimulation, nullptr), nullptr);
    expectSingleError("u", fmi2::kMissingGuid);
    host.log.clear();
    EXPECT_EQ(host.instantiateRaw("u", fmi2CoSimulation, ""), nullptr);
    expectSingleError("u", fmi2::kMissingGuid);
}

TEST_F(Instantiate, OnlyTheExactGuidIsAccepted) {
    const std::string guid = runtime::kModelGuid;
    std::string upper = guid;
    upper[2] = 'F';  // "{3f1c..." -> "{3F1c..."
    const std::string candidates[] = {
        "{", guid.substr(0, guid.size() - 1), guid + "}", guid + " ", upper, " " + guid};
    for (const std::string& candidate : candidates) {
        host.log.clear();
        EXPECT_EQ(host.instantiateRaw("u", fmi2CoSimulation, candidate.c_str()), nullptr)
            << candidate;
        expectSingleError(
            "u",
            ("fmi2Instantiate: Wrong GUID " + candidate + ". Expected " + guid + ".").c_str());
        EXPECT_EQ(host.log.last().format, fmi2::kWrongGuid);
    }
    EXPECT_EQ(allocationLedger().allocationCount(), 0);
    host.log.clear();
    InstanceHandle instance = host.instantiate();
    EXPECT_TRUE(instance);
    EXPECT_TRUE(host.log.empty());
}

// A host may pass any int as the type; a cast of values outside the enum's
// range would be undefined, so the bytes are copied as a C host passes them.
fmi2Type typeFromInt(int value) {
    fmi2Type type;
    static_assert(sizeof type == sizeof value, "the type crosses the boundary as int");
    std::memcpy(&type, &value, sizeof type);
    return type;
}

TEST_F(Instantiate, ModelExchangeOrAnyOtherTypeIsRefusedReleasingEverything) {
    for (int type : {0, 2, -1, 1000}) {
        host.log.clear();
        EXPECT_EQ(host.instantiateRaw("u", typeFromInt(type)), nullptr) << type;
        expectSingleError("u", fmi2::kCoSimulationOnly);
    }
    // Record, name and resource path were allocated and all given back.
    EXPECT_EQ(allocationLedger().allocationCount(), 4 * 3);
    EXPECT_EQ(allocationLedger().outstanding(), 0u);
}

TEST_F(Instantiate, AllocationsUseTheHostAllocatorInCountThenSizeOrder) {
    InstanceHandle instance = host.instantiate("abc", "file:///D:/x");
    ASSERT_TRUE(instance);
    const auto& calls = allocationLedger().calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].count, 1u);
    EXPECT_EQ(calls[0].size, 3744u);  // the block hosts have always been asked for
    EXPECT_EQ(calls[0].result, instance.get());
    EXPECT_EQ(calls[1].count, 4u);  // "abc" and its zero
    EXPECT_EQ(calls[1].size, 1u);
    EXPECT_EQ(calls[2].count, 6u);  // "D:/x" plus backslash and zero
    EXPECT_EQ(calls[2].size, 1u);
    instance.reset();
    EXPECT_EQ(allocationLedger().freeCount(), 3);
}

TEST_F(Instantiate, AFailedAllocationAtEachPointLeavesNothingAllocated) {
    allocationLedger().failAllocation(1);
    EXPECT_EQ(host.instantiateRaw(), nullptr);
    expectSingleError(kTestInstanceName, fmi2::kOutOfMemoryInstance);
    EXPECT_EQ(allocationLedger().outstanding(), 0u);

    host.log.clear();
    allocationLedger().failAllocation(2);
    EXPECT_EQ(host.instantiateRaw(), nullptr);
    expectSingleError(kTestInstanceName, fmi2::kOutOfMemoryName);
    EXPECT_EQ(allocationLedger().outstanding(), 0u);

    // The resource path is optional: without it the instance still comes.
    host.log.clear();
    allocationLedger().failAllocation(3);
    InstanceHandle instance = host.instantiate();
    ASSERT_TRUE(instance);
    EXPECT_EQ(record(instance).host.resourcePath, nullptr);
    EXPECT_TRUE(host.log.empty());
    instance.reset();
    EXPECT_EQ(allocationLedger().outstanding(), 0u);

    // Out of memory while refusing a Model Exchange instance.
    host.log.clear();
    allocationLedger().failAllocation(3);
    EXPECT_EQ(host.instantiateRaw("u", fmi2ModelExchange), nullptr);
    expectSingleError("u", fmi2::kCoSimulationOnly);
}

TEST_F(Instantiate, AFreshRecordHoldsTheInstantiationState) {
    const std::string name = "first instance";
    InstanceHandle instance = host.instantiate(name.c_str(), "file:///D:/Models/res");
    ASSERT_TRUE(instance);
    const fmi2::Instance& r = record(instance);
    EXPECT_EQ(r.host.functions, &host.callbacks);
    EXPECT_STREQ(r.host.instanceName, name.c_str());
    EXPECT_NE(static_cast<const void*>(r.host.instanceName),
              static_cast<const void*>(name.c_str()));
    EXPECT_STREQ(r.host.resourcePath, "D:\\Models\\res\\");
    EXPECT_EQ(r.model.state.startTime, 0.0);
    EXPECT_EQ(r.model.state.stopTime, 0.0);
    EXPECT_EQ(r.model.state.stopTimeDefined, 0);
    EXPECT_EQ(r.model.state.stepSize, 1e-6);
    EXPECT_EQ(r.model.state.currentTime, 0.0);
    EXPECT_EQ(r.model.state.evaluationCount, 0);
    EXPECT_EQ(r.model.state.parametersChanged, 0);
    for (double value : r.model.state.values) {
        EXPECT_TRUE(sameBits(value, 0.0));
    }
    EXPECT_TRUE(host.log.empty());
}

TEST_F(Instantiate, MissingOrEmptyResourceLocationGivesNoPath) {
    InstanceHandle withoutLocation = host.instantiate("a", nullptr);
    InstanceHandle emptyLocation = host.instantiate("b", "");
    ASSERT_TRUE(withoutLocation && emptyLocation);
    EXPECT_EQ(record(withoutLocation).host.resourcePath, nullptr);
    EXPECT_EQ(record(emptyLocation).host.resourcePath, nullptr);
    EXPECT_EQ(allocationLedger().allocationCount(), 4);
}

TEST_F(Instantiate, InstancesFromOneCallbackRecordAreIndependent) {
    InstanceHandle first = host.instantiate("first");
    InstanceHandle second = host.instantiate("second");
    ASSERT_TRUE(first && second);
    ASSERT_EQ(host.setReal(first.get(), kInputA, 4.5), fmi2OK);
    EXPECT_EQ(host.getReal(second.get(), kInputA), 0.0);
    first.reset();
    EXPECT_EQ(host.getReal(second.get(), kInputA), 0.0);
    EXPECT_STREQ(record(second).host.instanceName, "second");
}

TEST_F(Instantiate, FreeInstanceIgnoresNullAndDebugLoggingChangesNothing) {
    api.fmi2FreeInstance(nullptr);
    EXPECT_EQ(allocationLedger().freeCount(), 0);

    InstanceHandle instance = host.instantiate();
    const RecordBytes before(record(instance));
    const fmi2String categories[] = {"error"};
    EXPECT_EQ(api.fmi2SetDebugLogging(instance.get(), fmi2True, 1, categories), fmi2OK);
    EXPECT_EQ(api.fmi2SetDebugLogging(instance.get(), fmi2False, 0, nullptr), fmi2OK);
    EXPECT_TRUE(before.matches(record(instance)));
    EXPECT_EQ(api.fmi2SetDebugLogging(nullptr, fmi2True, 0, nullptr), fmi2Error);
}

}  // namespace
}  // namespace tarvo::testing
