// Where every value of the model lies. The model data area is 247 doubles
// in six consecutive sections and one spare slot; a value's index in it is
// its value reference. The matrices the equations work on are runs of it
// (or of the matrix storage, for the intermediate matrices T1 to T7), each
// declared once here: the matrix views of the literal equations, the fast
// equations and the initial, parameter and output equations all take them
// from this table.
#ifndef TARVO_EQUATIONS_MODEL_LAYOUT_H
#define TARVO_EQUATIONS_MODEL_LAYOUT_H

#include <cstdint>

namespace tarvo::equations {

constexpr uint32_t kConstantCount = 1;
constexpr uint32_t kParameterCount = 47;
constexpr uint32_t kInitialValueCount = 20;
constexpr uint32_t kVariableCount = 138;
constexpr uint32_t kStateCount = 20;
constexpr uint32_t kRateCount = 20;

// Index of the first element of each section.
constexpr uint32_t kConstantsStart = 0;
constexpr uint32_t kParametersStart = kConstantsStart + kConstantCount;         // 1
constexpr uint32_t kInitialValuesStart = kParametersStart + kParameterCount;    // 48
constexpr uint32_t kVariablesStart = kInitialValuesStart + kInitialValueCount;  // 68
constexpr uint32_t kStatesStart = kVariablesStart + kVariableCount;             // 206
constexpr uint32_t kRatesStart = kStatesStart + kStateCount;                    // 226
constexpr uint32_t kSpareSlot = kRatesStart + kRateCount;                       // 246
constexpr uint32_t kModelDataSize = kSpareSlot + 1;                             // 247

static_assert(kModelDataSize == 247, "the value-reference map covers 0..246");

// The model data area of one instance.
using ModelValues = double[kModelDataSize];

// Where a matrix lies: a section of the model data, or the matrix storage.
enum class Area : uint8_t {
    parameters,
    variables,
    states,
    rates,
    storage
};

constexpr uint32_t startOf(Area area) {
    switch (area) {
        case Area::parameters: return kParametersStart;
        case Area::variables: return kVariablesStart;
        case Area::states: return kStatesStart;
        case Area::rates: return kRatesStart;
        case Area::storage: return 0;
    }
    return 0;
}

// A row-major matrix: its area, the index of its first element there (V[15]
// is {variables, 15}) and its shape.
struct MatrixPlace {
    Area area;
    int32_t first;
    int32_t rows;
    int32_t columns;
};

namespace place {

constexpr MatrixPlace kPattern{Area::variables, 2, 5, 1};          // entries chosen by P[21]
constexpr MatrixPlace kTriple{Area::variables, 12, 3, 1};          // chosen by the level left
constexpr MatrixPlace kChannelA{Area::variables, 15, 2, 1};        // channel A vector
constexpr MatrixPlace kChannelAScaled{Area::variables, 17, 2, 1};  // row vector A times R[7]
constexpr MatrixPlace kRowA{Area::variables, 20, 1, 2};            // (P[5], -P[6])
constexpr MatrixPlace kChannelB{Area::variables, 22, 2, 1};        // channel B vector
constexpr MatrixPlace kChannelBScaled{Area::variables, 24, 2, 1};  // row vector B times R[7]
constexpr MatrixPlace kRowB{Area::variables, 27, 1, 2};            // (P[5], P[6])
constexpr MatrixPlace kDiagonal{Area::variables, 31, 2, 2};        // inverted into T2
constexpr MatrixPlace kRotatedRates{Area::variables, 35, 2, 1};    // T4 R[5..6]
constexpr MatrixPlace kRotatedPair{Area::variables, 37, 2, 1};     // T6 V[59..60]
constexpr MatrixPlace kRotation{Area::variables, 39, 2, 2};        // (cos, -sin; sin, cos)
constexpr MatrixPlace kOffsetStates{Area::variables, 43, 2, 1};    // S[5..6] + T1
constexpr MatrixPlace kOffsets{Area::parameters, 13, 3, 1};        // P[13], P[14], P[15]
constexpr MatrixPlace kDiagonalRates{Area::variables, 45, 2, 1};   // V[47..50] R[5..6]
constexpr MatrixPlace kRateDiagonal{Area::variables, 47, 2, 2};    // diagonal of V[53]
constexpr MatrixPlace kPose{Area::variables, 54, 4, 1};            // (V[43], V[44], 0, angle)
constexpr MatrixPlace kPairSum{Area::variables, 59, 2, 1};         // both channel pairs summed
constexpr MatrixPlace kPoseCopy{Area::variables, 61, 4, 1};        // the pose again
constexpr MatrixPlace kChannelAPair{Area::variables, 101, 2, 1};
constexpr MatrixPlace kChannelBPair{Area::variables, 115, 2, 1};
constexpr MatrixPlace kInputs{Area::variables, 135, 2, 1};  // channel A, channel B
constexpr MatrixPlace kStates3To4{Area::states, 3, 2, 1};
constexpr MatrixPlace kRates3To4{Area::rates, 3, 2, 1};
constexpr MatrixPlace kStates5To6{Area::states, 5, 2, 1};
constexpr MatrixPlace kRates5To6{Area::rates, 5, 2, 1};

// The intermediate matrices, back to back in the matrix storage.
constexpr MatrixPlace kT1{Area::storage, 0, 2, 1};   // (P[13], P[14])
constexpr MatrixPlace kT2{Area::storage, 2, 2, 2};   // inverse of V[31..34]
constexpr MatrixPlace kT3{Area::storage, 6, 2, 1};   // transpose of V[20..21]
constexpr MatrixPlace kT4{Area::storage, 8, 2, 2};   // inverse of the rotation matrix
constexpr MatrixPlace kT5{Area::storage, 12, 2, 1};  // transpose of V[27..28]
constexpr MatrixPlace kT6{Area::storage, 14, 2, 2};  // inverse of T7
constexpr MatrixPlace kT7{Area::storage, 18, 2, 2};  // transpose of the rotation matrix

}  // namespace place

constexpr int32_t endOf(const MatrixPlace& p) {
    return p.first + p.rows * p.columns;
}

constexpr int32_t kMatrixStorageSize = endOf(place::kT7);
static_assert(endOf(place::kT1) == place::kT2.first && endOf(place::kT2) == place::kT3.first &&
                  endOf(place::kT3) == place::kT4.first &&
                  endOf(place::kT4) == place::kT5.first &&
                  endOf(place::kT5) == place::kT6.first && endOf(place::kT6) == place::kT7.first,
              "T1 to T7 lie back to back");
static_assert(kMatrixStorageSize == 22, "2 + 4 + 2 + 4 + 2 + 4 + 4 doubles");
static_assert(endOf(place::kInputs) <= static_cast<int32_t>(kVariableCount) &&
                  endOf(place::kRates5To6) <= static_cast<int32_t>(kRateCount),
              "every matrix lies inside its section");

// Scratch of the 2 x 2 inverses (14 of the 20 doubles are used).
constexpr int32_t kInverseWorkspaceSize = 20;

// What the equations keep between evaluations besides the model data: the
// intermediate matrices and the scratch of the inverses. Neither is a
// value of the model; an inverse of a singular matrix leaves its matrix as
// the last evaluation left it.
struct EquationScratch {
    double matrixStorage[kMatrixStorageSize];
    double inverseWorkspace[kInverseWorkspaceSize];
};

}  // namespace tarvo::equations

#endif  // TARVO_EQUATIONS_MODEL_LAYOUT_H
