#pragma once
// A soft body made from a mesh: one particle per vertex, one spring per shared edge, and
// a force pulling every triangle corner back towards its rest angle.
#include "assets/objfile.h"
#include "assets/texture.h"
#include "physics/springobj.h"

class SpringModel : public SpringObj {
public:
    SpringModel();
    ~SpringModel();

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
};
