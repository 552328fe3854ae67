// Object instances: names, world vertices, box and the BSP tree's construction.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "core/random.h"
#include "scene/instances/instancetest.h"
#include "scene/objinst.h"
#include "support/testutil.h"

namespace {

// Node of every face, found by walking the lists.
std::vector<int> nodeOfFaces(const ObjInst& inst)
{
    std::vector<int> node(inst.model->triangles.size(), -2);
    for (int i = 0; i < inst.bspnodeCount; ++i)
        for (int f = inst.bspnode[i].firstFace; f >= 0; f = inst.faceLink[f]) {
            EXPECT_EQ(node[f], -2) << "face " << f << " listed twice";
            node[f] = i;
        }
    return node;
}

float predictedSplit(uint32_t state, float lo, float hi)
{
    const uint32_t saved = tv::randState();
    tv::setRandState(state);
    float u = tv::rand() / 32767.0f;
    tv::setRandState(saved);
    return (u * 0.2f + 0.4f) * (hi + lo);
}

void finish(ObjInst& inst)
{
    inst.computeWorldVertices();
    inst.computeBox();
    ASSERT_TRUE(inst.buildBsp(128));
}

TEST(ObjInst, NamesCountEveryInstanceUntilAModelIsSet)
{
    const int first = ObjInst::instanceCounter;
    ObjInst a, b, c;
    char expect[32];
    snprintf(expect, sizeof expect, "obj %d\n", first + 2);
    EXPECT_STREQ(c.name, expect);
    EXPECT_EQ(ObjInst::instanceCounter, first + 3);

    auto mesh = meshFromText("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n", "data/models/wedge.obj");
    ASSERT_TRUE(c.setModel(mesh.get()));
    EXPECT_STREQ(c.name, "data/models/wedge.obj");
    EXPECT_EQ(c.faceLink, std::vector<int>{-1});
    EXPECT_VEC_EQ(c.box.max, Vec3(1, 1, 0));
}

TEST(ObjInst, WorldVerticesAreScaledThenRotatedThenMoved)
{
    auto mesh = meshFromText("v 1 0 0\nv 0 1 0\nv 0 0 1\nv -1 -1 -1\nf 1 2 3\nf 1 3 4\n");
    ObjInst inst;
    ASSERT_TRUE(inst.setModel(mesh.get()));
    inst.scale = Vec3(2, 1, 1);
    inst.transform.rot = fromAxisAngle(Vec3(0, 0, 1), 90);
    inst.transform.trans = Vec3(10, 0, 0);
    inst.computeWorldVertices();
    ASSERT_EQ(inst.worldVertices.size(), 4u);
    EXPECT_VEC_NEAR(inst.worldVertices[0], Vec3(10, 2, 0), 1e-5f);  // stretched along model x
    EXPECT_VEC_NEAR(inst.worldVertices[1], Vec3(9, 0, 0), 1e-5f);
    EXPECT_VEC_NEAR(inst.worldVertices[2], Vec3(10, 0, 1), 1e-5f);
    EXPECT_VEC_NEAR(inst.worldVertices[3], Vec3(11, -2, -1), 1e-5f);
    inst.computeBox();
    EXPECT_VEC_NEAR(inst.box.min, Vec3(9, -2, -1), 1e-5f);
    EXPECT_VEC_NEAR(inst.box.max, Vec3(11, 2, 1), 1e-5f);
}

TEST(ObjInst, SplitAxisPrefersTheLongestWithTiesToTheLaterAxis)
{
    struct Case {
        Vec3 size;
        int axis;
    } cases[] = {{{4, 2, 1}, 0}, {{2, 4, 1}, 1}, {{3, 3, 1}, 1}, {{3, 1, 3}, 2}, {{1, 3, 3}, 2},
                 {{2, 2, 2}, 2}, {{1, 2, 5}, 2}};
    for (const Case& c : cases) {
        ObjInst inst;  // no model: the tree is built over the box alone
        inst.box.set(Vec3(1, 1, 1), Vec3(1, 1, 1) + c.size);
        const uint32_t state = tv::randState();
        ASSERT_TRUE(inst.buildBsp(128));
        EXPECT_EQ(inst.bspnode[0].axis, c.axis);
        const float lo = inst.box.min[c.axis], hi = inst.box.max[c.axis];
        EXPECT_EQ(inst.bspnode[0].split, predictedSplit(state, lo, hi));
    }
}

TEST(ObjInst, TreeIsAnImplicitHeapBuiltDepthFirst)
{
    ObjInst inst;
    inst.box.set(Vec3(0, 0, 0), Vec3(8, 4, 2));
    uint32_t state = tv::randState();
    ASSERT_TRUE(inst.buildBsp(128));
    EXPECT_EQ(inst.bspnodeCount, 128);
    ASSERT_EQ(inst.bspnode.size(), 128u);
    for (int i = 0; i < 128; ++i) {
        EXPECT_EQ(inst.bspnode[i].firstFace, -1);
        EXPECT_EQ(inst.bspnode[i].axis >= 0, i < 63) << i;
    }
    // Node 1 (the low side of the root) draws the second number, splitting the root's
    // low box: x 0 .. split0, y 0 .. 4.
    const float split0 = predictedSplit(state, 0, 8);
    tv::setRandState(state);
    tv::rand();
    state = tv::randState();
    if (split0 > 4) {
        EXPECT_EQ(inst.bspnode[1].axis, 0);
        EXPECT_EQ(inst.bspnode[1].split, predictedSplit(state, 0, split0));
    } else {
        EXPECT_EQ(inst.bspnode[1].axis, 1);
        EXPECT_EQ(inst.bspnode[1].split, predictedSplit(state, 0, 4));
    }
    // 63 splits draw 63 numbers.
    ObjInst again;
    again.box = inst.box;
    const uint32_t before = tv::randState();
    ASSERT_TRUE(again.buildBsp(128));
    const uint32_t after = tv::randState();
    tv::setRandState(before);
    for (int i = 0; i < 63; ++i) tv::rand();
    EXPECT_EQ(tv::randState(), after);

    ASSERT_TRUE(again.buildBsp(0));
    EXPECT_EQ(again.bspnodeCount, 0);
    TraceHit hit = TraceHit::towards(Vec3(4, 2, 1));
    EXPECT_FALSE(again.sweep(Vec3(4, 2, 5), 1, hit));
}

TEST(ObjInst, FacesOnASplitPlaneStayInTheParent)
{
    // The box is 10 long in x, so the root splits x at 0.4 .. 0.6 × 10.
    const uint32_t state = tv::randState();
    const float split = predictedSplit(state, 0, 10);
    const float below = std::nextafter(split, -kInfinity);
    char text[512];
    snprintf(text, sizeof text,
             "v 0 0 0\nv 10 1 0\nv 10 0 1\n"             // face 0: spans the box, straddles
             "v %.9g 0 0\nv %.9g 1 0\nv %.9g 0 1\n"     // face 1: max x exactly on the split
             "v %.9g 0 0\nv %.9g 1 0\nv %.9g 0 1\n"     // face 2: max x just below
             "v %.9g 0 0\nv %.9g 1 0\nv %.9g 0 1\n"     // face 3: min x exactly on the split
             "f 1 2 3\nf 4 5 6\nf 7 8 9\nf 10 11 12\n",
             split - 1, split, split - 0.5f, below - 1, below, below - 0.5f, split, split + 1, split + 0.5f);
    auto mesh = meshFromText(text);
    ASSERT_TRUE(mesh);
    ObjInst inst;
    ASSERT_TRUE(inst.setModel(mesh.get()));
    tv::setRandState(state);
    finish(inst);
    ASSERT_EQ(inst.bspnode[0].axis, 0);
    ASSERT_EQ(inst.bspnode[0].split, split);
    std::vector<int> node = nodeOfFaces(inst);
    EXPECT_EQ(node[0], 0);
    EXPECT_EQ(node[1], 0);
    EXPECT_EQ(node[3], 0);
    EXPECT_GE(node[2], 1);  // somewhere on the low side: node 1 or below
    int n = node[2];
    while (n > 2) n = (n - 1) / 2;
    EXPECT_EQ(n, 1);
    // Root list in face order.
    EXPECT_EQ(inst.bspnode[0].firstFace, 0);
    EXPECT_EQ(inst.faceLink[0], 1);
    EXPECT_EQ(inst.faceLink[1], 3);
    EXPECT_EQ(inst.faceLink[3], -1);
}

TEST(ObjInst, FacesAreStoredAsDeepAsTheyFit)
{
    auto mesh = meshFromText(bumpySphere(5, 1, 2, 3, 12, 16));
    ASSERT_TRUE(mesh);
    ObjInst inst;
    ASSERT_TRUE(inst.setModel(mesh.get()));
    finish(inst);
    std::vector<int> node = nodeOfFaces(inst);
    int deep = 0;
    for (size_t f = 0; f < node.size(); ++f) {
        ASSERT_GE(node[f], 0) << "face " << f << " in no list";
        const BBox fb = inst.faceBox(static_cast<int>(f));
        // Inside the node's slab on every ancestor's split, and straddling its own split.
        for (int child = node[f]; child > 0; child = (child - 1) / 2) {
            const BspNode& parent = inst.bspnode[(child - 1) / 2];
            if (child % 2 == 1)
                EXPECT_LT(fb.max[parent.axis], parent.split);
            else
                EXPECT_GT(fb.min[parent.axis], parent.split);
        }
        const BspNode& own = inst.bspnode[node[f]];
        if (own.axis >= 0) {
            EXPECT_LE(fb.min[own.axis], own.split);
            EXPECT_GE(fb.max[own.axis], own.split);
        }
        deep += node[f] >= 7;
    }
    EXPECT_GT(deep, static_cast<int>(node.size()) / 2);
}

TEST(ObjInst, AnInstanceWithoutAModelIsInert)
{
    ObjInst inst;
    EXPECT_TRUE(inst.setModel(nullptr));
    inst.computeWorldVertices();
    inst.computeBox();
    EXPECT_TRUE(inst.buildBsp(128));
    TraceHit hit = TraceHit::towards(Vec3(0, 0, -5));
    EXPECT_FALSE(inst.sweep(Vec3(0, 0, 5), 1, hit));
    EXPECT_EQ(hit.t, 1.0f);
    EXPECT_VEC_EQ(hit.target, Vec3(0, 0, -5));

    // A model set after the tree was built gets no faces until the tree is rebuilt.
    auto mesh = meshFromText("v -5 -5 0\nv 5 -5 0\nv 0 5 0\nf 1 2 3\n");
    ASSERT_TRUE(inst.setModel(mesh.get()));
    EXPECT_FALSE(inst.sweep(Vec3(0, 0, 5), 1, hit));
    finish(inst);
    EXPECT_TRUE(inst.sweep(Vec3(0, 0, 5), 1, hit));
    EXPECT_NEAR(hit.target.z, 1, 1e-2f);  // stopped a hair short

    // Swapping in a smaller model drops the old model's faces until the next build.
    auto small = meshFromText("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    ASSERT_TRUE(inst.setModel(small.get()));
    for (const BspNode& n : inst.bspnode) EXPECT_EQ(n.firstFace, -1);
    hit = TraceHit::towards(Vec3(0, 0, -5));
    EXPECT_FALSE(inst.sweep(Vec3(0, 0, 5), 1, hit));
}

}  // namespace
