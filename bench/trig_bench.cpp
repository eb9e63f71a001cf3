// Microbenchmark of the correctly rounded cos and sin against the C
// library's, on the same arguments:
//   throughput  independent calls over an array of 4096 arguments;
//   latency     each call's argument depends on the previous result.
// Argument sets: the model's angle (|x| < 1, as the default workload
// reaches in one unit of model time), |x| < 400, and every binade.
//
//   tarvo_trig_bench [--repeats R]
//
// Prints ns per call of each function and the ratio of
// correctlyRoundedCosSin to the library's sin and cos of one angle (which
// GCC fuses into one sincos call, as in the model).
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "trig/correctly_rounded_trig.h"

namespace {

using tarvo::trig::correctlyRoundedCos;
using tarvo::trig::correctlyRoundedCosSin;
using tarvo::trig::correctlyRoundedSin;

constexpr int kArguments = 4096;
constexpr int kPasses = 500;  // 2 million calls per measurement

struct ArgumentSet {
    const char* name;
    std::vector<double> values;
};

std::vector<ArgumentSet> makeArgumentSets() {
    std::mt19937_64 random(2024);
    std::vector<ArgumentSet> sets;
    std::uniform_real_distribution<double> model(-1.0, 0.0);
    std::uniform_real_distribution<double> moderate(-400.0, 400.0);
    ArgumentSet a{"model angle, -1 < x < 0", {}};
    ArgumentSet b{"|x| < 400", {}};
    ArgumentSet c{"every binade 2^-27 .. 2^1023", {}};
    for (int i = 0; i < kArguments; ++i) {
        a.values.push_back(model(random));
        b.values.push_back(moderate(random));
        const uint64_t exponent = 1023 - 27 + random() % (1024 + 27);
        const uint64_t bits = (random() & 0x800FFFFFFFFFFFFFu) | (exponent << 52);
        double x = 0.0;
        std::memcpy(&x, &bits, sizeof x);
        c.values.push_back(x);
    }
    sets.push_back(a);
    sets.push_back(b);
    sets.push_back(c);
    return sets;
}

// Keeps results alive without a dependency between calls.
volatile double gSink = 0.0;
// Zero that the compiler cannot see through, for the dependent chain.
volatile double gZero = 0.0;

template <typename Function>
double throughputNs(const std::vector<double>& args, Function function) {
    double sum = 0.0;
    const auto start = std::chrono::steady_clock::now();
    for (int pass = 0; pass < kPasses; ++pass) {
        for (const double x : args) {
            double c = 0.0;
            double s = 0.0;
            function(x, c, s);
            sum += c + s;
        }
    }
    const auto stop = std::chrono::steady_clock::now();
    gSink = sum;
    return std::chrono::duration<double, std::nano>(stop - start).count() /
           (double(kPasses) * double(args.size()));
}

template <typename Function>
double latencyNs(const std::vector<double>& args, Function function) {
    const double zero = gZero;
    double carried = 0.0;
    const auto start = std::chrono::steady_clock::now();
    for (int pass = 0; pass < kPasses; ++pass) {
        for (const double x : args) {
            double c = 0.0;
            double s = 0.0;
            function(x + carried, c, s);
            carried = (c + s) * zero;
        }
    }
    const auto stop = std::chrono::steady_clock::now();
    gSink = carried;
    return std::chrono::duration<double, std::nano>(stop - start).count() /
           (double(kPasses) * double(args.size()));
}

// The C library's sin and cos of one angle, as the model writes them (GCC
// turns the pair into one sincos call).
__attribute__((noinline)) void libraryCosSin(double x, double& c, double& s) {
    c = std::cos(x);
    s = std::sin(x);
}

__attribute__((noinline)) void ownCosSin(double x, double& c, double& s) {
    correctlyRoundedCosSin(x, c, s);
}

__attribute__((noinline)) void ownCosThenSin(double x, double& c, double& s) {
    c = correctlyRoundedCos(x);
    s = correctlyRoundedSin(x);
}

}  // namespace

int main(int argc, char** argv) {
    int repeats = 5;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--repeats") == 0 && i + 1 < argc) {
            repeats = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: tarvo_trig_bench [--repeats R]\n");
            return 2;
        }
    }
    if (repeats < 1) {
        repeats = 1;
    }
    std::printf("%-30s %-10s %10s %10s %10s %7s\n", "arguments", "measure", "library", "CosSin",
                "Cos+Sin", "ratio");
    for (const ArgumentSet& set : makeArgumentSets()) {
        for (const bool dependent : {false, true}) {
            // The three functions in turn on every repeat, so that load from
            // elsewhere on the machine weighs on all alike; the fastest counts.
            double library = 1e300;
            double own = 1e300;
            double separate = 1e300;
            const auto measure = [&](auto function) {
                return dependent ? latencyNs(set.values, function)
                                 : throughputNs(set.values, function);
            };
            for (int r = 0; r < repeats; ++r) {
                library = std::min(library, measure(libraryCosSin));
                own = std::min(own, measure(ownCosSin));
                separate = std::min(separate, measure(ownCosThenSin));
            }
            std::printf("%-30s %-10s %8.2f ns %7.2f ns %7.2f ns %7.2f\n", set.name,
                        dependent ? "latency" : "throughput", library, own, separate,
                        own / library);
        }
    }
    return 0;
}
