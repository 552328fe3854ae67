#include <GL/gl.h>

#include "scene/objinst.h"

void ObjInst::draw() const
{
    texture.bind();
    glPushMatrix();
    glTranslatef(transform.trans.x, transform.trans.y, transform.trans.z);
    Quat aa = toAxisAngle(transform.rot);
    glRotatef(aa.w, aa.x, aa.y, aa.z);
    glScalef(scale.x, scale.y, scale.z);
    if (model) model->draw();
    glPopMatrix();
}
