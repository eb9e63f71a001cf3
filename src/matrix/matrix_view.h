// A non-owning view of a row-major matrix of doubles.
#ifndef TARVO_MATRIX_MATRIX_VIEW_H
#define TARVO_MATRIX_MATRIX_VIEW_H

#include <cstdint>
#include <type_traits>

namespace tarvo::matrix {

// Element (i, j) is data[i * columns + j]; columns is also the row stride.
struct MatrixView {
    double* data;
    int32_t rows;
    int32_t columns;
};

static_assert(std::is_trivially_copyable_v<MatrixView> && std::is_standard_layout_v<MatrixView>,
              "a plain record, passed by value");

}  // namespace tarvo::matrix

#endif  // TARVO_MATRIX_MATRIX_VIEW_H
