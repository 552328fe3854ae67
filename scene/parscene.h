#pragma once
// The one simulated world: owns every particle, spring, body, emitter, instance and
// landscape, steps them at a fixed time step and draws them through every camera.
#include <vector>

#include "app/camera.h"
#include "app/vecmath.h"
#include "assets/texture.h"
#include "physics/springsystem.h"
#include "scene/tracehit.h"

class ParScene : public ViewRenderer {
public:
    ParScene();
    ~ParScene() override;

    bool init();
    void shutdown();
    void reset();
    void clear();
    bool load(const char* path);
    void update();
    void render(Viewport& viewport, Camera& camera) override;

    // Physics step: forces, integration, collision pass.
    void computeForces();
    void stepEuler(float dt);
    void stepRK4(float dt);
    void step(float dt);

    void setMouseRay(const Ray& ray) { mouseRay = ray; }
    Particle* nearestParticle(const Ray& ray) const;
    void grabParticle(Particle* p);
    void editTerrain(bool load);
    int placeSource(const Ray& ray);
    void placeSink(const Ray& ray);
    void setTimeStep(float s) { timeStep = s; }
    void setUseRk4(bool b) { useRk4 = b; }
    TraceHit trace(const Vec3& start, const Vec3& end, float radius) const;

    ParticleSystem parSys;
    SpringSystem springSys;
    Texture glowTexture;
    Particle* heldParticle = nullptr;
    float holdDistance = 0;
    Ray mouseRay;
    float timeStep = 0;
    bool useRk4 = true;
};
