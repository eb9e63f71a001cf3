// White-box fixture of the fmi tests: a test host calling the linked unit,
// with direct access to the record behind a handle.
#ifndef TARVO_TESTS_FMI_FMI_FIXTURE_H
#define TARVO_TESTS_FMI_FMI_FIXTURE_H

#include <cstring>

#include "fmi2/instance.h"
#include "support/host_test.h"
#include "support/linked_api.h"

namespace tarvo::testing {

class FmiTest : public HostTest {
protected:
    static fmi2::Instance& record(fmi2Component component) {
        return *fmi2::instanceOf(component);
    }
    static fmi2::Instance& record(const InstanceHandle& instance) {
        return record(instance.get());
    }

    TestHost host{linkedFmiApi()};
    const FmiApi& api = host.api;
};

// A byte copy of a record, to prove that a call changed nothing.
struct RecordBytes {
    explicit RecordBytes(const fmi2::Instance& instance) {
        std::memcpy(bytes, &instance, sizeof bytes);
    }
    bool matches(const fmi2::Instance& instance) const {
        return std::memcmp(bytes, &instance, sizeof bytes) == 0;
    }
    unsigned char bytes[sizeof(fmi2::Instance)];
};

}  // namespace tarvo::testing

#endif  // TARVO_TESTS_FMI_FMI_FIXTURE_H
