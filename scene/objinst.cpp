#include "scene/objinst.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "core/debug.h"
#include "core/random.h"

int ObjInst::instanceCounter = 0;

ObjInst::ObjInst() { snprintf(name, sizeof name, "obj %d\n", instanceCounter++); }

ObjInst::~ObjInst() = default;

bool ObjInst::setModel(const ObjFile* m)
{
    faceLink.clear();
    faceLink.shrink_to_fit();
    // Faces of the previous model must not be looked up in the new one: the tree keeps
    // its nodes but loses its faces, and world vertices wait to be recomputed.
    for (BspNode& n : bspnode) n.firstFace = -1;
    packed.clear();
    packedStart.clear();
    listBox.clear();
    treeBox.clear();
    worldVertices.clear();
    model = m;
    if (!m) return true;
    snprintf(name, sizeof name, "%s", m->path);
    try {
        faceLink.assign(m->triangles.size(), -1);
    } catch (const std::bad_alloc&) {
        return false;
    }
    box = m->bounds;
    return true;
}

void ObjInst::computeWorldVertices()
{
    worldVertices.clear();
    if (!model) return;
    worldVertices.resize(model->vertices.size());
    for (size_t i = 0; i < model->vertices.size(); ++i) {
        const Vec3& v = model->vertices[i];
        Vec3 w(v.x * scale.x, v.y * scale.y, v.z * scale.z);
        w = rotate(transform.rot, w);
        w = w + transform.trans;
        worldVertices[i] = w;
    }
}

void ObjInst::computeBox()
{
    // Without world vertices the box stays as it was (the model's, or empty).
    if (worldVertices.empty()) return;
    box = BBox::fromPoint(worldVertices[0]);
    for (size_t i = 1; i < worldVertices.size(); ++i) box.extend(worldVertices[i]);
}

BBox ObjInst::faceBox(int f) const
{
    const ObjTriangle& tri = model->triangles[f];
    BBox b = BBox::fromPoint(worldVertices[tri.corner[0].vertex]);
    b.extend(worldVertices[tri.corner[1].vertex]);
    b.extend(worldVertices[tri.corner[2].vertex]);
    return b;
}

void ObjInst::buildNode(int node, const BBox& b)
{
    TV_ASSERT(node >= 0 && node < bspnodeCount);
    BspNode& n = bspnode[node];
    n.firstFace = -1;
    n.axis = -1;
    n.split = 0;
    if (2 * node + 2 >= bspnodeCount) return;

    Vec3 e = b.max - b.min;
    e = Vec3(std::fabs(e.x), std::fabs(e.y), std::fabs(e.z));
    int axis = e.x > e.y ? 0 : 1;
    if (!(e.z < e[axis])) axis = 2;
    float u = tv::rand() / 32767.0f;
    float split = (u * 0.2f + 0.4f) * (b.max[axis] + b.min[axis]);
    n.axis = static_cast<int8_t>(axis);
    n.split = split;

    BBox low = b, high = b;
    low.max[axis] = split;
    high.min[axis] = split;
    buildNode(2 * node + 1, low);
    buildNode(2 * node + 2, high);
}

bool ObjInst::buildBsp(int nodeCount)
{
    bspnode.clear();
    packed.clear();
    packedStart.clear();
    listBox.clear();
    treeBox.clear();
    bspnodeCount = 0;
    if (nodeCount < 0) nodeCount = 0;
    try {
        bspnode.resize(nodeCount);
    } catch (const std::bad_alloc&) {
        return false;
    }
    bspnodeCount = nodeCount;
    if (nodeCount == 0) return true;

    buildNode(0, box);
    // Faces need world vertices; an instance without a model (or not yet placed) keeps
    // an empty tree.
    if (!model || worldVertices.size() != model->vertices.size()) return true;

    // Tails of each node's list so that appending stays linear in the face count.
    std::vector<int> tail(nodeCount, -1);
    const int faceCount = static_cast<int>(model->triangles.size());
    for (int f = 0; f < faceCount; ++f) {
        const BBox fb = faceBox(f);
        int node = 0;
        for (;;) {
            TV_ASSERT(node >= 0 && node < bspnodeCount);
            const BspNode& n = bspnode[node];
            if (n.axis >= 0) {
                if (fb.max[n.axis] < n.split) {
                    node = 2 * node + 1;
                    continue;
                }
                if (fb.min[n.axis] > n.split) {
                    node = 2 * node + 2;
                    continue;
                }
            }
            break;
        }
        faceLink[f] = -1;
        if (tail[node] < 0)
            bspnode[node].firstFace = f;
        else
            faceLink[tail[node]] = f;
        tail[node] = f;
    }
    packFaces();
    return true;
}

// A sphere touches a face's plane at a point up to a radius from the face (the contact
// rule of sweepSphereTriangle), so its centre can be up to radius × sqrt 2 from the face.
// Tree walks and face boxes use that reach; contacts the rule reports farther out (from
// very thin triangles) are not looked for.
constexpr float kReach = 1.415f;

struct ObjInst::Query {
    Vec3 start;
    float radius;
    float reach;
    TraceHit& hit;
    bool stop = false;
    float lo[3] = {}, hi[3] = {};  // box of the segment left, widened by the reach

    bool misses(const BBox& b) const
    {
        return b.min.x > hi[0] || b.max.x < lo[0] || b.min.y > hi[1] || b.max.y < lo[1] || b.min.z > hi[2] ||
               b.max.z < lo[2];
    }

    void bound()
    {
        for (int a = 0; a < 3; ++a) {
            float s = start[a], t = hit.target[a];
            lo[a] = (s < t ? s : t) - reach;
            hi[a] = (s < t ? t : s) + reach;
        }
    }
};

void ObjInst::packFaces()
{
    packed.clear();
    packedStart.assign(bspnodeCount + 1, 0);
    if (!model || worldVertices.size() != model->vertices.size()) return;
    packed.reserve(model->triangles.size());
    for (int i = 0; i < bspnodeCount; ++i) {
        packedStart[i] = static_cast<int>(packed.size());
        for (int f = bspnode[i].firstFace; f >= 0; f = faceLink[f]) {
            const BBox b = faceBox(f);
            packed.push_back({{b.min.x, b.min.y, b.min.z}, {b.max.x, b.max.y, b.max.z}, f});
        }
    }
    packedStart[bspnodeCount] = static_cast<int>(packed.size());

    listBox.assign(bspnodeCount, BBox::empty());
    for (int i = 0; i < bspnodeCount; ++i)
        for (int k = packedStart[i]; k < packedStart[i + 1]; ++k)
            listBox[i].extend(Vec3(packed[k].lo[0], packed[k].lo[1], packed[k].lo[2]),
                              Vec3(packed[k].hi[0], packed[k].hi[1], packed[k].hi[2]));
    treeBox = listBox;
    for (int i = bspnodeCount - 1; i > 0; --i) treeBox[(i - 1) / 2].extend(treeBox[i].min, treeBox[i].max);
}

bool ObjInst::sweep(const Vec3& start, float radius, TraceHit& hit) const
{
    if (!model || bspnodeCount == 0 || packed.empty()) return false;
    ++sweepCount;
    BBox box1 = BBox::fromPoint(start);
    box1.extend(hit.target);
    box1.min -= Vec3(1, 1, 1);
    box1.max += Vec3(1, 1, 1);
    if (!overlaps(box1, box)) return false;
    Query q{start, radius, radius * kReach, hit};
    q.bound();
    return queryNode(0, q);
}

bool ObjInst::queryNode(int node, Query& q) const
{
    TV_ASSERT(!bspnode.empty());
    TV_ASSERT(node >= 0 && node < bspnodeCount);
    const BspNode& n = bspnode[node];
    TraceHit& hit = q.hit;
    bool any = false;
    if (q.misses(treeBox[node])) return false;
    const ObjTriangle* tris = model->triangles.data();
    const bool scan = !q.misses(listBox[node]);
    const PackedFace* end = packed.data() + (scan ? packedStart[node + 1] : packedStart[node]);
    for (const PackedFace* pf = packed.data() + packedStart[node]; pf != end; ++pf) {
        if (pf->lo[0] > q.hi[0] || pf->hi[0] < q.lo[0] || pf->lo[1] > q.hi[1] || pf->hi[1] < q.lo[1] ||
            pf->lo[2] > q.hi[2] || pf->hi[2] < q.lo[2])
            continue;
        const ObjTriangle& tri = tris[pf->face];
        const Vec3* corners[3] = {&worldVertices[tri.corner[0].vertex], &worldVertices[tri.corner[1].vertex],
                                  &worldVertices[tri.corner[2].vertex]};
        float w[3];
        ++triangleTests;
        float frac = sweepSphereTriangle(q.start, hit.target, q.radius, corners, hit.plane, w);
        if (frac < 1) {
            any = true;
            if (hit.record(q.start, frac, corners, w, restitution, friction)) {
                q.stop = true;
                return true;
            }
            q.bound();
        }
    }
    if (n.axis >= 0) {
        // The walk reaches as far as the sphere does (see kReach): a centre just above a
        // split still touches faces just below it.
        const int a = n.axis;
        if (q.lo[a] < n.split) {
            any |= queryNode(2 * node + 1, q);
            if (q.stop) return true;
        }
        if (q.hi[a] > n.split) {
            any |= queryNode(2 * node + 2, q);
            if (q.stop) return true;
        }
    }
    return any;
}
