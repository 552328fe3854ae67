// The collision pass and the trace against a hand-built floor instance.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "support/testutil.h"
#include "worldfixture.h"

namespace {
// Two triangles covering |x|, |y| ≤ 1000 at height z, facing up.
std::unique_ptr<ObjFile> floorModel(float z)
{
    auto m = std::make_unique<ObjFile>();
    m->vertices = {{-1000, -1000, z}, {1000, -1000, z}, {1000, 1000, z}, {-1000, 1000, z}};
    ObjTriangle a, b;
    const int ia[3] = {0, 1, 2}, ib[3] = {0, 2, 3};
    for (int k = 0; k < 3; ++k) {
        a.corner[k].vertex = ia[k];
        b.corner[k].vertex = ib[k];
    }
    a.plane = Plane::fromPoints(m->vertices[0], m->vertices[1], m->vertices[2]);
    b.plane = a.plane;
    m->triangles = {a, b};
    m->bounds = BBox::fromPoint(m->vertices[0]);
    for (const Vec3& v : m->vertices) m->bounds.extend(v);
    return m;
}

class CollisionTest : public WorldTest {
protected:
    void SetUp() override
    {
        WorldTest::SetUp();
        model = floorModel(0);
        floor = surface(0, {0, 0, 0});
    }
    // The floor quad turned by `degrees` about y, so facing (sin, 0, cos), and moved to `at`.
    ObjInst* surface(float degrees, const Vec3& at)
    {
        ObjInst* o = new ObjInst;
        o->setModel(model.get());
        o->transform.rot = fromAxisAngle(Vec3(0, 1, 0), degrees);
        o->transform.trans = at;
        o->computeWorldVertices();
        o->computeBox();
        o->buildBsp(128);
        scene.objects.push_back(o);
        return o;
    }
    // A particle that moved from `from` to `to` in the last step.
    Particle* moved(const Vec3& from, const Vec3& to, const Vec3& vel)
    {
        Particle* p = add(to, 1, vel);
        p->prevPos = from;
        return p;
    }

    std::unique_ptr<ObjFile> model;
    ObjInst* floor = nullptr;
};
}  // namespace

TEST_F(CollisionTest, FallingOntoTheFloorBouncesWithRestitutionAndFriction)
{
    Particle* p = moved({0, 0, 5}, {0, 0, -5}, {2, 4, -60});
    scene.collide();
    // Contact at z = 1 (radius 1, the sweep keeps a hair's breadth) after 0.4 of the
    // move; the reflected rest (3 up) is traced again from the start.
    EXPECT_VEC_NEAR(p->pos, Vec3(0, 0, 8), 0.01f);
    EXPECT_VEC_NEAR(p->vel, Vec3(1.5f, 3, 30), 1e-3f);
    EXPECT_NEAR(p->impact, 900, 1);
}

TEST_F(CollisionTest, RestitutionOneReversesAndZeroRemovesTheNormalVelocity)
{
    floor->restitution = 1;
    floor->friction = 1;
    Particle* p = moved({0, 0, 5}, {0, 0, -5}, {0, 0, -60});
    scene.collide();
    EXPECT_VEC_NEAR(p->vel, Vec3(0, 0, 60), 1e-3f);

    floor->restitution = 0;
    Particle* q = moved({10, 0, 5}, {10, 0, -5}, {0, 0, -60});
    scene.collide();
    EXPECT_VEC_NEAR(q->vel, Vec3(0, 0, 0), 1e-3f);
    // The normal part of the rest of the motion is removed: it stops on the floor.
    EXPECT_VEC_NEAR(q->pos, Vec3(10, 0, 1), 0.01f);
}

TEST_F(CollisionTest, SlopesWallsAndCornersBounceAsWorkedByHand)
{
    // Worked contact by contact: each retry starts from the old position with the rest
    // of the move reflected, each surface uses its own restitution, friction takes hold
    // only where the normal's z is at least 0.999 (a 2-degree tilt still is a floor, 4
    // degrees is not), and the pass gives up after five contacts.
    struct Surface {
        float degrees;
        Vec3 at;
        float restitution, friction;
    };
    const struct {
        const char* what;
        std::vector<Surface> surfaces;
        Vec3 from, to, vel;
        Vec3 pos, velAfter;
        float impact;
    } cases[] = {
        {"floor tilted 2 degrees", {{2, {0, 0, 0}, 0.5f, 0.75f}}, {0, 0, 5}, {0, 0, -5}, {2, 4, -60},
         {0.314f, 0, 7.989f}, {3.8515f, 3, 29.7857f}, 899.54f},
        {"slope of 4 degrees", {{4, {0, 0, 0}, 0.5f, 0.75f}}, {0, 0, 5}, {0, 0, -5}, {2, 4, -60},
         {0.6265f, 0, 7.9574f}, {8.2482f, 4, 29.3533f}, 898.17f},
        {"slope of 45 degrees", {{45, {0, 0, 0}, 0.5f, 0.75f}}, {0, 0, 5}, {0, 0, -5}, {2, 4, -60},
         {4.8107f, 0, 3.3964f}, {45.5f, 4, -16.5f}, 680.33f},
        // Floor at 0.2 of the move (x damped to 450), wall at half the rest, then free.
        {"floor then wall", {{0, {0, 0, 0}, 0.5f, 0.75f}, {-90, {10, 0, 0}, 0.8f, 0.3f}}, {5, 0, 3}, {15, 0, -7},
         {600, 0, -600}, {1.8f, 0, 5}, {-360, 0, 300}, 1200 + 720},
        // Restitution 0.5 reflects 1.5 times the rest of the move, 0.24 and 0.36 here: either
        // side of the 0.3 that counts as an impact, at 100 points a unit.
        {"landing under the impact threshold", {{0, {0, 0, 0}, 0.5f, 0.75f}}, {0, 0, 2}, {0, 0, 0.84f}, {0, 0, -1},
         {0, 0, 2.08f}, {0, 0, 0.5f}, 0},
        {"landing over the impact threshold", {{0, {0, 0, 0}, 0.5f, 0.75f}}, {0, 0, 2}, {0, 0, 0.76f}, {0, 0, -1},
         {0, 0, 2.12f}, {0, 0, 0.5f}, 36},
        // Walls at x = ±2: five bounces of 19, 18, ... 15 units of rest move, then stop.
        {"five contacts", {{-90, {2, 0, 0}, 1, 0.3f}, {90, {-2, 0, 0}, 1, 0.3f}}, {0, 0, 5}, {20, 0, 5},
         {1200, 0, 0}, {1, 0, 5}, {-1200, 0, 0}, 200 * (19 + 18 + 17 + 16 + 15)},
        // Wedged between a ceiling and an 8-degree slope a diameter apart, each retry
        // bounces off one and then the other within a hair of the start, and the fifth
        // ends back at it (j = 1.83, 1.40, 1.21, 1.11, 1.06). Held in place, it keeps no
        // velocity: else every step's pull along the wedge would pile onto it.
        {"held in a wedge", {{180, {0, 0, 2.0106f}, 0.4f, 0.75f}, {8, {0, 0, 0}, 0.4f, 0.75f}}, {0, 0, 1.0106f},
         {-3.46f, -24.5f, 2.3206f}, {-207.6f, -1470, 78.6f}, {0, 0, 1.0106f}, {0, 0, 0}, 662},
    };
    scene.objects.clear();
    delete floor;
    for (const auto& c : cases) {
        for (const Surface& s : c.surfaces) {
            ObjInst* o = surface(s.degrees, s.at);
            o->restitution = s.restitution;
            o->friction = s.friction;
        }
        Particle* p = moved(c.from, c.to, c.vel);
        scene.collide();
        EXPECT_VEC_NEAR(p->pos, c.pos, 0.01f) << c.what;
        EXPECT_VEC_NEAR(p->vel, c.velAfter, 2e-3f) << c.what;
        EXPECT_NEAR(p->impact, c.impact, c.impact * 2e-3f) << c.what;  // the contact skin adds a little
        scene.parSys.freeParticle(p);
        for (ObjInst* o : scene.objects) delete o;
        scene.objects.clear();
    }
}

TEST_F(CollisionTest, MissesAndTinyMovesLeaveTheIntegratedPosition)
{
    Particle* still = moved({0, 0, 5}, {0, 0, 5}, {0, 0, 0});
    Particle* tiny = moved({0, 0, 5}, {0.0005f, -0.0009f, 5.0004f}, {0, 0, 0});
    Particle* parallel = moved({0, 0, 5}, {30, -7, 5}, {1800, -420, 0});
    scene.collide();
    EXPECT_EQ(still->pos, Vec3(0, 0, 5));
    EXPECT_EQ(tiny->pos, Vec3(0.0005f, -0.0009f, 5.0004f));
    EXPECT_VEC_NEAR(parallel->pos, Vec3(30, -7, 5), 1e-5f);
    EXPECT_EQ(parallel->vel, Vec3(1800, -420, 0));
    EXPECT_EQ(parallel->impact, 0);
}

TEST_F(CollisionTest, SmallComponentsAreDroppedFromTheMove)
{
    // The sideways drift under the dead zone is not traced: x snaps back to the start.
    Particle* p = moved({0, 0, 5}, {0.0005f, 0, 10}, {0, 0, 0});
    scene.collide();
    EXPECT_EQ(p->pos.x, 0);
    EXPECT_FLOAT_EQ(p->pos.z, 10);
}

TEST_F(CollisionTest, TraceFindsTheEarliestContactAndSkipsModellessInstances)
{
    scene.objects.insert(scene.objects.begin(), new ObjInst);  // no model: no surface
    TraceHit hit = scene.trace({0, 0, 10}, {0, 0, -10}, 1);
    EXPECT_NEAR(hit.t, 0.45f, 1e-3f);
    EXPECT_VEC_NEAR(hit.target, Vec3(0, 0, 1), 0.01f);
    EXPECT_VEC_NEAR(hit.plane.normal, Vec3(0, 0, 1), 1e-6f);
    hit = scene.trace({0, 0, 10}, {0, 0, 20}, 1);
    EXPECT_EQ(hit.t, 1);
    EXPECT_EQ(hit.target, Vec3(0, 0, 20));
}

TEST_F(CollisionTest, PlaceSourceStandsAnEmitterOnTheSurface)
{
    EXPECT_EQ(scene.placeSource({{5, 5, 100}, {0, 0, -1}}), 1);
    ASSERT_EQ(scene.emitters.size(), 1u);
    const Emitter* e = scene.emitters[0];
    EXPECT_NEAR(e->particle->pos.z, 1, 0.5f);  // 1000-unit ray: the contact skin scales with it
    EXPECT_GE(e->particle->pos.z, 1);
    EXPECT_EQ(e->particle->invMass, 0.1f);
    EXPECT_EQ(e->childVel, Vec3(0, 0, 60));
    EXPECT_EQ(e->life, 15);
    EXPECT_EQ(e->childLife, 10);
    EXPECT_EQ(scene.placeSource({{5, 5, 100}, {0, 0, -1}}), 2);
}

TEST_F(CollisionTest, ParticlesRestOnTheFloorUnderBothIntegrators)
{
    for (bool rk4 : {false, true}) {
        Particle* p = add({float(rk4) * 20, 0, 30});
        scene.useRk4 = rk4;
        for (int i = 0; i < 600; ++i) scene.step(1.0f / 60);
        EXPECT_GE(p->pos.z, 1 - 1e-3f) << rk4;
        EXPECT_LT(p->pos.z, 1.5f) << rk4;
        scene.parSys.freeParticle(p);
    }
}

TEST_F(WorldTest, EmptyWorldPassMatchesTheTracedPassBitForBit)
{
    // The same moves through an empty world and past a far-away floor end identically.
    const Vec3 moves[][2] = {{{0, 0, 5}, {0.0005f, 0.3f, -7}},
                             {{1, 2, 3}, {1, 2, 3}},
                             {{0.1f, 0.2f, 0.3f}, {9.7f, -0.0002f, 0.30001f}}};
    auto model = floorModel(-10000);
    ObjInst* far = new ObjInst;
    far->setModel(model.get());
    far->computeWorldVertices();
    far->computeBox();
    far->buildBsp(128);
    for (const auto& m : moves) {
        Particle* p = add(m[1], 1, {3, 4, 5});
        p->prevPos = m[0];
        scene.collide();
        const Vec3 empty = p->pos;
        p->pos = m[1];
        scene.objects.push_back(far);
        scene.collide();
        scene.objects.clear();
        EXPECT_EQ(std::memcmp(&empty, &p->pos, sizeof(Vec3)), 0);
        EXPECT_EQ(p->vel, Vec3(3, 4, 5));
        scene.parSys.freeParticle(p);
    }
    delete far;
}
