#pragma once
// The world's timeline: every input that reaches the world passes through here, counted
// against the world's updates. It keeps the inputs since the world started (a recording
// writes them out), drives the world from a log in a replay, and keeps a snapshot every
// second of the last 30 so that the world can be turned back.
#include <cstdint>
#include <string>
#include <vector>

#include "scene/inputlog.h"
#include "scene/snapshot.h"
#include "scene/worldinput.h"

class ParScene;

class Timeline {
public:
    static constexpr uint32_t kSnapshotEvery = 60;  // updates: one second of play
    static constexpr std::size_t kSnapshotsKept = 31;  // 30 s back from a second's start

    // Around every build of the world from its scene file but RESET (the start, a world
    // switch, a replay's start): the journal and the snapshots start again with it.
    void beforeWorldStart(ParScene& world);
    void worldStarted(const ParScene& world);

    // An input from the user: applied and kept, or dropped while a replay drives the world.
    // Returns applyInput's answer.
    int send(ParScene& world, const WorldInput& in);
    // One cycle's update: a replay's inputs that are due, the update, its count, a snapshot
    // every second. An update of a paused world that was asked for no fountain changes
    // nothing and is not counted.
    void update(ParScene& world);
    // Back one second: the snapshot at or before it, then the inputs since. False, changing
    // nothing, when the world has no snapshot that old (it started, or was RESET, since).
    bool rewind(ParScene& world);
    uint32_t updates() const { return tick; }

    // Recording reserves `file` (never replacing one) at once and writes it when finished.
    bool startRecording(const std::string& file, std::string& error);
    bool recording() const { return !recordFile.empty(); }
    // Writes the log of the world since it started and prints "recording finished: …".
    // False when the file could not be written (said on the console).
    bool finishRecording(const ParScene& world);

    // A replay of `log` (read and checked against the files by the caller) from the
    // world's start: call before the world starts.
    void startReplay(InputLog log, const std::string& file);
    bool replaying() const { return replay; }

    // Memory held by the snapshots, for the figures.
    std::size_t snapshotBytes() const;

private:
    int apply(ParScene& world, const WorldInput& in);
    void runInputsDue(ParScene& world);
    void endReplay();
    bool counted(const ParScene& world) const;
    void keepSnapshot(const ParScene& world);

    uint32_t tick = 0;
    InputLog start;                     // what the world was built from; the journal's head
    std::vector<LoggedInput> journal;   // since the world started, unless replaying
    std::string recordFile;
    // Replaying: the log's inputs from `cursor` on are still to come.
    bool replay = false;
    InputLog replayLog;
    std::string replayFile;
    std::size_t cursor = 0;
    struct Kept {
        uint32_t tick = 0;
        std::size_t inputsApplied = 0;  // of the journal, or of the replayed log
        WorldSnapshot snapshot;
    };
    std::vector<Kept> kept;  // oldest first
};

// Reads the log in `file` and checks it against the files it was recorded with; false with
// the one line to print ("cannot replay …") otherwise.
bool readReplay(const std::string& file, InputLog& log, std::string& error);
// A name in the current folder for a recording started by key: the first free of
// "session00000.tvlog", "session00001.tvlog", …
std::string freeSessionName();
