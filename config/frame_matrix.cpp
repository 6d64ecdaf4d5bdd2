// 4x4 frame matrices: copy, identity, product of affine frames, signed minor
// and inverse. Product and inverse work on a local result first, so a result
// that is also an operand still gets the right numbers.
#include <cmath>
#include <cstring>

#include "config/config.h"

namespace pofreader {

namespace {

// A frame whose 3x3 determinant is no larger is degenerate: it inverts to the
// identity rather than to numbers that would blow up every move.
constexpr double kSingularDeterminant = 1e-12;

#ifndef POFREADER_REVISION_700
double at(const FrameMatrix& matrix, int row, int column) { return matrix.m[4 * row + column]; }

// Determinant of a row-major 3x3 block, expanded along its first row.
double determinant3(const double m[9]) {
    return m[0] * (m[4] * m[8] - m[5] * m[7]) - m[1] * (m[3] * m[8] - m[5] * m[6]) +
           m[2] * (m[3] * m[7] - m[4] * m[6]);
}
#endif

}  // namespace

void frameCopy(FrameMatrix* destination, const FrameMatrix* source) {
    std::memmove(destination->m, source->m, sizeof destination->m);
}

void frameIdentity(FrameMatrix* matrix) { frameCopy(matrix, &kIdentity); }

#ifndef POFREADER_REVISION_700

void frameMultiply(FrameMatrix* result, const FrameMatrix* left, const FrameMatrix* right) {
    FrameMatrix product = kIdentity;  // row 3 stays 0 0 0 1 whatever the operands hold
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 4; ++c) {
            double sum = at(*left, r, 3) * at(*right, 3, c);
            sum += at(*left, r, 0) * at(*right, 0, c);
            sum += at(*left, r, 1) * at(*right, 1, c);
            sum += at(*left, r, 2) * at(*right, 2, c);
            product.m[4 * r + c] = sum;
        }
    }
    *result = product;
}

double frameCofactor(const FrameMatrix* matrix, uint16_t row, uint16_t column) {
    if (row > 3 || column > 3) return 0.0;
    double minor[9];
    int k = 0;
    for (int r = 0; r < 4; ++r) {
        if (r == row) continue;
        for (int c = 0; c < 4; ++c) {
            if (c != column) minor[k++] = at(*matrix, r, c);
        }
    }
    const double value = determinant3(minor);
    return (row + column) % 2 != 0 ? -value : value;
}

void frameInvert(FrameMatrix* result, const FrameMatrix* source) {
    const double block[9] = {source->m[0], source->m[1], source->m[2],
                             source->m[4], source->m[5], source->m[6],
                             source->m[8], source->m[9], source->m[10]};
    const double d = determinant3(block);
    FrameMatrix inverse = kIdentity;
    // Written so that a NaN determinant also gives the identity.
    if (std::fabs(d) > kSingularDeterminant) {
        const double reciprocal = 1.0 / d;
        for (uint16_t i = 0; i < 4; ++i) {
            for (uint16_t j = 0; j < 4; ++j) {
                inverse.m[4 * j + i] = frameCofactor(source, i, j) * reciprocal;
            }
        }
    }
    *result = inverse;
}

#endif  // POFREADER_REVISION_700

}  // namespace pofreader
