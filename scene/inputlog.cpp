#include "scene/inputlog.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {
constexpr const char* kMagic = "tessivane input log";
constexpr float kMaxRayCoordinate = 1e9f;

const char* const kKindNames[WorldInput::KindCount] = {
    "ray",    "grab",     "release",    "pin",        "fountain", "terrain-load", "terrain-unload",
    "source", "sink",     "step",       "timestep",   "integrator", "reset",      "gravity",
    "airdrag", "body-ks", "body-kd",    "body-pressure"};

uint32_t floatBits(float f)
{
    uint32_t b;
    std::memcpy(&b, &f, sizeof b);
    return b;
}

float bitsFloat(uint32_t b)
{
    float f;
    std::memcpy(&f, &b, sizeof f);
    return f;
}

void appendf(std::string& out, const char* format, auto... args)
{
    char line[128];
    const int n = std::snprintf(line, sizeof line, format, args...);
    out.append(line, static_cast<std::size_t>(n));
}

// Reads the log a line at a time; every failure names the line.
class Reader {
public:
    explicit Reader(const std::string& bytes) : text(bytes) {}

    bool atEnd() const { return at >= text.size(); }
    int lineNumber() const { return line; }

    // The next line without its newline; false at the end or when the line has none.
    bool nextLine(std::string& out)
    {
        const std::size_t end = text.find('\n', at);
        if (end == std::string::npos) return false;
        out.assign(text, at, end - at);
        at = end + 1;
        ++line;
        return true;
    }

    // Exactly n bytes and the newline after them, which may span lines.
    bool block(std::size_t n, std::string& out)
    {
        if (text.size() - at < n + 1 || text[at + n] != '\n') return false;
        out.assign(text, at, n);
        for (std::size_t i = at; i < at + n + 1; ++i)
            if (text[i] == '\n') ++line;
        at += n + 1;
        return true;
    }

private:
    const std::string& text;
    std::size_t at = 0;
    int line = 0;
};

// Whole-word unsigned decimal or hex fields: "%" SCNu32 would take a sign or spaces.
bool parseUnsigned(const char*& s, uint64_t& v, int base, uint64_t limit)
{
    const char* p = s;
    v = 0;
    int digits = 0;
    for (;; ++p, ++digits) {
        int d;
        if (*p >= '0' && *p <= '9')
            d = *p - '0';
        else if (base == 16 && *p >= 'a' && *p <= 'f')
            d = *p - 'a' + 10;
        else
            break;
        if (static_cast<uint64_t>(d) > limit || v > (limit - static_cast<uint64_t>(d)) / static_cast<uint64_t>(base))
            return false;
        v = v * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
    }
    if (digits == 0 || (base == 16 && digits > 16)) return false;
    s = p;
    return true;
}

bool word(const char*& s, const char* w)
{
    const std::size_t n = std::strlen(w);
    if (std::strncmp(s, w, n) != 0) return false;
    s += n;
    return true;
}

bool space(const char*& s) { return *s == ' ' ? (++s, true) : false; }

bool parseFloat(const char*& s, float& f)
{
    uint64_t b;
    if (!space(s) || !parseUnsigned(s, b, 16, 0xffffffffu)) return false;
    f = bitsFloat(static_cast<uint32_t>(b));
    return std::isfinite(f);
}

// "name N" as a whole line.
bool countLine(Reader& r, const char* name, uint64_t limit, int base, uint64_t& v)
{
    std::string l;
    if (!r.nextLine(l)) return false;
    const char* s = l.c_str();
    return word(s, name) && space(s) && parseUnsigned(s, v, base, limit) && *s == 0;
}
}  // namespace

const char* inputKindName(WorldInput::Kind kind)
{
    return kind < WorldInput::KindCount ? kKindNames[kind] : "?";
}

uint64_t hashBytes(const std::string& bytes)
{
    uint64_t h = 14695981039346656037ull;
    for (unsigned char c : bytes) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

std::string writeInputLog(const InputLog& log)
{
    std::string out;
    appendf(out, "%s %d\n", kMagic, kInputLogVersion);
    appendf(out, "random %08" PRIx32 "\n", log.randomState);
    appendf(out, "scene %zu %zu\n", log.sceneName.size(), log.sceneText.size());
    out += log.sceneName + "\n" + log.sceneText + "\n";
    for (const InputLog::DataFile& d : log.dataFiles) {
        appendf(out, "data %016" PRIx64 " %zu\n", d.hash, d.name.size());
        out += d.name + "\n";
    }
    appendf(out, "updates %" PRIu32 "\n", log.updates);
    appendf(out, "hash %016" PRIx64 "\n", log.worldHash);
    appendf(out, "inputs %zu\n", log.inputs.size());
    for (const LoggedInput& in : log.inputs) {
        appendf(out, "%" PRIu32 " %s", in.update, inputKindName(in.input.kind));
        if (carriesRay(in.input.kind)) {
            const Ray& r = in.input.ray;
            for (float f : {r.origin.x, r.origin.y, r.origin.z, r.direction.x, r.direction.y, r.direction.z})
                appendf(out, " %08" PRIx32, floatBits(f));
        }
        if (carriesValue(in.input.kind)) appendf(out, " %08" PRIx32, floatBits(in.input.value));
        out += '\n';
    }
    out += "end\n";
    return out;
}

bool readInputLog(const std::string& bytes, InputLog& log, std::string& error)
{
    log = InputLog{};
    Reader r(bytes);
    std::string l;
    const auto damaged = [&](const char* what) {
        error = "damaged at line " + std::to_string(r.lineNumber()) + ": " + what;
        return false;
    };
    const auto truncated = [&]() {
        error = "truncated";
        return false;
    };
    // A first line that is not ours is not a log at all, whatever follows.
    if (!r.nextLine(l) || l.rfind(kMagic, 0) != 0) {
        error = "not an input log";
        return false;
    }
    {
        const char* s = l.c_str() + std::strlen(kMagic);
        uint64_t version;
        if (!space(s) || !parseUnsigned(s, version, 10, 1000000) || *s) return damaged("no version");
        if (version != kInputLogVersion) {
            error = "of version " + std::to_string(version) + ", which this program does not read";
            return false;
        }
    }
    uint64_t v = 0;
    if (r.atEnd()) return truncated();
    if (!countLine(r, "random", 0xffffffffu, 16, v)) return damaged("no random state");
    log.randomState = static_cast<uint32_t>(v);
    if (!r.nextLine(l)) return truncated();
    {
        const char* s = l.c_str();
        uint64_t nameBytes, textBytes;
        if (!word(s, "scene") || !space(s) || !parseUnsigned(s, nameBytes, 10, 4096) || !space(s) ||
            !parseUnsigned(s, textBytes, 10, kMaxLoggedSceneBytes) || *s || nameBytes == 0)
            return damaged("no scene");
        if (!r.block(nameBytes, log.sceneName) || !r.block(textBytes, log.sceneText)) return truncated();
        if (log.sceneName.find('\n') != std::string::npos || log.sceneName.find('\0') != std::string::npos)
            return damaged("the scene's name");
    }
    for (;;) {
        if (!r.nextLine(l)) return truncated();
        if (l.rfind("data ", 0) != 0) break;
        const char* s = l.c_str() + 5;
        uint64_t hash, nameBytes;
        if (!parseUnsigned(s, hash, 16, UINT64_MAX) || !space(s) || !parseUnsigned(s, nameBytes, 10, 4096) || *s ||
            nameBytes == 0)
            return damaged("a data file");
        InputLog::DataFile d;
        d.hash = hash;
        if (!r.block(nameBytes, d.name)) return truncated();
        if (d.name.find('\n') != std::string::npos || d.name.find('\0') != std::string::npos)
            return damaged("a data file's name");
        log.dataFiles.push_back(std::move(d));
    }
    {
        const char* s = l.c_str();
        if (!word(s, "updates") || !space(s) || !parseUnsigned(s, v, 10, INT32_MAX) || *s)
            return damaged("no update count");
        log.updates = static_cast<uint32_t>(v);
    }
    if (r.atEnd()) return truncated();
    if (!countLine(r, "hash", UINT64_MAX, 16, v)) return damaged("no world hash");
    log.worldHash = v;
    if (r.atEnd()) return truncated();
    uint64_t count = 0;
    if (!countLine(r, "inputs", kMaxLoggedInputs, 10, count)) return damaged("no input count");
    // Each input takes at least four bytes: a count beyond what follows is a truncation.
    if (count > bytes.size() / 4) return truncated();
    log.inputs.reserve(static_cast<std::size_t>(count));
    uint32_t last = 0;
    for (uint64_t i = 0; i < count; ++i) {
        if (!r.nextLine(l)) return truncated();
        const char* s = l.c_str();
        uint64_t update;
        if (!parseUnsigned(s, update, 10, log.updates) || !space(s)) return damaged("an input's update");
        if (update < last) return damaged("inputs out of order");
        last = static_cast<uint32_t>(update);
        LoggedInput in;
        in.update = last;
        int kind = 0;
        while (kind < WorldInput::KindCount) {
            const char* k = s;
            if (word(k, kKindNames[kind]) && (*k == ' ' || *k == 0)) {
                s = k;
                break;
            }
            ++kind;
        }
        if (kind == WorldInput::KindCount) return damaged("an unknown input");
        in.input.kind = static_cast<WorldInput::Kind>(kind);
        if (carriesRay(in.input.kind)) {
            Ray& ray = in.input.ray;
            for (float* f : {&ray.origin.x, &ray.origin.y, &ray.origin.z, &ray.direction.x, &ray.direction.y,
                             &ray.direction.z})
                if (!parseFloat(s, *f)) return damaged("an input's ray");
            // Far beyond any camera's reach, where the traces' arithmetic would overflow.
            for (float f : {ray.origin.x, ray.origin.y, ray.origin.z, ray.direction.x, ray.direction.y, ray.direction.z})
                if (!(std::fabs(f) <= kMaxRayCoordinate)) return damaged("a ray out of the world");
            if (!(lengthSquared(ray.direction) > 0)) return damaged("a ray without a direction");
        }
        if (carriesValue(in.input.kind) && !parseFloat(s, in.input.value)) return damaged("an input's value");
        if (in.input.kind == WorldInput::TimeStep && !(in.input.value >= 0 && in.input.value <= 1))
            return damaged("a time step out of range");
        if (*s) return damaged("more than an input");
        log.inputs.push_back(in);
    }
    if (!r.nextLine(l)) return truncated();
    if (l != "end") return damaged("no end");
    if (!r.atEnd()) return damaged("more after the end");
    return true;
}
