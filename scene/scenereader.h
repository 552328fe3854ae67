#pragma once
// Reading a scene file apart from acting on it: each line becomes a record (a command,
// a key with its values, or a model name) that the scene applies at once. Reading needs
// no GL and no world, only the block the earlier lines opened.
#include <string>

enum class SceneBlock { None, Start, Emitter, Object, SpringModel, SpringSpace, Landscape, Cloth, Character, Sink };

enum class SceneKey {
    Translate,
    Rotate,
    Scale,
    Texture,
    Model,
    Restitution,
    Friction,
    MassInv,
    Life,
    Rate,
    ChildVel,
    ChildLife,
    ChildRadius,
    Color,
    ColorMax,
    Ks,
    Kd,
    Restretch,
    Pressure,
    Detail,
    Smoothness,
    Seed,
    TexDetail,
    Create,
    Pin,
    Grid,
    Size,
    Pinned,
    Strength,
};

struct SceneRecord {
    enum class Kind {
        Command,    // opens `block`
        Key,        // `key` of `block` with its values
        ModelName,  // in an object block, a line that is neither key nor command: `word` is the line
        Unknown,    // neither key nor command: only its message
    };
    Kind kind = Kind::Unknown;
    SceneBlock block = SceneBlock::None;  // the block a command opens, else the one the line was read in
    SceneKey key = SceneKey::Translate;
    // The numbers that converted, in order, and how many. A value that did not convert,
    // and every one after it, is 0 here and keeps what it had where the key is applied.
    float value[4] = {0, 0, 0, 0};
    int integer = 0;  // the "%d" keys
    int count = 0;
    std::string word;  // texture and model names (one word), or a model name line whole
    bool hasWord = false;
    // Console lines that reading the line gives, printed before the record acts.
    std::string messages;
};

// Turns lines, in file order, into records. Lines come trimmed of their line ends, and
// neither empty nor comments.
class SceneReader {
public:
    SceneRecord read(const char* line);
    SceneBlock block() const { return current; }

private:
    SceneBlock current = SceneBlock::None;
};
