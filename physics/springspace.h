#pragma once
// A rigid mesh that wobbles: a cube of 8 spring-linked particles around the mesh's box
// deforms the mesh by trilinear interpolation whenever it is drawn.
#include <memory>
#include <vector>

#include "assets/objfile.h"
#include "physics/springobj.h"

// The drawing's texture is held through a pointer, so that the simulation sees no GL.
class Texture;

class SpringSpace final : public SpringObj {
public:
    // With the drawing, where Texture is complete.
    SpringSpace();
    ~SpringSpace();

    void reset() override;
    bool setModel(const ObjFile* m);
    // Fills `deformed` from the current corner positions (done by every draw).
    void deform();
    // The picture a scene file names for the body, and its bind before the body draws.
    bool loadTexture(const char* path);
    void bindTexture() const;
    void draw(bool useMaterials);

    const ObjFile* model = nullptr;
    std::vector<Vec3> deformed;
    std::unique_ptr<Texture> texture;  // never null
};
