// One full host sequence against the library as shipped, loaded with
// dlopen, meant to run under valgrind memcheck: instantiate, set up,
// initialise, step, take, reuse, restore and release snapshots (also across
// instances), reset and run again, terminate, free; and the refusals and
// allocation failures with their clean-up. Exits non-zero when a call
// answers otherwise than documented or a block stays allocated; valgrind
// adds its own verdict on every access and leak.
//   host_sequence [path/to/Tarvo_Unit.so]
#include <cstdio>
#include <vector>

#include "host/unit_library.h"
#include "support/host_fixture.h"

namespace {

using namespace tarvo::testing;

int failures = 0;

void expect(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "host sequence: %s\n", what);
        ++failures;
    }
}

void start(TestHost& host, fmi2Component c, bool stopTimeDefined) {
    const FmiApi& api = host.api;
    expect(
        api.fmi2SetupExperiment(c, fmi2True, 1e-6, 0.0, stopTimeDefined ? 1 : 0, 5e-4) == fmi2OK,
        "set-up");
    expect(api.fmi2EnterInitializationMode(c) == fmi2OK, "enter initialisation");
    expect(host.setReal(c, kInputA, 1.0) == fmi2OK && host.setReal(c, kInputB, -0.5) == fmi2OK,
           "inputs");
    expect(api.fmi2ExitInitializationMode(c) == fmi2OK, "exit initialisation");
}

void runSequence(TestHost& host) {
    const FmiApi& api = host.api;
    AllocationLedger& ledger = allocationLedger();
    {
        InstanceHandle first = host.instantiate("first");
        InstanceHandle second = host.instantiate("second", "file://server/share/res%2F");
        expect(first && second, "instantiation");
        start(host, first.get(), false);
        start(host, second.get(), true);

        fmi2FMUstate snapshot = nullptr;
        for (int n = 0; n < 4; ++n) {
            expect(api.fmi2DoStep(first.get(), n * 1e-4, 1e-4, fmi2False) == fmi2OK, "step");
            expect(api.fmi2DoStep(second.get(), n * 1e-4, 1e-4, fmi2False) == fmi2OK, "step");
            expect(api.fmi2GetFMUstate(first.get(), &snapshot) == fmi2OK, "snapshot");
        }
        const std::vector<double> atSnapshot = host.allValues(first.get());
        expect(api.fmi2DoStep(first.get(), 4e-4, 1e-4, fmi2False) == fmi2OK, "step");
        const std::vector<double> afterStep = host.allValues(first.get());
        expect(api.fmi2SetFMUstate(first.get(), snapshot) == fmi2OK, "restore");
        expect(sameBits(host.allValues(first.get()), atSnapshot), "restored values");
        expect(api.fmi2DoStep(first.get(), 4e-4, 1e-4, fmi2False) == fmi2OK, "repeated step");
        expect(sameBits(host.allValues(first.get()), afterStep), "repeated step values");

        // The snapshot into the other instance, past its stop time and back.
        expect(api.fmi2DoStep(second.get(), 4e-4, 2e-4, fmi2False) == fmi2Error, "stop time");
        expect(api.fmi2SetFMUstate(second.get(), snapshot) == fmi2OK, "restore across");
        expect(api.fmi2FreeFMUstate(second.get(), &snapshot) == fmi2OK && snapshot == nullptr,
               "release");

        expect(api.fmi2Reset(first.get()) == fmi2OK, "reset");
        start(host, first.get(), false);
        expect(api.fmi2DoStep(first.get(), 0.0, 1e-4, fmi2False) == fmi2OK, "step after reset");
        expect(
            api.fmi2Terminate(first.get()) == fmi2OK && api.fmi2Terminate(second.get()) == fmi2OK,
            "terminate");
    }
    expect(ledger.outstanding() == 0, "instances left blocks allocated");

    // Refusals and failed allocations clean up after themselves.
    expect(host.instantiateRaw("exchange", fmi2ModelExchange) == nullptr,
           "model exchange refused");
    expect(host.instantiateRaw("guid", fmi2CoSimulation, "{") == nullptr,
           "prefix of the GUID refused");
    for (int failAt = 1; failAt <= 3; ++failAt) {
        ledger.failAllocation(failAt);
        InstanceHandle instance = host.instantiate("short of memory");
        expect(static_cast<bool>(instance) == (failAt == 3), "instantiation short of memory");
    }
    {
        InstanceHandle instance = host.instantiate("snapshot");
        start(host, instance.get(), false);
        fmi2FMUstate snapshot = nullptr;
        ledger.failAllocation(1);
        expect(api.fmi2GetFMUstate(instance.get(), &snapshot) == fmi2Error && snapshot == nullptr,
               "snapshot short of memory");
        expect(api.fmi2FreeFMUstate(instance.get(), &snapshot) == fmi2OK, "release of nothing");
    }
    expect(host.log.size() == 6, "one message per refusal, failure and the stop time");
    expect(ledger.outstanding() == 0 && ledger.unknownFrees() == 0, "blocks left allocated");
}

}  // namespace

int main(int argc, char** argv) {
    tarvo::host::UnitLibrary unit(argc > 1 ? argv[1] : TARVO_UNIT_LIBRARY);
    if (!unit.isLoaded()) {
        std::fprintf(stderr, "host sequence: %s\n", unit.error().c_str());
        return 2;
    }
    {
        TestHost host(unit.fmi2());
        runSequence(host);
    }
    allocationLedger().reset();
    unit.close();
    if (failures == 0) std::printf("host sequence: every call answered as documented\n");
    return failures == 0 ? 0 : 1;
}
