#pragma once
// The input log: everything that reached a world from its start, update by update, with
// what the world was built from, so that a replay passes through exactly the recorded
// states. Text, one input a line, floats as their bits, so that a log reads back to the
// last bit and can be looked at.
#include <cstdint>
#include <string>
#include <vector>

#include "scene/worldinput.h"

struct LoggedInput {
    uint32_t update = 0;  // how many moving updates the world had made when it arrived
    WorldInput input;
};

struct InputLog {
    std::string sceneName;  // as the world opens it
    std::string sceneText;
    uint32_t randomState = 1;  // the world's random stream before it loaded
    // Each file the world read besides its scene, with a hash of its bytes.
    struct DataFile {
        std::string name;
        uint64_t hash = 0;
    };
    std::vector<DataFile> dataFiles;
    uint32_t updates = 0;
    uint64_t worldHash = 0;  // after the last update and the inputs that followed it
    std::vector<LoggedInput> inputs;
};

constexpr int kInputLogVersion = 1;
// The most a log may hold of a scene's text or of inputs: far beyond a real one, small
// enough that a damaged count cannot ask for the machine's memory.
constexpr std::size_t kMaxLoggedSceneBytes = 16u << 20;
constexpr std::size_t kMaxLoggedInputs = 50'000'000;

std::string writeInputLog(const InputLog& log);
// False with one phrase in `error` ("damaged at line N: …", "truncated", "of version N")
// for anything but a whole log of this version with finite numbers in order.
bool readInputLog(const std::string& bytes, InputLog& log, std::string& error);

// FNV-1a, 64 bits: the data files' fingerprint.
uint64_t hashBytes(const std::string& bytes);
// The words the log names the kinds by.
const char* inputKindName(WorldInput::Kind kind);
