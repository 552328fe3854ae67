// The lattice body's drawing: its texture, and the mesh deformed by the current corners.
#include <GL/gl.h>

#include "assets/texture.h"
#include "physics/springspace.h"

SpringSpace::SpringSpace() : texture(std::make_unique<Texture>()) { SpringSpace::reset(); }
SpringSpace::~SpringSpace() { SpringObj::release(); }

bool SpringSpace::loadTexture(const char* path) { return texture->load(path); }
void SpringSpace::bindTexture() const { texture->bind(); }

void SpringSpace::draw(bool useMaterials)
{
    if (!model) return;
    deform();
    glColor3f(1, 1, 1);
    model->draw(deformed.data(), useMaterials);
}
