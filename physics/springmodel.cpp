#include "physics/springmodel.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>
#include <utility>

#include "core/debug.h"

namespace {
// Corners whose sides are shorter than this have no usable angle (same cut-off as a
// degenerate spring): they get no rest cosine and give no angle force.
constexpr float kMinSide = 0.0001f;
// Stored in place of a rest cosine for a corner that had no angle when measured.
constexpr float kNoRestAngle = 2.0f;
// The gas pushes no harder than at this fraction of the rest volume: a body crushed flat
// or turned inside out would otherwise be thrown apart by an unbounded force.
constexpr float kMinVolumeFraction = 0.1f;
// The gas's viscosity, as a time in seconds: a volume changing at V0 per this time
// meets a pressure p against the change. The gas stiffens the body's breathing more
// than its edge dashpots can damp, and the explicit Euler step lets an undamped mode
// grow; damping outruns stiffness times the 1/60 s step while this time exceeds the
// step. The damping rate is this time times the breathing's stiffness, and a rate of
// more than 2 per step overshoots: the shorter the time, the stronger a gas the step
// can take, so it is kept just above the step.
constexpr float kGasViscosity = 1.0f / 45;
// The skin of a body with gas is damped as a viscous sheet: each edge also resists the
// whole relative velocity of its ends, sideways included, so that the ripples of a
// skin the gas keeps taut die out instead of growing under the explicit step. This is
// the most a particle gets from all its edges, mass units per second: each edge takes
// it divided by the larger number of edges at its ends, so no particle is damped more
// strongly than half of what a 1/60 s explicit step can take (60 per second).
constexpr float kSkinViscosity = 30;
// The step the gas must stay stable under: the play rate's explicit step.
constexpr float kStep = 1.0f / 60;
// The gas acts on its skin as one spring and one dashpot along the volume's gradient g:
// stiffness k = p·V0/V²·|g|², damping c = p·τ/V0·|g|² (unit masses). An explicit step
// h keeps that mode bounded while k·h < c < 2/h + k·h/2, an interval that exists only
// for k·h² < 4. A stretched skin grows |g|² and a crushed one V0/V², so both are held
// inside it, with room for the skin's own springs and dashpots on the same particles:
// k·h² at most 1 (the shipped blob rests at 0.5) and h·k ≤ c ≤ 1/h.
constexpr float kMaxGasStiffnessSteps = 1;
constexpr float kMaxGasDampingShare = 1;

// The vertices at the two ends of a mesh edge: its springs' ends, in spring order.
std::pair<int, int> edgeEnds(const ObjFile& m, const ObjEdge& e)
{
    return {m.triangles[e.a].corner[e.cornerA].vertex, m.triangles[e.b].corner[e.cornerB].vertex};
}
}  // namespace

void SpringModel::reset()
{
    SpringObj::reset();
    model = nullptr;
    cornerCos = nullptr;  // freed only by release()
    cornerParticle.clear();
    cornerRow.clear();
    volumeGradient.clear();
    normalsSummed = false;
    sixVolume = 0;
    pressure = 0;
    restVolume = 0;
}

void SpringModel::release()
{
    delete[] cornerCos;
    cornerCos = nullptr;
    SpringObj::release();
    reset();
}

void SpringModel::restretch()
{
    SpringObj::restretch();
    if (pressure > 0) restVolume = volume();
    // A body whose build never got a mesh has springs only (none, in practice).
    if (!model || !cornerCos) return;
    const auto& tris = model->triangles;
    for (size_t t = 0; t < tris.size(); ++t) {
        for (int r = 0; r < 3; ++r) {
            const Vec3& pr = vertex[tris[t].corner[r].vertex]->pos;
            Vec3 u = vertex[tris[t].corner[(r + 2) % 3].vertex]->pos - pr;
            Vec3 v = vertex[tris[t].corner[(r + 1) % 3].vertex]->pos - pr;
            float lu = length(u), lv = length(v);
            if (!(lu >= kMinSide && lv >= kMinSide)) {
                cornerCos[4 * t + r] = kNoRestAngle;
                continue;
            }
            cornerCos[4 * t + r] = dot(u, v) / (lv * lu);
        }
    }
}

bool SpringModel::buildFromModel(const ObjFile* m)
{
    if (!init(parSys, springSys)) return false;
    model = m;
    if (!m) return true;

    const size_t triCount = m->triangles.size();
    cornerCos = new (std::nothrow) float[triCount * 4]();
    if (!cornerCos) return abandonBuild();

    const size_t n = m->vertices.size();
    vertex.assign(n, nullptr);
    for (size_t i = 0; i < n; ++i) {
        Particle* p = parSys->allocParticle();
        if (!p) return abandonBuild();
        vertex[i] = p;
        p->invMass = 1.0f;
        p->pos = Vec3(0, 0, 0);
        p->vel = Vec3(0, 0, 0);
        p->force = Vec3(0, 0, 0);
    }

    const size_t e = m->edges.size();
    spring.reserve(e);
    for (size_t k = 0; k < e; ++k) {
        const auto [a, b] = edgeEnds(*m, m->edges[k]);
        int index = springSys->allocSpring();
        if (index < 0) {
            printf("failed to create a spring\n");
            return abandonBuild();
        }
        spring.push_back(index);
        Spring& s = springSys->spring[index];
        s.p0 = vertex[a];
        s.p1 = vertex[b];
        s.rest = 0;
        s.ks = 700.0f;
        s.kd = 10.0f;
    }

    cornerParticle.resize(triCount * 3);
    cornerRow.resize(triCount * 3);
    for (size_t t = 0; t < triCount; ++t)
        for (int k = 0; k < 3; ++k) {
            cornerRow[3 * t + k] = 4 * m->triangles[t].corner[k].vertex;
            cornerParticle[3 * t + k] = vertex[m->triangles[t].corner[k].vertex];
        }
    volumeGradient.resize(n);

    copyModelPositions();
    restretch();
    return true;
}

void SpringModel::copyModelPositions()
{
    TV_ASSERT(model);
    for (size_t i = 0; i < model->vertices.size(); ++i) vertex[i]->pos = model->vertices[i];
}

namespace {
constexpr int kFar[3] = {2, 0, 1};  // corner r's far corner a = r + 2

// One triangle's three corner terms, in corner order.
inline void angleTerms(Particle* const* cp, const float* c0s)
{
    // Each side once: side k runs from corner k to corner k + 1. Corner r's vectors are
    // u = -side(r + 2) and v = side(r); negation is exact, so this is the same
    // arithmetic as forming P(a) - P(r) and P(c) - P(r) afresh.
    const Vec3 side[3] = {cp[1]->pos - cp[0]->pos, cp[2]->pos - cp[1]->pos, cp[0]->pos - cp[2]->pos};
    const float len[3] = {length(side[0]), length(side[1]), length(side[2])};
    const float inv[3] = {1.0f / len[0], 1.0f / len[1], 1.0f / len[2]};
    for (int r = 0; r < 3; ++r) {
        const float c0 = c0s[r];
        const int a = kFar[r];
        if (c0 == kNoRestAngle || !(len[a] >= kMinSide && len[r] >= kMinSide)) continue;
        const Vec3 uu = -side[a];
        const Vec3& vv = side[r];
        const float iu = inv[a];
        const float iv = inv[r];
        float d = dot(uu, vv);
        Vec3 g = vv * (2 * d * iu * iv) - uu * (d * d * iu * iu * iu * iv) - vv * c0 + uu * (c0 * iu * iu);
        cp[a]->force += g * -0.1f;
    }
}

// One triangle's normal (b − a) × (c − a), added to its corners' gradient rows; returns
// its share of 6 V.
inline float addNormal(Particle* const* cp, const int* cv, float* grad)
{
    const Vec3& a = cp[0]->pos;
    const Vec3 normal = cross(cp[1]->pos - a, cp[2]->pos - a);
    for (int k = 0; k < 3; ++k) {
        float* g = grad + cv[k];
        g[0] += normal.x;
        g[1] += normal.y;
        g[2] += normal.z;
    }
    return dot(a, normal);
}

#ifdef __SSE2__
using Transposed = float[3][3][4];  // corner, component, lane

// Four triangles side by side, lane by lane the same operations in the same order as
// angleTerms (so the same bits); the forces are then added triangle by triangle, corner
// by corner, as angleTerms adds them.
[[gnu::always_inline]] inline void angleTerms4(Particle* const* cp, const Transposed& p, const float (&c0)[3][4])
{
    __m128 side[3][3], len[3], inv[3];
    for (int k = 0; k < 3; ++k) {
        const int next = (k + 1) % 3;
        for (int x = 0; x < 3; ++x) side[k][x] = _mm_sub_ps(_mm_load_ps(p[next][x]), _mm_load_ps(p[k][x]));
        len[k] = _mm_sqrt_ps(_mm_add_ps(_mm_add_ps(_mm_mul_ps(side[k][0], side[k][0]), _mm_mul_ps(side[k][1], side[k][1])),
                                        _mm_mul_ps(side[k][2], side[k][2])));
        inv[k] = _mm_div_ps(_mm_set1_ps(1.0f), len[k]);
    }
    const __m128 sign = _mm_set1_ps(-0.0f), two = _mm_set1_ps(2.0f), scale = _mm_set1_ps(-0.1f);
    const __m128 minSide = _mm_set1_ps(kMinSide), noRest = _mm_set1_ps(kNoRestAngle);
    alignas(16) float f[3][3][4];
    int use[3];
    for (int r = 0; r < 3; ++r) {
        const int a = kFar[r];
        const __m128 c = _mm_load_ps(c0[r]);
        const __m128 ok = _mm_and_ps(_mm_cmpneq_ps(c, noRest),
                                     _mm_and_ps(_mm_cmpge_ps(len[a], minSide), _mm_cmpge_ps(len[r], minSide)));
        use[r] = _mm_movemask_ps(ok);
        __m128 u[3], v[3];
        for (int x = 0; x < 3; ++x) {
            u[x] = _mm_xor_ps(side[a][x], sign);
            v[x] = side[r][x];
        }
        const __m128 iu = inv[a], iv = inv[r];
        const __m128 d = _mm_add_ps(_mm_add_ps(_mm_mul_ps(u[0], v[0]), _mm_mul_ps(u[1], v[1])), _mm_mul_ps(u[2], v[2]));
        const __m128 k1 = _mm_mul_ps(_mm_mul_ps(_mm_mul_ps(two, d), iu), iv);
        const __m128 k2 = _mm_mul_ps(_mm_mul_ps(_mm_mul_ps(_mm_mul_ps(_mm_mul_ps(d, d), iu), iu), iu), iv);
        const __m128 k3 = _mm_mul_ps(_mm_mul_ps(c, iu), iu);
        for (int x = 0; x < 3; ++x) {
            __m128 g = _mm_sub_ps(_mm_mul_ps(k1, v[x]), _mm_mul_ps(k2, u[x]));
            g = _mm_sub_ps(g, _mm_mul_ps(c, v[x]));
            g = _mm_add_ps(g, _mm_mul_ps(k3, u[x]));
            _mm_store_ps(f[r][x], _mm_mul_ps(scale, g));
        }
    }
    for (int l = 0; l < 4; ++l) {
        for (int r = 0; r < 3; ++r) {
            if (!(use[r] >> l & 1)) continue;
            Vec3& force = cp[3 * l + kFar[r]]->force;
            force.x += f[r][0][l];
            force.y += f[r][1][l];
            force.z += f[r][2][l];
        }
    }
}

// The same four triangles' normals (b − a) × (c − a), each added to its corners' rows as
// one row, and their shares of 6 V.
[[gnu::always_inline]] inline void normals4(const Transposed& p, const int* cv, float* grad, __m128d& sixLo,
                                            __m128d& sixHi)
{
    __m128 a[3], e[3], w[3];
    for (int x = 0; x < 3; ++x) {
        a[x] = _mm_load_ps(p[0][x]);
        e[x] = _mm_sub_ps(_mm_load_ps(p[1][x]), a[x]);
        w[x] = _mm_sub_ps(_mm_load_ps(p[2][x]), a[x]);
    }
    __m128 n0 = _mm_sub_ps(_mm_mul_ps(e[1], w[2]), _mm_mul_ps(e[2], w[1]));
    __m128 n1 = _mm_sub_ps(_mm_mul_ps(e[2], w[0]), _mm_mul_ps(e[0], w[2]));
    __m128 n2 = _mm_sub_ps(_mm_mul_ps(e[0], w[1]), _mm_mul_ps(e[1], w[0]));
    const __m128 six = _mm_add_ps(_mm_add_ps(_mm_mul_ps(a[0], n0), _mm_mul_ps(a[1], n1)), _mm_mul_ps(a[2], n2));
    sixLo = _mm_add_pd(sixLo, _mm_cvtps_pd(six));
    sixHi = _mm_add_pd(sixHi, _mm_cvtps_pd(_mm_movehl_ps(six, six)));
    __m128 n3 = _mm_setzero_ps();
    _MM_TRANSPOSE4_PS(n0, n1, n2, n3);
    const __m128 row[4] = {n0, n1, n2, n3};
    for (int l = 0; l < 4; ++l)
        for (int k = 0; k < 3; ++k) {
            float* g = grad + cv[3 * l + k];
            _mm_store_ps(g, _mm_add_ps(_mm_load_ps(g), row[l]));
        }
}

// The positions are transposed once for both.
template <bool kAngles, bool kNormals>
[[gnu::always_inline]] inline void triangles4(Particle* const* cp, const float* c0s, const int* cv, float* grad,
                                              __m128d& sixLo, __m128d& sixHi)
{
    alignas(16) Transposed p;
    alignas(16) float c0[3][4];
    for (int l = 0; l < 4; ++l) {
        for (int k = 0; k < 3; ++k) {
            const Vec3& q = cp[3 * l + k]->pos;
            p[k][0][l] = q.x;
            p[k][1][l] = q.y;
            p[k][2][l] = q.z;
            if constexpr (kAngles) c0[k][l] = c0s[4 * l + k];
        }
    }
    if constexpr (kNormals) normals4(p, cv, grad, sixLo, sixHi);
    if constexpr (kAngles) angleTerms4(cp, p, c0);
}

// Whole blocks of four triangles from the first; with the normals, returns 6 V of the
// blocks, summed in two halves so that consecutive blocks do not wait on one add.
template <bool kAngles, bool kNormals>
double triangleBlocks(size_t blocks, Particle* const* cp, const float* c0s, const int* cv, float* grad)
{
    __m128d sixLo = _mm_setzero_pd(), sixHi = _mm_setzero_pd();
    for (size_t b = 0; b < blocks; ++b, cp += 12, c0s += 16) {
        triangles4<kAngles, kNormals>(cp, c0s, cv, grad, sixLo, sixHi);
        if constexpr (kNormals) cv += 12;
    }
    const __m128d both = _mm_add_pd(sixLo, sixHi);
    return _mm_cvtsd_f64(_mm_add_sd(both, _mm_unpackhi_pd(both, both)));
}
#endif
}  // namespace

// Pushes the far corner a := r + 2 of each corner r so that the corner's cosine heads
// back towards its rest value. The term is a heuristic, not a gradient: it does not
// vanish at rest in general (an equilateral corner gives 0.5 v + 0.25 u).
void SpringModel::applyAngleForces()
{
    if (!model || !cornerCos || cornerParticle.empty()) return;
    const size_t triCount = model->triangles.size();
    Particle* const* cp = cornerParticle.data();
    size_t t = 0;
#ifdef __SSE2__
    if (hasGas()) {
        // The pressure pass zeroes the rows as it uses them; these were left unused.
        if (normalsSummed) clearGradient();
        float* grad = &volumeGradient[0].x;
        const int* cv = cornerRow.data();
        t = triCount / 4 * 4;
        double six = triangleBlocks<true, true>(triCount / 4, cp, cornerCos, cv, grad);
        for (; t < triCount; ++t) {
            angleTerms(cp + 3 * t, cornerCos + 4 * t);
            six += addNormal(cp + 3 * t, cv + 3 * t, grad);
        }
        sixVolume = six;
        normalsSummed = true;
        return;
    }
    t = triCount / 4 * 4;
    triangleBlocks<true, false>(triCount / 4, cp, cornerCos, nullptr, nullptr);
#endif
    for (; t < triCount; ++t) angleTerms(cp + 3 * t, cornerCos + 4 * t);
}

void SpringModel::clearGradient()
{
    std::fill(volumeGradient.begin(), volumeGradient.end(), GradientRow{});
}

double SpringModel::sumNormals()
{
    float* grad = &volumeGradient[0].x;
    Particle* const* cp = cornerParticle.data();
    const int* cv = cornerRow.data();
    const size_t triCount = cornerRow.size() / 3;
    double six = 0;
    size_t t = 0;
#ifdef __SSE2__
    t = triCount / 4 * 4;
    six = triangleBlocks<false, true>(triCount / 4, cp, cornerCos, cv, grad);
#endif
    for (; t < triCount; ++t) six += addNormal(cp + 3 * t, cv + 3 * t, grad);
    return six;
}

bool SpringModel::closed() const
{
    // Each edge pairs two triangle sides, each side at most once.
    return model && !model->triangles.empty() && 2 * model->edges.size() == 3 * model->triangles.size();
}

float SpringModel::volume() const
{
    // Divergence theorem: the signed tetrahedra from the origin to every triangle.
    double six = 0;
    for (size_t k = 0; k + 2 < cornerParticle.size(); k += 3) {
        const Vec3& a = cornerParticle[k]->pos;
        six += dot(a, cross(cornerParticle[k + 1]->pos - a, cornerParticle[k + 2]->pos - a));
    }
    return static_cast<float>(six / 6);
}

bool SpringModel::setPressure(float p)
{
    const char* name = model ? model->path : "without a model";
    pressure = 0;
    restVolume = 0;
    setSkinViscosity(0);
    if (!(p >= 0)) {
        std::printf("the springmodel %s cannot take a pressure below 0\n", name);
        return false;
    }
    if (p == 0) return true;
    if (!closed()) {
        std::printf("the springmodel %s is not a closed mesh, so it gets no pressure\n", name);
        return false;
    }
    const float v0 = volume();
    if (!(std::fabs(v0) > 0)) {
        std::printf("the springmodel %s encloses no volume, so it gets no pressure\n", name);
        return false;
    }
    // At rest the gas is as stiff as p·|g|²/V0; past the bound the pressure pass would
    // hold it back on every step anyway, so the body gets the most it can hold.
    std::fill(volumeGradient.begin(), volumeGradient.end(), GradientRow{});
    double g2 = 0;
    if (!cornerRow.empty()) {
        sumNormals();
        for (const GradientRow& g : volumeGradient) g2 += double(g.x) * g.x + double(g.y) * g.y + double(g.z) * g.z;
        clearGradient();
        normalsSummed = false;
        g2 /= 36;
    }
    const double most = kMaxGasStiffnessSteps / (kStep * kStep) * std::fabs(v0) / g2;
    if (g2 > 0 && p > most) {
        p = static_cast<float>(most);
        std::printf("the springmodel %s gets pressure %g, the most its skin can hold\n", name, p);
    }
    pressure = p;
    restVolume = v0;
    setSkinViscosity(kSkinViscosity);
    return true;
}

void SpringModel::setSkinViscosity(float most)
{
    if (!model || !springSys || spring.size() != model->edges.size()) return;
    std::vector<int> edgesAt(vertex.size(), 0);
    for (const ObjEdge& e : model->edges) {
        const auto [a, b] = edgeEnds(*model, e);
        ++edgesAt[a];
        ++edgesAt[b];
    }
    for (size_t k = 0; k < spring.size(); ++k) {
        const auto [a, b] = edgeEnds(*model, model->edges[k]);
        springSys->spring[spring[k]].across = most / static_cast<float>(std::max(edgesAt[a], edgesAt[b]));
    }
}

// The ideal-gas model of pressure soft bodies (Matyka and Ollila, 2004): the gas inside
// keeps P·V constant, so at volume V it presses with P0·V0 / V, and the air outside
// holds P0 back; the net pressure p·(V0 / V − 1) is nil at rest, so a body keeps the
// shape it was built with. With the gas's viscosity term it acts on each triangle along
// its area-weighted normal, a third on each corner; summed at each vertex that is the
// volume's gradient, so the force does the work the gas gives up and no more.
void SpringModel::applyPressureForces()
{
    const bool summed = normalsSummed;
    normalsSummed = false;
    if (!hasGas()) {
        if (summed) clearGradient();  // the gas was taken away since the angle pass
        return;
    }
    const double six = summed ? sixVolume : sumNormals();  // 6 V
    const size_t n = vertex.size();
    GradientRow* grad = volumeGradient.data();  // 6 dV/dx
    double sixRate = 0;     // 6 dV/dt
    double gradSquare = 0;  // 36 |dV/dx|²
    size_t i = 0;
#ifdef __SSE2__
    {
        // Per component in lanes of doubles, two vertices at a time: no horizontal add
        // per vertex, and the adds overlap.
        auto product = [&](size_t j) {
            const Vec3& v = vertex[j]->vel;
            const __m128 xy = _mm_loadl_pi(_mm_setzero_ps(), reinterpret_cast<const __m64*>(&v.x));
            return _mm_mul_ps(_mm_load_ps(&grad[j].x), _mm_movelh_ps(xy, _mm_load_ss(&v.z)));
        };
        __m128d xy0 = _mm_setzero_pd(), z0 = _mm_setzero_pd(), xy1 = _mm_setzero_pd(), z1 = _mm_setzero_pd();
        __m128 square = _mm_setzero_ps();  // the pad lane is 0
        for (; i + 1 < n; i += 2) {
            const __m128 p0 = product(i), p1 = product(i + 1);
            const __m128 g0 = _mm_load_ps(&grad[i].x), g1 = _mm_load_ps(&grad[i + 1].x);
            square = _mm_add_ps(square, _mm_add_ps(_mm_mul_ps(g0, g0), _mm_mul_ps(g1, g1)));
            xy0 = _mm_add_pd(xy0, _mm_cvtps_pd(p0));
            z0 = _mm_add_pd(z0, _mm_cvtps_pd(_mm_movehl_ps(p0, p0)));
            xy1 = _mm_add_pd(xy1, _mm_cvtps_pd(p1));
            z1 = _mm_add_pd(z1, _mm_cvtps_pd(_mm_movehl_ps(p1, p1)));
        }
        const __m128d all = _mm_add_pd(_mm_add_pd(xy0, z0), _mm_add_pd(xy1, z1));
        sixRate = _mm_cvtsd_f64(_mm_add_sd(all, _mm_unpackhi_pd(all, all)));
        const __m128d sq = _mm_add_pd(_mm_cvtps_pd(square), _mm_cvtps_pd(_mm_movehl_ps(square, square)));
        gradSquare = _mm_cvtsd_f64(_mm_add_sd(sq, _mm_unpackhi_pd(sq, sq)));
    }
#endif
    for (; i < n; ++i) {
        const Vec3 g(grad[i].x, grad[i].y, grad[i].z);
        sixRate += dot(g, vertex[i]->vel);
        gradSquare += lengthSquared(g);
    }
    // Inside-out winding: volumes, their rate and the normals all change sign.
    const float sign = restVolume < 0 ? -1.0f : 1.0f;
    const float v0 = std::fabs(restVolume);
    float v = sign * static_cast<float>(six / 6);
    if (!(v >= kMinVolumeFraction * v0)) v = kMinVolumeFraction * v0;
    const float rate = sign * static_cast<float>(sixRate / 6);
    float P = pressure * (v0 / v - 1 - kGasViscosity * rate / v0);
    // Held inside what the step can take (see kMaxGasStiffnessSteps); a gas that already
    // is keeps its exact formula.
    const float g2 = static_cast<float>(gradSquare / 36);
    const float k = pressure * v0 / (v * v) * g2;
    const float c = pressure * kGasViscosity / v0 * g2;
    const float kMost = kMaxGasStiffnessSteps / (kStep * kStep);
    if (k > kMost || c < k * kStep || c > kMaxGasDampingShare / kStep) {
        const float scale = k > kMost ? kMost / k : 1;
        const float kHeld = k * scale;
        const float cHeld = std::clamp(c * scale, kHeld * kStep, kMaxGasDampingShare / kStep);
        P = pressure * scale * (v0 / v - 1) - cHeld * rate / g2;
    }
    const float scale = sign * P / 6;
    if (!std::isfinite(six) || !std::isfinite(scale)) {
        clearGradient();
        return;
    }
    for (i = 0; i < n; ++i) {
        vertex[i]->force += Vec3(grad[i].x, grad[i].y, grad[i].z) * scale;
        grad[i] = GradientRow{};
    }
}

void SpringModel::computeFacing(const Quat& light)
{
    if (!model || !cornerCos) return;
    for (size_t t = 0; t < model->triangles.size(); ++t) {
        const Plane& pl = model->triangles[t].plane;
        float s = pl.normal.x * light.x + pl.normal.y * light.y + pl.normal.z * light.z + pl.d * light.w;
        cornerCos[4 * t + 3] = s > -0.00001f ? 1.0f : 0.0f;
    }
}
