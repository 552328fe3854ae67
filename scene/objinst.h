#pragma once
// A placed copy of a loaded model that particles bounce off: world-space vertices, a
// world box and a small BSP tree over the model's faces.
#include <cstdint>
#include <vector>

#include "core/vecmath.h"
#include "assets/objfile.h"
#include "assets/texture.h"
#include "scene/rigidtransform.h"
#include "core/tracehit.h"

struct BspNode {
    float split = 0;
    int8_t axis = -1;  // 0 x, 1 y, 2 z, −1 leaf
    int firstFace = -1;
};

class ObjInst {
public:
    ObjInst();
    ~ObjInst();
    ObjInst(const ObjInst&) = delete;
    ObjInst& operator=(const ObjInst&) = delete;

    bool setModel(const ObjFile* m);
    void computeWorldVertices();
    void computeBox();
    bool buildBsp(int nodeCount);
    // Sweeps a sphere from start to hit.target; shortens the hit on contact.
    bool sweep(const Vec3& start, float radius, TraceHit& hit) const;
    // cull: leave the model out when its bounds lie outside the view.
    void draw(bool cull) const;

    // The world box of face f (its three world vertices).
    BBox faceBox(int f) const;

    static int instanceCounter;  // every instance ever constructed

    const ObjFile* model = nullptr;
    std::vector<int> faceLink;
    std::vector<Vec3> worldVertices;
    std::vector<BspNode> bspnode;
    int bspnodeCount = 0;
    char name[256] = {};
    Texture texture;
    BBox box;
    RigidTransform transform;
    Vec3 scale{1, 1, 1};
    float restitution = 0.5f;
    float friction = 0.75f;

    // Work done by sweep, for measurements: calls and triangle tests.
    mutable long long sweepCount = 0;
    mutable long long triangleTests = 0;

private:
    // The faces of each node's list, in list order, packed with their world boxes so
    // that a query walks contiguous memory and skips faces it cannot reach.
    struct PackedFace {
        float lo[3], hi[3];
        int face;
    };
    struct Query;
    void buildNode(int node, const BBox& b);
    void packFaces();
    bool queryNode(int node, Query& q) const;

    std::vector<PackedFace> packed;
    std::vector<int> packedStart;  // node i's faces: packed[packedStart[i] .. packedStart[i + 1])
    // Per node: the box of its own list's faces and of every face in its subtree (empty
    // boxes where there are none), so that a query skips lists and subtrees it misses.
    std::vector<BBox> listBox, treeBox;
};
