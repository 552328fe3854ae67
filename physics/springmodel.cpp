#include "physics/springmodel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>
#include <utility>

#include "core/debug.h"
#include "physics/springmodel_lanes.h"

namespace {
using modelforces::kMinSide;
using modelforces::kNoRestAngle;
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
        if (!takeSpring(vertex[a], vertex[b], 0, 700.0f, 10.0f)) {
            printf("failed to create a spring\n");
            return abandonBuild();
        }
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

// The reference sweeps. Each float term is as the formula gives it; the sums of many
// terms (6 V, 6 dV/dt, 36 |dV/dx|²) are taken in the order the lanes take them, so that
// a body moves alike with and without SSE2.
namespace modelforces::scalar {

void angles(Particle* const* cp, const float* c0s, std::size_t count)
{
    for (std::size_t t = 0; t < count; ++t) angleTerms(cp + 3 * t, c0s + 4 * t);
}

// 6 V as the lanes sum it: whole blocks of four triangles into four running sums, one
// for each place in a block, the two pairs two places apart added first; then the
// triangles left over one by one.
double anglesAndNormals(Particle* const* cp, const float* c0s, const int* cv, float* grad, std::size_t count)
{
    const std::size_t blocked = count / 4 * 4;
    double part[4] = {};
    for (std::size_t t = 0; t < blocked; ++t) {
        angleTerms(cp + 3 * t, c0s + 4 * t);
        part[t % 4] += addNormal(cp + 3 * t, cv + 3 * t, grad);
    }
    double six = (part[0] + part[2]) + (part[1] + part[3]);
    for (std::size_t t = blocked; t < count; ++t) {
        angleTerms(cp + 3 * t, c0s + 4 * t);
        six += addNormal(cp + 3 * t, cv + 3 * t, grad);
    }
    return six;
}

double normals(Particle* const* cp, const int* cv, float* grad, std::size_t count)
{
    const std::size_t blocked = count / 4 * 4;
    double part[4] = {};
    for (std::size_t t = 0; t < blocked; ++t) part[t % 4] += addNormal(cp + 3 * t, cv + 3 * t, grad);
    double six = (part[0] + part[2]) + (part[1] + part[3]);
    for (std::size_t t = blocked; t < count; ++t) six += addNormal(cp + 3 * t, cv + 3 * t, grad);
    return six;
}

// As the lanes sum them: the vertices in pairs, the rates per component in doubles, even
// and odd vertices apart, the squares per component in floats (the rows' last floats
// add only zeros there); an odd last vertex whole.
GasSums gasSums(const float* grad, Particle* const* vertex, std::size_t n)
{
    double rate[2][3] = {};
    float square[3] = {};
    std::size_t i = 0;
    for (; i + 1 < n; i += 2) {
        const float* g0 = grad + 4 * i;
        const float* g1 = g0 + 4;
        const Vec3& v0 = vertex[i]->vel;
        const Vec3& v1 = vertex[i + 1]->vel;
        for (int x = 0; x < 3; ++x) {
            rate[0][x] += double(g0[x] * v0[x]);
            rate[1][x] += double(g1[x] * v1[x]);
            square[x] += g0[x] * g0[x] + g1[x] * g1[x];
        }
    }
    GasSums sums;
    sums.sixRate = ((rate[0][0] + rate[0][2]) + (rate[1][0] + rate[1][2])) + (rate[0][1] + rate[1][1]);
    sums.gradSquare = (double(square[0]) + double(square[2])) + double(square[1]);
    for (; i < n; ++i) {
        const Vec3 g(grad[4 * i], grad[4 * i + 1], grad[4 * i + 2]);
        sums.sixRate += dot(g, vertex[i]->vel);
        sums.gradSquare += lengthSquared(g);
    }
    return sums;
}

}  // namespace modelforces::scalar

namespace {
#ifdef __SSE2__
namespace pass = modelforces::lanes;
#else
namespace pass = modelforces::scalar;
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
    if (hasGas()) {
        // The pressure pass zeroes the rows as it uses them; these were left unused.
        if (normalsSummed) clearGradient();
        sixVolume = pass::anglesAndNormals(cp, cornerCos, cornerRow.data(), &volumeGradient[0].x, triCount);
        normalsSummed = true;
        return;
    }
    pass::angles(cp, cornerCos, triCount);
}

void SpringModel::clearGradient()
{
    std::fill(volumeGradient.begin(), volumeGradient.end(), GradientRow{});
}

double SpringModel::sumNormals()
{
    return pass::normals(cornerParticle.data(), cornerRow.data(), &volumeGradient[0].x, cornerRow.size() / 3);
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
    if (!cornerRow.empty()) {
        clearGradient();
        sumNormals();
        const double g2 = pass::gasSums(&volumeGradient[0].x, vertex.data(), vertex.size()).gradSquare / 36;
        clearGradient();
        normalsSummed = false;
        const double most = kMaxGasStiffnessSteps / (kStep * kStep) * std::fabs(v0) / g2;
        if (g2 > 0 && p > most) {
            p = static_cast<float>(most);
            std::printf("the springmodel %s gets pressure %g, the most its skin can hold\n", name, p);
        }
    }
    pressure = p;
    restVolume = v0;
    setSkinViscosity(kSkinViscosity);
    return true;
}

bool SpringModel::retunePressure(float p)
{
    const float rest = restVolume;
    if (!setPressure(p)) return false;
    if (pressure != 0 && rest != 0 && (rest > 0) == (restVolume > 0)) restVolume = rest;
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
    const modelforces::GasSums sums = pass::gasSums(&grad[0].x, vertex.data(), n);
    const double sixRate = sums.sixRate;        // 6 dV/dt
    const double gradSquare = sums.gradSquare;  // 36 |dV/dx|²
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
    if (k > kMost || c < k * kStep || c > 1 / kStep) {
        const float scale = k > kMost ? kMost / k : 1;
        const float kHeld = k * scale;
        const float cHeld = std::clamp(c * scale, kHeld * kStep, 1 / kStep);
        P = pressure * scale * (v0 / v - 1) - cHeld * rate / g2;
    }
    const float scale = sign * P / 6;
    if (!std::isfinite(six) || !std::isfinite(scale)) {
        clearGradient();
        return;
    }
    for (size_t i = 0; i < n; ++i) {
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
