// A double's 64 bits and back, by copying the representation: how the
// unit's own cos and sin take an argument apart, and how the tests compare
// results bit for bit.
#ifndef TARVO_IEEE_DOUBLE_BITS_H
#define TARVO_IEEE_DOUBLE_BITS_H

#include <cstdint>
#include <cstring>

namespace tarvo::ieee {

static_assert(sizeof(double) == sizeof(uint64_t), "a double is 64 bits");

inline uint64_t bitsOf(double x) {
    uint64_t bits = 0;
    std::memcpy(&bits, &x, sizeof bits);
    return bits;
}

inline double fromBits(uint64_t bits) {
    double x = 0.0;
    std::memcpy(&x, &bits, sizeof x);
    return x;
}

}  // namespace tarvo::ieee

#endif  // TARVO_IEEE_DOUBLE_BITS_H
