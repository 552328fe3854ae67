// Swept spheres against an instance: the tree must find what testing every face finds.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/random.h"
#include "scene/instances/instancetest.h"
#include "scene/objinst.h"
#include "support/testutil.h"

namespace {

// Distance from p to the closest point of triangle (a, b, c), by projecting onto the
// plane and, when that falls outside, onto each edge.
float distanceToTriangle(const Vec3& p, const Vec3& a, const Vec3& b, const Vec3& c)
{
    auto toSegment = [&](const Vec3& u, const Vec3& v) {
        Vec3 e = v - u;
        float t = dot(p - u, e) / dot(e, e);
        t = t < 0 ? 0 : t > 1 ? 1 : t;
        return length(p - (u + e * t));
    };
    Vec3 n = cross(b - a, c - a);
    float nn = dot(n, n);
    Vec3 q = p - n * (dot(p - a, n) / nn);
    bool inside = dot(cross(b - a, q - a), n) >= 0 && dot(cross(c - b, q - b), n) >= 0 && dot(cross(a - c, q - c), n) >= 0;
    if (inside) return length(p - q);
    float d = toSegment(a, b);
    d = std::min(d, toSegment(b, c));
    return std::min(d, toSegment(c, a));
}

// The contact rule places the sphere touching the triangle's plane at a point within
// the radius of the triangle, so a real contact has its centre within radius × sqrt 2
// of the triangle. (Very thin triangles also report contacts far beyond that; those are
// left out of the comparison.)
bool genuine(const Vec3& centre, float radius, const Vec3& a, const Vec3& b, const Vec3& c)
{
    return distanceToTriangle(centre, a, b, c) <= radius * 1.415f;
}

struct Brute {
    float f = 1;       // earliest contact over every face, each tested on the whole segment
    int face = -1;
    int hits = 0;      // faces touched for real (see genuine)
    int rawHits = 0;   // faces the contact rule reports at all
    Plane plane;
    std::vector<Plane> touched;  // planes of the faces touched
    float sequentialT = 1;    // the tree's rule (each test on the segment left) in face order
};

Brute bruteForce(const ObjInst& inst, const Vec3& start, const Vec3& end, float radius)
{
    Brute b;
    std::vector<float> fs(inst.model->triangles.size(), 1);
    std::vector<Plane> planes(fs.size());
    Vec3 seqEnd = end;
    for (size_t i = 0; i < inst.model->triangles.size(); ++i) {
        const ObjTriangle& tri = inst.model->triangles[i];
        const Vec3* c[3] = {&inst.worldVertices[tri.corner[0].vertex], &inst.worldVertices[tri.corner[1].vertex],
                            &inst.worldVertices[tri.corner[2].vertex]};
        Plane p;
        float w[3];
        float f = sweepSphereTriangle(start, end, radius, c, p, w);
        if (f < 1) ++b.rawHits;
        if (f < 1 && !genuine(start + (end - start) * f, radius, *c[0], *c[1], *c[2])) f = 1;
        fs[i] = f;
        planes[i] = p;
        float g = sweepSphereTriangle(start, seqEnd, radius, c, p, w);
        if (g < 1 && genuine(start + (seqEnd - start) * g, radius, *c[0], *c[1], *c[2])) {
            seqEnd = start + (seqEnd - start) * g;
            b.sequentialT *= g;
        }
        if (f < 1) ++b.hits;
        if (f < b.f) {
            b.f = f;
            b.face = static_cast<int>(i);
            b.plane = p;
        }
    }
    for (size_t i = 0; i < fs.size(); ++i)
        if (fs[i] < 1) b.touched.push_back(planes[i]);
    return b;
}

Vec3 randomIn(const BBox& box, float grow)
{
    auto r = [] { return tv::rand() / 32767.0f; };
    Vec3 lo = box.min - Vec3(grow, grow, grow), hi = box.max + Vec3(grow, grow, grow);
    float a = r(), b = r(), c = r();
    return Vec3(lo.x + a * (hi.x - lo.x), lo.y + b * (hi.y - lo.y), lo.z + c * (hi.z - lo.z));
}

// Random sweeps, long and short, with radii up to 0.7 (so that the instance's box margin
// of 1 never cuts off a real contact).
void agreeWithBruteForce(const ObjInst& inst, int sweeps, int& exactCases, int& hitCases)
{
    tv::setRandState(20261208);  // the same sweeps whichever tests ran before
    for (int k = 0; k < sweeps; ++k) {
        Vec3 start = randomIn(inst.box, 2);
        Vec3 end = k % 2 ? randomIn(inst.box, 2) : start + (randomIn(inst.box, 0) - start) * 0.1f;
        float radius = 0.25f + 0.15f * (k % 4);
        Brute b = bruteForce(inst, start, end, radius);
        TraceHit hit = TraceHit::towards(end);
        bool got = inst.sweep(start, radius, hit);
        if (got && !genuine(hit.target, radius, hit.triangle[0], hit.triangle[1], hit.triangle[2])) continue;
        ASSERT_EQ(got, b.hits > 0) << "sweep " << k;
        if (!got) {
            EXPECT_EQ(hit.t, 1.0f);
            EXPECT_VEC_EQ(hit.target, end);
            continue;
        }
        ++hitCases;
        // Each test shortens the segment for the next, and the stop-short distance
        // shrinks with it, so the order of the tests can move the contact by a hair or
        // let a neighbouring face answer first. What must not happen is missing an
        // earlier contact.
        EXPECT_LE(hit.t, b.f + 0.005f) << "sweep " << k << " (in face order " << b.sequentialT << ")";
        if (b.rawHits == 1 && hit.plane.normal == b.plane.normal && hit.plane.d == b.plane.d) {
            // The only face the whole segment touches, and no face touched only by the
            // shortened segment answered later: the tree tested it on the whole segment.
            ++exactCases;
            EXPECT_EQ(hit.t, b.f) << "sweep " << k;
            EXPECT_VEC_EQ(hit.target, start + (end - start) * b.f);
        }
        EXPECT_EQ(hit.restitution, inst.restitution);
        EXPECT_EQ(hit.friction, inst.friction);
    }
}

TEST(ObjInstSweep, RandomSweepsAgreeWithTestingEveryFace)
{
    auto mesh = meshFromText(bumpySphere(6, 0, 0, 0, 14, 20));
    ASSERT_TRUE(mesh);
    ObjInst inst;
    ASSERT_TRUE(inst.setModel(mesh.get()));
    inst.scale = Vec3(1.5f, 1, 0.8f);
    inst.transform.rot = fromAxisAngle(Vec3(1, 1, 0), 30);
    inst.transform.trans = Vec3(3, -2, 7);
    inst.restitution = 0.3f;
    inst.friction = 0.9f;
    inst.computeWorldVertices();
    inst.computeBox();
    ASSERT_TRUE(inst.buildBsp(128));
    int exact = 0, hits = 0;
    agreeWithBruteForce(inst, 4000, exact, hits);
    EXPECT_GT(hits, 400);
    EXPECT_GT(exact, 100);

    // Short moves near the surface (a step of a falling particle) test a handful of the
    // 520 faces, not all of them.
    inst.sweepCount = inst.triangleTests = 0;
    for (int k = 0; k < 1000; ++k) {
        Vec3 start = randomIn(inst.box, 1);
        TraceHit hit = TraceHit::towards(start + Vec3(0.2f, -0.1f, -0.5f));
        inst.sweep(start, 1, hit);
    }
    const double perSweep = static_cast<double>(inst.triangleTests) / static_cast<double>(inst.sweepCount);
    EXPECT_LT(perSweep, 30.0);
}

TEST(ObjInstSweep, RealModelAgreesWithTestingEveryFace)
{
    const std::string dir = corpusDir("obj");
    TV_REQUIRE_CORPUS(dir);
    ObjFile mesh;
    ASSERT_TRUE(mesh.load((dir + "/teapot.obj").c_str(), false));
    ObjInst inst;
    ASSERT_TRUE(inst.setModel(&mesh));
    inst.scale = Vec3(4, 4, 4);
    inst.computeWorldVertices();
    inst.computeBox();
    ASSERT_TRUE(inst.buildBsp(128));
    int exact = 0, hits = 0;
    agreeWithBruteForce(inst, 1500, exact, hits);
    EXPECT_GT(hits, 100);
}

TEST(ObjInstSweep, EveryFaceStraddlingTheRootStillCollides)
{
    // A fan of long thin triangles through the box's middle: all straddle the first split.
    std::string text = "v 0 0 0\n";
    for (int k = 0; k < 8; ++k) {
        float a = 6.2831853f * k / 8;
        char line[96];
        snprintf(line, sizeof line, "v %g %g 0\nv %g %g 0.01\n", 10 * std::cos(a), 10 * std::sin(a),
                 -10 * std::cos(a), -10 * std::sin(a));
        text += line;
    }
    for (int k = 0; k < 8; ++k) text += "f " + std::to_string(2 + 2 * k) + " " + std::to_string(3 + 2 * k) + " 1\n";
    auto mesh = meshFromText(text);
    ASSERT_TRUE(mesh);
    ObjInst inst;
    ASSERT_TRUE(inst.setModel(mesh.get()));
    inst.computeWorldVertices();
    inst.computeBox();
    ASSERT_TRUE(inst.buildBsp(128));
    int inRoot = 0;
    for (int f = inst.bspnode[0].firstFace; f >= 0; f = inst.faceLink[f]) ++inRoot;
    EXPECT_EQ(inRoot, 8);
    int exact = 0, hits = 0;
    agreeWithBruteForce(inst, 500, exact, hits);
    EXPECT_GT(hits, 0);
}

// One upward-facing square floor of 10 × 10 at z = 0 (two triangles).
std::unique_ptr<ObjFile> floorMesh()
{
    return meshFromText("v -5 -5 0\nv 5 -5 0\nv 5 5 0\nv -5 5 0\nf 1 2 3\nf 1 3 4\n");
}

TEST(ObjInstSweep, TouchingAtTheStartEndsTheQueryAtOnce)
{
    auto mesh = floorMesh();
    ObjInst inst;
    ASSERT_TRUE(inst.setModel(mesh.get()));
    inst.computeWorldVertices();
    inst.computeBox();
    ASSERT_TRUE(inst.buildBsp(128));
    const Vec3 start(1, 1, 0.5f);  // radius 1: already cutting the floor
    TraceHit hit = TraceHit::towards(Vec3(1.5f, 1, -3));
    ASSERT_TRUE(inst.sweep(start, 1, hit));
    EXPECT_EQ(hit.t, 0.0f);
    EXPECT_VEC_EQ(hit.target, start);
    EXPECT_VEC_EQ(hit.plane.normal, Vec3(0, 0, 1));
    EXPECT_VEC_EQ(hit.triangle[0], Vec3(-5, -5, 0));
    float sum = hit.weights[0] + hit.weights[1] + hit.weights[2];
    EXPECT_NEAR(sum, 1, 1e-5f);

    // Falling from above stops about a radius over the floor.
    hit = TraceHit::towards(Vec3(0, 0, -3));
    ASSERT_TRUE(inst.sweep(Vec3(0, 0, 5), 1, hit));
    EXPECT_NEAR(hit.target.z, 1, 1e-2f);
    EXPECT_NEAR(hit.t, 0.5f, 1e-3f);
    // From below (the back side) nothing is hit.
    hit = TraceHit::towards(Vec3(0, 0, 3));
    EXPECT_FALSE(inst.sweep(Vec3(0, 0, -5), 1, hit));
}

TEST(ObjInstSweep, BoxTestUsesAMarginOfOneWhateverTheRadius)
{
    auto mesh = floorMesh();
    ObjInst inst;
    ASSERT_TRUE(inst.setModel(mesh.get()));
    inst.computeWorldVertices();
    inst.computeBox();  // (-5, -5, 0) - (5, 5, 0): flat in z
    ASSERT_TRUE(inst.buildBsp(128));

    // A query box that only touches the instance box along a face is rejected.
    TraceHit hit = TraceHit::towards(Vec3(0, 0, 1));
    EXPECT_FALSE(inst.sweep(Vec3(0, 0, 3), 1, hit));
    // A hair lower and the tree is asked (and finds the floor).
    hit = TraceHit::towards(Vec3(0, 0, 0.999f));
    EXPECT_TRUE(inst.sweep(Vec3(0, 0, 3), 1, hit));
    // A sphere of radius 2 ending 1.5 over the floor would touch it, but the margin of 1
    // rejects the query before any face is tested.
    hit = TraceHit::towards(Vec3(0, 0, 1.5f));
    EXPECT_FALSE(inst.sweep(Vec3(0, 0, 4), 2, hit));
    Brute b = bruteForce(inst, Vec3(0, 0, 4), Vec3(0, 0, 1.5f), 2);
    EXPECT_GT(b.hits, 0);
    // Far away: rejected whatever the tree holds.
    hit = TraceHit::towards(Vec3(20, 0, -3));
    EXPECT_FALSE(inst.sweep(Vec3(20, 0, 3), 1, hit));
}

}  // namespace
