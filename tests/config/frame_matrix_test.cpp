// Frame matrices: copy and identity in both revisions; product, signed minor
// and inverse in the current one.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "config/config.h"

using namespace pofreader;

namespace {

FrameMatrix identity() {
    FrameMatrix m;
    for (double& e : m.m) e = 7;
    frameIdentity(&m);
    return m;
}

bool isIdentity(const FrameMatrix& m) {
    for (int i = 0; i < 16; ++i) {
        if (m.m[i] != (i % 5 == 0 ? 1.0 : 0.0)) return false;
    }
    return true;
}

TEST(FrameMatrix, IdentityAndCopy) {
    const FrameMatrix id = identity();
    EXPECT_TRUE(isIdentity(id));
    FrameMatrix source;
    for (int i = 0; i < 16; ++i) source.m[i] = i * 1.5 - 3;
    FrameMatrix copy = id;
    frameCopy(&copy, &source);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(copy.m[i], source.m[i]);
}

#ifndef POFREADER_REVISION_700

// A frame from its axis columns and origin.
FrameMatrix frameOf(const double x[3], const double y[3], const double z[3], const double o[3]) {
    FrameMatrix m{};
    for (int r = 0; r < 3; ++r) {
        m.m[4 * r + 0] = x[r];
        m.m[4 * r + 1] = y[r];
        m.m[4 * r + 2] = z[r];
        m.m[4 * r + 3] = o[r];
    }
    m.m[15] = 1;
    return m;
}

const double kX[3] = {0, 1, 0}, kY[3] = {-1, 0, 0}, kZ[3] = {0, 0, 1}, kO[3] = {10, 20, 30};

// M . (p, 1) for a point p.
void apply(const FrameMatrix& m, const double p[3], double out[3]) {
    for (int r = 0; r < 3; ++r) {
        out[r] = m.m[4 * r] * p[0] + m.m[4 * r + 1] * p[1] + m.m[4 * r + 2] * p[2] + m.m[4 * r + 3];
    }
}

TEST(FrameMatrix, InverseOfIdentityIsIdentity) {
    const FrameMatrix id = identity();
    FrameMatrix inverse;
    frameInvert(&inverse, &id);
    EXPECT_TRUE(isIdentity(inverse));
}

TEST(FrameMatrix, InverseOfRotatedFrameMapsItsOriginToZero) {
    const FrameMatrix frame = frameOf(kX, kY, kZ, kO);
    FrameMatrix inverse;
    frameInvert(&inverse, &frame);
    double mapped[3];
    apply(inverse, kO, mapped);
    for (const double v : mapped) EXPECT_DOUBLE_EQ(v, 0.0);
    // And a point one unit along the frame's x axis lands on (1, 0, 0).
    const double onAxis[3] = {10, 21, 30};
    apply(inverse, onAxis, mapped);
    EXPECT_DOUBLE_EQ(mapped[0], 1.0);
    EXPECT_DOUBLE_EQ(mapped[1], 0.0);
    EXPECT_DOUBLE_EQ(mapped[2], 0.0);
}

TEST(FrameMatrix, DegenerateFramesInvertToIdentity) {
    const double zero[3] = {0, 0, 0}, tiny[3] = {1e-13, 0, 0}, small[3] = {1e-11, 0, 0};
    const double ey[3] = {0, 1, 0}, negY[3] = {0, -1, 0};
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double nanAxis[3] = {nan, 0, 0};
    struct Case {
        const char* label;
        FrameMatrix frame;
        bool degenerate;
    };
    const Case cases[] = {
        {"all axes zero", frameOf(zero, zero, zero, kO), true},
        {"determinant 1e-13", frameOf(tiny, ey, kZ, kO), true},
        {"determinant -1e-13", frameOf(tiny, negY, kZ, kO), true},
        {"determinant 1e-11", frameOf(small, ey, kZ, kO), false},
        {"not a number", frameOf(nanAxis, ey, kZ, kO), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        FrameMatrix inverse;
        frameInvert(&inverse, &c.frame);
        EXPECT_EQ(isIdentity(inverse), c.degenerate);
    }
}

TEST(FrameMatrix, ProductWithInverseIsIdentity) {
    const double x[3] = {0.36, 0.48, -0.8}, y[3] = {-0.8, 0.6, 0}, z[3] = {0.48, 0.64, 0.6};
    const double o[3] = {-12.5, 400, 3.25};
    const FrameMatrix frames[] = {frameOf(kX, kY, kZ, kO), frameOf(x, y, z, o),
                                  frameOf(x, y, z, kO)};
    for (const FrameMatrix& frame : frames) {
        FrameMatrix inverse, product, reverse;
        frameInvert(&inverse, &frame);
        frameMultiply(&product, &frame, &inverse);
        frameMultiply(&reverse, &inverse, &frame);
        for (const FrameMatrix* m : {&product, &reverse}) {
            for (int i = 0; i < 12; ++i) EXPECT_NEAR(m->m[i], i % 5 == 0 ? 1.0 : 0.0, 1e-12) << i;
            EXPECT_EQ(m->m[12], 0.0);
            EXPECT_EQ(m->m[13], 0.0);
            EXPECT_EQ(m->m[14], 0.0);
            EXPECT_EQ(m->m[15], 1.0);
        }
    }
}

TEST(FrameMatrix, ProductForcesTheLastRowAndAddsTheOriginTermFirst) {
    FrameMatrix left = identity(), right = identity();
    left.m[12] = 5;
    left.m[15] = 9;
    right.m[13] = 7;
    // Row 0, column 3: 1e16 * 1 first, then the three ones; each one is lost
    // against 1e16, which it would not be if the ones came first.
    left.m[3] = 1e16;
    left.m[1] = 1;
    left.m[2] = 1;
    right.m[3] = 1;
    right.m[7] = 1;
    right.m[11] = 1;
    FrameMatrix product;
    frameMultiply(&product, &left, &right);
    EXPECT_EQ(product.m[3], 1e16);
    EXPECT_EQ(product.m[12], 0.0);
    EXPECT_EQ(product.m[13], 0.0);
    EXPECT_EQ(product.m[14], 0.0);
    EXPECT_EQ(product.m[15], 1.0);
    // The operands' last rows count only through right(3, c).
    EXPECT_EQ(product.m[1], 1e16 * 7 + 1);
}

TEST(FrameMatrix, ResultMayBeAnOperand) {
    const FrameMatrix frame = frameOf(kX, kY, kZ, kO);
    FrameMatrix expected, inPlace = frame;
    frameMultiply(&expected, &frame, &frame);
    frameMultiply(&inPlace, &inPlace, &inPlace);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(inPlace.m[i], expected.m[i]);
    frameInvert(&expected, &frame);
    inPlace = frame;
    frameInvert(&inPlace, &inPlace);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(inPlace.m[i], expected.m[i]);
}

TEST(FrameMatrix, CofactorIsTheSignedMinor) {
    FrameMatrix m;
    const double values[16] = {2, 0, 1, 3, 1, 3, 2, 1, 1, 1, 1, 2, 0, 0, 0, 1};
    for (int i = 0; i < 16; ++i) m.m[i] = values[i];
    // Without row 0 and column 0: |3 2 1; 1 1 2; 0 0 1| = 1.
    EXPECT_EQ(frameCofactor(&m, 0, 0), 1.0);
    // Without row 0 and column 1: |1 2 1; 1 1 2; 0 0 1| = -1, sign odd: 1.
    EXPECT_EQ(frameCofactor(&m, 0, 1), 1.0);
    // Without row 1 and column 0: |0 1 3; 1 1 2; 0 0 1| = -1, sign odd: 1.
    EXPECT_EQ(frameCofactor(&m, 1, 0), 1.0);
    // Without row 1 and column 2: |2 0 3; 1 1 2; 0 0 1| = 2, sign odd: -2.
    EXPECT_EQ(frameCofactor(&m, 1, 2), -2.0);
    // Without row 3 and column 3: the upper-left block, which is singular.
    EXPECT_EQ(frameCofactor(&m, 3, 3), 0.0);
    EXPECT_EQ(frameCofactor(&m, 4, 0), 0.0);
    EXPECT_EQ(frameCofactor(&m, 0, 4), 0.0);
}

#endif  // POFREADER_REVISION_700

}  // namespace
