// Latency microbenchmarks of the operations on the internal step's critical
// path (docs/performance.md): each is a chain of dependent operations, so
// that every operation waits for the one before, timed over many
// operations; the fastest of several rounds counts. A chain of dependent
// integer additions, one cycle each on every x86-64 core, gives the core's
// clock, by which the others are told in cycles as well as in ns.
//
//   bench/latencies.sh            (builds and runs this file)
//
// x86-64 only: the chains are inline assembly, so that the compiler can
// neither shorten nor reorder them.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "trig/correctly_rounded_trig.h"

namespace {

constexpr long kOperations = 20'000'000;  // per round
constexpr int kRounds = 7;

// ns per operation of the fastest of kRounds runs of body, which performs
// count operations.
template <class Body>
double bestNsPer(long count, Body body) {
    double best = 1e30;
    for (int round = 0; round < kRounds; ++round) {
        const auto start = std::chrono::steady_clock::now();
        body();
        const auto stop = std::chrono::steady_clock::now();
        best = std::min(best, std::chrono::duration<double, std::nano>(stop - start).count() /
                                  static_cast<double>(count));
    }
    return best;
}

// body runs kOperations / 10 times ten dependent operations.
template <class Body>
double nsPerOperation(Body body) {
    return bestNsPer(kOperations, body);
}

#define TEN(x) x x x x x x x x x x

double integerAdd() {
    return nsPerOperation([] {
        uint64_t a = 0;
        for (long i = 0; i < kOperations / 10; ++i) {
            asm volatile(TEN("add $1, %0\n\t") : "+r"(a));
        }
    });
}

// One dependent SSE2 operation on x with the constant y, ten per pass.
#define SSE_CHAIN(instruction, xValue, yValue)                               \
    nsPerOperation([] {                                                      \
        double x = xValue;                                                   \
        const double y = yValue;                                             \
        for (long i = 0; i < kOperations / 10; ++i) {                        \
            asm volatile(TEN(instruction " %1, %0\n\t") : "+x"(x) : "x"(y)); \
        }                                                                    \
    })

// A value stored and loaded back through a 16-byte slot, ten round trips
// per pass, by the given instructions (%0 the value, %1 the slot).
#define STORE_TO_LOAD(instructions)                                           \
    nsPerOperation([] {                                                       \
        alignas(16) double slot[2] = {1.0, 1.0};                              \
        double x = 1.0;                                                       \
        for (long i = 0; i < kOperations / 10; ++i) {                         \
            asm volatile(TEN(instructions) : "+x"(x) : "r"(slot) : "memory"); \
        }                                                                     \
    })

// The load takes the value from the store (store-to-load forwarding):
// width 8 (movsd) or 16 bytes (movapd, a pair).
double storeToLoad8() {
    return STORE_TO_LOAD("movsd %0, (%1)\n\tmovsd (%1), %0\n\t");
}

double storeToLoad16() {
    return STORE_TO_LOAD("movapd %0, (%1)\n\tmovapd (%1), %0\n\t");
}

// The failing case, for comparison: two 8-byte stores, then one 16-byte
// load over both, which cannot take its value from either store.
double storeToLoadSplit() {
    return STORE_TO_LOAD("movsd %0, (%1)\n\tmovsd %0, 8(%1)\n\tmovapd (%1), %0\n\t");
}

constexpr long kCalls = 2'000'000;

// ns per call of cos and sin of one angle whose argument depends on the
// previous call's results (x = cos * 0.5, so in [0.27, 0.5], the range of
// the model's angle): the multiplication's latency is taken off.
template <class CosSin>
double dependentCosSin(CosSin cosSin, double multiplyNs) {
    const double ns = bestNsPer(kCalls, [&] {
        double x = 0.3;
        for (long i = 0; i < kCalls; ++i) {
            double c = 0.0;
            double s = 0.0;
            cosSin(x, c, s);
            asm volatile("" : "+x"(c), "+x"(s));
            x = c * 0.5 + s * 0.0;
        }
        asm volatile("" : : "x"(x));
    });
    // x = c * 0.5 + s * 0.0: one multiplication and one addition after the
    // call (the other multiplication runs beside them).
    return ns - multiplyNs;
}

// ns per call of cos and sin when no call waits for another: the angles
// step on by an addition, so calls may overlap as far as the core lets them.
template <class CosSin>
double independentCosSin(CosSin cosSin) {
    return bestNsPer(kCalls, [&] {
        double x = 0.3;
        for (long i = 0; i < kCalls; ++i) {
            double c = 0.0;
            double s = 0.0;
            x = x + 1e-9;
            cosSin(x, c, s);
            asm volatile("" : : "x"(c), "x"(s));
        }
    });
}

}  // namespace

int main() {
    const double cycleNs = integerAdd();
    std::printf("core clock (dependent integer additions, 1 cycle each): %.2f GHz\n",
                1.0 / cycleNs);
    const auto report = [&](const char* what, double ns) {
        std::printf("%-52s %6.2f ns  %6.1f cycles\n", what, ns, ns / cycleNs);
    };
    const double add = SSE_CHAIN("addsd", 1.0, 0.0);
    const double multiply = SSE_CHAIN("mulsd", 1.0, 1.0);
    report("addsd (addition, subtraction)", add);
    report("mulsd (multiplication)", multiply);
    report("addpd", SSE_CHAIN("addpd", 1.0, 0.0));
    report("mulpd", SSE_CHAIN("mulpd", 1.0, 1.0));
    report("divsd (division)", SSE_CHAIN("divsd", 1.5, 0.9999999999999999));
    report("divpd (two divisions side by side)", SSE_CHAIN("divpd", 1.5, 0.9999999999999999));
    report("unpckhpd (lane shuffle)", SSE_CHAIN("unpckhpd", 1.0, 1.0));
    report("xorpd (sign flip)", SSE_CHAIN("xorpd", 1.0, 0.0));
    report("store and load back, 8 bytes (forwarded)", storeToLoad8());
    report("store and load back, 16 bytes (forwarded)", storeToLoad16());
    report("two 8-byte stores, one 16-byte load (not forwarded)", storeToLoadSplit());
    const double mulAdd = multiply + add;
    report("cos and sin, C library (dependent call)", dependentCosSin(
                                                          [](double x, double& c, double& s) {
                                                              c = std::cos(x);
                                                              s = std::sin(x);
                                                          },
                                                          mulAdd));
    report("cos and sin, C library (independent calls)",
           independentCosSin([](double x, double& c, double& s) {
               c = std::cos(x);
               s = std::sin(x);
           }));
    report("cos and sin, the unit's own (dependent call)",
           dependentCosSin([](double x, double& c,
                              double& s) { tarvo::trig::correctlyRoundedCosSin(x, c, s); },
                           mulAdd));
    return 0;
}
