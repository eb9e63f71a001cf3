// Host-level fixture: the unit loaded as any importer loads it, every
// export resolved by name.
#ifndef TARVO_TESTS_HOST_LOADED_UNIT_H
#define TARVO_TESTS_HOST_LOADED_UNIT_H

#include <cstddef>
#include <cstring>
#include <vector>

#include "host/unit_library.h"
#include "runtime/model.h"
#include "support/host_test.h"

namespace tarvo::testing {

// Loaded once per test program and kept until it exits.
inline const host::UnitLibrary& loadedUnit() {
    static const host::UnitLibrary unit(TARVO_UNIT_LIBRARY);
    return unit;
}

class LoadedUnitTest : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        ASSERT_TRUE(loadedUnit().isLoaded()) << loadedUnit().error();
    }

    // What a snapshot records of one field, read at the field's place in
    // the record; the snapshot is taken for this and released again.
    template <typename Field>
    Field snapshotField(TestHost& of, fmi2Component instance, size_t offset) {
        fmi2FMUstate state = nullptr;
        Field value{};
        if (of.api.fmi2GetFMUstate(instance, &state) == fmi2OK) {
            std::memcpy(&value, static_cast<const unsigned char*>(state) + offset, sizeof value);
            of.api.fmi2FreeFMUstate(instance, &state);
        }
        return value;
    }
    double clockOf(TestHost& of, fmi2Component instance) {
        return snapshotField<double>(of, instance, offsetof(runtime::ModelState, currentTime));
    }

    TestHost host{loadedUnit().fmi2()};
    const FmiApi& api = host.api;
};

}  // namespace tarvo::testing

#endif  // TARVO_TESTS_HOST_LOADED_UNIT_H
