// The scene's lifecycle, per-frame update, display toggles and mouse-side operations.
#include "scene/parscene.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/debug.h"
#include "terrain/displaysettings.h"

namespace {
// Milliseconds since the first call: the same clock the window toolkit's elapsed time
// gives, without tying the scene library to the toolkit.
int steadyElapsedMs()
{
    using namespace std::chrono;
    static const steady_clock::time_point start = steady_clock::now();
    return static_cast<int>(duration_cast<milliseconds>(steady_clock::now() - start).count());
}

}  // namespace

int (*ParScene::elapsedMs)() = steadyElapsedMs;

// ---------------------------------------------------------------------------------------
// ModelCache

const ObjFile* ModelCache::getModel(const char* path, bool withEdges)
{
    for (ObjFile* m : models) {
        if (std::strcmp(m->path, path) == 0 && m->edges.empty() != withEdges) return m;
    }
    ObjFile* m = new ObjFile;
    if (!m->load(path, withEdges)) {
        delete m;
        return nullptr;
    }
    m->uploadTextures();
    // The loader keeps the name it was given; a name too long for it is kept cut short,
    // which only costs a reload on the next request.
    if (std::strncmp(m->path, path, sizeof m->path) != 0) {
        std::strncpy(m->path, path, sizeof m->path - 1);
        m->path[sizeof m->path - 1] = 0;
    }
    models.push_back(m);
    return m;
}

void ModelCache::clear()
{
    for (ObjFile* m : models) delete m;
    models.clear();
}

// ---------------------------------------------------------------------------------------
// Lifecycle

ParScene::ParScene() { reset(); }

ParScene::~ParScene() { shutdown(); }

void ParScene::reset()
{
    emitters.clear();
    springModels.clear();
    springSpaces.clear();
    cloths.clear();
    characters.clear();
    sinks.clear();
    objects.clear();
    landscapes.clear();
    heldParticle = nullptr;
    tunedBody = nullptr;
    timeStep = 0;
    useRk4 = true;
    startTransform = RigidTransform{};
}

void ParScene::clear()
{
    for (Emitter* e : emitters) delete e;
    emitters.clear();
    // Bodies give their particles and springs back, so they go before the pools.
    for (ObjInst* o : objects) delete o;
    objects.clear();
    for (SpringModel* m : springModels) delete m;
    springModels.clear();
    for (SpringSpace* s : springSpaces) delete s;
    springSpaces.clear();
    for (Cloth* c : cloths) delete c;
    cloths.clear();
    for (SpringChar* c : characters) delete c;
    characters.clear();
    for (Landscape* l : landscapes) delete l;
    landscapes.clear();
    tunedBody = nullptr;
    startTransform = RigidTransform{};
}

void ParScene::shutdown()
{
    clear();
    for (Sink* s : sinks) delete s;
    sinks.clear();
    springSys.shutdown();
    emittedParticles.clear();
    parSys.release();
    modelCache.clear();
    yawModel = pitchModel = fwdModel = nullptr;
    glowTexture.release();
    sky.release();
    reset();
}

bool ParScene::init()
{
    const tv::StreamInUse stream(random);
    shutdown();

    static const char* const skyFaces[6] = {"data/sky/blueft.bmp", "data/sky/bluebk.bmp", "data/sky/bluedn.bmp",
                                            "data/sky/blueup.bmp", "data/sky/bluert.bmp", "data/sky/bluelf.bmp"};
    sky.create(skyFaces);

    if (!parSys.init()) {
        std::printf("unable to init the particle system\n");
        return false;
    }
    if (!emittedParticles.init(&parSys)) {
        std::printf("unable to init the emitted particle system\n");
        return false;
    }
    if (!springSys.init()) {
        std::printf("unable to init the spring system\n");
        return false;
    }
    if (!glowTexture.load("data/par_lum.bmp")) {
        std::printf("unable to load par_lum.bmp\n");
        return false;
    }
    if (!(yawModel = modelCache.getModel("data/yaw.obj", false))) return false;
    if (!(pitchModel = modelCache.getModel("data/pitch_chop2.obj", false))) return false;
    if (!(fwdModel = modelCache.getModel("data/fwd.obj", false))) return false;
    if (!load(sceneFile.c_str())) return false;

    if (startCamera) placeAtStart(*startCamera);
    return true;
}

void ParScene::placeAtStart(Camera& camera)
{
    camera.init(this, false, 0.25f, 0.25f, 1, 0.25f, 20000, startEye(), kIdentityQuat);
}

Vec3 ParScene::startEye() const
{
    const Vec3 X = rotatedX(startTransform.rot);
    return startTransform.trans - X * 100 + Vec3(0, 0, 30);
}

// ---------------------------------------------------------------------------------------
// Per-frame update

void ParScene::update()
{
    const tv::StreamInUse stream(random);
    const int t = elapsedMs();
    frameTime = static_cast<float>(t - previousMs) / 1000.0f;
    previousMs = t;
    // The simulation never follows the wall clock.
    const float dt = timeStep;

    emit(dt);
    ageGlow(dt);
    ageEmitters(dt);
    step(dt);

    if (t / 1000 != lastSecond) {
        lastSecond = t / 1000;
        std::printf("updates/sec: %d\n", updateCount);
        lastStatus = {updateCount, parSys.liveCount(), emittedParticles.liveCount(), springSys.count(),
                      static_cast<int>(emitters.size()), static_cast<int>(sinks.size())};
        updateCount = 0;
        std::printf("par: %d/%d ", parSys.liveCount(), parSys.createdCount());
        std::printf("emit: %d/%d ", emittedParticles.liveCount(), emittedParticles.createdCount());
        std::printf("spring: %d ", springSys.count());
        std::printf("emitter: %d ", static_cast<int>(emitters.size()));
        std::printf("sink: %d ", static_cast<int>(sinks.size()));
        std::printf("\n");
    }
    ++updateCount;
}

void ParScene::trackMouse()
{
    if (!landscapes.empty()) landscapes[0]->trackMouse(mouseRay, display);
}

void ParScene::singleStep()
{
    const float held = timeStep;
    timeStep = kPlayStep;
    update();
    timeStep = held;
}

// ---------------------------------------------------------------------------------------
// Mouse-side operations

Particle* ParScene::nearestParticle(const Ray& ray) const
{
    const float dirLength = length(ray.direction);
    Particle* best = nullptr;
    float bestDistance = kInfinity;
    for (Particle* p = parSys.first(); p; p = p->next) {
        // Distance to the infinite line, so particles behind the eye count too.
        const float d = length(cross(p->pos - ray.origin, ray.direction)) / dirLength;
        if (d < bestDistance) {
            bestDistance = d;
            best = p;
        }
    }
    return best;
}

namespace {
template <class Body>
bool owns(const std::vector<Body*>& bodies, const SpringObj* body)
{
    return std::find(bodies.begin(), bodies.end(), body) != bodies.end();
}

template <class Body>
SpringObj* bodyWith(const std::vector<Body*>& bodies, const Particle* p)
{
    for (Body* b : bodies)
        if (b && std::find(b->vertex.begin(), b->vertex.end(), p) != b->vertex.end()) return b;
    return nullptr;
}
}  // namespace

void ParScene::grabParticle(Particle* p)
{
    // A release keeps the body chosen; a grab chooses the new particle's, or none.
    if (p) {
        tunedBody = bodyWith(springModels, p);
        if (!tunedBody) tunedBody = bodyWith(springSpaces, p);
        if (!tunedBody) tunedBody = bodyWith(cloths, p);
        if (!tunedBody) tunedBody = bodyWith(characters, p);
    }
    heldParticle = p;
    holdDistance = p ? dot(p->pos - mouseRay.origin, mouseRay.direction) / length(mouseRay.direction) : 0;
    if (p) pullTarget = dragTarget();
}

SpringModel* ParScene::tunedSpringModel() const
{
    for (SpringModel* m : springModels)
        if (m && m == tunedBody) return m;
    return nullptr;
}

std::string ParScene::tunedBodyName() const
{
    if (const SpringModel* m = tunedSpringModel()) return std::string("spring model ") + (m->model ? m->model->path : "");
    if (owns(springSpaces, tunedBody)) return "spring space";
    if (owns(cloths, tunedBody)) return "cloth";
    if (owns(characters, tunedBody)) return "character";
    return "";
}

void ParScene::setBodyKs(float ks)
{
    if (tunedBody) tunedBody->setKs(ks);
}

void ParScene::setBodyKd(float kd)
{
    if (tunedBody) tunedBody->setKd(kd);
}

void ParScene::setBodyPressure(float p)
{
    // An open mesh has no inside to hold a gas.
    SpringModel* m = tunedSpringModel();
    if (m && m->closed()) m->retunePressure(p);
}

BBox ParScene::worldBox() const
{
    BBox box = BBox::empty();
    for (const ObjInst* o : objects)
        if (o && o->model) box.extend(o->box.min, o->box.max);
    for (const SpringModel* m : springModels)
        for (const Particle* p : m->vertex) box.extend(p->pos);
    for (const SpringSpace* sp : springSpaces)
        for (const Particle* p : sp->vertex) box.extend(p->pos);
    for (const Cloth* c : cloths)
        for (const Particle* p : c->vertex) box.extend(p->pos);
    for (const SpringChar* c : characters)
        for (const Particle* p : c->vertex) box.extend(p->pos);
    for (const Emitter* e : emitters)
        if (e->particle) box.extend(e->particle->pos);
    if (landscapes.empty() || !landscapes[0]) return box;

    // The landscape's near part: its surface sampled on a grid over the footprint of the
    // rest, by vertical traces through its whole height range.
    const Landscape& l = *landscapes[0];
    BBox foot = box;
    if (!(box.min.x <= box.max.x)) {
        const Vec3 reach(std::fabs(l.scale.x) / 8, std::fabs(l.scale.y) / 8, 0);
        foot.set(l.position - reach, l.position + reach);
    }
    const float high = l.position.z + std::fabs(l.scale.z) + 1, low = l.position.z - std::fabs(l.scale.z) - 1;
    constexpr int kSamples = 5;
    for (int j = 0; j < kSamples; ++j)
        for (int i = 0; i < kSamples; ++i) {
            const float u = static_cast<float>(i) / (kSamples - 1), v = static_cast<float>(j) / (kSamples - 1);
            const float x = foot.min.x + u * (foot.max.x - foot.min.x), y = foot.min.y + v * (foot.max.y - foot.min.y);
            TraceHit hit = TraceHit::towards({x, y, low});
            if (l.intersect({x, y, high}, 0, hit) || hit.t < 1) box.extend(hit.target);
        }
    return box;
}

Vec3 ParScene::dragTarget() const
{
    return mouseRay.origin + mouseRay.direction * (holdDistance / length(mouseRay.direction));
}

void ParScene::editTerrain(bool load)
{
    const tv::StreamInUse stream(random);
    for (Landscape* l : landscapes) l->pageTileAtRay(mouseRay, load);
}

int ParScene::placeSource(const Ray& ray)
{
    const tv::StreamInUse stream(random);
    const TraceHit hit = trace(ray.origin, ray.origin + ray.direction * 1000, 1);
    if (hit.t == 1) return -1;
    Particle* p = parSys.allocParticle();
    if (!p) return -1;
    Emitter* e = new Emitter;
    e->particle = p;
    p->pos = hit.target;
    p->vel = Vec3(0, 0, 0);
    p->invMass = 0.1f;
    e->life = e->remainingLife = 15;
    e->childVel = Vec3(0, 0, 60);
    e->childSpread = 20;
    e->rate = 120;
    e->accumulator = 0;
    e->childLife = 10;
    e->childRadius = 1.5f;
    e->setColors(1, 0, 0, 1, 1, 0.8f, 0.4f, 1);
    emitters.push_back(e);
    return static_cast<int>(emitters.size());
}

void ParScene::placeSink(const Ray& ray)
{
    // A level ray never meets the ground plane; a sink at infinity would poison every
    // particle with non-finite forces.
    if (ray.direction.z == 0) {
        std::printf("unable to place a sink: the ray never meets the ground\n");
        return;
    }
    Sink* s = new Sink;
    s->pos = ray.origin - ray.direction * (ray.origin.z / ray.direction.z);
    s->strength = 2000;
    sinks.push_back(s);
}

Emitter* ParScene::makeFountain(Particle* p)
{
    Emitter* e = new Emitter;
    e->particle = p;
    e->setColors(1, 0, 0, 1, 1, 0.8f, 0.4f, 1);
    e->childVel = Vec3(0, 0, 0);
    e->childSpread = 20;
    e->childLife = 1.0f;
    e->childRadius = 1.5f;
    e->life = e->remainingLife = 5.0f;
    e->rate = 120.0f;
    e->accumulator = 0;
    return e;
}
