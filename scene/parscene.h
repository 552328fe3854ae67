#pragma once
// The one simulated world: owns every particle, spring, body, emitter, instance and
// landscape, steps them at a fixed time step and draws them through every camera.
#include <string>
#include <vector>

#include "view/camera.h"
#include "core/random.h"
#include "core/vecmath.h"
#include "assets/objfile.h"
#include "assets/texture.h"
#include "physics/cloth.h"
#include "physics/energy.h"
#include "physics/springchar.h"
#include "physics/springmodel.h"
#include "physics/springspace.h"
#include "physics/springsystem.h"
#include "scene/emitter.h"
#include "scene/objinst.h"
#include "scene/rigidtransform.h"
#include "scene/sky.h"
#include "core/tracehit.h"
#include "terrain/displaysettings.h"
#include "terrain/landscape.h"

// Every loaded model, owned here and never evicted before shutdown. A model loaded with
// its edge list and one loaded without are different entries.
class ModelCache {
public:
    ModelCache() = default;
    ~ModelCache() { clear(); }
    ModelCache(const ModelCache&) = delete;
    ModelCache& operator=(const ModelCache&) = delete;

    const ObjFile* getModel(const char* path, bool withEdges);
    void clear();
    int size() const { return static_cast<int>(models.size()); }

    std::vector<ObjFile*> models;
};

class ParScene : public ViewRenderer {
public:
    ParScene();
    ~ParScene() override;
    ParScene(const ParScene&) = delete;
    ParScene& operator=(const ParScene&) = delete;

    bool init();
    void shutdown();
    void reset();
    void clear();
    bool load(const char* path);
    // Emission, ageing, the step and the status line; the shell then toggles the display
    // switches and calls trackMouse, which follows the mouse-tracking switch.
    void update();
    void trackMouse();
    // One update at the play rate, leaving the time step as it was: stepping a paused world.
    void singleStep();
    void render(Viewport& viewport, Camera& camera) override;

    // Physics step (physics/step.h) with the world's own particles and the mouse's hand,
    // then the collision pass.
    StepWorld stepWorld();
    Hand hand() const;
    void computeForces();  // one force pass, as the step makes it
    void step(float dt);
    void collide();

    // Emitters and glow sprites, run by update in this order.
    void emit(float dt);
    void ageGlow(float dt);
    void ageEmitters(float dt);
    void drawGlow(const Camera& camera) const;

    void setMouseRay(const Ray& ray) { mouseRay = ray; }
    Particle* nearestParticle(const Ray& ray) const;
    void grabParticle(Particle* p);
    void editTerrain(bool load);
    int placeSource(const Ray& ray);
    void placeSink(const Ray& ray);
    void setTimeStep(float s) { timeStep = s; }
    void setUseRk4(bool b) { useRk4 = b; }
    void setGravity(float g) { gravity = g; }
    void setAirDrag(float c) { airDrag = c; }
    // Retune the chosen body (tunedBody): every one of its springs, and the gas of a closed
    // spring model. Without a chosen body they change nothing.
    void setBodyKs(float ks);
    void setBodyKd(float kd);
    void setBodyPressure(float p);
    // The chosen body when it is a spring model, else none.
    SpringModel* tunedSpringModel() const;
    // What the chosen body is, for the panel: "spring model data/blob.obj", "cloth", ...;
    // empty for none.
    std::string tunedBodyName() const;
    WorldEnergy energy() const { return worldEnergy(parSys, springSys, gravity); }
    TraceHit trace(const Vec3& start, const Vec3& end, float radius) const;
    // The point at holdDistance along the mouse ray.
    Vec3 dragTarget() const;

    // Everything in the world: instances, bodies, emitters and the ground under them (or,
    // for bare ground, round its middle). Empty when there is nothing.
    BBox worldBox() const;

    // The emitter the 'z' key starts on the held particle; none when it cannot be made.
    Emitter* makeFountain(Particle* p);

    std::vector<Emitter*> emitters;
    EmittedParticleList emittedParticles;
    std::vector<Sink*> sinks;
    std::vector<ObjInst*> objects;
    std::vector<SpringModel*> springModels;
    std::vector<SpringSpace*> springSpaces;
    std::vector<Cloth*> cloths;
    std::vector<SpringChar*> characters;
    std::vector<Landscape*> landscapes;
    ParticleSystem parSys;
    SpringSystem springSys;
    ModelCache modelCache;
    // Models the program requires at start-up but never draws.
    const ObjFile* yawModel = nullptr;
    const ObjFile* pitchModel = nullptr;
    const ObjFile* fwdModel = nullptr;
    Texture glowTexture;
    Particle* heldParticle = nullptr;
    // The body of the held particle, or of the last one held; none when that particle
    // belongs to no body. Gone with the bodies at every init.
    SpringObj* tunedBody = nullptr;
    // Set by the shell each frame from the key table: start a fountain on the held
    // particle (one for each force pass of the step).
    bool fountainRequested = false;
    float holdDistance = 0;
    // Where the held particle is pulled to: the drag target, followed at a bounded speed.
    Vec3 pullTarget;
    Ray mouseRay;
    float timeStep = 0;
    // The time step the play button runs.
    static constexpr float kPlayStep = 1.0f / 60.0f;
    Sky sky;
    // The display switches the shell flips; kept through init, reset and shutdown.
    DisplaySettings display;
    RigidTransform startTransform;
    // Where the scene's start puts the main camera: 100 units behind the start point along
    // its turned +x, 30 above it.
    Vec3 startEye() const;
    // Puts a camera at the start, level, as every init does the start camera.
    void placeAtStart(Camera& camera);
    // The camera every init puts at the start (the main view's); none for a world without
    // a window.
    Camera* startCamera = nullptr;
    bool useRk4 = true;
    // Kept through init, reset and shutdown, like the display switches: a tuned world stays
    // tuned across RESET and a change of world.
    float gravity = kDefaultGravity;
    float airDrag = kDefaultAirDrag;
    // Whether step() times its parts into lastStep, for the settings panel's plot; the
    // clock changes nothing the step computes.
    bool timeSteps = false;
    struct StepSplit {
        double forces = 0, integration = 0, collision = 0;  // seconds of the steady clock
    };
    StepSplit lastStep;
    // The world's own random numbers, in use while it loads, updates or builds: two
    // worlds never draw from each other's stream.
    tv::RandomStream random;
    // The world file init reads, at start-up and at every reset.
    std::string sceneFile = "test.scn";

    // Status-line bookkeeping of update.
    int lastSecond = -1;
    int updateCount = 0;
    // The figures the last status line printed, for displays that refresh with it.
    struct StatusFigures {
        int updatesPerSecond = 0, particles = 0, glow = 0, springs = 0, emitters = 0, sinks = 0;
    };
    StatusFigures lastStatus;
    int previousMs = 0;
    float frameTime = 0;  // measured, deliberately unused by the simulation

    // Milliseconds since start; the program's elapsed-time source, replaceable by tests.
    // The other process-wide value left: there is one wall clock whatever the worlds, and
    // the window library's clock is installed once for all of them.
    static int (*elapsedMs)();
};
