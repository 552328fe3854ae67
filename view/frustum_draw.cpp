#include <GL/gl.h>

#include "view/frustum.h"

Frustum Frustum::current()
{
    float projection[16], modelview[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    return fromMatrices(projection, modelview);
}
