// The model's values as an interface with arrays declares them. Where the
// variable table names several values as the elements of one quantity
// (channelA.out[0] to channelA.out[6], rotation.matrix[0,0] to [1,1]) and
// they share causality, variability and initial, they form one array
// variable; every other value is a scalar. The names of the model data's
// sections (parameters[5], states[3]) number values, not elements of one
// quantity, and stay scalars.
//
// An array is addressed by the value reference of its first element and
// stands for all its elements, row-major; a scalar by its own. The clock is
// the independent variable, with the reference just past the model data.
// Everything here is worked out at compile time from the variable table.
#ifndef TARVO_RUNTIME_MODEL_ARRAYS_H
#define TARVO_RUNTIME_MODEL_ARRAYS_H

#include <cstdint>

#include "runtime/model_variables.h"

namespace tarvo::runtime {

constexpr uint32_t kTimeReference = kModelDataSize;
constexpr uint32_t kMaxArrayElements = 8;
constexpr uint32_t kMaxArrays = 16;

struct ArrayVariable {
    uint32_t nameLength = 0;  // of the name without its subscript
    uint32_t rows = 0;
    uint32_t columns = 0;  // 0 for a one-dimensional array
    uint32_t elementCount = 0;
    uint32_t elements[kMaxArrayElements] = {};  // value references, row-major
};

enum class ReferenceKind : uint8_t {
    none,    // an element of an array, addressed through the array
    scalar,  // the value itself
    array,   // the first element: the whole array
};

struct ArrayedReference {
    ReferenceKind kind = ReferenceKind::none;
    uint8_t array = 0;  // index into the arrays, for ReferenceKind::array
};

struct ModelArrays {
    ArrayVariable arrays[kMaxArrays] = {};
    uint32_t arrayCount = 0;
    ArrayedReference references[kModelDataSize] = {};
};

namespace model_arrays_detail {

// A name's subscript: "base[i]" or "base[i,j]".
struct Subscript {
    bool present = false;
    uint32_t baseLength = 0;
    uint32_t dimensions = 0;
    uint32_t first = 0;
    uint32_t second = 0;
};

constexpr Subscript subscriptOf(const char* name) {
    Subscript s;
    uint32_t i = 0;
    while (name[i] != '\0' && name[i] != '[') {
        ++i;
    }
    if (name[i] != '[') {
        return s;
    }
    s.baseLength = i++;
    uint32_t indices[2] = {0, 0};
    uint32_t count = 0;
    while (count < 2) {
        if (name[i] < '0' || name[i] > '9') {
            return Subscript{};
        }
        uint32_t value = 0;
        while (name[i] >= '0' && name[i] <= '9') {
            value = value * 10 + static_cast<uint32_t>(name[i] - '0');
            ++i;
        }
        indices[count++] = value;
        if (name[i] == ']') {
            break;
        }
        if (name[i] != ',') {
            return Subscript{};
        }
        ++i;
    }
    if (name[i] != ']' || name[i + 1] != '\0') {
        return Subscript{};
    }
    s.present = true;
    s.dimensions = count;
    s.first = indices[0];
    s.second = indices[1];
    return s;
}

constexpr bool sameBase(const char* a, const char* b, uint32_t length) {
    for (uint32_t i = 0; i < length; ++i) {
        if (a[i] != b[i]) {
            return false;
        }
    }
    return true;
}

constexpr bool isSectionName(const char* name, uint32_t length) {
    const char* const sections[] = {"parameters", "initialValues", "variables", "states",
                                    "rates"};
    for (const char* section : sections) {
        uint32_t n = 0;
        while (section[n] != '\0') {
            ++n;
        }
        if (n == length && sameBase(name, section, length)) {
            return true;
        }
    }
    return false;
}

constexpr bool sameKind(const ModelVariable& a, const ModelVariable& b) {
    return a.causality == b.causality && a.variability == b.variability && a.initial == b.initial;
}

// The array whose first element in table order is vr, if its elements form
// one: every index of its shape present once, all of one kind.
constexpr bool collectArray(uint32_t vr, ArrayVariable& array) {
    const ModelVariable& head = kModelVariables[vr];
    const Subscript s = subscriptOf(head.name);
    if (!s.present || isSectionName(head.name, s.baseLength)) {
        return false;
    }
    uint32_t members[kModelDataSize] = {};
    uint32_t memberCount = 0;
    uint32_t rows = 0;
    uint32_t columns = 0;
    for (uint32_t other = 0; other < kModelDataSize; ++other) {
        const ModelVariable& v = kModelVariables[other];
        const Subscript t = subscriptOf(v.name);
        if (!t.present || t.baseLength != s.baseLength ||
            !sameBase(v.name, head.name, s.baseLength + 1)) {
            continue;
        }
        if (other < vr || t.dimensions != s.dimensions || !sameKind(v, head)) {
            return false;  // not the first of its name, or not one quantity
        }
        members[memberCount++] = other;
        rows = t.first + 1 > rows ? t.first + 1 : rows;
        columns = t.second + 1 > columns ? t.second + 1 : columns;
    }
    const uint32_t count = s.dimensions == 2 ? rows * columns : rows;
    if (count != memberCount || count > kMaxArrayElements) {
        return false;
    }
    bool placed[kMaxArrayElements] = {};
    for (uint32_t m = 0; m < memberCount; ++m) {
        const Subscript t = subscriptOf(kModelVariables[members[m]].name);
        const uint32_t at = s.dimensions == 2 ? t.first * columns + t.second : t.first;
        if (placed[at]) {
            return false;
        }
        placed[at] = true;
        array.elements[at] = members[m];
    }
    array.nameLength = s.baseLength;
    array.rows = rows;
    array.columns = s.dimensions == 2 ? columns : 0;
    array.elementCount = count;
    return array.elements[0] == vr;
}

constexpr ModelArrays arrange() {
    ModelArrays m;
    for (uint32_t vr = 0; vr < kModelDataSize; ++vr) {
        m.references[vr].kind = ReferenceKind::scalar;
    }
    for (uint32_t vr = 0; vr < kModelDataSize; ++vr) {
        ArrayVariable array;
        if (m.references[vr].kind != ReferenceKind::scalar || !collectArray(vr, array)) {
            continue;
        }
        for (uint32_t e = 0; e < array.elementCount; ++e) {
            m.references[array.elements[e]].kind = ReferenceKind::none;
        }
        m.references[vr].kind = ReferenceKind::array;
        m.references[vr].array = static_cast<uint8_t>(m.arrayCount);
        m.arrays[m.arrayCount++] = array;
    }
    return m;
}

}  // namespace model_arrays_detail

constexpr ModelArrays kModelArrays = model_arrays_detail::arrange();

static_assert(kModelArrays.arrayCount < kMaxArrays, "room for every array");

// How many values a reference stands for: 1 for the clock and a scalar,
// the element count for an array, 0 for no reference of such an interface.
constexpr uint32_t valueCountOf(uint32_t reference) {
    if (reference == kTimeReference) {
        return 1;
    }
    if (reference >= kModelDataSize) {
        return 0;
    }
    const ArrayedReference& r = kModelArrays.references[reference];
    switch (r.kind) {
        case ReferenceKind::scalar: return 1;
        case ReferenceKind::array: return kModelArrays.arrays[r.array].elementCount;
        case ReferenceKind::none: return 0;
    }
    return 0;
}

// Calls visit with each value reference of the model data that a scalar's
// or an array's reference stands for, in order. Not for the clock.
template <class Visit>
void forEachElement(uint32_t reference, Visit visit) {
    const ArrayedReference& r = kModelArrays.references[reference];
    if (r.kind != ReferenceKind::array) {
        visit(reference);
        return;
    }
    const ArrayVariable& array = kModelArrays.arrays[r.array];
    for (uint32_t e = 0; e < array.elementCount; ++e) {
        visit(array.elements[e]);
    }
}

}  // namespace tarvo::runtime

#endif  // TARVO_RUNTIME_MODEL_ARRAYS_H
