// The sheet's GL side: its texture, the picture uploaded while the sheet is built, and
// the drawing.
#include <GL/gl.h>

#include <cstdio>

#include "assets/texture.h"
#include "physics/cloth.h"

Cloth::Cloth() : texture(std::make_unique<Texture>()) { Cloth::reset(); }
Cloth::~Cloth() { SpringObj::release(); }

bool Cloth::init(int n_, ParticleSystem* parSys_, SpringSystem* springSys_, const char* textureFile)
{
    if (!prepare(n_, parSys_, springSys_)) return false;
    bool built = true;
    if (textureFile && !texture->load(textureFile)) {
        printf("Cloth.init() failed to load texture filename %s\n", textureFile);
        built = false;
    }
    if (built && buildSheet()) return true;
    // A failed sheet has no triangles to draw or hand out; the particles it took stay
    // listed in vertex until release gives them back.
    n = 0;
    return false;
}

void Cloth::draw() const
{
    if (n < 2 || static_cast<int>(vertex.size()) != n * n) return;
    glPushAttrib(GL_ENABLE_BIT);
    glDisable(GL_CULL_FACE);
    glColor3f(1, 1, 1);
    texture->bind();
    for (int r = 0; r < n - 1; ++r) {
        glBegin(GL_TRIANGLE_STRIP);
        for (int c = 0; c < n; ++c) {
            const Vec3& hi = vertex[(r + 1) * n + c]->pos;
            glTexCoord2f(static_cast<float>(c) / (n - 1), static_cast<float>(r + 1) / (n - 1));
            glVertex3f(hi.x, hi.y, hi.z);
            const Vec3& lo = vertex[r * n + c]->pos;
            glTexCoord2f(static_cast<float>(c) / (n - 1), static_cast<float>(r) / (n - 1));
            glVertex3f(lo.x, lo.y, lo.z);
        }
        glEnd();
    }
    glPopAttrib();
}
