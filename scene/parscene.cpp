// Placeholder world until the simulation lands: an empty scene that places the main camera.
#include "scene/parscene.h"

#include "app/viewport.h"

ParScene::ParScene() { reset(); }
ParScene::~ParScene() { shutdown(); }

bool ParScene::init()
{
    shutdown();
    if (!parSys.init()) return false;
    views.main.init(this, false, 0.25f, 0.25f, 1, 0.25f, 20000, {-100, 0, 30}, kIdentityQuat);
    return true;
}
void ParScene::shutdown()
{
    clear();
    springSys.shutdown();
    parSys.release();
    reset();
}
void ParScene::reset()
{
    heldParticle = nullptr;
    timeStep = 0;
    useRk4 = true;
}
void ParScene::clear() {}
bool ParScene::load(const char*) { return true; }
void ParScene::update() { step(timeStep); }
void ParScene::render(Viewport&, Camera&) {}
void ParScene::computeForces() {}
void ParScene::stepEuler(float) {}
void ParScene::stepRK4(float) {}
void ParScene::step(float) {}
Particle* ParScene::nearestParticle(const Ray&) const { return nullptr; }
void ParScene::grabParticle(Particle* p) { heldParticle = p; }
void ParScene::editTerrain(bool) {}
int ParScene::placeSource(const Ray&) { return -1; }
void ParScene::placeSink(const Ray&) {}
TraceHit ParScene::trace(const Vec3&, const Vec3& end, float) const { return TraceHit::towards(end); }
