// Prints one hash of every bit of cos, sin and CosSin over a fixed set of
// arguments: the argument lists given on the command line, both signs, and
// 200,000 arguments from a fixed 64-bit generator spread over every binade.
// Built by several compilers and flags (tests/trig/check-same-bits), it must
// print the same line everywhere.
//
//   same_bits FILE...
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "trig/correctly_rounded_trig.h"

namespace {

uint64_t gHash = 0xcbf29ce484222325u;  // FNV-1a
uint64_t gCount = 0;

void mix(double value) {
    uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    for (int i = 0; i < 8; ++i) {
        gHash ^= (bits >> (8 * i)) & 0xFFu;
        gHash *= 0x100000001b3u;
    }
}

void evaluate(double x) {
    double cosine = 0.0;
    double sine = 0.0;
    tarvo::trig::correctlyRoundedCosSin(x, cosine, sine);
    mix(cosine);
    mix(sine);
    mix(tarvo::trig::correctlyRoundedCos(x));
    mix(tarvo::trig::correctlyRoundedSin(x));
    ++gCount;
}

uint64_t splitMix(uint64_t& state) {
    uint64_t z = (state += 0x9e3779b97f4a7c15u);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9u;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebu;
    return z ^ (z >> 31);
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        std::ifstream in(argv[i]);
        if (!in) {
            std::fprintf(stderr, "same_bits: cannot read %s\n", argv[i]);
            return 2;
        }
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line[0] != '#') {
                const double x = std::strtod(line.c_str(), nullptr);
                evaluate(x);
                evaluate(-x);
            }
        }
    }
    uint64_t state = 2024;
    for (int i = 0; i < 200000; ++i) {
        const uint64_t random = splitMix(state);
        // Exponent fields 0 .. 2047: subnormals to the largest, infinities, NaN.
        uint64_t bits = random;
        if (i % 2 == 1) {  // every other one within 2^-27 .. 2^15
            bits = (random & 0x800FFFFFFFFFFFFFu) | ((996 + (random >> 52) % 42) << 52);
        }
        double x = 0.0;
        std::memcpy(&x, &bits, sizeof x);
        evaluate(x);
    }
    std::printf("%llu arguments, hash %016llx\n", static_cast<unsigned long long>(gCount),
                static_cast<unsigned long long>(gHash));
    return 0;
}
