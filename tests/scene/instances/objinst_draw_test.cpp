// Drawing an instance: the model appears where the transform and scale put it.
#include <GL/gl.h>

#include <gtest/gtest.h>

#include "scene/instances/instancetest.h"
#include "scene/objinst.h"
#include "support/glcontext.h"

namespace {

using ObjInstDraw = GlWorldTest;

TEST_F(ObjInstDraw, ModelIsDrawnScaledRotatedAndMoved)
{
    // A 1 × 0.5 rectangle from the origin along +x.
    auto mesh = meshFromText("v 0 0 0\nv 1 0 0\nv 1 0.5 0\nv 0 0.5 0\nf 1 2 3\nf 1 3 4\n");
    ASSERT_TRUE(mesh);
    ObjInst inst;
    ASSERT_TRUE(inst.setModel(mesh.get()));
    inst.scale = Vec3(3, 1, 1);                              // 3 long along model x
    inst.transform.rot = fromAxisAngle(Vec3(0, 0, 1), 90);  // which then points along +y
    inst.transform.trans = Vec3(1, -2, 0);
    glColor3f(1, 1, 1);
    inst.draw(false);
    grab();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_TRUE(lit(0.75f, -1.8f));
    EXPECT_TRUE(lit(0.75f, 0.8f));
    EXPECT_FALSE(lit(0.75f, 1.2f));
    EXPECT_FALSE(lit(1.25f, -1));
    EXPECT_FALSE(lit(2, -1.75f));
    GLint depth = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, 1);

    // Without a model nothing is drawn and the matrix stack is still balanced.
    ObjInst empty;
    glClear(GL_COLOR_BUFFER_BIT);
    empty.draw(false);
    grab();
    EXPECT_FALSE(lit(0.75f, -1));
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, 1);
}

}  // namespace
