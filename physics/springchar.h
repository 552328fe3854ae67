#pragma once
// A soft humanoid: 97 particles in 11 bones, a stiff spring between every two particles
// that share a bone, and a fixed triangle skin drawn lit, sphere mapped and optionally
// with a cube-map reflection. Complete on its own: the scene keeps no characters.
#include <cstdint>
#include <memory>

#include "physics/springobj.h"

class Camera;
// The drawing's texture is held through a pointer, so that the simulation sees no GL.
class Texture;

// One row of the figure's node table: starting position (+y up, arms along x) and the
// bones the node belongs to (bit b = bone b; two bits make a joint).
struct SpringCharNode {
    float x, y, z;
    uint32_t bones;
};

class SpringChar final : public SpringObj {
public:
    static constexpr int kNodeCount = 97;
    static constexpr int kBoneCount = 11;
    static constexpr int kSkinTriangles = 172;
    static const SpringCharNode nodes[kNodeCount];
    static const int skin[kSkinTriangles][3];

    // With the drawing, where Texture is complete.
    SpringChar();
    ~SpringChar();

    void reset() override
    {
        SpringObj::reset();
        envMap = nullptr;
    }
    // Base init, the bone texture ("bone.bmp"), then build(). Loads the picture, so it
    // lives with the drawing.
    bool init(ParticleSystem* parSys, SpringSystem* springSys) override;
    // Takes the particles and springs and places the figure; needs the systems attached.
    bool build();
    void draw(const Camera& camera);
    void computeTotalImpact();

    std::unique_ptr<Texture> texture;  // never null
    const Texture* envMap = nullptr;  // cube map, not owned
    double totalImpact = 0;

private:
    Vec3 normal[kNodeCount];  // per-node accumulators of the last draw
};
