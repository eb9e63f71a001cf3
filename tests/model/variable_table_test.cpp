// The variable table is what hosts bind to: value references, names,
// causalities, variabilities, initial attributes and start values, all of
// which the model description declares under the model GUID. A change to
// any of them is a change of interface, so the table is pinned by a hash and
// a change fails here until someone has looked at the GUID and the version.
// Descriptions are documentation and are left out.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "runtime/model_variables.h"

namespace tarvo {
namespace {

// 64-bit FNV-1a.
class Fnv1a {
public:
    void add(const void* data, size_t size) {
        const auto* bytes = static_cast<const unsigned char*>(data);
        for (size_t i = 0; i < size; ++i) {
            hash_ = (hash_ ^ bytes[i]) * 1099511628211ull;
        }
    }
    void add(uint32_t value) {
        for (int shift = 0; shift < 32; shift += 8) {
            const unsigned char byte = static_cast<unsigned char>(value >> shift);
            add(&byte, 1);
        }
    }
    void add(double value) {
        uint64_t bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        add(static_cast<uint32_t>(bits));
        add(static_cast<uint32_t>(bits >> 32));
    }
    void add(const char* text) { add(text, std::strlen(text) + 1); }
    uint64_t value() const { return hash_; }

private:
    uint64_t hash_ = 14695981039346656037ull;
};

uint64_t variableTableHash() {
    using namespace runtime;
    Fnv1a hash;
    for (const ModelVariable& variable : kModelVariables) {
        hash.add(variable.valueReference);
        hash.add(variable.name);
        hash.add(static_cast<uint32_t>(variable.causality));
        hash.add(static_cast<uint32_t>(variable.variability));
        hash.add(static_cast<uint32_t>(variable.initial));
        if (hasStartValue(variable)) {
            hash.add(startValue(variable.valueReference));
        }
    }
    return hash.value();
}

constexpr uint64_t kPinnedVariableTableHash = 0x8ef5786d8c22f5e4;

TEST(VariableTable, IsTheOneTheGuidAndVersionWereGivenFor) {
    EXPECT_EQ(variableTableHash(), kPinnedVariableTableHash)
        << "The variable table (src/runtime/model_variables.h) or the start values changed: "
           "hosts see another interface under the same GUID. Review the model GUID "
           "(src/runtime/model_identity.h) and the version (project VERSION in CMakeLists.txt), "
           "then pin the new hash, 0x"
        << std::hex << variableTableHash() << ", in tests/model/variable_table_test.cpp.";
}

}  // namespace
}  // namespace tarvo
