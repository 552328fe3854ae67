// The mesh body's drawing: its texture, its triangles at the particles' positions, and
// the shadow volume's sides along the silhouette.
#include <GL/gl.h>

#include "assets/texture.h"
#include "physics/springmodel.h"

SpringModel::SpringModel() : texture(std::make_unique<Texture>()) { SpringModel::reset(); }
SpringModel::~SpringModel() { SpringModel::release(); }

bool SpringModel::loadTexture(const char* path) { return texture->load(path); }
void SpringModel::bindTexture() const { texture->bind(); }

void SpringModel::draw() const
{
    if (!model) return;
    const bool tex = (model->flags & ObjFile::hasTexCoords) != 0;
    glBegin(GL_TRIANGLES);
    for (const ObjTriangle& tri : model->triangles) {
        for (int k = 0; k < 3; ++k) {
            if (tex) {
                const TexCoord& tc = model->texCoords[tri.corner[k].texture];
                glTexCoord2f(tc.u, tc.v);
            }
            const Vec3& p = vertex[tri.corner[k].vertex]->pos;
            glVertex3f(p.x, p.y, p.z);
        }
    }
    glEnd();
}

void SpringModel::drawSilhouette(const Vec3& light, float a, float b) const
{
    if (!model || !cornerCos) return;
    glBegin(GL_QUADS);
    for (const ObjEdge& edge : model->edges) {
        bool facesA = cornerCos[4 * edge.a + 3] != 0;
        bool facesB = cornerCos[4 * edge.b + 3] != 0;
        if (facesA == facesB) continue;
        const ObjTriangle& tri = model->triangles[facesA ? edge.a : edge.b];
        int k = facesA ? edge.cornerA : edge.cornerB;
        const Vec3& v1 = vertex[tri.corner[(k + 1) % 3].vertex]->pos;
        const Vec3& v2 = vertex[tri.corner[k].vertex]->pos;
        Vec3 e1 = (v1 * a - light) * b;
        Vec3 e2 = (v2 * a - light) * b;
        Vec3 q2 = v2 + e2, q1 = v1 + e1;
        glVertex3f(v1.x, v1.y, v1.z);
        glVertex3f(v2.x, v2.y, v2.z);
        glVertex3f(q2.x, q2.y, q2.z);
        glVertex3f(q1.x, q1.y, q1.z);
    }
    glEnd();
}
