// The fast derivative function (dynamic_equations_fast.h) on the record:
// its step invariants, and the evaluations that take their states from the
// record and put their results back, as the record's integrator (rk4Step)
// and the initialisation call them. The full evaluation writes everything
// the literal one writes; the stage evaluation, for the intermediate
// Runge-Kutta stages, writes only the rates R[2..19] and what the next
// evaluation reads back (the level latch V[7..9] and the triple V[12..14]).
// The closing evaluation of every step is a full one, so a host never sees
// what a stage left out.
#include "ieee/ieee_arithmetic.h"

#include "equations/dynamic_equations_fast.h"

#include <cstdint>
#include <cstring>

#include "equations/equations.h"
#include "ieee/double_bits.h"
#include "matrix/small_ops.h"

#if defined(__GNUC__)
#define TARVO_NOINLINE __attribute__((noinline))
#elif defined(_MSC_VER)
#define TARVO_NOINLINE __declspec(noinline)
#else
#define TARVO_NOINLINE
#endif

namespace tarvo::equations {

namespace {

using fast::kDiagonal;
using fast::kInputs;
using fast::kRateDiagonal;
using fast::kRowA;
using fast::kRowB;
using fast::kT2;
using matrix::loadPair;
using matrix::Pair;
using matrix::pairOf;
using matrix::storePair;

// T2 changes only when V[31..34] does, which the initial equations or a
// host write, never the dynamic equations. The inverse workspace, which no
// other inverse of this build needs, keeps the operand and the result of
// the last inversion that succeeded; the inversion runs again only for an
// operand of other bits. A zero-filled workspace holds no entry. A singular
// operand is never kept, so T2 then stays as it was, evaluation after
// evaluation, as the literal inverse leaves it.
constexpr int kMemoOperand = 0;  // 4 doubles
constexpr int kMemoResult = 4;   // 4 doubles
constexpr int kMemoValid = 8;    // 1.0 once the entry is set
static_assert(kMemoValid < kInverseWorkspaceSize, "the memo fits the inverse workspace");

// Whether the four doubles at a and b have the same bits.
inline bool sameBits(const double* a, const double* b) {
    using ieee::bitsOf;
    return ((bitsOf(a[0]) ^ bitsOf(b[0])) | (bitsOf(a[1]) ^ bitsOf(b[1])) |
            (bitsOf(a[2]) ^ bitsOf(b[2])) | (bitsOf(a[3]) ^ bitsOf(b[3]))) == 0;
}

// The inversion itself, out of line: it runs once per change of V[31..34].
TARVO_NOINLINE void invertDiagonalAndKeep(double* t2, const double* operand, double* memo) {
    if (matrix::matInverse2x2(t2, operand)) {
        std::memcpy(memo + kMemoOperand, operand, 4 * sizeof(double));
        std::memcpy(memo + kMemoResult, t2, 4 * sizeof(double));
        memo[kMemoValid] = 1.0;
    }
}

inline void invertDiagonal(double* t2, const double* operand, double* memo) {
    if (memo[kMemoValid] == 1.0 && sameBits(memo + kMemoOperand, operand)) {
        std::memcpy(t2, memo + kMemoResult, 4 * sizeof(double));
        return;
    }
    invertDiagonalAndKeep(t2, operand, memo);
}

// The states as the record holds them, and the rates as they come.
struct RecordStage {
    static constexpr bool kLimitsOrdered = false;
    static constexpr CosSinUse kCosSin = CosSinUse::kNone;
    const StatePairs& states;
    StatePairs& rates;
    double angleState() const { return states.of[kS7S2][0]; }
    Pair state(StatePair pair) const { return states.of[pair]; }
    void angleRate(double /*r7*/) {}
    void rate(StatePair pair, Pair value) { rates.of[pair] = value; }
};

// The evaluation on the record's states, its rates and carried values put
// back into the record. The rates are stored two by two in the pairs the
// record's integrator (rk4Step) loads them in, so that each of its loads
// finds one store to take the values from.
template <bool kFull>
inline void evaluateOnRecord(ModelValues& values, EquationScratch& scratch,
                             const StepInvariants& invariants) {
    double* const V = values + kVariablesStart;
    double* const R = values + kRatesStart;
    const StatePairs states = loadStatePairs(values + kStatesStart);
    StatePairs rates;
    RecordStage stage{states, rates};
    CarriedValues carried = loadCarriedValues(V);
    evaluateDynamicPairs<kFull>(values, scratch, invariants, stage, carried);
    storeCarriedValues(V, carried);
    const Pair r7r2 = rates.of[kS7S2];
    const Pair r3 = rates.of[kS3S4];
    const Pair r5 = rates.of[kS5S6];
    const Pair r10 = rates.of[kS10S13];
    const Pair r11 = rates.of[kS11S14];
    const Pair r12 = rates.of[kS12S15];
    const Pair r16 = rates.of[kS16S18];
    const Pair r17 = rates.of[kS17S19];
    storePair(R + 2, pairOf(r7r2[1], r3[0]));
    storePair(R + 4, pairOf(r3[1], r5[0]));
    storePair(R + 6, pairOf(r5[1], r7r2[0]));
    storePair(R + 8, rates.of[kS8S9]);
    storePair(R + 10, pairOf(r10[0], r11[0]));
    storePair(R + 12, pairOf(r12[0], r10[1]));
    storePair(R + 14, pairOf(r11[1], r12[1]));
    storePair(R + 16, pairOf(r16[0], r17[0]));
    storePair(R + 18, pairOf(r16[1], r17[1]));
}

}  // namespace

void prepareStepInvariants(ModelValues& values, EquationScratch& scratch, StepInvariants& k) {
    const double* const P = values + kParametersStart;
    const double* const V = values + kVariablesStart;
    k.drawDivisors = pairOf(P[24], P[33]);
    k.integralGains = pairOf(P[25], P[34]) / pairOf(P[26], P[35]);
    k.loadDivisors = pairOf(P[41], P[44]);
    k.feedbackDivisors = pairOf(P[42], P[45]);
    k.inputs = loadPair(V + kInputs);
    k.couplingGains = pairOf(P[27], P[36]);
    k.setpoints = k.inputs * pairOf(P[28], P[37]);
    k.drawGains = pairOf(P[29], P[38]);
    k.pairDivisors = pairOf(P[22], P[22]);
    k.feedbackGains = pairOf(P[23], P[32]);
    k.proportionalGains = pairOf(P[25], P[34]);
    k.lowerLimits = pairOf(P[31], P[40]);
    k.upperLimits = pairOf(P[30], P[39]);
    k.limitsOrdered = P[31] <= P[30] && P[40] <= P[39];
    k.pairFactors = pairOf(P[43], P[46]);
    k.rowFirsts = pairOf(V[kRowA + 0], V[kRowB + 0]);
    k.rowSeconds = pairOf(V[kRowA + 1], V[kRowB + 1]);
    k.rowA = loadPair(V + kRowA);
    k.rowB = loadPair(V + kRowB);
    k.capacityAndRateDivisor = pairOf(P[0], V[29]);
    k.capacity = P[0];
    k.angleOffset = P[15];
    k.driveFactors[0] = pairOf(P[3], P[3]);
    k.driveFactors[1] = pairOf(P[4], P[4]);
    // A singular V[31..34] leaves T2 as it was.
    double* const t2 = scratch.matrixStorage + kT2;
    invertDiagonal(t2, V + kDiagonal, scratch.inverseWorkspace);
    k.diagonalInverseColumns[0] = pairOf(t2[0], t2[2]);
    k.diagonalInverseColumns[1] = pairOf(t2[1], t2[3]);
    k.rateDiagonalColumns[0] = pairOf(V[kRateDiagonal + 0], V[kRateDiagonal + 2]);
    k.rateDiagonalColumns[1] = pairOf(V[kRateDiagonal + 1], V[kRateDiagonal + 3]);
}

void evaluateDynamicEquations(ModelValues& values, EquationScratch& scratch,
                              const StepInvariants& invariants) {
    evaluateOnRecord<true>(values, scratch, invariants);
}

void evaluateDynamicStage(ModelValues& values, EquationScratch& scratch,
                          const StepInvariants& invariants) {
    evaluateOnRecord<false>(values, scratch, invariants);
}

void evaluateDynamicEquations(ModelValues& values, EquationScratch& scratch) {
    StepInvariants invariants;
    prepareStepInvariants(values, scratch, invariants);
    evaluateOnRecord<true>(values, scratch, invariants);
}

}  // namespace tarvo::equations
