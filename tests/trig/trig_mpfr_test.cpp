// The correctly rounded cos and sin against MPFR (53 bits, nearest, in the
// double exponent range with subnormals), bit for bit including the sign of
// zero: special arguments, the doubles nearest to multiples of pi/2,
// arguments whose results lie near midpoints, random arguments over every
// binade, and the slow paths on their own. cos, sin and CosSin are each
// checked; the path of every CosSin result is counted and printed.
//
// TARVO_TRIG_ARGUMENTS sets the number of random arguments (default 10^7,
// fewer in sanitizer builds), shared by the shards of TrigRandom.
#include <gtest/gtest.h>
#include <mpfr.h>

#include <cfloat>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "ieee/double_bits.h"
#include "trig/correctly_rounded_trig.h"

#ifndef TARVO_TRIG_DATA_DIR
#error "TARVO_TRIG_DATA_DIR names the folder of the argument lists"
#endif
#ifndef TARVO_TRIG_DEFAULT_ARGUMENTS
#define TARVO_TRIG_DEFAULT_ARGUMENTS 10000000
#endif

namespace tarvo::trig {
using ieee::bitsOf;
using ieee::fromBits;
namespace {

constexpr int kShards = 8;
constexpr int kPathCount = 4;
const char* const kPathNames[kPathCount] = {"special", "fast", "accurate", "multi-precision"};

bool sameResult(double a, double b) {
    return std::isnan(a) ? std::isnan(b) : bitsOf(a) == bitsOf(b);
}

// MPFR's cos and sin rounded as doubles are: 53 bits, the exponent range of
// double, subnormals rounded once.
class Mpfr {
public:
    Mpfr() {
        mpfr_set_emin(-1073);
        mpfr_set_emax(1024);
        mpfr_inits2(53, argument_, cosine_, sine_, static_cast<mpfr_ptr>(nullptr));
    }
    ~Mpfr() { mpfr_clears(argument_, cosine_, sine_, static_cast<mpfr_ptr>(nullptr)); }
    Mpfr(const Mpfr&) = delete;
    Mpfr& operator=(const Mpfr&) = delete;

    void cosSin(double x, double& cosine, double& sine) {
        mpfr_set_d(argument_, x, MPFR_RNDN);
        const int ternary = mpfr_sin_cos(sine_, cosine_, argument_, MPFR_RNDN);
        // The ternary values of sine and cosine: 0 exact, 1 above, 2 below.
        const auto decode = [](int t) { return t == 0 ? 0 : (t == 1 ? 1 : -1); };
        mpfr_subnormalize(sine_, decode(ternary & 3), MPFR_RNDN);
        mpfr_subnormalize(cosine_, decode(ternary >> 2), MPFR_RNDN);
        sine = mpfr_get_d(sine_, MPFR_RNDN);
        cosine = mpfr_get_d(cosine_, MPFR_RNDN);
    }

private:
    mpfr_t argument_;
    mpfr_t cosine_;
    mpfr_t sine_;
};

// Checks arguments one by one and keeps the path counts and the first
// mismatches.
class Checker {
public:
    explicit Checker(TrigPath first = TrigPath::kFast) : first_(first) {}

    void check(double x) {
        double expectedCos = 0.0;
        double expectedSin = 0.0;
        mpfr_.cosSin(x, expectedCos, expectedSin);
        double cosine = 0.0;
        double sine = 0.0;
        const TrigPath path = correctlyRoundedCosSinTraced(x, cosine, sine, first_);
        ++counts_[static_cast<int>(path)];
        ++arguments_;
        if (first_ == TrigPath::kFast) {
            note(x, "cos", correctlyRoundedCos(x), expectedCos, path);
            note(x, "sin", correctlyRoundedSin(x), expectedSin, path);
        }
        note(x, "CosSin cos", cosine, expectedCos, path);
        note(x, "CosSin sin", sine, expectedSin, path);
    }

    void checkBothSigns(double x) {
        check(x);
        check(-x);
    }

    uint64_t failures() const { return failures_; }
    uint64_t count(TrigPath path) const { return counts_[static_cast<int>(path)]; }
    const std::string& firstFailures() const { return report_; }

    void printCounts(const char* what, double seconds) const {
        std::printf("%s: %llu arguments in %.1f s, paths:", what,
                    static_cast<unsigned long long>(arguments_), seconds);
        for (int i = 0; i < kPathCount; ++i) {
            const double share =
                arguments_ == 0 ? 0.0 : 100.0 * double(counts_[i]) / double(arguments_);
            std::printf(" %s %llu (%.4g%%)", kPathNames[i],
                        static_cast<unsigned long long>(counts_[i]), share);
        }
        std::printf("\n");
        std::fflush(stdout);
    }

private:
    void note(double x, const char* what, double got, double expected, TrigPath path) {
        if (sameResult(got, expected)) {
            return;
        }
        if (++failures_ <= 10) {
            char line[200];
            std::snprintf(line, sizeof line, "%s(%a) = %a, MPFR %a (path %s)\n", what, x, got,
                          expected, kPathNames[static_cast<int>(path)]);
            report_ += line;
        }
    }

    TrigPath first_;
    Mpfr mpfr_;
    uint64_t counts_[kPathCount] = {};
    uint64_t arguments_ = 0;
    uint64_t failures_ = 0;
    std::string report_;
};

// Arguments listed one hexadecimal double a line ('#' starts a comment).
std::vector<double> readArguments(const std::string& name) {
    std::ifstream in(std::string(TARVO_TRIG_DATA_DIR) + "/" + name);
    std::vector<double> values;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        values.push_back(std::strtod(line.c_str(), nullptr));
    }
    return values;
}

uint64_t randomArgumentCount() {
    const char* text = std::getenv("TARVO_TRIG_ARGUMENTS");
    return text != nullptr ? std::strtoull(text, nullptr, 10) : TARVO_TRIG_DEFAULT_ARGUMENTS;
}

// A random double of either sign whose exponent field is drawn uniformly
// from [lowField, highField] (0 gives subnormals).
double randomDouble(std::mt19937_64& random, uint64_t lowField, uint64_t highField) {
    const uint64_t field = lowField + random() % (highField - lowField + 1);
    return fromBits((random() & 0x800FFFFFFFFFFFFFu) | (field << 52));
}

constexpr uint64_t kFieldOf2ToMinus27 = 1023 - 27;
constexpr uint64_t kFieldOf2To15 = 1023 + 15;

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST(TrigSpecialArguments, ZerosInfinitiesNanSubnormalsAndBoundaries) {
    const double infinity = std::numeric_limits<double>::infinity();
    const double quietNan = std::numeric_limits<double>::quiet_NaN();
    const double signalingNan = std::numeric_limits<double>::signaling_NaN();
    const double boundaries[] = {0.0,
                                 DBL_TRUE_MIN,
                                 DBL_MIN - DBL_TRUE_MIN,
                                 DBL_MIN,
                                 0x1p-27,
                                 0x1p-26,
                                 std::nextafter(0x1p-27, 0.0),
                                 0x1.921fb54442d18p-9,  // about pi/1024: k = 0 or 1
                                 std::nextafter(0x1p15, 0.0),
                                 0x1p15,
                                 1.0,
                                 0x1.921fb54442d18p+0,
                                 DBL_MAX};
    Checker checker;
    for (const double x : boundaries) {
        checker.checkBothSigns(x);
    }
    checker.checkBothSigns(infinity);
    checker.check(quietNan);
    checker.check(signalingNan);
    EXPECT_EQ(checker.failures(), 0u) << checker.firstFailures();

    // What a caller relies on beyond rounding: the sign of zero, NaN out of
    // infinities and NaN, and no detour through the slow paths for them.
    double cosine = 0.0;
    double sine = 0.0;
    EXPECT_EQ(correctlyRoundedCosSinTraced(-0.0, cosine, sine), TrigPath::kSpecial);
    EXPECT_EQ(bitsOf(sine), bitsOf(-0.0));
    EXPECT_EQ(cosine, 1.0);
    EXPECT_EQ(bitsOf(correctlyRoundedSin(-0.0)), bitsOf(-0.0));
    EXPECT_EQ(correctlyRoundedCos(-0.0), 1.0);
    for (const double x : {infinity, -infinity, quietNan, signalingNan}) {
        EXPECT_EQ(correctlyRoundedCosSinTraced(x, cosine, sine), TrigPath::kSpecial);
        EXPECT_TRUE(std::isnan(cosine) && std::isnan(sine));
        EXPECT_TRUE(std::isnan(correctlyRoundedCos(x)) && std::isnan(correctlyRoundedSin(x)));
    }
}

// Subnormals and the tiny range where sin x rounds to x and cos x to 1.
TEST(TrigSpecialArguments, TinyArguments) {
    std::mt19937_64 random(11);
    Checker checker;
    for (int i = 0; i < 20000; ++i) {
        checker.check(randomDouble(random, 0, kFieldOf2ToMinus27 + 1));
    }
    EXPECT_EQ(checker.failures(), 0u) << checker.firstFailures();
}

// The doubles nearest to multiples of pi/2 over every exponent: the hardest
// argument reductions, where cos or sin is as small as 2^-62.
TEST(TrigHardArguments, NearMultiplesOfHalfPi) {
    const std::vector<double> arguments = readArguments("near_multiples.txt");
    ASSERT_GT(arguments.size(), 10000u);
    Checker checker;
    const auto start = std::chrono::steady_clock::now();
    for (const double x : arguments) {
        checker.checkBothSigns(x);
    }
    checker.printCounts("near multiples of pi/2", secondsSince(start));
    EXPECT_EQ(checker.failures(), 0u) << checker.firstFailures();
}

// Results within 2^-67 of a midpoint (the fast path's test must fail and
// the accurate path decide) and within 2^-88 (only the multi-precision
// path decides).
TEST(TrigHardArguments, NearMidpoints) {
    const std::vector<double> arguments = readArguments("hard_cases.txt");
    ASSERT_GT(arguments.size(), 500u);
    Checker checker;
    const auto start = std::chrono::steady_clock::now();
    for (const double x : arguments) {
        checker.checkBothSigns(x);
    }
    checker.printCounts("near midpoints", secondsSince(start));
    EXPECT_EQ(checker.failures(), 0u) << checker.firstFailures();
    EXPECT_EQ(checker.count(TrigPath::kFast), 0u);
    EXPECT_GT(checker.count(TrigPath::kAccurate), 0u);
    EXPECT_GT(checker.count(TrigPath::kMultiPrecision), 0u);
}

// Random arguments, in shards that CTest runs in parallel: half with their
// exponent spread over every binade from the subnormals to the largest
// doubles, half over 2^-27 .. 2^15, where the fast path decides.
class TrigRandom : public ::testing::TestWithParam<int> {};

TEST_P(TrigRandom, MatchesMpfr) {
    const int shard = GetParam();
    const uint64_t total = randomArgumentCount();
    const uint64_t count = total / kShards + (uint64_t(shard) < total % kShards ? 1 : 0);
    std::mt19937_64 random(0x7269676f6e6f6dull + uint64_t(shard));
    Checker checker;
    const auto start = std::chrono::steady_clock::now();
    for (uint64_t i = 0; i < count; ++i) {
        const double x = i % 2 == 0 ? randomDouble(random, 0, 2046)
                                    : randomDouble(random, kFieldOf2ToMinus27, kFieldOf2To15);
        checker.check(x);
    }
    char what[64];
    std::snprintf(what, sizeof what, "random shard %d of %d", shard, kShards);
    checker.printCounts(what, secondsSince(start));
    EXPECT_EQ(checker.failures(), 0u) << checker.firstFailures();
}

INSTANTIATE_TEST_SUITE_P(Shards, TrigRandom, ::testing::Range(0, kShards));

// The accurate and the multi-precision paths on their own, on arguments the
// fast path would otherwise take, and on the arguments near midpoints.
void checkSlowPathAlone(TrigPath first, const char* what) {
    const uint64_t count = randomArgumentCount() / 200;
    std::mt19937_64 random(first == TrigPath::kAccurate ? 5 : 6);
    Checker checker(first);
    const auto start = std::chrono::steady_clock::now();
    for (uint64_t i = 0; i < count; ++i) {
        checker.check(i % 2 == 0 ? randomDouble(random, kFieldOf2ToMinus27, 2046)
                                 : randomDouble(random, kFieldOf2ToMinus27, kFieldOf2To15));
    }
    for (const double x : readArguments("hard_cases.txt")) {
        checker.checkBothSigns(x);
    }
    checker.printCounts(what, secondsSince(start));
    EXPECT_EQ(checker.failures(), 0u) << checker.firstFailures();
    EXPECT_EQ(checker.count(TrigPath::kFast), 0u);
}

TEST(TrigSlowPath, AccurateFirst) {
    checkSlowPathAlone(TrigPath::kAccurate, "from the accurate path");
}

TEST(TrigSlowPath, MultiPrecisionAlone) {
    checkSlowPathAlone(TrigPath::kMultiPrecision, "multi-precision path alone");
}

}  // namespace
}  // namespace tarvo::trig
