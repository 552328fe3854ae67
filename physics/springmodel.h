#pragma once
// A soft body made from a mesh: one particle per vertex, one spring per shared edge, and
// a force pulling every triangle corner back towards its rest angle.
#include <vector>

#include "assets/objfile.h"
#include "assets/texture.h"
#include "physics/springobj.h"

class SpringModel final : public SpringObj {
public:
    SpringModel() { SpringModel::reset(); }
    ~SpringModel() { SpringModel::release(); }

    void reset() override;
    void release() override;
    void restretch() override;

    bool buildFromModel(const ObjFile* m);
    void copyModelPositions();
    void applyAngleForces();
    void draw() const;
    void computeFacing(const Quat& light);
    void drawSilhouette(const Vec3& light, float a, float b) const;

    float* cornerCos = nullptr;
    const ObjFile* model = nullptr;
    Texture texture;

private:
    // The particles of every triangle's corners (3 per triangle), so that the force hook
    // reads positions without going through the mesh's records.
    std::vector<Particle*> cornerParticle;
};
