// The lattice body's drawing: the mesh deformed by the current corners.
#include <GL/gl.h>

#include "physics/springspace.h"

void SpringSpace::draw(bool useMaterials)
{
    if (!model) return;
    deform();
    glColor3f(1, 1, 1);
    model->draw(deformed.data(), useMaterials);
}
