// Immediate-mode drawing of an ObjFile, one GL_TRIANGLES batch per run of triangles
// that share a material.
#include <GL/gl.h>

#include <cstdio>

#include "assets/objfile.h"
#include "assets/texture.h"

void ObjFile::draw(const Vec3* vertexArray, bool useMaterials) const
{
    int lastMaterial = -2;
    bool open = false;
    if (!useMaterials) {
        glBegin(GL_TRIANGLES);
        open = true;
    }
    const bool withTexCoords = (flags & hasTexCoords) != 0;
    const bool withNormals = (flags & hasNormals) != 0;
    for (const ObjTriangle& tri : triangles) {
        if (useMaterials && tri.material != lastMaterial) {
            if (open) glEnd();
            lastMaterial = tri.material;
            if (tri.material < 0 || tri.material >= int(materials.size()))
                Texture::disableTargets();
            else
                materials[tri.material]->texture->bind();
            glBegin(GL_TRIANGLES);
            open = true;
        }
        for (const ObjCorner& corner : tri.corner) {
            if (withTexCoords) glTexCoord2f(texCoords[corner.texture].u, texCoords[corner.texture].v);
            if (withNormals) glNormal3fv(&normals[corner.normal].x);
            glVertex3fv(&vertexArray[corner.vertex].x);
        }
    }
    if (open) glEnd();
}

void ObjFile::uploadTextures()
{
    for (auto& m : materials) {
        if (!m->picture) continue;
        const Image& image = *m->picture;
        if (!m->texture->build2DMipmaps(image.width, image.height, GL_RGB, GL_UNSIGNED_BYTE, image.data, 3,
                                        image.width * 3)) {
            m->textureLoaded = false;
            std::printf("unable to load requested material %s\n", m->textureFile.c_str());
        }
        m->picture.reset();
    }
}
