// Differential tests: the unit as shipped (fast dynamic equations), the
// reference build (literal equations, every matrix operation a call of the
// general library) and the FMI 3.0 unit loaded side by side with dlopen and
// driven by the same host calls, the FMI 3.0 unit as a host of FMI 3.0
// drives it (host/fmi3_unit.h), its values found by name through the value
// map made from the two model descriptions. After initialisation and after
// every step all three must report the same status (the FMI 2.0 unit's) and
// the same 247 values, bit for bit (a NaN matches any NaN, see sameResult).
//
// The call sequences are random with fixed seeds: parameters, initial
// values, inputs, states written between steps and step sizes, including
// zeros, negative zero, huge and tiny values, NaN and infinities, a
// singular V[31..34], quantisation by zero, levels exactly at the selection
// thresholds, special rotation angles, snapshots, resets and stop times.
// Most steps are one internal step long, so the values are compared after
// nearly every internal step. The FMI 3.0 unit takes its snapshots in
// memory or as bytes (serialised, deserialised, set), and its state also
// makes that round trip at random points of the sequences, unseen by the
// others: it must change nothing.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "host/callbacks.h"
#include "host/fmi3_unit.h"
#include "host/unit_calls.h"
#include "host/unit_library.h"
#include "trace/value_map_file.h"

namespace {

namespace host = tarvo::host;
using host::kValueCount;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kPi = 3.141592653589793;

// Value references by section: P[i] is kParameter + i.
using host::kInputA;
using host::kInputB;
constexpr fmi2ValueReference kParameter = tarvo::runtime::kParametersStart;
constexpr fmi2ValueReference kInitialValue = tarvo::runtime::kInitialValuesStart;
constexpr fmi2ValueReference kVariable = tarvo::runtime::kVariablesStart;
constexpr fmi2ValueReference kState = tarvo::runtime::kStatesStart;
constexpr int kParameterCount = tarvo::runtime::kParameterCount;
constexpr int kVariableCount = tarvo::runtime::kVariableCount;
constexpr int kStateCount = tarvo::runtime::kStateCount;

const double kSpecialValues[] = {0.0,
                                 -0.0,
                                 1.0,
                                 -1.0,
                                 0.5,
                                 0.2,
                                 2.0,
                                 1e300,
                                 -1e300,
                                 1e-300,
                                 -1e-300,
                                 5e-324,
                                 1.7976931348623157e308,
                                 -1.7976931348623157e308,
                                 kInf,
                                 -kInf,
                                 kNaN,
                                 -kNaN};

// splitmix64: the same numbers on every platform.
class Random {
public:
    explicit Random(uint64_t seed) : state_(seed) {}

    uint64_t next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
    double between(double low, double high) { return low + (high - low) * uniform(); }
    bool chance(double p) { return uniform() < p; }
    int below(int n) { return static_cast<int>(next() % static_cast<uint64_t>(n)); }
    template <std::size_t N>
    double pick(const double (&values)[N]) {
        return values[below(static_cast<int>(N))];
    }

private:
    uint64_t state_;
};

// The libraries of this build; the environment variables
// TARVO_FAST_LIBRARY, TARVO_LITERAL_LIBRARY and TARVO_FMI3_LIBRARY name
// others (for instance an unoptimised build) to compare instead.
std::string libraryPath(const char* variable, const char* builtPath) {
    const char* path = std::getenv(variable);
    return path != nullptr ? path : builtPath;
}

const host::UnitLibrary& fastLibrary() {
    static const host::UnitLibrary unit(libraryPath("TARVO_FAST_LIBRARY", TARVO_FAST_LIBRARY));
    return unit;
}

const host::UnitLibrary& literalLibrary() {
    static const host::UnitLibrary unit(
        libraryPath("TARVO_LITERAL_LIBRARY", TARVO_LITERAL_LIBRARY));
    return unit;
}

const host::UnitLibrary& fmi3Library() {
    static const host::UnitLibrary unit(libraryPath("TARVO_FMI3_LIBRARY", TARVO_FMI3_LIBRARY),
                                        host::FmiVersion::fmi3);
    return unit;
}

// The value map the build made from the two model descriptions.
const host::ValueMap& valueMap() {
    static const host::ValueMap map = tarvo::trace::readValueMap(TARVO_FMI3_VALUE_MAP);
    return map;
}

const host::Fmi2Api& fastUnit() {
    return fastLibrary().fmi2();
}

const host::Fmi2Api& literalUnit() {
    return literalLibrary().fmi2();
}

std::string bitsOf(double value) {
    uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    char text[64];
    std::snprintf(text, sizeof text, "%a (0x%016" PRIx64 ")", value, bits);
    return text;
}

// Equal bits, or both NaN. The sign and payload of a NaN are not fixed by
// the equations: an operation on two NaN operands passes on one of them,
// and which one depends on the order in which the compiler places the
// operands of an addition or multiplication, so that even the literal
// build differs there between -O0 and -O2. The shared vectors write every
// NaN as "nan" for the same reason. Zeros keep their sign.
bool sameResult(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0 || (std::isnan(a) && std::isnan(b));
}

// How the FMI 3.0 unit keeps a snapshot: the state in memory, or only its
// bytes, deserialised and set to restore it.
enum class Snapshot {
    inMemory,
    asBytes
};

// One instance of each build, driven call for call.
class Lockstep {
public:
    Lockstep()
        : fast_(instantiate(fastLibrary())),
          literal_(instantiate(literalLibrary())),
          fmi3_(fmi3Library().fmi3(), valueMap()) {
        fmi3_.instantiate("twin", nullptr, host::logFmi3Nothing);
    }
    ~Lockstep() {
        fastUnit().fmi2FreeInstance(fast_);
        literalUnit().fmi2FreeInstance(literal_);
    }
    Lockstep(const Lockstep&) = delete;
    Lockstep& operator=(const Lockstep&) = delete;

    bool valid() const {
        return fast_ != nullptr && literal_ != nullptr && fmi3_.instance() != nullptr;
    }

    // FMI 3.0 takes the experiment with entering initialisation.
    ::testing::AssertionResult setUp(bool stopTimeDefined, double stopTime) {
        stopTimeDefined_ = stopTimeDefined;
        stopTime_ = stopTime;
        const fmi2Status fast =
            fastUnit().fmi2SetupExperiment(fast_, fmi2False, 0.0, 0.0, stopTimeDefined, stopTime);
        return same("fmi2SetupExperiment", fast,
                    literalUnit().fmi2SetupExperiment(literal_, fmi2False, 0.0, 0.0,
                                                      stopTimeDefined, stopTime),
                    fast);
    }

    ::testing::AssertionResult enterInitialisation() {
        return same("fmi2EnterInitializationMode", fastUnit().fmi2EnterInitializationMode(fast_),
                    literalUnit().fmi2EnterInitializationMode(literal_),
                    fmi3_.enterInitialisation(0.0, stopTimeDefined_, stopTime_));
    }

    // Initialisation compares all values afterwards.
    ::testing::AssertionResult exitInitialisation() {
        const auto status =
            same("fmi2ExitInitializationMode", fastUnit().fmi2ExitInitializationMode(fast_),
                 literalUnit().fmi2ExitInitializationMode(literal_), fmi3_.exitInitialisation());
        return status ? sameValues("after initialisation") : status;
    }

    ::testing::AssertionResult set(fmi2ValueReference vr, double value) {
        return same("fmi2SetReal", host::setReal(fastUnit(), fast_, vr, value),
                    host::setReal(literalUnit(), literal_, vr, value), fmi3_.setReal(vr, value));
    }

    ::testing::AssertionResult reset() {
        return same("fmi2Reset", fastUnit().fmi2Reset(fast_), literalUnit().fmi2Reset(literal_),
                    fmi3_.reset());
    }

    // A communication step, then all values compared. Before every seventh
    // step the FMI 3.0 unit's state goes through bytes first.
    ::testing::AssertionResult doStep(double communicationPoint, double stepSize) {
        if (steps % 7 == 3) {
            const auto roundTrip = roundTripFmi3State();
            if (!roundTrip) {
                return roundTrip;
            }
        }
        ++steps;
        const auto status = same(
            "fmi2DoStep", fastUnit().fmi2DoStep(fast_, communicationPoint, stepSize, fmi2True),
            literalUnit().fmi2DoStep(literal_, communicationPoint, stepSize, fmi2True),
            fmi3_.doStep(communicationPoint, stepSize));
        return status ? sameValues("after fmi2DoStep") : status;
    }

    ::testing::AssertionResult takeSnapshot(Snapshot kind) {
        snapshot_ = kind;
        const auto status = same(
            "fmi2GetFMUstate", fastUnit().fmi2GetFMUstate(fast_, &fastState_),
            literalUnit().fmi2GetFMUstate(literal_, &literalState_), fmi3_.getState(fmi3State_));
        if (!status || kind == Snapshot::inMemory) {
            return status;
        }
        const fmi3Status serialised = fmi3_.serializeState(fmi3State_, fmi3Bytes_);
        fmi3_.freeState(fmi3State_);
        return serialised == fmi3OK ? ::testing::AssertionSuccess()
                                    : ::testing::AssertionFailure()
                                          << "fmi3SerializeFMUState returned " << serialised;
    }

    ::testing::AssertionResult restoreSnapshot() {
        if (snapshot_ == Snapshot::asBytes) {
            const fmi3Status read = fmi3_.deserializeState(fmi3Bytes_, fmi3State_);
            if (read != fmi3OK) {
                return ::testing::AssertionFailure()
                       << "fmi3DeserializeFMUState returned " << read;
            }
        }
        const auto status = same("fmi2SetFMUstate", fastUnit().fmi2SetFMUstate(fast_, fastState_),
                                 literalUnit().fmi2SetFMUstate(literal_, literalState_),
                                 fmi3_.setState(fmi3State_));
        return status ? sameValues("after fmi2SetFMUstate") : status;
    }

    void freeSnapshot() {
        if (fastState_ != nullptr) {
            fastUnit().fmi2FreeFMUstate(fast_, &fastState_);
        }
        if (literalState_ != nullptr) {
            literalUnit().fmi2FreeFMUstate(literal_, &literalState_);
        }
        fmi3_.freeState(fmi3State_);
    }

    // The FMI 3.0 unit's state serialised, deserialised and set, which the
    // other two do not see: its values must stay as they were.
    ::testing::AssertionResult roundTripFmi3State() {
        fmi3FMUState state = nullptr;
        std::vector<std::uint8_t> bytes;
        fmi3Status status = fmi3_.getState(state) == fmi2OK ? fmi3OK : fmi3Error;
        status = status == fmi3OK ? fmi3_.serializeState(state, bytes) : status;
        fmi3_.freeState(state);
        status = status == fmi3OK ? fmi3_.deserializeState(bytes, state) : status;
        status = status == fmi3OK && fmi3_.setState(state) == fmi2OK ? fmi3OK : fmi3Error;
        fmi3_.freeState(state);
        if (status != fmi3OK) {
            return ::testing::AssertionFailure() << "the state's round trip through bytes failed";
        }
        return sameValues("after the FMI 3.0 state's round trip through bytes");
    }

    double value(fmi2ValueReference vr) const {
        double v = 0.0;
        host::getReal(fastUnit(), fast_, vr, v);
        return v;
    }

    long steps = 0;

private:
    static fmi2Component instantiate(const host::UnitLibrary& unit) {
        return unit.isLoaded() ? host::instantiate(unit.fmi2(), "twin", host::quietCallbacks())
                               : nullptr;
    }

    // FMI 3.0's status as the FMI 2.0 unit reports it (host/fmi3_unit.h).
    static ::testing::AssertionResult same(const char* call, fmi2Status fast, fmi2Status literal,
                                           fmi2Status fmi3) {
        if (fast == literal && fast == fmi3) {
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure() << call << " returned " << fast << " (fast), "
                                             << literal << " (literal), " << fmi3 << " (FMI 3.0)";
    }

    ::testing::AssertionResult sameValues(const char* when) {
        host::ModelValues fast;
        host::ModelValues literal;
        host::ModelValues fmi3;
        if (host::readAllValues(fastUnit(), fast_, fast) != fmi2OK ||
            host::readAllValues(literalUnit(), literal_, literal) != fmi2OK ||
            fmi3_.readAllValues(fmi3) != fmi2OK) {
            return ::testing::AssertionFailure() << "reading the values failed " << when;
        }
        for (fmi2ValueReference vr = 0; vr < kValueCount; ++vr) {
            if (!sameResult(fast[vr], literal[vr]) || !sameResult(fast[vr], fmi3[vr])) {
                return ::testing::AssertionFailure()
                       << when << " (step " << steps << "), value reference " << vr << ": fast "
                       << bitsOf(fast[vr]) << ", literal " << bitsOf(literal[vr]) << ", FMI 3.0 "
                       << bitsOf(fmi3[vr]);
            }
        }
        return ::testing::AssertionSuccess();
    }

    fmi2Component fast_;
    fmi2Component literal_;
    host::Fmi3Unit fmi3_;
    bool stopTimeDefined_ = false;
    double stopTime_ = 0.0;
    fmi2FMUstate fastState_ = nullptr;
    fmi2FMUstate literalState_ = nullptr;
    fmi3FMUState fmi3State_ = nullptr;
    Snapshot snapshot_ = Snapshot::inMemory;
    std::vector<std::uint8_t> fmi3Bytes_;
};

// A step size as hosts use them: mostly one internal step, sometimes a few,
// one with a shortened last internal step, or nothing at all.
double randomStepSize(Random& random) {
    switch (random.below(10)) {
        case 0: return 0.0;
        case 1: return 2.5e-6;
        case 2: return random.between(1e-7, 2e-5);
        case 3: return 1e-5;
        default: return 1e-6;
    }
}

// A value near the default, a new ordinary one, or (with the given chance)
// one of the special values.
double randomValue(Random& random, double usual, double specialChance) {
    if (random.chance(specialChance)) {
        return random.pick(kSpecialValues);
    }
    switch (random.below(3)) {
        case 0: return usual;
        case 1: return usual * random.between(-3.0, 3.0);
        default: return random.between(-10.0, 10.0);
    }
}

struct Family {
    double parameterChance;   // that a parameter is written before initialisation
    double initialChance;     // that an initial value is written
    double specialChance;     // that a written value is a special one
    double stateWriteChance;  // that a step writes a state, parameter or input
};

// Writes random parameters and initial values, initialises, then steps with
// random writes in between. Returns false when the builds differed.
::testing::AssertionResult runRandomSequence(Lockstep& twin, Random& random, const Family& family,
                                             int stepCount) {
    const bool stopTimeDefined = random.chance(0.1);
    const double stopTime = random.between(0.0, 3e-5);
    auto result = twin.setUp(stopTimeDefined, stopTime);
    if (!result) return result;
    if (!(result = twin.enterInitialisation())) return result;
    for (fmi2ValueReference i = 0; i < tarvo::runtime::kParameterCount; ++i) {
        if (random.chance(family.parameterChance)) {
            const double usual = twin.value(kParameter + i);
            if (!(result = twin.set(kParameter + i,
                                    randomValue(random, usual, family.specialChance)))) {
                return result;
            }
        }
    }
    for (fmi2ValueReference i = 0; i < tarvo::runtime::kInitialValueCount; ++i) {
        if (random.chance(family.initialChance)) {
            if (!(result = twin.set(
                      kInitialValue + i,
                      randomValue(random, random.between(-1.0, 1.0), family.specialChance)))) {
                return result;
            }
        }
    }
    if (!(result = twin.set(kInputA, randomValue(random, 1.0, family.specialChance))))
        return result;
    if (!(result = twin.set(kInputB, randomValue(random, -0.5, family.specialChance))))
        return result;
    if (!(result = twin.exitInitialisation())) return result;

    double time = 0.0;
    for (int step = 0; step < stepCount; ++step) {
        while (random.chance(family.stateWriteChance)) {
            fmi2ValueReference vr = 0;
            switch (random.below(4)) {
                case 0: vr = random.chance(0.5) ? kInputA : kInputB; break;
                case 1:
                    vr = kState + static_cast<fmi2ValueReference>(random.below(kStateCount));
                    break;
                case 2:
                    vr = kParameter +
                         static_cast<fmi2ValueReference>(random.below(kParameterCount));
                    break;
                default:
                    vr =
                        kVariable + static_cast<fmi2ValueReference>(random.below(kVariableCount));
                    break;
            }
            if (!(result =
                      twin.set(vr, randomValue(random, twin.value(vr), family.specialChance)))) {
                return result;
            }
        }
        const double h = randomStepSize(random);
        if (!(result = twin.doStep(time, h))) return result;
        time = time + h;
    }
    return ::testing::AssertionSuccess();
}

void runFamily(const Family& family, uint64_t seed, int sequences, int stepCount) {
    ASSERT_TRUE(fastLibrary().isLoaded()) << fastLibrary().error();
    ASSERT_TRUE(literalLibrary().isLoaded()) << literalLibrary().error();
    ASSERT_TRUE(fmi3Library().isLoaded()) << fmi3Library().error();
    long steps = 0;
    for (int n = 0; n < sequences; ++n) {
        const uint64_t sequenceSeed = seed * 1000003u + static_cast<uint64_t>(n);
        Random random(sequenceSeed);
        Lockstep twin;
        ASSERT_TRUE(twin.valid());
        ASSERT_TRUE(runRandomSequence(twin, random, family, stepCount))
            << "sequence seed " << sequenceSeed;
        steps += twin.steps;
    }
    std::printf("  %d sequences, %ld communication steps compared\n", sequences, steps);
}

TEST(Differential, DefaultsWithRandomInputs) {
    runFamily({0.0, 0.0, 0.0, 0.3}, 1, 300, 120);
}

TEST(Differential, RandomParametersAndStartValues) {
    runFamily({0.3, 0.5, 0.0, 0.2}, 2, 600, 60);
}

TEST(Differential, SpecialValuesEverywhere) {
    runFamily({0.2, 0.4, 0.1, 0.3}, 3, 800, 40);
}

// V[31..34] singular from the start (P[8] + P[12] = 0) or made singular,
// tiny, NaN or ordinary again by writing it directly: T2 carries over
// while singular, and the inverse is repeated whenever V[31..34] changes.
TEST(Differential, SingularAndChangingDiagonal) {
    const double diagonals[] = {0.0, -0.0, 1e-200, 1e-160, 3.0, -2.0, kNaN, kInf, 5e-324};
    long steps = 0;
    for (int n = 0; n < 400; ++n) {
        Random random(40000u + static_cast<uint64_t>(n));
        Lockstep twin;
        ASSERT_TRUE(twin.valid());
        ASSERT_TRUE(twin.setUp(false, 0.0));
        ASSERT_TRUE(twin.enterInitialisation());
        const double p12 =
            random.chance(0.5) ? random.pick(diagonals) : random.between(-5.0, 5.0);
        ASSERT_TRUE(twin.set(kParameter + 12, p12));
        if (random.chance(0.6)) {
            ASSERT_TRUE(twin.set(kParameter + 8, -p12));  // P[8] + P[12] = 0
        }
        for (fmi2ValueReference i = 3; i < 5; ++i) {
            ASSERT_TRUE(twin.set(kInitialValue + i, random.between(-2.0, 2.0)));
        }
        ASSERT_TRUE(twin.set(kInputA, random.between(-2.0, 2.0)));
        ASSERT_TRUE(twin.exitInitialisation()) << "sequence " << n;
        double time = 0.0;
        for (int step = 0; step < 40; ++step) {
            if (random.chance(0.25)) {
                const fmi2ValueReference element =
                    static_cast<fmi2ValueReference>(random.below(4));
                const double value =
                    random.chance(0.7) ? random.pick(diagonals) : random.between(-4.0, 4.0);
                ASSERT_TRUE(twin.set(kVariable + 31 + element, value));
            }
            if (random.chance(0.1)) {
                ASSERT_TRUE(
                    twin.set(kState + 3 + static_cast<fmi2ValueReference>(random.below(2)),
                             random.between(-3.0, 3.0)));
            }
            const double h = randomStepSize(random);
            ASSERT_TRUE(twin.doStep(time, h)) << "sequence " << n;
            time = time + h;
        }
        steps += twin.steps;
    }
    std::printf("  400 sequences, %ld communication steps compared\n", steps);
}

// Angles where the pivot of the rotation inverses changes sides or the
// sine is zero, angles whose sine lies at either side of 2^-500 (where the
// inverses leave their shortcut), and angles whose cosine and sine are NaN.
TEST(Differential, RotationAngles) {
    const double angles[] = {0.0,
                             -0.0,
                             kPi / 4,
                             -kPi / 4,
                             kPi / 2,
                             -kPi / 2,
                             kPi,
                             3 * kPi / 4,
                             0.785398163397448,
                             0.7853981633974484,
                             2.356194490192345,
                             1e-320,
                             0x1p-500,
                             -0x1p-500,
                             0x1.fffffffffffffp-501,
                             0x1p-1000,
                             1e22,
                             1e300,
                             kInf,
                             -kInf,
                             kNaN,
                             100.0};
    long steps = 0;
    for (int n = 0; n < 400; ++n) {
        Random random(50000u + static_cast<uint64_t>(n));
        Lockstep twin;
        ASSERT_TRUE(twin.valid());
        ASSERT_TRUE(twin.setUp(false, 0.0));
        ASSERT_TRUE(twin.enterInitialisation());
        ASSERT_TRUE(twin.set(kParameter + 15, random.chance(0.5) ? random.pick(angles) : 0.0));
        ASSERT_TRUE(twin.set(kInitialValue + 7, random.pick(angles)));
        for (fmi2ValueReference i = 2; i < 7; ++i) {
            ASSERT_TRUE(twin.set(kInitialValue + i, random.between(-50.0, 50.0)));
        }
        ASSERT_TRUE(twin.set(kInputA, random.between(-2.0, 2.0)));
        ASSERT_TRUE(twin.set(kInputB, random.between(-2.0, 2.0)));
        ASSERT_TRUE(twin.exitInitialisation()) << "sequence " << n;
        double time = 0.0;
        for (int step = 0; step < 40; ++step) {
            if (random.chance(0.3)) {
                ASSERT_TRUE(twin.set(kState + 7, random.pick(angles)));
            }
            if (random.chance(0.1)) {
                ASSERT_TRUE(twin.set(kState + 2, random.between(-1e4, 1e4)));
            }
            const double h = randomStepSize(random);
            ASSERT_TRUE(twin.doStep(time, h)) << "sequence " << n;
            time = time + h;
        }
        steps += twin.steps;
    }
    std::printf("  400 sequences, %ld communication steps compared\n", steps);
}

// The level exactly at the selection thresholds (V[10] = 0.5 and 0.2), at
// and below zero, with the constant rates off so that it stays there; then
// crossing them by state and parameter writes. Quantisation steps of zero,
// negative zero, tiny, NaN and quotients beyond the 32-bit range.
TEST(Differential, LevelThresholdsAndQuantisation) {
    const double levels[] = {1250.0, 2000.0, 1000.0, 2500.0,
                             2600.0, 0.0,    -0.0,   1249.9999999999998};
    const double quantisationSteps[] = {0.0, -0.0, 1.0, 0.5, 1e-300, 1e-9, kNaN, kInf, -2.0};
    const double quantised[] = {2.3, 2.5, -2.3, -2.5, 0.0, -0.0, 3e9, -3e9, 1e10, 7.5};
    long steps = 0;
    for (int n = 0; n < 400; ++n) {
        Random random(60000u + static_cast<uint64_t>(n));
        Lockstep twin;
        ASSERT_TRUE(twin.valid());
        ASSERT_TRUE(twin.setUp(false, 0.0));
        ASSERT_TRUE(twin.enterInitialisation());
        ASSERT_TRUE(twin.set(kParameter + 1, 0.0));  // R[1] = 0
        ASSERT_TRUE(twin.set(kParameter + 2, 0.0));  // R[0] = 0
        ASSERT_TRUE(twin.set(kParameter + 19, random.pick(quantisationSteps)));
        ASSERT_TRUE(twin.set(kParameter + 20, random.pick(quantisationSteps)));
        ASSERT_TRUE(twin.set(kParameter + 18, random.chance(0.5) ? 2.0 * kPi : 1.0));
        ASSERT_TRUE(twin.set(kInitialValue + 8, random.pick(quantised)));
        ASSERT_TRUE(twin.set(kInitialValue + 9, random.pick(quantised)));
        ASSERT_TRUE(twin.set(kInitialValue + 10, random.pick(levels)));
        if (random.chance(0.5)) {
            ASSERT_TRUE(twin.set(kInputA, 0.0));
            ASSERT_TRUE(twin.set(kInputB, 0.0));
        }
        ASSERT_TRUE(twin.exitInitialisation()) << "sequence " << n;
        double time = 0.0;
        for (int step = 0; step < 40; ++step) {
            if (random.chance(0.2)) {
                ASSERT_TRUE(twin.set(kState + 10, random.pick(levels)));
            }
            if (random.chance(0.1)) {
                ASSERT_TRUE(twin.set(kParameter + 0, random.chance(0.8) ? 2500.0 : 5000.0));
            }
            if (random.chance(0.15)) {
                ASSERT_TRUE(
                    twin.set(kState + 8 + static_cast<fmi2ValueReference>(random.below(2)),
                             random.pick(quantised)));
            }
            const double h = randomStepSize(random);
            ASSERT_TRUE(twin.doStep(time, h)) << "sequence " << n;
            time = time + h;
        }
        steps += twin.steps;
    }
    std::printf("  400 sequences, %ld communication steps compared\n", steps);
}

// Snapshots taken and restored in the middle of a run (the FMI 3.0 unit's
// every other time as bytes only), resets and a second run, and stop times
// inside the run.
TEST(Differential, SnapshotsResetsAndStopTimes) {
    long steps = 0;
    for (int n = 0; n < 200; ++n) {
        Random random(70000u + static_cast<uint64_t>(n));
        Lockstep twin;
        ASSERT_TRUE(twin.valid());
        const Family family{0.2, 0.4, 0.02, 0.2};
        ASSERT_TRUE(runRandomSequence(twin, random, family, 20)) << "sequence " << n;
        ASSERT_TRUE(twin.takeSnapshot(n % 2 == 0 ? Snapshot::inMemory : Snapshot::asBytes));
        double time = 0.0;
        for (int step = 0; step < 10; ++step) {
            if (random.chance(0.3)) {
                ASSERT_TRUE(twin.set(kVariable + 31, random.between(-2.0, 2.0)));
            }
            ASSERT_TRUE(twin.doStep(time, 1e-6));
            time = time + 1e-6;
        }
        ASSERT_TRUE(twin.restoreSnapshot()) << "sequence " << n;
        for (int step = 0; step < 10; ++step) {
            ASSERT_TRUE(twin.doStep(time, 1e-6)) << "sequence " << n;
            time = time + 1e-6;
        }
        twin.freeSnapshot();
        ASSERT_TRUE(twin.reset());
        ASSERT_TRUE(runRandomSequence(twin, random, family, 20)) << "sequence " << n;
        steps += twin.steps;
    }
    std::printf("  200 sequences, %ld communication steps compared\n", steps);
}

}  // namespace
