// Two doubles that take part in the same operation travel as a Pair: an
// operation on pairs is the same IEEE operation on each lane.
//
// With GCC and clang a pair is the two lanes of one SSE register (GCC's
// vector extensions), both lanes in one instruction. A compiler without
// them, such as MSVC, takes a plain record of two doubles instead, by
// itself: the same operations lane by lane, in the same order, so the same
// bits. TARVO_PLAIN_PAIRS=1 makes GCC and clang take the record too, which
// is how the tests build it (tests/plain_pairs).
//
// Both forms give the following, and the code of the pairs uses nothing
// else:
// - Pair{first, second}, pairOf, loadPair, storePair, and p[lane] to read
//   a lane;
// - +, -, * and / of two pairs, and of a pair and a double, which stands
//   for the double in both lanes;
// - <, > and != of two pairs or of a pair and a double, lane by lane as
//   the comparisons of doubles (< and > false for a NaN, != true), into a
//   PairMask for select: lane by lane the first choice where the mask
//   holds, else the second, as the vector a < b ? x : y;
// - the lane shuffles and the sign flips below.
#ifndef TARVO_MATRIX_PAIR_H
#define TARVO_MATRIX_PAIR_H

#include "ieee/ieee_arithmetic.h"

#include <cstdint>
#include <cstring>
#include <type_traits>

#if !defined(TARVO_PLAIN_PAIRS)
#if defined(__GNUC__) || defined(__clang__)
#define TARVO_PLAIN_PAIRS 0
#else
#define TARVO_PLAIN_PAIRS 1
#endif
#endif

namespace tarvo::matrix {

#if TARVO_PLAIN_PAIRS

// The plain form: two doubles, every operation written out lane by lane,
// the first lane's first.
struct Pair {
    Pair() = default;
    constexpr Pair(double first, double second) : lane{first, second} {}
    constexpr double operator[](int i) const { return lane[i]; }
    double lane[2];
};

// Lane by lane, whether a comparison holds.
struct PairMask {
    bool lane[2];
};

inline Pair operator+(Pair a, Pair b) {
    return {a.lane[0] + b.lane[0], a.lane[1] + b.lane[1]};
}
inline Pair operator-(Pair a, Pair b) {
    return {a.lane[0] - b.lane[0], a.lane[1] - b.lane[1]};
}
inline Pair operator*(Pair a, Pair b) {
    return {a.lane[0] * b.lane[0], a.lane[1] * b.lane[1]};
}
inline Pair operator/(Pair a, Pair b) {
    return {a.lane[0] / b.lane[0], a.lane[1] / b.lane[1]};
}
inline Pair operator+(Pair a, double b) {
    return {a.lane[0] + b, a.lane[1] + b};
}
inline Pair operator-(Pair a, double b) {
    return {a.lane[0] - b, a.lane[1] - b};
}
inline Pair operator*(Pair a, double b) {
    return {a.lane[0] * b, a.lane[1] * b};
}
inline Pair operator/(Pair a, double b) {
    return {a.lane[0] / b, a.lane[1] / b};
}
inline Pair operator+(double a, Pair b) {
    return {a + b.lane[0], a + b.lane[1]};
}
inline Pair operator-(double a, Pair b) {
    return {a - b.lane[0], a - b.lane[1]};
}
inline Pair operator*(double a, Pair b) {
    return {a * b.lane[0], a * b.lane[1]};
}
inline Pair operator/(double a, Pair b) {
    return {a / b.lane[0], a / b.lane[1]};
}

inline PairMask operator<(Pair a, Pair b) {
    return {{a.lane[0] < b.lane[0], a.lane[1] < b.lane[1]}};
}
inline PairMask operator>(Pair a, Pair b) {
    return {{a.lane[0] > b.lane[0], a.lane[1] > b.lane[1]}};
}
inline PairMask operator!=(Pair a, Pair b) {
    return {{a.lane[0] != b.lane[0], a.lane[1] != b.lane[1]}};
}
inline PairMask operator<(Pair a, double b) {
    return {{a.lane[0] < b, a.lane[1] < b}};
}
inline PairMask operator>(Pair a, double b) {
    return {{a.lane[0] > b, a.lane[1] > b}};
}
inline PairMask operator!=(Pair a, double b) {
    return {{a.lane[0] != b, a.lane[1] != b}};
}

// Lane by lane, ifTrue where mask holds, else ifFalse.
inline Pair select(PairMask mask, Pair ifTrue, Pair ifFalse) {
    return {mask.lane[0] ? ifTrue.lane[0] : ifFalse.lane[0],
            mask.lane[1] ? ifTrue.lane[1] : ifFalse.lane[1]};
}

// (a[0], b[0]) and (a[1], b[1]).
inline Pair lowLanes(Pair a, Pair b) {
    return {a.lane[0], b.lane[0]};
}
inline Pair highLanes(Pair a, Pair b) {
    return {a.lane[1], b.lane[1]};
}

// (v[k], v[k]) for lane k.
template <int kLane>
inline Pair broadcastLane(Pair v) {
    static_assert(kLane == 0 || kLane == 1, "a pair has two lanes");
    return {v.lane[kLane], v.lane[kLane]};
}

// The sign bit of the lanes named flipped, as the vector form flips it: a
// negation flips the sign bit alone, of a NaN too.
template <bool kFirst, bool kSecond>
inline Pair negateLanes(Pair v) {
    return {kFirst ? -v.lane[0] : v.lane[0], kSecond ? -v.lane[1] : v.lane[1]};
}

#else  // TARVO_PLAIN_PAIRS

// The vector form.
using Pair = double __attribute__((vector_size(16)));

// A comparison of pairs: all ones in a lane where it holds, else zero.
using PairMask = decltype(Pair{} < Pair{});

// Lane by lane, ifTrue where mask holds, else ifFalse.
inline Pair select(PairMask mask, Pair ifTrue, Pair ifFalse) {
    return mask ? ifTrue : ifFalse;
}

// (a[0], b[0]) and (a[1], b[1]): one shuffle each.
inline Pair lowLanes(Pair a, Pair b) {
    return __builtin_shufflevector(a, b, 0, 2);
}
inline Pair highLanes(Pair a, Pair b) {
    return __builtin_shufflevector(a, b, 1, 3);
}

// (v[k], v[k]) for lane k. On x86-64 one pshufd, which, unlike the double
// shuffles of SSE2, leaves its source as it is: no copy first.
template <int kLane>
inline Pair broadcastLane(Pair v) {
    static_assert(kLane == 0 || kLane == 1, "a pair has two lanes");
#if defined(__SSE2__)
    using Words = int __attribute__((vector_size(16)));
    // The two 32-bit words of the lane, twice: 0x44 picks words 0, 1, 0, 1.
    constexpr int kWords = kLane == 0 ? 0x44 : 0xee;
    return reinterpret_cast<Pair>(__builtin_ia32_pshufd(reinterpret_cast<Words>(v), kWords));
#else
    return __builtin_shufflevector(v, v, kLane, kLane);
#endif
}

// The sign bit of the lanes named flipped, as a negation flips it: one xor.
template <bool kFirst, bool kSecond>
inline Pair negateLanes(Pair v) {
    using Bits = int64_t __attribute__((vector_size(16)));
    constexpr Bits kSignBits = {kFirst ? INT64_MIN : 0, kSecond ? INT64_MIN : 0};
    return reinterpret_cast<Pair>(reinterpret_cast<Bits>(v) ^ kSignBits);
}

#endif  // TARVO_PLAIN_PAIRS

static_assert(sizeof(Pair) == 2 * sizeof(double), "a pair is two doubles, nothing between");
static_assert(std::is_trivially_copyable_v<Pair> && std::is_standard_layout_v<Pair>,
              "a pair copies as bytes");

inline Pair pairOf(double first, double second) {
    return Pair{first, second};
}

inline Pair loadPair(const double* p) {
    Pair v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline void storePair(double* p, Pair v) {
    std::memcpy(p, &v, sizeof v);
}

inline Pair broadcastFirst(Pair v) {
    return broadcastLane<0>(v);
}
inline Pair broadcastSecond(Pair v) {
    return broadcastLane<1>(v);
}

}  // namespace tarvo::matrix

#endif  // TARVO_MATRIX_PAIR_H
