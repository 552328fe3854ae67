#include <GL/gl.h>

#include "view/frustum.h"
#include "scene/objinst.h"

void ObjInst::draw(bool cull) const
{
    texture.bind();
    glPushMatrix();
    glTranslatef(transform.trans.x, transform.trans.y, transform.trans.z);
    Quat aa = toAxisAngle(transform.rot);
    glRotatef(aa.w, aa.x, aa.y, aa.z);
    glScalef(scale.x, scale.y, scale.z);
    // The matrices now map the model's own coordinates, where its bounds hold.
    if (model && (!cull || Frustum::current().mayShow(model->bounds.min, model->bounds.max))) model->draw();
    glPopMatrix();
}
