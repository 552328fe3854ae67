#pragma once
// A rigid mesh that wobbles: a cube of 8 spring-linked particles around the mesh's box
// deforms the mesh by trilinear interpolation whenever it is drawn.
#include <vector>

#include "assets/objfile.h"
#include "assets/texture.h"
#include "physics/springobj.h"

class SpringSpace final : public SpringObj {
public:
    SpringSpace() { SpringSpace::reset(); }
    ~SpringSpace() { SpringObj::release(); }

    void reset() override;
    bool setModel(const ObjFile* m);
    // Fills `deformed` from the current corner positions (done by every draw).
    void deform();
    void draw(bool useMaterials);

    const ObjFile* model = nullptr;
    std::vector<Vec3> deformed;
    Texture texture;
};
