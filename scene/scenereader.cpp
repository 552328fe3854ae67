// The scene file's grammar: the command words, and for each block its keys in the order
// they are tried, with the values each one takes.
#include "scene/scenereader.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>

namespace {
enum class Args { Floats, Integer, Word, None };

// Why a finite value is still not taken (the words after "found "), or null when it is.
using Refusal = const char* (*)(float);

// The step (parscene_physics.cpp) gives an emitter's particle a weight of 180 / massinv
// and an air drag of 0.04 times its velocity per unit mass. Below 180 / FLT_MAX (5.3e-37,
// every denormal among them) the weight is no number; from the least taken it is at most
// half the float range. 0 pins the particle and weighs nothing.
constexpr float kLeastMassInv = 1e-36f;
// Each 1/60 s step multiplies the particle's velocity by 1 - 0.04·massinv/60 for the
// drag. Past 2 / (0.04 / 60) = 3000 that factor exceeds 1 in size, so under EULER the
// emitter's speed grows every step until it and the sparks born on it are no numbers.
constexpr float kMostMassInv = 3000;

const char* massInvRefusal(float m)
{
    if (std::fabs(m) > kMostMassInv) return "a massinv above 3000, too light a particle for the 1/60 s step";
    if (m != 0 && std::fabs(m) < kLeastMassInv) return "a massinv below 1e-36 but not 0, too heavy a particle to weigh";
    return nullptr;
}

// The tile pictures are shaded by the normal of the steps between neighbouring samples.
// With heights within (-1.5, 2.5) (octaves summing to less than 2, plus 0.5) its parts
// reach |sx·sy| / 4096 and |sx·sz|, |sy·sz| / 8, which pass FLT_MAX once the scales near
// sqrt(8 · FLT_MAX) = 5.2e19; the normal then is no number and its colour converts to
// bytes out of range. The bound keeps a factor of 50 below that.
constexpr float kMostLandscapeScale = 1e18f;

const char* landscapeScaleRefusal(float s)
{
    // Positions over the ground are divided by its scale.
    if (s == 0) return "a landscape scale of 0, which gives the ground no size";
    if (std::fabs(s) > kMostLandscapeScale) return "a landscape scale above 1e18, too large for the ground's pictures";
    return nullptr;
}

// Near its centre a sink pulls like a spring of stiffness `strength` on a particle of
// unit mass. Past k·h² = 1 the 1/60 s step carries such a particle further past the
// centre than it started, so every pass through flings it further out.
constexpr float kMostSinkStrength = 3600;

const char* sinkStrengthRefusal(float s)
{
    if (std::fabs(s) > kMostSinkStrength) return "a sink strength above 3600, too strong for the 1/60 s step";
    return nullptr;
}

// A sheet of no size folds every spring to nothing.
const char* clothSizeRefusal(float s)
{
    if (!(s > 0)) return "a cloth size of 0 or below";
    return nullptr;
}

// A key is its word and one blank at the start of the line; "restretch" is its nine
// letters alone, and `whole` keys are the whole line.
struct KeySyntax {
    const char* prefix;
    SceneKey key;
    Args args;
    const char* format;
    const char* echo = nullptr;  // printed when the key is read, before anything else
    bool whole = false;
    Refusal refusal = nullptr;
};

constexpr KeySyntax kStartKeys[] = {
    {"translate ", SceneKey::Translate, Args::Floats, "translate %f %f %f", "translate\n"},
    {"rotate ", SceneKey::Rotate, Args::Floats, "rotate %f %f %f %f", "rotate\n"},
};

constexpr KeySyntax kEmitterKeys[] = {
    {"translate ", SceneKey::Translate, Args::Floats, "translate %f %f %f", "translate\n"},
    {"rotate ", SceneKey::Rotate, Args::Floats, "rotate %f %f %f %f", "rotate\n"},
    {"massinv ", SceneKey::MassInv, Args::Floats, "massinv %f", nullptr, false, massInvRefusal},
    {"life ", SceneKey::Life, Args::Floats, "life %f"},
    {"rate ", SceneKey::Rate, Args::Floats, "rate %f"},
    {"childvel ", SceneKey::ChildVel, Args::Floats, "childvel %f %f %f %f"},
    {"childlife ", SceneKey::ChildLife, Args::Floats, "childlife %f"},
    {"childradius ", SceneKey::ChildRadius, Args::Floats, "childradius %f"},
    {"color ", SceneKey::Color, Args::Floats, "color %f %f %f %f"},
    {"colormax ", SceneKey::ColorMax, Args::Floats, "colormax %f %f %f %f"},
};

constexpr KeySyntax kObjectKeys[] = {
    {"translate ", SceneKey::Translate, Args::Floats, "translate %f %f %f"},
    {"rotate ", SceneKey::Rotate, Args::Floats, "rotate %f %f %f %f"},
    {"scale ", SceneKey::Scale, Args::Floats, "scale %f %f %f"},
    {"texture ", SceneKey::Texture, Args::Word, "texture %1023s"},
    {"restitution ", SceneKey::Restitution, Args::Floats, "restitution %f"},
    {"friction ", SceneKey::Friction, Args::Floats, "friction %f"},
};

// The two spring bodies share their keys but the last, which only spring models take; no
// line starts with two of them, so the order the two blocks tried them in does not matter.
constexpr KeySyntax kSpringKeys[] = {
    {"translate ", SceneKey::Translate, Args::Floats, "translate %f %f %f"},
    {"rotate ", SceneKey::Rotate, Args::Floats, "rotate %f %f %f %f"},
    {"scale ", SceneKey::Scale, Args::Floats, "scale %f %f %f"},
    {"model ", SceneKey::Model, Args::Word, "model %1023s"},
    {"texture ", SceneKey::Texture, Args::Word, "texture %1023s"},
    {"ks ", SceneKey::Ks, Args::Floats, "ks %f"},
    {"kd ", SceneKey::Kd, Args::Floats, "kd %f"},
    {"restretch", SceneKey::Restretch, Args::None, nullptr},
    {"pin ", SceneKey::Pin, Args::Floats, "pin %f %f %f %f"},
    {"pressure ", SceneKey::Pressure, Args::Floats, "pressure %f"},
};

// A sheet is made by its grid line; the keys after it act on the sheet as it then is.
constexpr KeySyntax kClothKeys[] = {
    {"grid ", SceneKey::Grid, Args::Integer, "grid %d"},
    {"size ", SceneKey::Size, Args::Floats, "size %f", nullptr, false, clothSizeRefusal},
    {"translate ", SceneKey::Translate, Args::Floats, "translate %f %f %f"},
    {"rotate ", SceneKey::Rotate, Args::Floats, "rotate %f %f %f %f"},
    {"texture ", SceneKey::Texture, Args::Word, "texture %1023s"},
    {"ks ", SceneKey::Ks, Args::Floats, "ks %f"},
    {"kd ", SceneKey::Kd, Args::Floats, "kd %f"},
    {"pin ", SceneKey::Pin, Args::Floats, "pin %f %f %f %f"},
    {"pinned ", SceneKey::Pinned, Args::Word, "pinned %1023s"},
};

constexpr KeySyntax kCharacterKeys[] = {
    {"translate ", SceneKey::Translate, Args::Floats, "translate %f %f %f"},
    {"rotate ", SceneKey::Rotate, Args::Floats, "rotate %f %f %f %f"},
    {"scale ", SceneKey::Scale, Args::Floats, "scale %f %f %f"},
    {"restretch", SceneKey::Restretch, Args::None, nullptr},
    {"ks ", SceneKey::Ks, Args::Floats, "ks %f"},
    {"kd ", SceneKey::Kd, Args::Floats, "kd %f"},
};

constexpr KeySyntax kSinkKeys[] = {
    {"translate ", SceneKey::Translate, Args::Floats, "translate %f %f %f"},
    {"strength ", SceneKey::Strength, Args::Floats, "strength %f", nullptr, false, sinkStrengthRefusal},
};

constexpr KeySyntax kLandscapeKeys[] = {
    {"detail ", SceneKey::Detail, Args::Integer, "detail %d"},
    {"smoothness ", SceneKey::Smoothness, Args::Integer, "smoothness %d"},
    {"seed ", SceneKey::Seed, Args::Integer, "seed %d"},
    {"texture ", SceneKey::Texture, Args::Word, "texture %1023s"},
    {"texdetail ", SceneKey::TexDetail, Args::Floats, "texdetail %f"},
    {"scale ", SceneKey::Scale, Args::Floats, "scale %f %f %f", nullptr, false, landscapeScaleRefusal},
    {"translate ", SceneKey::Translate, Args::Floats, "translate %f %f %f"},
    {"friction ", SceneKey::Friction, Args::Floats, "friction %f"},
    {"restitution ", SceneKey::Restitution, Args::Floats, "restitution %f"},
    {"create", SceneKey::Create, Args::None, nullptr, nullptr, true},
};

struct KeyTable {
    const KeySyntax* begin;
    const KeySyntax* end;
};

KeyTable keysOf(SceneBlock block)
{
    switch (block) {
    case SceneBlock::Start:
        return {std::begin(kStartKeys), std::end(kStartKeys)};
    case SceneBlock::Emitter:
        return {std::begin(kEmitterKeys), std::end(kEmitterKeys)};
    case SceneBlock::Object:
        return {std::begin(kObjectKeys), std::end(kObjectKeys)};
    case SceneBlock::SpringModel:
        return {std::begin(kSpringKeys), std::end(kSpringKeys)};
    case SceneBlock::SpringSpace:
        return {std::begin(kSpringKeys), std::end(kSpringKeys) - 1};
    case SceneBlock::Landscape:
        return {std::begin(kLandscapeKeys), std::end(kLandscapeKeys)};
    case SceneBlock::Cloth:
        return {std::begin(kClothKeys), std::end(kClothKeys)};
    case SceneBlock::Character:
        return {std::begin(kCharacterKeys), std::end(kCharacterKeys)};
    case SceneBlock::Sink:
        return {std::begin(kSinkKeys), std::end(kSinkKeys)};
    case SceneBlock::None:
        break;
    }
    return {nullptr, nullptr};
}

bool matches(const KeySyntax& k, const char* line)
{
    return k.whole ? std::strcmp(line, k.prefix) == 0 : std::strncmp(line, k.prefix, std::strlen(k.prefix)) == 0;
}

// A command line is exactly one of the command words.
bool commandBlock(const char* line, SceneBlock& block)
{
    static constexpr struct {
        const char* word;
        SceneBlock block;
    } kCommands[] = {
        {"start", SceneBlock::Start},
        {"emitter", SceneBlock::Emitter},
        {"object", SceneBlock::Object},
        {"springmodel", SceneBlock::SpringModel},
        {"springspace", SceneBlock::SpringSpace},
        {"landscape", SceneBlock::Landscape},
        {"cloth", SceneBlock::Cloth},
        {"character", SceneBlock::Character},
        {"sink", SceneBlock::Sink},
    };
    for (const auto& c : kCommands) {
        if (std::strcmp(line, c.word) == 0) {
            block = c.block;
            return true;
        }
    }
    return false;
}

// Up to four "%f" values. A value that is not finite (nan, inf, 1e309), or one the key
// refuses, is taken as one that does not convert: it and the values after it stay 0, and
// the line is named.
void readFloats(const char* line, const char* format, Refusal refusal, SceneRecord& r)
{
    float v[4] = {0, 0, 0, 0};
    int n = std::max(std::sscanf(line, format, &v[0], &v[1], &v[2], &v[3]), 0);
    for (int i = 0; i < n; ++i) {
        const char* why = !std::isfinite(v[i]) ? "a number that is not finite" : refusal ? refusal(v[i]) : nullptr;
        if (why) {
            r.messages += "found ";
            r.messages += why;
            r.messages += ": ";
            r.messages += line;
            r.messages += '\n';
            n = i;
            break;
        }
    }
    for (int i = 0; i < n; ++i) r.value[i] = v[i];
    r.count = n;
}

void readValues(const KeySyntax& k, const char* line, SceneRecord& r)
{
    switch (k.args) {
    case Args::Floats:
        readFloats(line, k.format, k.refusal, r);
        break;
    case Args::Integer:
        r.count = std::sscanf(line, k.format, &r.integer) == 1 ? 1 : 0;
        break;
    case Args::Word: {
        // One word of a whole read line: the buffer holds it.
        char word[1024] = {};
        r.hasWord = std::sscanf(line, k.format, word) == 1;
        r.word = r.hasWord ? word : "";
        break;
    }
    case Args::None:
        break;
    }
}
}  // namespace

SceneRecord SceneReader::read(const char* line)
{
    SceneRecord r;
    r.block = current;
    const KeyTable keys = keysOf(current);
    for (const KeySyntax* k = keys.begin; k != keys.end; ++k) {
        if (!matches(*k, line)) continue;
        r.kind = SceneRecord::Kind::Key;
        r.key = k->key;
        if (k->echo) r.messages = k->echo;
        readValues(*k, line, r);
        // "create" builds the landscape and ends its block.
        if (k->key == SceneKey::Create) current = SceneBlock::None;
        return r;
    }
    if (commandBlock(line, r.block)) {
        r.kind = SceneRecord::Kind::Command;
        current = r.block;
        return r;
    }
    r.messages = std::string("found an unknown command: ") + line + "\n";
    if (current == SceneBlock::Object) {
        // The line failed as a command; in an object block it names the model.
        r.kind = SceneRecord::Kind::ModelName;
        r.word = line;
        r.hasWord = true;
    }
    return r;
}
