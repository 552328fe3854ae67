#include "scene/objinst.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "app/debug.h"
#include "app/random.h"

int ObjInst::instanceCounter = 0;

ObjInst::ObjInst() { snprintf(name, sizeof name, "obj %d\n", instanceCounter++); }

ObjInst::~ObjInst() = default;

bool ObjInst::setModel(const ObjFile* m)
{
    faceLink.clear();
    faceLink.shrink_to_fit();
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
    return true;
}

bool ObjInst::sweep(const Vec3& start, float radius, TraceHit& hit) const
{
    if (!model || bspnodeCount == 0 || worldVertices.size() != model->vertices.size()) return false;
    BBox q = BBox::fromPoint(start);
    q.extend(hit.target);
    q.min -= Vec3(1, 1, 1);
    q.max += Vec3(1, 1, 1);
    if (!overlaps(q, box)) return false;
    bool stop = false;
    return queryNode(0, start, radius, hit, stop);
}

bool ObjInst::queryNode(int node, const Vec3& start, float radius, TraceHit& hit, bool& stop) const
{
    TV_ASSERT(!bspnode.empty());
    TV_ASSERT(node >= 0 && node < bspnodeCount);
    const BspNode& n = bspnode[node];
    bool any = false;
    const ObjTriangle* tris = model->triangles.data();
    for (int f = n.firstFace; f >= 0; f = faceLink[f]) {
        const ObjTriangle& tri = tris[f];
        const Vec3* corners[3] = {&worldVertices[tri.corner[0].vertex], &worldVertices[tri.corner[1].vertex],
                                  &worldVertices[tri.corner[2].vertex]};
        float w[3];
        float frac = sweepSphereTriangle(start, hit.target, radius, corners, hit.plane, w);
        if (frac < 1) {
            any = true;
            for (int k = 0; k < 3; ++k) {
                hit.triangle[k] = *corners[k];
                hit.weights[k] = w[k];
            }
            hit.restitution = restitution;
            hit.friction = friction;
            if (frac == 0) {
                hit.target = start;
                hit.t = 0;
                stop = true;
                return true;
            }
            hit.target = start + (hit.target - start) * frac;
            hit.t = hit.t * frac;
        }
    }
    if (n.axis >= 0) {
        // A sphere reaches beyond its segment: it stops touching a face's plane at a point
        // up to a radius from the face, so its centre can be radius × sqrt 2 away from the
        // face, on the other side of the split.
        const int a = n.axis;
        const float reach = radius * 1.415f;
        if (start[a] - reach < n.split || hit.target[a] - reach < n.split) {
            any |= queryNode(2 * node + 1, start, radius, hit, stop);
            if (stop) return true;
        }
        if (start[a] + reach > n.split || hit.target[a] + reach > n.split) {
            any |= queryNode(2 * node + 2, start, radius, hit, stop);
            if (stop) return true;
        }
    }
    return any;
}
