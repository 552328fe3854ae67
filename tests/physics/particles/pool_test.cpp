// The particle pool's lists and counters, spring slot reuse and the damped-spring law.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

#include "physics/springsystem.h"
#include "physics/springsystem_lanes.h"
#include "support/testutil.h"

namespace {
int liveListLength(const ParticleSystem& ps)
{
    int n = 0;
    const Particle* prev = nullptr;
    for (const Particle* p = ps.first(); p; p = p->next) {
        EXPECT_EQ(p->prev, prev);
        prev = p;
        ++n;
    }
    return n;
}
}  // namespace

TEST(ParticlePool, CountsListsCapAndRecycling)
{
    ParticleSystem ps;
    ASSERT_TRUE(ps.init());
    std::vector<Particle*> all;
    for (int i = 0; i < MAX_PARTICLES; ++i) {
        Particle* p = ps.allocParticle();
        ASSERT_NE(p, nullptr) << i;
        EXPECT_EQ(ps.first(), p);  // newest first
        all.push_back(p);
    }
    EXPECT_EQ(ps.liveCount(), MAX_PARTICLES);
    EXPECT_EQ(liveListLength(ps), MAX_PARTICLES);
    // Carved in order from one block, placed so that every record's pos and vel share a
    // cache line (the force pass reads them as one row).
    for (int i = 0; i < MAX_PARTICLES; ++i) {
        ASSERT_EQ(all[i], all[0] + i);
        ASSERT_LE(reinterpret_cast<uintptr_t>(&all[i]->pos) % 64 + 6 * sizeof(float), 64u) << i;
    }

    // The 3001st request is refused but still counted.
    EXPECT_EQ(ps.allocParticle(), nullptr);
    EXPECT_EQ(ps.createdCount(), MAX_PARTICLES + 1);
    EXPECT_EQ(ps.allocParticle(), nullptr);
    EXPECT_EQ(ps.createdCount(), MAX_PARTICLES + 2);

    // Freeing from the middle, the head and the tail keeps the list whole.
    Particle* middle = all[1500];
    ps.freeParticle(middle);
    ps.freeParticle(all.back());  // the live head
    ps.freeParticle(all.front());  // the live tail
    EXPECT_EQ(ps.liveCount(), MAX_PARTICLES - 3);
    EXPECT_EQ(liveListLength(ps), MAX_PARTICLES - 3);
    EXPECT_EQ(ps.freeHead, all.front());  // most recently freed first

    // Recycling keeps the created count and hands back the last freed record first.
    const int created = ps.createdCount();
    EXPECT_EQ(ps.allocParticle(), all.front());
    EXPECT_EQ(ps.allocParticle(), all.back());
    EXPECT_EQ(ps.allocParticle(), middle);
    EXPECT_EQ(ps.allocParticle(), nullptr);
    EXPECT_EQ(ps.liveCount(), MAX_PARTICLES);
    EXPECT_EQ(ps.createdCount(), created + 1);

    // A count run up to the top of int by refused requests stays there, and the pool
    // still refuses rather than carving past its block.
    ps.created = INT_MAX - 1;
    EXPECT_EQ(ps.allocParticle(), nullptr);
    EXPECT_EQ(ps.allocParticle(), nullptr);
    EXPECT_EQ(ps.createdCount(), INT_MAX);
    EXPECT_EQ(ps.liveCount(), MAX_PARTICLES);

    ps.release();
    EXPECT_EQ(ps.first(), nullptr);
    EXPECT_EQ(ps.liveCount(), 0);
    EXPECT_EQ(ps.createdCount(), 0);
    EXPECT_NE(ps.allocParticle(), nullptr);
}

TEST(ParticlePool, RecycledRecordKeepsStateButNotImpactOrForce)
{
    ParticleSystem ps;
    Particle* p = ps.allocParticle();
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->force, Vec3(0, 0, 0));
    EXPECT_EQ(p->vel, Vec3(0, 0, 0));
    p->pos = {1, 2, 3};
    p->vel = {4, 5, 6};
    p->invMass = 0.25f;
    p->impact = 77;
    p->force = {9, 9, 9};
    ps.freeParticle(p);
    Particle* q = ps.allocParticle();
    ASSERT_EQ(q, p);
    EXPECT_EQ(q->impact, 0);
    EXPECT_EQ(q->force, Vec3(0, 0, 0));
    EXPECT_EQ(q->pos, Vec3(1, 2, 3));
    EXPECT_EQ(q->vel, Vec3(4, 5, 6));
    EXPECT_EQ(q->invMass, 0.25f);
}

TEST(SpringArray, LowestFreeSlotIsReusedAndFullArrayGrowsByOne)
{
    SpringSystem ss;
    for (int i = 0; i < 5; ++i) EXPECT_EQ(ss.allocSpring(), i);
    ss.spring[2].across = 7;  // a skin's, which the next owner of the slot must not inherit
    ss.freeSpring(2);
    EXPECT_EQ(ss.allocSpring(), 2);
    EXPECT_EQ(ss.spring[2].across, 0.0f);
    EXPECT_EQ(ss.count(), 5);
    EXPECT_EQ(ss.allocSpring(), 5);
    EXPECT_EQ(ss.count(), 6);
    ss.freeSpring(0);
    ss.freeSpring(4);
    EXPECT_EQ(ss.allocSpring(), 0);
    EXPECT_EQ(ss.allocSpring(), 4);
    ss.freeSpring(99);  // out of range: ignored
    ss.freeSpring(-1);
    EXPECT_EQ(ss.count(), 6);

    // Bodies coming and going, frees repeated: every slot handed out is the one a walk
    // from index 0 finds first, or a new one at the end when every slot is in use.
    uint32_t seed = 777;
    auto rnd = [&seed](uint32_t n) {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<int>((seed >> 8) % n);
    };
    for (int round = 0; round < 3000; ++round) {
        if (rnd(3) == 0) {
            const int from = rnd(static_cast<uint32_t>(ss.count()));
            for (int k = from; k < ss.count() && k < from + rnd(40); ++k) ss.freeSpring(k);
            ss.freeSpring(from);
        }
        int lowest = 0;
        while (lowest < ss.count() && ss.spring[lowest].active) ++lowest;
        const int before = ss.count();
        ASSERT_EQ(ss.allocSpring(), lowest) << round;
        EXPECT_EQ(ss.count(), lowest == before ? before + 1 : before) << round;
        EXPECT_TRUE(ss.spring[lowest].active);
    }
}

TEST(SpringForce, HookeDashpotAndCutOffs)
{
    // At rest length with equal velocities: nothing.
    EXPECT_VEC_EQ(springForce({1, 0, 0}, {0, 0, 0}, 360, 3.6f, 1), Vec3(0, 0, 0));
    // Stretched to 2: −360 along the line from the second end to the first.
    EXPECT_VEC_EQ(springForce({0, 2, 0}, {0, 0, 0}, 360, 3.6f, 1), Vec3(0, -360, 0));
    // Compressed: pushes apart.
    EXPECT_VEC_NEAR(springForce({0, 0, 0.5f}, {0, 0, 0}, 100, 0, 1), Vec3(0, 0, 50), 1e-4f);
    // Damping acts on the closing speed only: −kd·(Δv·x̂) along x̂.
    EXPECT_VEC_NEAR(springForce({1, 0, 0}, {2, 5, 0}, 0, 3, 1), Vec3(-6, 0, 0), 1e-5f);
    // Ends on top of each other: no force and no division by zero.
    EXPECT_VEC_EQ(springForce({0.00005f, 0, 0}, {1, 1, 1}, 360, 3.6f, 1), Vec3(0, 0, 0));

    // A runaway force is reported and dropped.
    StdoutCapture out;
    out.begin();
    Vec3 f = springForce({1e6f, 0, 0}, {0, 0, 0}, 100, 0, 0);
    std::string text = out.end();
    EXPECT_VEC_EQ(f, Vec3(0, 0, 0));
    EXPECT_EQ(text, "got an out of bounds force: -100000000.000000 -0.000000 -0.000000\n");
}

TEST(SpringArray, ForcesAreEqualAndOppositeAndSkipInactiveSlots)
{
    ParticleSystem ps;
    SpringSystem ss;
    Particle* a = ps.allocParticle();
    Particle* b = ps.allocParticle();
    a->pos = {0, 0, 0};
    b->pos = {3, 0, 0};
    int i = ss.allocSpring();
    ss.spring[i] = {true, a, b, 1, 10, 0};
    int j = ss.allocSpring();
    ss.spring[j] = {false, a, b, 0, 1000, 0};  // inactive: ignored
    ss.applySpringForces(ps);
    EXPECT_VEC_EQ(a->force, Vec3(20, 0, 0));
    EXPECT_VEC_EQ(b->force, Vec3(-20, 0, 0));
}

TEST(SpringArray, ActiveSpringWithoutAnEndStopsWithTheInvariant)
{
    // Four active springs go through the batched lanes, fewer one at a time: both stop
    // with the same text.
    for (int active : {4, 1}) {
        ParticleSystem ps;
        SpringSystem ss;
        Particle* a = ps.allocParticle();
        Particle* b = ps.allocParticle();
        for (int i = 0; i < active; ++i) ss.spring[ss.allocSpring()] = {true, a, b, 1, 10, 0};
        ss.spring[active - 1].p1 = nullptr;
        EXPECT_DEATH(ss.applySpringForces(ps), "Assertion failed: p0 && p1, file") << active;
    }
}

TEST(SpringArray, BatchedPassMatchesTheScalarLawBitForBit)
{
    // Random springs, some inactive, some degenerate, some runaway, some with a sideways
    // dashpot: the force pass, its scalar reference and its lanes must each give exactly
    // what springForce (plus that dashpot) gives spring by spring in index order.
    ParticleSystem ps;
    SpringSystem ss;
    std::vector<Particle*> p;
    uint32_t seed = 12345;
    auto rnd = [&seed]() {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<float>(seed >> 8) / 16777216.0f;
    };
    for (int i = 0; i < 64; ++i) {
        Particle* q = ps.allocParticle();
        q->pos = {rnd() * 10, rnd() * 10, rnd() * 10};
        q->vel = Vec3(rnd() - 0.5f, rnd() - 0.5f, rnd() - 0.5f) * 50;  // dashpots as strong as springs
        p.push_back(q);
    }
    p[1]->pos = p[0]->pos;  // degenerate pair
    for (int i = 0; i < 203; ++i) {
        int k = ss.allocSpring();
        Particle* a = p[i % 64];
        Particle* b = i % 17 == 0 ? p[(i + 1) % 64] : p[(i * 7 + 3) % 64];
        if (a == b) b = p[(i + 5) % 64];
        ss.spring[k] = {i % 11 != 5, a, b, rnd() * 3, rnd() * 500, rnd() * 5, i % 3 == 0 ? rnd() * 5 : 0};
        if (i == 100) ss.spring[k].ks = 1e9f;  // runaway
    }
    ss.spring[0].p0 = p[0];
    ss.spring[0].p1 = p[1];

    std::vector<Vec3> expected(p.size());
    StdoutCapture out;
    out.begin();
    for (const Spring& s : ss.spring) {
        if (!s.active) continue;
        Vec3 F = springForce(s.p0->pos - s.p1->pos, s.p0->vel - s.p1->vel, s.ks, s.kd, s.rest);
        if (s.across != 0) F -= (s.p0->vel - s.p1->vel) * s.across;
        for (size_t j = 0; j < p.size(); ++j) {
            if (p[j] == s.p0) expected[j] += F;
            if (p[j] == s.p1) expected[j] -= F;
        }
    }
    const std::string reference = out.end();
    EXPECT_NE(reference.find("got an out of bounds force"), std::string::npos);
    const struct {
        const char* name;
        std::function<void()> run;
    } passes[] = {
        {"pass", [&] { ss.applySpringForces(ps); }},
        {"scalar", [&] { springforces::scalar::apply(ss.spring.data(), ss.spring.size()); }},
#ifdef __SSE2__
        {"lanes", [&] { springforces::lanes::apply(ss.spring.data(), ss.spring.size()); }},
#endif
    };
    for (const auto& pass : passes) {
        for (Particle* q : p) q->force = Vec3(0, 0, 0);
        out.begin();
        pass.run();
        EXPECT_EQ(out.end(), reference) << pass.name;
        for (size_t j = 0; j < p.size(); ++j) {
            EXPECT_EQ(std::memcmp(&p[j]->force, &expected[j], sizeof(Vec3)), 0) << pass.name << " " << j;
        }
    }
}
