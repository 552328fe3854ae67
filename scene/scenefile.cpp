// Building the world from a scene file: each line, as SceneReader reads it, acts at once
// on what the earlier lines made, so keys act in file order.
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>

#include "core/debug.h"
#include "core/problems.h"
#include "core/readfile.h"
#include "scene/parscene.h"
#include "scene/scenereader.h"

namespace {
// A spring space knocked hard enough is stretched taut, and then it too has sideways
// swings that no dashpot along its springs damps: under the Euler step a tower struck by
// a swinging body grew them until it flew apart. Each corner's seven springs share this,
// little beside their damping along the springs, so the space still wobbles freely.
constexpr float kSpaceViscosity = 12;

// A hanging sheet is taut, and a taut sheet's sideways ripples have no dashpot along its
// springs to die in: under the explicit step they grow. Cloth and figures made by a scene
// are viscous, with half of what a particle can take in a 1/60 s step (60 per second).
constexpr float kSheetViscosity = 30;

RigidTransform translation(const Vec3& v) { return {kIdentityQuat, v}; }

// The reader's problems ("found an unknown command", "found a number that is not
// finite", a refused value) are already on the console; the window shows them too.
void noteFoundLines(const std::string& messages)
{
    for (size_t at = 0; at < messages.size();) {
        size_t end = messages.find('\n', at);
        if (end == std::string::npos) end = messages.size();
        if (messages.compare(at, 6, "found ") == 0) tv::noteProblem(messages.substr(at, end - at));
        at = end + 1;
    }
}

// "rotate angle x y z": degrees about the axis as written (not normalised); unconverted
// values are 0.
Quat angleAxis(const SceneRecord& r) { return Quat(r.value[1], r.value[2], r.value[3], r.value[0]); }
RigidTransform rotation(const SceneRecord& r) { return {fromAxisAngle(angleAxis(r)), {0, 0, 0}}; }

// The values that converted replace the targets' own; the others keep theirs.
void assign(const SceneRecord& r, std::initializer_list<float*> targets)
{
    for (int i = 0; i < r.count && i < static_cast<int>(targets.size()); ++i) *targets.begin()[i] = r.value[i];
}
void assign(const SceneRecord& r, Vec3& v) { assign(r, {&v.x, &v.y, &v.z}); }
void assign(const SceneRecord& r, int& value)
{
    if (r.count > 0) value = r.integer;
}

// The file-wide landscape settings: every landscape block changes them for itself and
// for the later ones.
struct LandscapeSettings {
    int detail = 64;
    int smoothness = 1;
    int seed = 3327240;
    std::string texture = "data/landscape.bmp";
    float texDetail = 10.0f;
    Vec3 scale{1024, 1024, 512};
    Vec3 translate{0, 0, 0};
    float friction = 0.75f;
    float restitution = 0.5f;
};

struct SceneBuilder {
    explicit SceneBuilder(ParScene& s) : scene(s) {}

    ParScene& scene;
    Emitter* emitter = nullptr;
    ObjInst* objInst = nullptr;
    SpringModel* springModel = nullptr;
    SpringSpace* springSpace = nullptr;
    Cloth* cloth = nullptr;
    SpringChar* character = nullptr;
    Sink* sink = nullptr;
    RigidTransform blockTransform;
    LandscapeSettings land;
    // Set when an emitter or a spring body could not be made: its block's lines, command
    // lines included, are each dropped with this message, so nothing after it is read.
    const char* lostBlock = nullptr;

    void apply(const SceneRecord& r)
    {
        if (lostBlock) {
            std::fputs(lostBlock, stdout);
            return;
        }
        std::fputs(r.messages.c_str(), stdout);
        // An object block's model line reads as an unknown command, and is no problem.
        if (r.kind != SceneRecord::Kind::ModelName) noteFoundLines(r.messages);
        switch (r.kind) {
        case SceneRecord::Kind::Command:
            open(r.block);
            break;
        case SceneRecord::Kind::Key:
            key(r);
            break;
        case SceneRecord::Kind::ModelName:
            objectModel(r.word.c_str());
            break;
        case SceneRecord::Kind::Unknown:
            break;
        }
    }

    void closeBlock()
    {
        emitter = nullptr;
        objInst = nullptr;
        springModel = nullptr;
        springSpace = nullptr;
        cloth = nullptr;
        character = nullptr;
        sink = nullptr;
        blockTransform = RigidTransform{};
    }

    void open(SceneBlock block)
    {
        closeBlock();
        switch (block) {
        case SceneBlock::Start:
            scene.startTransform = RigidTransform{};
            break;
        case SceneBlock::Emitter:
            emitter = new Emitter;
            TV_ASSERT(emitter);
            emitter->particle = scene.parSys.allocParticle();
            if (!emitter->particle) {
                std::printf("FAILED TO CREATE THE EMITTER PARTICLE!\n");
                delete emitter;
                emitter = nullptr;
                lostBlock = "we have a bad emitter!\n";
                break;
            }
            emitter->particle->pos = Vec3(0, 0, 0);
            emitter->particle->vel = Vec3(0, 0, 0);
            emitter->particle->invMass = 1;
            scene.emitters.push_back(emitter);
            break;
        case SceneBlock::Object:
            objInst = new ObjInst;
            TV_ASSERT(objInst);
            scene.objects.push_back(objInst);
            break;
        case SceneBlock::SpringModel:
            springModel = new SpringModel;
            if (!springModel->init(&scene.parSys, &scene.springSys)) {
                delete springModel;
                springModel = nullptr;
                std::printf("failed to create a spring model\n");
                lostBlock = "entered springmodel block without a springmodel\n";
                break;
            }
            scene.springModels.push_back(springModel);
            break;
        case SceneBlock::SpringSpace:
            springSpace = new SpringSpace;
            if (!springSpace->init(&scene.parSys, &scene.springSys)) {
                delete springSpace;
                springSpace = nullptr;
                std::printf("failed to create a spring space\n");
                lostBlock = "entered springspace block without a springspace\n";
                break;
            }
            scene.springSpaces.push_back(springSpace);
            break;
        case SceneBlock::Cloth:
            // Bound to the systems now; the grid line takes its particles.
            cloth = new Cloth;
            cloth->SpringObj::init(&scene.parSys, &scene.springSys);
            scene.cloths.push_back(cloth);
            break;
        case SceneBlock::Character:
            character = new SpringChar;
            if (!character->init(&scene.parSys, &scene.springSys)) {
                // Its own lines have said why; nothing of it stays in the world.
                delete character;
                character = nullptr;
                lostBlock = "entered character block without a character\n";
                break;
            }
            character->setViscosity(kSheetViscosity);
            scene.characters.push_back(character);
            break;
        case SceneBlock::Sink:
            sink = new Sink;
            scene.sinks.push_back(sink);
            break;
        case SceneBlock::Landscape:
        case SceneBlock::None:
            break;
        }
    }

    void key(const SceneRecord& r)
    {
        switch (r.block) {
        case SceneBlock::Start:
            startKey(r);
            break;
        case SceneBlock::Emitter:
            emitterKey(r);
            break;
        case SceneBlock::Object:
            objectKey(r);
            break;
        case SceneBlock::SpringModel:
            springModelKey(r);
            break;
        case SceneBlock::SpringSpace:
            springSpaceKey(r);
            break;
        case SceneBlock::Landscape:
            landscapeKey(r);
            break;
        case SceneBlock::Cloth:
            clothKey(r);
            break;
        case SceneBlock::Character:
            characterKey(r);
            break;
        case SceneBlock::Sink:
            sinkKey(r);
            break;
        case SceneBlock::None:
            break;
        }
    }

    void startKey(const SceneRecord& r)
    {
        Vec3 v;
        if (r.key == SceneKey::Translate) {
            assign(r, v);
            scene.startTransform = scene.startTransform.compose(translation(v));
        } else if (r.key == SceneKey::Rotate) {
            scene.startTransform = scene.startTransform.compose(rotation(r));
        }
    }

    void emitterKey(const SceneRecord& r)
    {
        Emitter& e = *emitter;
        Particle& p = *e.particle;
        switch (r.key) {
        case SceneKey::Translate: {
            Vec3 t;
            assign(r, t);
            blockTransform = blockTransform.compose(translation(t));
            p.pos = blockTransform.trans;
            break;
        }
        case SceneKey::Rotate:
            blockTransform = blockTransform.compose(rotation(r));
            p.pos = blockTransform.trans;
            break;
        case SceneKey::MassInv:
            assign(r, {&p.invMass});
            break;
        case SceneKey::Life:
            if (r.count == 1) e.life = e.remainingLife = r.value[0];
            break;
        case SceneKey::Rate:
            assign(r, {&e.rate});
            break;
        case SceneKey::ChildVel:
            assign(r, {&e.childVel.x, &e.childVel.y, &e.childVel.z, &e.childSpread});
            // Rotated by the block's rotation as it stands at this line.
            e.childVel = rotate(blockTransform.rot, e.childVel);
            break;
        case SceneKey::ChildLife:
            assign(r, {&e.childLife});
            break;
        case SceneKey::ChildRadius:
            assign(r, {&e.childRadius});
            break;
        case SceneKey::Color:
            assign(r, {&e.colorMin[0], &e.colorMin[1], &e.colorMin[2], &e.colorMin[3]});
            break;
        case SceneKey::ColorMax:
            assign(r, {&e.colorMax[0], &e.colorMax[1], &e.colorMax[2], &e.colorMax[3]});
            break;
        default:
            break;
        }
    }

    void objectKey(const SceneRecord& r)
    {
        ObjInst& o = *objInst;
        switch (r.key) {
        case SceneKey::Translate: {
            Vec3 t;
            assign(r, t);
            o.transform = o.transform.compose(translation(t));
            break;
        }
        case SceneKey::Rotate:
            o.transform = o.transform.compose(rotation(r));
            break;
        case SceneKey::Scale:
            assign(r, o.scale);
            break;
        case SceneKey::Texture:
            if (r.hasWord) o.texture.load(r.word.c_str());
            break;
        case SceneKey::Restitution:
            assign(r, {&o.restitution});
            break;
        case SceneKey::Friction:
            assign(r, {&o.friction});
            break;
        default:
            break;
        }
    }

    // Not a key and not a command: the line names the model.
    void objectModel(const char* name)
    {
        ObjInst& o = *objInst;
        const ObjFile* m = scene.modelCache.getModel(name, false);
        if (!m) tv::problem("failed to load the model %s\n", name);
        o.setModel(m);
        o.model = m;
    }

    // Keys shared by the two spring bodies; false when the record is none of them.
    bool springObjKey(SpringObj& s, const SceneRecord& r)
    {
        switch (r.key) {
        case SceneKey::Translate: {
            Vec3 t(0, 0, 0);
            assign(r, t);
            s.translate(t);
            break;
        }
        case SceneKey::Rotate:
            s.rotate(fromAxisAngle(angleAxis(r)));
            break;
        case SceneKey::Scale: {
            Vec3 k(1, 1, 1);
            assign(r, k);
            s.scale(k);
            break;
        }
        case SceneKey::Ks:
        case SceneKey::Kd:
            // A value that did not read leaves every spring's own.
            if (r.count == 0) break;
            if (r.key == SceneKey::Ks)
                s.setKs(r.value[0]);
            else
                s.setKd(r.value[0]);
            break;
        case SceneKey::Restretch:
            s.restretch();
            break;
        default:
            return false;
        }
        return true;
    }

    // "pin x y z r": every particle of the body within r of the point, as it stands now.
    static void pinWithin(SpringObj& s, const SceneRecord& r)
    {
        if (r.count < 4) {
            std::printf("a pin needs a centre and a reach: pin x y z r\n");
            return;
        }
        const Vec3 centre(r.value[0], r.value[1], r.value[2]);
        const float reach = r.value[3];
        int pinned = 0;
        for (Particle* p : s.vertex) {
            if (!p || !(length(p->pos - centre) <= reach)) continue;
            p->invMass = 0;
            p->vel = Vec3(0, 0, 0);
            ++pinned;
        }
        if (pinned)
            std::printf("pinned %d particle%s within %g of %g %g %g\n", pinned, pinned == 1 ? "" : "s", reach, centre.x,
                        centre.y, centre.z);
        else
            std::printf("no particle within %g of %g %g %g, none pinned\n", reach, centre.x, centre.y, centre.z);
    }

    void springModelKey(const SceneRecord& r)
    {
        SpringModel& s = *springModel;
        if (r.key == SceneKey::Pin) return pinWithin(s, r);
        if (springObjKey(s, r)) return;
        if (r.key == SceneKey::Model) {
            // The last model line says what the body is, as it does for an object: a file
            // that fails to load leaves the body empty (the loader has said why), not
            // holding an earlier build that the scene file no longer describes.
            s.buildFromModel(nullptr);
            if (r.hasWord) {
                const ObjFile* m = scene.modelCache.getModel(r.word.c_str(), true);
                // Short of memory, a build fails only when the pool runs dry: the body is
                // left without its mesh, and the user should know why it is missing.
                if (m && !s.buildFromModel(m))
                    std::printf("couldnt alloc enough particles for the springmodel %s\n", r.word.c_str());
            }
        } else if (r.key == SceneKey::Texture) {
            if (r.hasWord) s.loadTexture(r.word.c_str());
        } else if (r.key == SceneKey::Pressure) {
            if (r.count == 1) s.setPressure(r.value[0]);
        }
    }

    void springSpaceKey(const SceneRecord& r)
    {
        SpringSpace& s = *springSpace;
        if (r.key == SceneKey::Pin) return pinWithin(s, r);
        if (springObjKey(s, r)) return;
        if (r.key == SceneKey::Model) {
            // As in a spring model block, a model line whose file fails to load leaves the
            // body empty; the loader's message names the file, so none is added here.
            const ObjFile* m = r.hasWord ? scene.modelCache.getModel(r.word.c_str(), false) : nullptr;
            if (!s.setModel(m)) std::printf("failed to set springspace model to %s\n", r.word.c_str());
            s.setViscosity(kSpaceViscosity);
        } else if (r.key == SceneKey::Texture) {
            if (r.hasWord) s.loadTexture(r.word.c_str());
        }
    }

    void clothKey(const SceneRecord& r)
    {
        Cloth& c = *cloth;
        switch (r.key) {
        case SceneKey::Grid:
            if (r.count == 0) break;
            // A second grid line makes a new sheet in place of the first.
            if (!c.init(r.integer, &scene.parSys, &scene.springSys, nullptr)) {
                c.release();
                c.SpringObj::init(&scene.parSys, &scene.springSys);
                std::printf("no cloth of %d x %d was made\n", r.integer, r.integer);
                break;
            }
            c.setViscosity(kSheetViscosity);
            break;
        case SceneKey::Size:
            // The sheet is built one unit square; its size is its rest shape.
            if (r.count == 0) break;
            c.scale(Vec3(r.value[0], r.value[0], r.value[0]));
            c.restretch();
            break;
        case SceneKey::Texture:
            if (r.hasWord && !c.texture->load(r.word.c_str())) std::printf("failed to load the cloth texture %s\n", r.word.c_str());
            break;
        case SceneKey::Pin:
            pinWithin(c, r);
            break;
        case SceneKey::Pinned:
            if (r.hasWord) pinEdge(c, r.word);
            break;
        default:
            springObjKey(c, r);
            break;
        }
        c.computeBox();
    }

    // Rows run along +x from the sheet's first corner, and row n − 1 lies furthest along +y,
    // before any turn: "top" is that row.
    static void pinEdge(Cloth& c, const std::string& where)
    {
        const int n = c.n;
        if (n < 2 || static_cast<int>(c.vertex.size()) != n * n) {
            std::printf("a cloth needs its grid before pinned %s\n", where.c_str());
            return;
        }
        const struct {
            const char* word;
            bool (*pins)(int r, int c, int last);
        } kEdges[] = {
            {"border", [](int r, int k, int last) { return r == 0 || k == 0 || r == last || k == last; }},
            {"top", [](int r, int, int last) { return r == last; }},
            {"bottom", [](int r, int, int) { return r == 0; }},
            {"left", [](int, int k, int) { return k == 0; }},
            {"right", [](int, int k, int last) { return k == last; }},
            {"corners", [](int r, int k, int last) { return (r == 0 || r == last) && (k == 0 || k == last); }},
            {"topcorners", [](int r, int k, int last) { return r == last && (k == 0 || k == last); }},
        };
        for (const auto& e : kEdges) {
            if (where != e.word) continue;
            int pinned = 0;
            for (int r = 0; r < n; ++r)
                for (int k = 0; k < n; ++k)
                    if (e.pins(r, k, n - 1)) {
                        Particle* p = c.vertex[r * n + k];
                        p->invMass = 0;
                        p->vel = Vec3(0, 0, 0);
                        ++pinned;
                    }
            std::printf("pinned %d particles of the cloth's %s\n", pinned, where.c_str());
            return;
        }
        std::printf("found an unknown cloth edge: %s (border, top, bottom, left, right, corners, topcorners)\n",
                    where.c_str());
    }

    void characterKey(const SceneRecord& r) { springObjKey(*character, r); }

    void sinkKey(const SceneRecord& r)
    {
        Sink& s = *sink;
        if (r.key == SceneKey::Translate) {
            Vec3 t;
            assign(r, t);
            s.pos += t;
        } else if (r.key == SceneKey::Strength) {
            assign(r, {&s.strength});
        }
    }

    void landscapeKey(const SceneRecord& r)
    {
        switch (r.key) {
        case SceneKey::Detail:
            assign(r, land.detail);
            break;
        case SceneKey::Smoothness:
            assign(r, land.smoothness);
            break;
        case SceneKey::Seed:
            assign(r, land.seed);
            break;
        case SceneKey::Texture:
            if (r.hasWord) land.texture = r.word;
            break;
        case SceneKey::TexDetail:
            assign(r, {&land.texDetail});
            break;
        case SceneKey::Scale:
            assign(r, land.scale);
            break;
        case SceneKey::Translate:
            assign(r, land.translate);
            break;
        case SceneKey::Friction:
            assign(r, {&land.friction});
            break;
        case SceneKey::Restitution:
            assign(r, {&land.restitution});
            break;
        case SceneKey::Create:
            createLandscape();
            closeBlock();
            break;
        default:
            break;
        }
    }

    void createLandscape()
    {
        std::printf("creating landscape...\n");
        Landscape* l = new Landscape;
        if (!l->create(land.smoothness, land.seed)) {
            delete l;
            std::printf("failed to make us some landscape\n");
            return;
        }
        l->texDetailX = land.texDetail;
        l->texDetailY = land.texDetail;
        l->scale = land.scale;
        l->position = land.translate;
        l->groundTexture.load(land.texture.c_str());
        l->buildTileTextures();
        l->restitution = land.restitution;
        l->friction = land.friction;
        scene.landscapes.push_back(l);
    }
};
}  // namespace

bool ParScene::load(const char* path)
{
    const tv::StreamInUse stream(random);
    clear();
    FILE* f = openRegularFile(path, "rb");
    if (!f) {
        tv::problem("unable to open the file %s\n", readPath(path).c_str());
        return false;
    }
    SceneReader reader;
    SceneBuilder builder(*this);
    char buffer[1024];
    // Longer lines arrive in several reads, each handled as a line of its own.
    while (std::fgets(buffer, sizeof buffer, f)) {
        size_t n = std::strlen(buffer);
        while (n > 0 && (buffer[n - 1] == '\n' || buffer[n - 1] == '\r')) buffer[--n] = 0;
        std::printf("ParScene::load read line %s\n", buffer);
        if (n == 0 || buffer[0] == '#') continue;
        builder.apply(reader.read(buffer));
    }
    std::fclose(f);

    for (size_t i = 0; i < objects.size(); ++i) {
        ObjInst* o = objects[i];
        // An instance without a model has no surface: nothing to place or index.
        if (!o->model) continue;
        o->computeWorldVertices();
        o->computeBox();
        o->buildBsp(128);
        std::printf("%d bbox: %f %f %f / %f %f %f\n", static_cast<int>(i), o->box.min.x, o->box.min.y, o->box.min.z,
                    o->box.max.x, o->box.max.y, o->box.max.z);
    }
    for (Emitter* e : emitters) {
        for (int c = 0; c < 4; ++c)
            if (e->colorMax[c] < e->colorMin[c]) e->colorMax[c] = e->colorMin[c];
    }
    return true;
}
