#include <gtest/gtest.h>

#include "core/random.h"
#include "core/vecmath.h"
#include "support/testutil.h"

namespace {
const Vec3 X{1, 0, 0}, Y{0, 1, 0}, Z{0, 0, 1};
}

TEST(Vec3Math, NormalisedFallsBackToXForTinyVectors)
{
    EXPECT_VEC_EQ(normalised(Vec3(0, 0, 0)), X);
    EXPECT_VEC_EQ(normalised(Vec3(0.0005f, 0, 0)), X);
    EXPECT_VEC_EQ(normalised(Vec3(-0.0005f, 0, 0)), X);  // the squared length is what is tested
    EXPECT_VEC_EQ(normalised(Vec3(-0.01f, 0, 0)), Vec3(-1, 0, 0));
    EXPECT_VEC_NEAR(normalised(Vec3(3, 0, 4)), Vec3(0.6f, 0, 0.8f), 1e-7f);
}

TEST(Vec3Math, CrossLerpAndComponentIndex)
{
    EXPECT_VEC_EQ(cross(X, Y), Z);
    EXPECT_VEC_EQ(cross(Y, Z), X);
    EXPECT_VEC_EQ(cross(Z, X), Y);
    EXPECT_VEC_EQ(lerp(Vec3(0, 0, 0), Vec3(2, 4, 6), 0.5f), Vec3(1, 2, 3));
    Vec3 v(1, 2, 3);
    for (int i = 0; i < 3; ++i) v[i] *= -static_cast<float>(i + 1);
    EXPECT_VEC_EQ(v, Vec3(-1, -4, -9));
    const Vec3& c = v;
    EXPECT_EQ(c[0] + 10 * c[1] + 100 * c[2], -941.0f);
}

TEST(QuatMath, AxisAngleRotations)
{
    EXPECT_VEC_NEAR(rotate(fromAxisAngle(Z, 90), X), Y, 1e-6f);
    Quat q = multiply(fromAxisAngle(Y, 90), fromAxisAngle(X, -90));
    EXPECT_VEC_NEAR(rotate(q, X), Vec3(0, 0, -1), 1e-6f);
    EXPECT_VEC_NEAR(rotate(q, Z), Y, 1e-6f);
    // The product applies its right operand first.
    Vec3 v(0.3f, -0.7f, 0.2f);
    EXPECT_VEC_NEAR(rotate(q, v), rotate(fromAxisAngle(Y, 90), rotate(fromAxisAngle(X, -90), v)), 1e-6f);
}

TEST(QuatMath, ToAxisAngleRoundTripsAndHandlesIdentity)
{
    Quat aa = toAxisAngle(kIdentityQuat);
    EXPECT_EQ(aa, Quat(0, 0, 1, 0));
    EXPECT_EQ(toAxisAngle(Quat(0, 0, 0, 1.0000001f)), Quat(0, 0, 1, 0));  // w clamped to 1
    for (float angle : {10.0f, 45.0f, 90.0f, 170.0f}) {
        Vec3 axis = normalised(Vec3(1, 2, -0.5f));
        Quat back = toAxisAngle(fromAxisAngle(axis, angle));
        EXPECT_NEAR(back.w, angle, 1e-3f);
        EXPECT_VEC_NEAR(Vec3(back.x, back.y, back.z), axis, 1e-5f);
    }
}

TEST(QuatMath, ProductMatchesTheEightMultiplicationSums)
{
    tv::setRandState(7);
    auto r = [] { return tv::rand() / 16383.5f - 1.0f; };
    for (int i = 0; i < 50; ++i) {
        Quat a(r(), r(), r(), r()), b(r(), r(), r(), r());
        Quat p = multiply(a, b);
        // Rotation composition: rotating by a·b equals rotating by b then by a (unit inputs).
        Quat ua = normalised(a), ub = normalised(b);
        Vec3 v(r(), r(), r());
        EXPECT_VEC_NEAR(rotate(multiply(ua, ub), v), rotate(ua, rotate(ub, v)), 1e-5f);
        EXPECT_NEAR(dot(p, p), dot(a, a) * dot(b, b), 1e-4f);  // norms multiply
    }
}

TEST(PlaneMath, FromPointsAndDistances)
{
    Plane p = Plane::fromPoints({0, 0, 1}, {1, 0, 1}, {1, 1, 1});
    EXPECT_VEC_EQ(p.normal, Z);
    EXPECT_FLOAT_EQ(p.d, -1);
    EXPECT_FLOAT_EQ(p.distance({5, 5, 3}), 2);
    EXPECT_VEC_EQ(p.project({5, 5, 3}), Vec3(5, 5, 1));
    // Collinear points fall back to the +x normal through the first point.
    Plane c = Plane::fromPoints({2, 0, 0}, {3, 0, 0}, {4, 0, 0});
    EXPECT_VEC_EQ(c.normal, X);
    EXPECT_FLOAT_EQ(c.d, -2);
    Plane k = Plane::fromNormalDistance(Z, 4);
    EXPECT_FLOAT_EQ(k.distance({0, 0, 4}), 0);
}

TEST(BBoxMath, StrictOverlapAndExtension)
{
    BBox a{{0, 0, 0}, {1, 1, 1}}, b{{1, 0, 0}, {2, 1, 1}};
    EXPECT_FALSE(overlaps(a, b));  // sharing a face is not overlapping
    b.min.x = 0.999f;
    EXPECT_TRUE(overlaps(a, b));
    BBox e = BBox::empty();
    e.extend({1, 2, 3});
    EXPECT_VEC_EQ(e.min, Vec3(1, 2, 3));
    EXPECT_VEC_EQ(e.max, Vec3(1, 2, 3));
    BBox before = a;
    a.extend({0.5f, 0.5f, 0.5f});
    EXPECT_VEC_EQ(a.min, before.min);
    EXPECT_VEC_EQ(a.max, before.max);
}

// A unit-ish triangle in the plane z = 0 facing +z.
class SweepTest : public ::testing::Test {
protected:
    Vec3 A{-10, -10, 0}, B{10, -10, 0}, C{0, 10, 0};
    const Vec3* tri[3] = {&A, &B, &C};
    Plane plane{{0, 0, 0}, 0};
    float w[3] = {};
    float sweep(Vec3 from, Vec3 to, float radius = 1) { return sweepSphereTriangle(from, to, radius, tri, plane, w); }
};

TEST_F(SweepTest, FallingOntoTheFaceStopsJustShortOfContact)
{
    float t = sweep({0, 0, 5}, {0, 0, -5});
    // The front touches at t0 = 0.4; the end point is at t1 = −0.6 on the same scale, and
    // the contact is moved back by ε: (t0 − ε) / (t0 − t1).
    EXPECT_FLOAT_EQ(t, 0.4f - 0.0003125f);
    EXPECT_VEC_EQ(plane.normal, Z);
    EXPECT_NEAR(w[0] + w[1] + w[2], 1.0f, 1e-6f);
}

TEST_F(SweepTest, RestingSphereMovingInHitsAtZero)
{
    EXPECT_EQ(sweep({0, 0, 1}, {0, 0, -1}), 0.0f);
    EXPECT_EQ(sweep({0, 0, 0.5f}, {0, 0, -1}), 0.0f);  // already cutting the plane
}

TEST_F(SweepTest, OnlyTheFrontFaceCollides)
{
    EXPECT_EQ(sweep({0, 0, -5}, {0, 0, 5}), 1.0f);         // from behind
    EXPECT_EQ(sweep({0, 0, 0.5f}, {0, 0, 5}), 1.0f);       // moving away while overlapping
    EXPECT_EQ(sweep({0, 0, -3}, {0, 0, -5}), 1.0f);        // wholly behind
    EXPECT_EQ(sweep({0, 0, 5}, {0, 0, 3}), 1.0f);          // stops before reaching it
    EXPECT_EQ(sweep({30, 30, 5}, {30, 30, -5}), 1.0f);     // misses the triangle
}

TEST_F(SweepTest, EdgeAndCornerContacts)
{
    // Beyond the corner C by less than the radius: touches the corner.
    EXPECT_LT(sweep({0, 10.5f, 5}, {0, 10.5f, -5}), 1.0f);
    // Beyond it by more than the radius: misses.
    EXPECT_EQ(sweep({0, 11.5f, 5}, {0, 11.5f, -5}), 1.0f);
    // Just outside edge B–C within the radius.
    EXPECT_LT(sweep({5.8f, 0, 5}, {5.8f, 0, -5}), 1.0f);
}

TEST(SweepThinTriangle, NoContactBeyondTheSharpCorner)
{
    // A long sliver with its sharp corner at the origin: a sphere falling 20 units beyond
    // that corner lies within a radius of two edge lines but far from the triangle.
    Vec3 A{0, 0, 0}, B{100, -1, 0}, C{100, 1, 0};
    const Vec3* tri[3] = {&A, &B, &C};
    Plane plane;
    float w[3];
    EXPECT_EQ(sweepSphereTriangle({-20, 0, 5}, {-20, 0, -5}, 1, tri, plane, w), 1.0f);
    EXPECT_LT(sweepSphereTriangle({-0.5f, 0, 5}, {-0.5f, 0, -5}, 1, tri, plane, w), 1.0f);  // near it: touches
    EXPECT_LT(sweepSphereTriangle({50, 0, 5}, {50, 0, -5}, 1, tri, plane, w), 1.0f);
}

TEST(SweepRay, LongRaysDoNotSlipBetweenNeighbouringTriangles)
{
    // A square cell folded along its diagonal A–D, as terrain cells are. A long, slanted
    // ray with radius 0 must land on one of the two halves wherever it crosses the cell.
    for (float fold : {-3.0f, 3.0f}) {
        Vec3 A{0, 0, 0}, B{10, 0, 0}, C{0, 10, fold}, D{10, 10, 0};
        const Vec3* first[3] = {&C, &A, &D};
        const Vec3* second[3] = {&B, &D, &A};
        Plane plane;
        float w[3];
        int misses = 0;
        for (float x = 0.5f; x < 10; x += 0.23f)
            for (float y = 0.25f; y < 10; y += 0.29f) {
                // The point of the cell under (x, y): on the flat half or the folded one.
                Vec3 ground{x, y, y > x ? fold * (y - x) / 10 : 0};
                Vec3 from = ground + Vec3(300, -120, 400);
                Vec3 to = ground + (ground - from) * 0.8f;
                float t1 = sweepSphereTriangle(from, to, 0, first, plane, w);
                float t2 = sweepSphereTriangle(from, to, 0, second, plane, w);
                if (t1 == 1.0f && t2 == 1.0f) ++misses;
            }
        EXPECT_EQ(misses, 0) << "fold " << fold;
    }
}

TEST_F(SweepTest, ParallelMoveNeverReportsContact)
{
    EXPECT_EQ(sweep({0, 0, 5}, {3, 0, 5}), 1.0f);
    EXPECT_EQ(sweep({-20, 0, 2}, {20, 0, 2}), 1.0f);
}
