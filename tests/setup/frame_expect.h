// Building expected frames column by column and comparing them with a
// tolerance, for the set-up tests.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <string>

#include "pofreader/pofreader.h"

namespace setup_test {

using Column = std::array<double, 3>;

inline constexpr Column kAxisX = {1, 0, 0};
inline constexpr Column kAxisY = {0, 1, 0};
inline constexpr Column kAxisZ = {0, 0, 1};
inline constexpr Column kOrigin = {0, 0, 0};

// A frame from its three axis columns and its origin column; row 3 is 0 0 0 1.
inline FrameMatrix frameOf(Column x = kAxisX, Column y = kAxisY, Column z = kAxisZ,
                           Column origin = kOrigin) {
    FrameMatrix frame{};
    const Column* columns[4] = {&x, &y, &z, &origin};
    for (int column = 0; column < 4; ++column)
        for (int row = 0; row < 3; ++row) frame.m[4 * row + column] = (*columns[column])[row];
    frame.m[15] = 1;
    return frame;
}

inline FrameMatrix translation(double x, double y, double z) {
    return frameOf(kAxisX, kAxisY, kAxisZ, {x, y, z});
}

// Element-wise comparison; the revisions may round a normalised axis apart in
// the last bit, so equality is checked to well below any configured value.
inline ::testing::AssertionResult framesNear(const FrameMatrix& actual,
                                             const FrameMatrix& expected,
                                             double tolerance = 1e-12) {
    for (int i = 0; i < 16; ++i) {
        const double difference = actual.m[i] - expected.m[i];
        if (!(difference <= tolerance && difference >= -tolerance))
            return ::testing::AssertionFailure()
                   << "element " << i << " (row " << i / 4 << ", column " << i % 4
                   << ") is " << actual.m[i] << ", expected " << expected.m[i];
    }
    return ::testing::AssertionSuccess();
}

}  // namespace setup_test
