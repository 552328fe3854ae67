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

// A key is its word and one blank at the start of the line; "restretch" is its nine
// letters alone, and `whole` keys are the whole line.
struct KeySyntax {
    const char* prefix;
    SceneKey key;
    Args args;
    const char* format;
    const char* echo = nullptr;  // printed when the key is read, before anything else
    bool whole = false;
};

constexpr KeySyntax kStartKeys[] = {
    {"translate ", SceneKey::Translate, Args::Floats, "translate %f %f %f", "translate\n"},
    {"rotate ", SceneKey::Rotate, Args::Floats, "rotate %f %f %f %f", "rotate\n"},
};

constexpr KeySyntax kEmitterKeys[] = {
    {"translate ", SceneKey::Translate, Args::Floats, "translate %f %f %f", "translate\n"},
    {"rotate ", SceneKey::Rotate, Args::Floats, "rotate %f %f %f %f", "rotate\n"},
    {"massinv ", SceneKey::MassInv, Args::Floats, "massinv %f"},
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
    {"pressure ", SceneKey::Pressure, Args::Floats, "pressure %f"},
};

constexpr KeySyntax kLandscapeKeys[] = {
    {"detail ", SceneKey::Detail, Args::Integer, "detail %d"},
    {"smoothness ", SceneKey::Smoothness, Args::Integer, "smoothness %d"},
    {"seed ", SceneKey::Seed, Args::Integer, "seed %d"},
    {"texture ", SceneKey::Texture, Args::Word, "texture %1023s"},
    {"texdetail ", SceneKey::TexDetail, Args::Floats, "texdetail %f"},
    {"scale ", SceneKey::Scale, Args::Floats, "scale %f %f %f"},
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
    };
    for (const auto& c : kCommands) {
        if (std::strcmp(line, c.word) == 0) {
            block = c.block;
            return true;
        }
    }
    return false;
}

// Up to four "%f" values. A value that is not finite (nan, inf, 1e309) is taken as one
// that does not convert: it and the values after it stay 0, and the line is named.
void readFloats(const char* line, const char* format, SceneRecord& r)
{
    float v[4] = {0, 0, 0, 0};
    int n = std::max(std::sscanf(line, format, &v[0], &v[1], &v[2], &v[3]), 0);
    for (int i = 0; i < n; ++i) {
        if (!std::isfinite(v[i])) {
            r.messages += "found a number that is not finite: ";
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
        readFloats(line, k.format, r);
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
