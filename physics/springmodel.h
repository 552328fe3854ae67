#pragma once
// A soft body made from a mesh: one particle per vertex, one spring per shared edge, a
// force pulling every triangle corner back towards its rest angle and, on a closed mesh
// given a pressure, a gas inside that holds the body's volume.
#include <memory>
#include <vector>

#include "assets/objfile.h"
#include "physics/springobj.h"

// The drawing's texture is held through a pointer, so that the simulation sees no GL.
class Texture;

class SpringModel final : public SpringObj {
public:
    // With the drawing, where Texture is complete.
    SpringModel();
    ~SpringModel();

    void reset() override;
    void release() override;
    void restretch() override;

    bool buildFromModel(const ObjFile* m);
    void copyModelPositions();
    void applyAngleForces();

    // Every triangle edge has a partner, so the triangles enclose a volume.
    bool closed() const;
    // Signed volume enclosed by the triangles (positive when wound counter-clockwise
    // seen from outside); 0 without a mesh.
    float volume() const;
    // Gives the body a gas of pressure p (0: none), records the current volume as its
    // rest volume and makes the skin viscous (0: neither). An open mesh or a negative p
    // is refused with a line naming the model; the body then has no pressure.
    bool setPressure(float p);
    // setPressure on a body that may be squashed or stretched: a gas it already holds keeps
    // its rest volume, so that retuning a moving body does not take its shape of the
    // moment for its rest shape.
    bool retunePressure(float p);
    void applyPressureForces();
    // The picture a scene file names for the body, and its bind before the body draws.
    bool loadTexture(const char* path);
    void bindTexture() const;
    void draw() const;
    void computeFacing(const Quat& light);
    void drawSilhouette(const Vec3& light, float a, float b) const;

    float* cornerCos = nullptr;
    const ObjFile* model = nullptr;
    std::unique_ptr<Texture> texture;  // never null
    float pressure = 0;
    float restVolume = 0;

private:
    // Sets every edge's sideways dashpot so that the edges at a particle add up to at
    // most `most` (0: none).
    void setSkinViscosity(float most);
    // The particles of every triangle's corners (3 per triangle), so that the force hook
    // reads positions without going through the mesh's records.
    std::vector<Particle*> cornerParticle;
    // One vertex's share of the volume's gradient, padded so that a triangle's normal is
    // added to it as one aligned row.
    struct alignas(16) GradientRow {
        float x, y, z, pad;
    };

    bool hasGas() const { return pressure != 0 && restVolume != 0 && !cornerRow.empty(); }
    // Sums every triangle's normal into its corners' gradient rows and returns 6 V.
    double sumNormals();
    void clearGradient();

    // Each corner's row in the gradient as a float offset (4 × vertex), so that indexing
    // by it needs no multiply.
    std::vector<int> cornerRow;
    // Per-vertex room for the pressure pass, so that a step allocates nothing. Between
    // passes the rows are zero unless normalsSummed, so that no pass spends a sweep
    // clearing them.
    std::vector<GradientRow> volumeGradient;
    // The angle pass already walks every triangle with its positions at hand, so on a
    // body with gas it leaves the normals and 6 V for the pressure pass that follows it
    // in the same force pass; the pressure pass uses them once.
    bool normalsSummed = false;
    double sixVolume = 0;
};
