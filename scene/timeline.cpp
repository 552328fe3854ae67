#include "scene/timeline.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <utility>

#include "core/problems.h"
#include "core/readfile.h"
#include "scene/parscene.h"
#include "scene/worldhash.h"

namespace {
// The whole of a file as the world would open it (relative names from the read folder).
bool readWhole(const std::string& name, std::string& out)
{
    std::FILE* f = openRegularFile(name.c_str(), "rb");
    if (!f) return false;
    out.clear();
    char buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) out.append(buffer, n);
    const bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

// A file the user names counts from the current folder, whatever folder the shipped
// files are read from.
std::string fromHere(const std::string& file)
{
    if (readFolder().empty() || file.empty() || file[0] == '/') return file;
    std::error_code gone;
    const std::filesystem::path here = std::filesystem::current_path(gone);
    return gone ? file : (here / file).string();
}

bool sameRay(const Ray& a, const Ray& b)
{
    return std::memcmp(&a.origin, &b.origin, sizeof a.origin) == 0 &&
           std::memcmp(&a.direction, &b.direction, sizeof a.direction) == 0;
}

}  // namespace

void Timeline::beforeWorldStart(ParScene& world)
{
    if (replay) world.random.state = replayLog.randomState;
    start = InputLog{};
    start.sceneName = world.sceneFile;
    start.randomState = world.random.state;
    forgetFilesRead();
}

void Timeline::worldStarted(const ParScene& world)
{
    if (!readWhole(start.sceneName, start.sceneText)) start.sceneText.clear();
    journal.clear();
    // Settings a world keeps through a rebuild are where its session starts from.
    if (world.gravity != kDefaultGravity) journal.push_back({0, {WorldInput::Gravity, {}, world.gravity}});
    if (world.airDrag != kDefaultAirDrag) journal.push_back({0, {WorldInput::AirDrag, {}, world.airDrag}});
    tick = 0;
    cursor = 0;
    kept.clear();
    keepSnapshot(world);
}

int Timeline::apply(ParScene& world, const WorldInput& in)
{
    const int answer = applyInput(world, in);
    // A rebuilt world has none of the particles the snapshots hold.
    if (in.kind == WorldInput::Reset) {
        kept.clear();
        keepSnapshot(world);
    }
    return answer;
}

int Timeline::send(ParScene& world, const WorldInput& in)
{
    if (replay) return 0;
    if (in.kind == WorldInput::MouseRay) {
        // The ray moves the world only through a held particle; while nothing is held it
        // steers the marks alone and is not kept.
        if (world.heldParticle && !sameRay(in.ray, world.mouseRay)) journal.push_back({tick, in});
        world.setMouseRay(in.ray);
        return 0;
    }
    journal.push_back({tick, in});
    return apply(world, in);
}

bool Timeline::counted(const ParScene& world) const
{
    // Paused, an update moves nothing, held or not; a fountain asked for is still made.
    return world.timeStep != 0 || world.fountainRequested;
}

void Timeline::runInputsDue(ParScene& world)
{
    const std::vector<LoggedInput>& inputs = replayLog.inputs;
    while (cursor < inputs.size() && inputs[cursor].update == tick) apply(world, inputs[cursor++].input);
}

void Timeline::endReplay()
{
    // From here the user's hand drives it, and a recording holds what was replayed too.
    replay = false;
    replayLog.inputs.resize(cursor);
    journal = std::move(replayLog.inputs);
    replayLog = InputLog{};
}

void Timeline::update(ParScene& world)
{
    if (replay) {
        runInputsDue(world);
        if (tick == replayLog.updates && cursor == replayLog.inputs.size()) {
            const uint64_t hash = worldHash(world);
            std::printf("replay finished: %u updates, world hash %s\n", tick, hashText(hash).c_str());
            if (hash != replayLog.worldHash)
                tv::problem("the replay %s ended elsewhere than its recording, whose world hash was %s\n",
                            replayFile.c_str(), hashText(replayLog.worldHash).c_str());
            endReplay();
            // This cycle shows the recorded end; the next one is the user's.
            return;
        }
        // A paused world with no input left for this update would wait for ever: a log
        // that says more updates than its inputs can make.
        if (!counted(world) && (cursor == replayLog.inputs.size() || replayLog.inputs[cursor].update > tick)) {
            tv::problem("the replay %s stops at update %u of %u: nothing in it plays the world on\n",
                        replayFile.c_str(), tick, replayLog.updates);
            endReplay();
        }
    }
    const bool moves = counted(world);
    world.update();
    world.fountainRequested = false;
    if (!moves) return;
    ++tick;
    if (tick % kSnapshotEvery == 0) keepSnapshot(world);
}

void Timeline::keepSnapshot(const ParScene& world)
{
    if (kept.size() == kSnapshotsKept) {
        // The oldest one's buffers take the new one.
        std::rotate(kept.begin(), kept.begin() + 1, kept.end());
    } else {
        kept.emplace_back();
    }
    kept.back().tick = tick;
    // A snapshot taken between inputs of one update (at a RESET) must not see them again.
    kept.back().inputsApplied = replay ? cursor : journal.size();
    takeSnapshot(world, kept.back().snapshot);
}

bool Timeline::rewind(ParScene& world)
{
    const uint32_t target = tick > kSnapshotEvery ? tick - kSnapshotEvery : 0;
    auto base = std::find_if(kept.rbegin(), kept.rend(), [target](const Kept& k) { return k.tick <= target; });
    if (base == kept.rend()) return false;
    if (!restoreSnapshot(world, base->snapshot)) {
        kept.clear();
        return false;
    }
    tick = base->tick;
    // The inputs since the snapshot, from the journal or the replayed log.
    std::vector<LoggedInput>& inputs = replay ? replayLog.inputs : journal;
    std::size_t next = base->inputsApplied;
    kept.erase(base.base(), kept.end());
    while (tick < target) {
        while (next < inputs.size() && inputs[next].update == tick) applyInput(world, inputs[next++].input);
        const bool moves = counted(world);
        world.update();
        world.fountainRequested = false;
        // Every update it replays was counted when it was first made; one that is not has
        // left the recorded path, and going on would wait for ever.
        if (!moves) {
            tv::problem("rewind stopped at update %u: the world no longer moves as it did\n", tick);
            break;
        }
        ++tick;
    }
    if (replay)
        cursor = next;
    else
        journal.erase(journal.begin() + static_cast<std::ptrdiff_t>(next), journal.end());
    return true;
}

bool Timeline::startRecording(const std::string& file, std::string& error)
{
    const std::string path = fromHere(file);
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = "cannot record to " + file + ": " +
                (errno == EEXIST ? std::string("it exists, and a recording never replaces a file")
                                 : std::string(std::strerror(errno)));
        return false;
    }
    close(fd);
    recordFile = path;
    return true;
}

bool Timeline::finishRecording(const ParScene& world)
{
    if (recordFile.empty()) return false;
    InputLog log = start;
    for (const std::string& name : filesRead()) {
        if (name == start.sceneName) continue;
        std::string bytes;
        if (readWhole(name, bytes)) log.dataFiles.push_back({name, hashBytes(bytes)});
    }
    log.updates = tick;
    log.worldHash = worldHash(world);
    log.inputs = journal;
    const std::string text = writeInputLog(log);
    // The file is the one reserved at the start: ours to fill.
    std::FILE* f = std::fopen(recordFile.c_str(), "wb");
    const bool ok = f && std::fwrite(text.data(), 1, text.size(), f) == text.size() && std::fclose(f) == 0;
    if (!ok) std::printf("could not write the recording %s\n", recordFile.c_str());
    else
        std::printf("recording finished: %u updates, world hash %s\n", tick, hashText(log.worldHash).c_str());
    recordFile.clear();
    return ok;
}

void Timeline::startReplay(InputLog log, const std::string& file)
{
    replayLog = std::move(log);
    replayFile = file;
    replay = true;
    cursor = 0;
}

std::size_t Timeline::snapshotBytes() const
{
    std::size_t bytes = 0;
    for (const Kept& k : kept) bytes += k.snapshot.bytes();
    return bytes;
}

bool readReplay(const std::string& file, InputLog& log, std::string& error)
{
    std::string bytes;
    const std::string path = fromHere(file);
    if (!readWhole(path, bytes)) {
        error = "cannot replay " + file + ": it cannot be read";
        return false;
    }
    std::string why;
    if (!readInputLog(bytes, log, why)) {
        error = "cannot replay " + file + ": it is " + why;
        return false;
    }
    std::string text;
    if (!readWhole(log.sceneName, text)) {
        error = "cannot replay " + file + ": its scene " + log.sceneName + " cannot be read";
        return false;
    }
    if (text != log.sceneText) {
        error = "cannot replay " + file + ": it was recorded with another " + log.sceneName;
        return false;
    }
    for (const InputLog::DataFile& d : log.dataFiles) {
        if (!readWhole(d.name, text)) {
            error = "cannot replay " + file + ": it needs " + d.name + ", which cannot be read";
            return false;
        }
        if (hashBytes(text) != d.hash) {
            error = "cannot replay " + file + ": it was recorded with another " + d.name;
            return false;
        }
    }
    return true;
}

std::string freeSessionName()
{
    char name[32];
    for (int i = 0; i < 100000; ++i) {
        std::snprintf(name, sizeof name, "session%05d.tvlog", i);
        struct stat there;
        if (lstat(name, &there) != 0 && errno == ENOENT) return name;
    }
    return "session.tvlog";  // taken too, it is refused like any name that exists
}
