// Host-level fixture: the unit loaded with dlopen, as any importer loads it,
// and every export resolved by name.
#ifndef TARVO_TESTS_HOST_LOADED_UNIT_H
#define TARVO_TESTS_HOST_LOADED_UNIT_H

#include <dlfcn.h>

#include <cstddef>
#include <cstring>
#include <vector>

#include "runtime/model.h"
#include "support/host_test.h"

namespace tarvo::testing {

struct LoadedUnit {
    void* library = nullptr;
    FmiApi api;
    int missingExports = 0;
};

// Loaded once per test program and kept until it exits.
inline const LoadedUnit& loadedUnit() {
    static const LoadedUnit unit = [] {
        LoadedUnit loaded;
        loaded.library = dlopen(TARVO_UNIT_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        if (loaded.library != nullptr) {
            loaded.api = resolveFmiApi(loaded.library, &loaded.missingExports);
        }
        return loaded;
    }();
    return unit;
}

class LoadedUnitTest : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        ASSERT_NE(loadedUnit().library, nullptr) << dlerror();
        ASSERT_EQ(loadedUnit().missingExports, 0);
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

    TestHost host{loadedUnit().api};
    const FmiApi& api = host.api;
};

}  // namespace tarvo::testing

#endif  // TARVO_TESTS_HOST_LOADED_UNIT_H
