// The scene-file reader: line-oriented blocks (start, emitter, object, springmodel,
// springspace, landscape) whose key lines fill the object the command created.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>

#include "app/debug.h"
#include "app/readfile.h"
#include "scene/parscene.h"

namespace {
enum class Block { None, Start, Emitter, Object, SpringModel, SpringSpace, Landscape };

// A key is its word and one blank at the start of the line.
bool isKey(const char* line, const char* keyWithBlank)
{
    return std::strncmp(line, keyWithBlank, std::strlen(keyWithBlank)) == 0;
}

RigidTransform translation(const Vec3& v) { return {kIdentityQuat, v}; }

// "rotate angle x y z": degrees about the axis as written (not normalised).
RigidTransform rotation(const Quat& angleAxis) { return {fromAxisAngle(angleAxis), {0, 0, 0}}; }

// Up to four "%f" values of `format` into the targets; returns how many were taken. A
// value that is not finite (nan, inf, 1e309) is taken as one that does not convert: it
// and the values after it keep what they had, and the line is named on the console.
int readFloats(const char* line, const char* format, std::initializer_list<float*> targets)
{
    float value[4] = {0, 0, 0, 0};
    int n = std::sscanf(line, format, &value[0], &value[1], &value[2], &value[3]);
    n = std::min(n, static_cast<int>(targets.size()));
    for (int i = 0; i < n; ++i) {
        if (!std::isfinite(value[i])) {
            std::printf("found a number that is not finite: %s\n", line);
            n = i;
            break;
        }
    }
    for (int i = 0; i < n; ++i) *targets.begin()[i] = value[i];
    return n;
}

bool readVec(const char* line, const char* format, Vec3& v) { return readFloats(line, format, {&v.x, &v.y, &v.z}) > 0; }

// Angle first, then the axis; unconverted values stay 0.
Quat readAngleAxis(const char* line)
{
    float angle = 0, x = 0, y = 0, z = 0;
    readFloats(line, "rotate %f %f %f %f", {&angle, &x, &y, &z});
    return Quat(x, y, z, angle);
}

void readFloat(const char* line, const char* format, float& value) { readFloats(line, format, {&value}); }

// One word after the key; the buffer holds a whole read line, so it cannot overflow.
bool readWord(const char* line, const char* format, char (&word)[1024])
{
    word[0] = 0;
    return std::sscanf(line, format, word) == 1;
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

struct SceneReader {
    explicit SceneReader(ParScene& s) : scene(s) {}

    ParScene& scene;
    Block block = Block::None;
    Emitter* emitter = nullptr;
    ObjInst* objInst = nullptr;
    SpringModel* springModel = nullptr;
    SpringSpace* springSpace = nullptr;
    RigidTransform blockTransform;
    LandscapeSettings land;

    void closeBlock()
    {
        block = Block::None;
        emitter = nullptr;
        objInst = nullptr;
        springModel = nullptr;
        springSpace = nullptr;
        blockTransform = RigidTransform{};
    }

    // A command line is exactly one of the command words; anything else is reported.
    bool command(const char* line)
    {
        Block next;
        if (std::strcmp(line, "start") == 0)
            next = Block::Start;
        else if (std::strcmp(line, "emitter") == 0)
            next = Block::Emitter;
        else if (std::strcmp(line, "object") == 0)
            next = Block::Object;
        else if (std::strcmp(line, "springmodel") == 0)
            next = Block::SpringModel;
        else if (std::strcmp(line, "springspace") == 0)
            next = Block::SpringSpace;
        else if (std::strcmp(line, "landscape") == 0)
            next = Block::Landscape;
        else {
            std::printf("found an unknown command: %s\n", line);
            return false;
        }
        closeBlock();
        block = next;
        switch (next) {
        case Block::Start:
            scene.startTransform = RigidTransform{};
            break;
        case Block::Emitter:
            emitter = new Emitter;
            TV_ASSERT(emitter);
            emitter->particle = scene.parSys.allocParticle();
            if (!emitter->particle) {
                std::printf("FAILED TO CREATE THE EMITTER PARTICLE!\n");
                delete emitter;
                emitter = nullptr;
                break;
            }
            emitter->particle->pos = Vec3(0, 0, 0);
            emitter->particle->vel = Vec3(0, 0, 0);
            emitter->particle->invMass = 1;
            scene.emitters.push_back(emitter);
            break;
        case Block::Object:
            objInst = new ObjInst;
            TV_ASSERT(objInst);
            scene.objects.push_back(objInst);
            break;
        case Block::SpringModel:
            springModel = new SpringModel;
            if (!springModel->init(&scene.parSys, &scene.springSys)) {
                delete springModel;
                springModel = nullptr;
                std::printf("failed to create a spring model\n");
                break;
            }
            scene.springModels.push_back(springModel);
            break;
        case Block::SpringSpace:
            springSpace = new SpringSpace;
            if (!springSpace->init(&scene.parSys, &scene.springSys)) {
                delete springSpace;
                springSpace = nullptr;
                std::printf("failed to create a spring space\n");
                break;
            }
            scene.springSpaces.push_back(springSpace);
            break;
        default:
            break;
        }
        return true;
    }

    void startLine(const char* line)
    {
        Vec3 v;
        if (isKey(line, "translate ")) {
            std::printf("translate\n");
            readVec(line, "translate %f %f %f", v);
            scene.startTransform = scene.startTransform.compose(translation(v));
        } else if (isKey(line, "rotate ")) {
            std::printf("rotate\n");
            scene.startTransform = scene.startTransform.compose(rotation(readAngleAxis(line)));
        } else {
            command(line);
        }
    }

    void emitterLine(const char* line)
    {
        if (!emitter || !emitter->particle) {
            // Nothing after a failed emitter is read, command lines included.
            std::printf("we have a bad emitter!\n");
            return;
        }
        Emitter& e = *emitter;
        Particle& p = *e.particle;
        float v;
        if (isKey(line, "translate ")) {
            std::printf("translate\n");
            Vec3 t;
            readVec(line, "translate %f %f %f", t);
            blockTransform = blockTransform.compose(translation(t));
            p.pos = blockTransform.trans;
        } else if (isKey(line, "rotate ")) {
            std::printf("rotate\n");
            blockTransform = blockTransform.compose(rotation(readAngleAxis(line)));
            p.pos = blockTransform.trans;
        } else if (isKey(line, "massinv ")) {
            readFloat(line, "massinv %f", p.invMass);
        } else if (isKey(line, "life ")) {
            if (readFloats(line, "life %f", {&v}) == 1) e.life = e.remainingLife = v;
        } else if (isKey(line, "rate ")) {
            readFloat(line, "rate %f", e.rate);
        } else if (isKey(line, "childvel ")) {
            readFloats(line, "childvel %f %f %f %f", {&e.childVel.x, &e.childVel.y, &e.childVel.z, &e.childSpread});
            // Rotated by the block's rotation as it stands at this line.
            e.childVel = rotate(blockTransform.rot, e.childVel);
        } else if (isKey(line, "childlife ")) {
            readFloat(line, "childlife %f", e.childLife);
        } else if (isKey(line, "childradius ")) {
            readFloat(line, "childradius %f", e.childRadius);
        } else if (isKey(line, "color ")) {
            readFloats(line, "color %f %f %f %f", {&e.colorMin[0], &e.colorMin[1], &e.colorMin[2], &e.colorMin[3]});
        } else if (isKey(line, "colormax ")) {
            readFloats(line, "colormax %f %f %f %f", {&e.colorMax[0], &e.colorMax[1], &e.colorMax[2], &e.colorMax[3]});
        } else {
            command(line);
        }
    }

    void objectLine(const char* line)
    {
        ObjInst& o = *objInst;
        char word[1024];
        if (isKey(line, "translate ")) {
            Vec3 t;
            readVec(line, "translate %f %f %f", t);
            o.transform = o.transform.compose(translation(t));
        } else if (isKey(line, "rotate ")) {
            o.transform = o.transform.compose(rotation(readAngleAxis(line)));
        } else if (isKey(line, "scale ")) {
            readVec(line, "scale %f %f %f", o.scale);
        } else if (isKey(line, "texture ")) {
            if (readWord(line, "texture %1023s", word)) o.texture.load(word);
        } else if (isKey(line, "restitution ")) {
            readFloat(line, "restitution %f", o.restitution);
        } else if (isKey(line, "friction ")) {
            readFloat(line, "friction %f", o.friction);
        } else if (!command(line)) {
            // Not a key and not a command: the line names the model.
            const ObjFile* m = scene.modelCache.getModel(line, false);
            if (!m) std::printf("failed to load the model %s\n", line);
            o.setModel(m);
            o.model = m;
        }
    }

    // Keys shared by the two spring bodies; false when the line is none of them.
    bool springObjLine(SpringObj& s, const char* line)
    {
        if (isKey(line, "translate ")) {
            Vec3 t(0, 0, 0);
            readVec(line, "translate %f %f %f", t);
            s.translate(t);
        } else if (isKey(line, "rotate ")) {
            s.rotate(fromAxisAngle(readAngleAxis(line)));
        } else if (isKey(line, "scale ")) {
            Vec3 k(1, 1, 1);
            readVec(line, "scale %f %f %f", k);
            s.scale(k);
        } else {
            return false;
        }
        return true;
    }

    bool springTuning(SpringObj& s, const char* line)
    {
        float k = 300;
        if (isKey(line, "ks ")) {
            readFloat(line, "ks %f", k);
            s.setKs(k);
        } else if (isKey(line, "kd ")) {
            readFloat(line, "kd %f", k);
            s.setKd(k);
        } else {
            return false;
        }
        return true;
    }

    void springModelLine(const char* line)
    {
        if (!springModel) {
            std::printf("entered springmodel block without a springmodel\n");
            return;
        }
        SpringModel& s = *springModel;
        char word[1024];
        if (springObjLine(s, line)) return;
        if (isKey(line, "model ")) {
            // The last model line says what the body is, as it does for an object: a file
            // that fails to load leaves the body empty (the loader has said why), not
            // holding an earlier build that the scene file no longer describes.
            s.buildFromModel(nullptr);
            if (readWord(line, "model %1023s", word)) {
                const ObjFile* m = scene.modelCache.getModel(word, true);
                // Short of memory, a build fails only when the pool runs dry: the body is
                // left without its mesh, and the user should know why it is missing.
                if (m && !s.buildFromModel(m))
                    std::printf("couldnt alloc enough particles for the springmodel %s\n", word);
            }
        } else if (isKey(line, "texture ")) {
            if (readWord(line, "texture %1023s", word)) s.texture.load(word);
        } else if (springTuning(s, line)) {
        } else if (isKey(line, "pressure ")) {
            float p = 0;
            if (readFloats(line, "pressure %f", {&p}) == 1) s.setPressure(p);
        } else if (std::strncmp(line, "restretch", 9) == 0) {
            s.restretch();
        } else {
            command(line);
        }
    }

    void springSpaceLine(const char* line)
    {
        if (!springSpace) {
            std::printf("entered springspace block without a springspace\n");
            return;
        }
        SpringSpace& s = *springSpace;
        char word[1024];
        if (springObjLine(s, line)) return;
        if (isKey(line, "model ")) {
            // As in a spring model block, a model line whose file fails to load leaves the
            // body empty; the loader's message names the file, so none is added here.
            const ObjFile* m = readWord(line, "model %1023s", word) ? scene.modelCache.getModel(word, false) : nullptr;
            if (!s.setModel(m)) std::printf("failed to set springspace model to %s\n", word);
        } else if (isKey(line, "texture ")) {
            if (readWord(line, "texture %1023s", word)) s.texture.load(word);
        } else if (std::strncmp(line, "restretch", 9) == 0) {
            s.restretch();
        } else if (!springTuning(s, line)) {
            command(line);
        }
    }

    void landscapeLine(const char* line)
    {
        char word[1024];
        if (isKey(line, "detail ")) {
            std::sscanf(line, "detail %d", &land.detail);
        } else if (isKey(line, "smoothness ")) {
            std::sscanf(line, "smoothness %d", &land.smoothness);
        } else if (isKey(line, "seed ")) {
            std::sscanf(line, "seed %d", &land.seed);
        } else if (isKey(line, "texture ")) {
            if (readWord(line, "texture %1023s", word)) land.texture = word;
        } else if (isKey(line, "texdetail ")) {
            readFloat(line, "texdetail %f", land.texDetail);
        } else if (isKey(line, "scale ")) {
            readVec(line, "scale %f %f %f", land.scale);
        } else if (isKey(line, "translate ")) {
            readVec(line, "translate %f %f %f", land.translate);
        } else if (isKey(line, "friction ")) {
            readFloat(line, "friction %f", land.friction);
        } else if (isKey(line, "restitution ")) {
            readFloat(line, "restitution %f", land.restitution);
        } else if (std::strcmp(line, "create") == 0) {
            createLandscape();
            closeBlock();
        } else {
            command(line);
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

    void line(const char* text)
    {
        switch (block) {
        case Block::None:
            command(text);
            break;
        case Block::Start:
            startLine(text);
            break;
        case Block::Emitter:
            emitterLine(text);
            break;
        case Block::Object:
            objectLine(text);
            break;
        case Block::SpringModel:
            springModelLine(text);
            break;
        case Block::SpringSpace:
            springSpaceLine(text);
            break;
        case Block::Landscape:
            landscapeLine(text);
            break;
        }
    }
};
}  // namespace

bool ParScene::load(const char* path)
{
    clear();
    FILE* f = openRegularFile(path, "rb");
    if (!f) {
        std::printf("unable to open the file %s\n", path);
        return false;
    }
    SceneReader reader(*this);
    char buffer[1024];
    // Longer lines arrive in several reads, each handled as a line of its own.
    while (std::fgets(buffer, sizeof buffer, f)) {
        size_t n = std::strlen(buffer);
        while (n > 0 && (buffer[n - 1] == '\n' || buffer[n - 1] == '\r')) buffer[--n] = 0;
        std::printf("ParScene::load read line %s\n", buffer);
        if (n == 0 || buffer[0] == '#') continue;
        reader.line(buffer);
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
