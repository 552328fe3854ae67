#pragma once
// A square sheet of n × n particles joined by structural, shear and bend springs and
// drawn as textured triangle strips. Complete on its own: the scene keeps no cloth.
#include <memory>

#include "physics/springobj.h"

// The drawing's texture is held through a pointer, so that the simulation sees no GL.
class Texture;

class Cloth final : public SpringObj {
public:
    // With the drawing, where Texture is complete.
    Cloth();
    ~Cloth();

    void reset() override;
    using SpringObj::init;
    // A null textureFile builds an untextured sheet. n below 2 is refused. Loads the
    // picture, so it lives with the drawing.
    bool init(int n, ParticleSystem* parSys, SpringSystem* springSys, const char* textureFile);

    void pinBorder();
    struct Triangle {
        Particle* p[3];
    };
    Triangle triangle(int t) const;
    int triangleCount() const { return n < 2 ? 0 : 2 * (n - 1) * (n - 1); }
    void computeBox();
    void draw() const;

    int n = 0;
    std::unique_ptr<Texture> texture;  // never null
    BBox box;

private:
    // The steps of init either side of the picture: attaching the systems and checking
    // n (n is set when it passes), then taking the particles and springs.
    bool prepare(int n, ParticleSystem* parSys, SpringSystem* springSys);
    bool buildSheet();
};
