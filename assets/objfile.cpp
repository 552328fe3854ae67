// Wavefront OBJ / MTL reader: the files are read in one piece and parsed in place,
// line by line, with fixed keyword prefixes.
#include "assets/objfile.h"

#include "assets/texture.h"
#include "core/debug.h"
#include "core/problems.h"
#include "core/readfile.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

constexpr size_t kMaxFaceCorners = 65536;

// A cursor over one buffer. `end` is the first byte not read: the parser never looks at
// it, so buffers without a terminating newline or NUL are safe.
struct Cursor {
    const char* p;
    const char* end;

    bool atEnd() const { return p >= end; }
    bool lineEnd() const { return p >= end || *p == '\r' || *p == '\n'; }
    bool blank() const { return p < end && (*p == ' ' || *p == '\t'); }
    bool startsWith(const char* keyword) const
    {
        size_t n = std::strlen(keyword);
        return size_t(end - p) >= n && std::memcmp(p, keyword, n) == 0;
    }
    void skipLine()
    {
        while (!lineEnd()) ++p;
        while (p < end && (*p == '\r' || *p == '\n')) ++p;
    }
    // The keyword runs to the first space or tab, but never past the line.
    void skipKeyword()
    {
        while (!lineEnd() && !blank()) ++p;
    }
    void skipBlanks()
    {
        while (blank()) ++p;
    }
    void skipByteOrderMark()
    {
        if (startsWith("\xEF\xBB\xBF")) p += 3;
    }
    // One token up to space, tab, CR, LF or end, copied NUL-terminated and cut to
    // `cap` - 1 characters; the whole token is consumed.
    size_t token(char* out, size_t cap)
    {
        const char* start = p;
        while (!lineEnd() && !blank()) ++p;
        size_t n = std::min(size_t(p - start), cap - 1);
        std::memcpy(out, start, n);
        out[n] = 0;
        return size_t(p - start);
    }
};

// Up to `count` floats after the keyword; missing values keep their contents. A value
// that is not a finite float (nan, inf, 1e39) counts as one that does not read: it and
// the values after it keep their contents, and the line is named on the console once.
void readFloats(Cursor& c, float* values, int count)
{
    char tok[256];
    const char* line = c.p;
    c.skipKeyword();
    for (int i = 0; i < count; ++i) {
        c.skipBlanks();
        if (c.token(tok, sizeof tok) == 0) break;
        const double value = std::atof(tok);
        if (!(std::fabs(value) <= FLT_MAX)) {
            const char* lineEnd = c.p;
            while (lineEnd < c.end && *lineEnd != '\r' && *lineEnd != '\n') ++lineEnd;
            tv::problem("found a number that is not finite: %.*s\n", int(std::min<ptrdiff_t>(lineEnd - line, 255)),
                        line);
            break;
        }
        values[i] = float(value);
    }
    c.skipLine();
}

// atoi that saturates instead of overflowing.
int toInt(const char* s)
{
    long long v = std::strtoll(s, nullptr, 10);
    return int(std::clamp<long long>(v, INT_MIN, INT_MAX));
}

void readInts(Cursor& c, int* values, int count)
{
    char tok[256];
    c.skipKeyword();
    for (int i = 0; i < count; ++i) {
        c.skipBlanks();
        if (c.token(tok, sizeof tok) == 0) break;
        values[i] = toInt(tok);
    }
    c.skipLine();
}

std::string readName(Cursor& c)
{
    char tok[256];
    c.skipKeyword();
    c.skipBlanks();
    c.token(tok, sizeof tok);
    c.skipLine();
    return tok;
}

// One "%d" conversion as sscanf does it (leading white space, optional sign, digits),
// saturated so that the later "minus 1" cannot overflow. False when no digits follow.
bool scanInt(const char*& s, int& out)
{
    const char* q = s;
    while (*q == ' ' || (*q >= '\t' && *q <= '\r')) ++q;
    bool negative = false;
    if (*q == '+' || *q == '-') negative = *q++ == '-';
    if (*q < '0' || *q > '9') return false;
    long long v = 0;
    while (*q >= '0' && *q <= '9') {
        if (v < INT_MAX) v = v * 10 + (*q - '0');
        ++q;
    }
    v = std::min<long long>(v, INT_MAX);
    out = int(negative ? -v : v);
    s = q;
    return true;
}

// The corner token "v", "v/t" or "v/t/n"; numbers not present stay -1.
void scanCorner(const char* s, int& v, int& t, int& n)
{
    if (!scanInt(s, v) || *s++ != '/') return;
    if (!scanInt(s, t) || *s++ != '/') return;
    scanInt(s, n);
}

// Reads a whole file into a malloc'ed buffer; the caller frees it.
char* readWholeFile(const char* path, size_t& size)
{
    FILE* f = openRegularFile(path, "r");
    if (!f) {
        tv::problem("unable to open the file %s\n", readPath(path).c_str());
        return nullptr;
    }
    long length = -1;
    if (std::fseek(f, 0, SEEK_END) == 0) length = std::ftell(f);
    // Offsets are reported as ints, so larger files count as an allocation failure.
    if (length < 0 || length >= INT_MAX || std::fseek(f, 0, SEEK_SET) != 0) {
        std::fclose(f);
        return nullptr;
    }
    char* buffer = static_cast<char*>(std::malloc(size_t(length) + 1));
    if (!buffer) {
        std::fclose(f);
        return nullptr;
    }
    size = std::fread(buffer, 1, size_t(length), f);
    buffer[size] = 0;
    std::fclose(f);
    return buffer;
}

}  // namespace

ObjMaterial::ObjMaterial() : texture(std::make_unique<Texture>()) {}
ObjMaterial::~ObjMaterial() = default;

void ObjFile::clear()
{
    flags = 0;
    listHandle = 0;
    path[0] = 0;
    vertices.clear();
    normals.clear();
    texCoords.clear();
    triangles.clear();
    edges.clear();
    bounds = BBox::empty();
    radius = 0;
    for (auto& m : materials) m->texture->release();
    materials.clear();
}

bool ObjFile::load(const char* filePath, bool withEdges)
{
    clear();
    size_t size = 0;
    char* buffer = readWholeFile(filePath, size);
    if (!buffer) return false;
    bool ok = loadFromMemory(buffer, size, withEdges, filePath);
    std::free(buffer);
    return ok;
}

bool ObjFile::loadFromMemory(const char* text, size_t size, bool withEdges, const char* filePath)
{
    clear();
    flags = hasTexCoords | hasNormals;
    int material = -1;
    std::vector<ObjCorner> face;
    Cursor c{text, text + size};
    // Editors that write a byte-order mark, or indent the first line, would otherwise
    // stop the reading before the first keyword.
    c.skipByteOrderMark();
    c.skipBlanks();
    while (!c.atEnd()) {
        char first = *c.p;
        if (first == '\r' || first == '\n' || first == '#' || first == 'g') {
            c.skipLine();
        } else if (c.startsWith("vt")) {
            float f[2] = {0, 0};
            readFloats(c, f, 2);
            texCoords.push_back({f[0], f[1]});
        } else if (c.startsWith("vn")) {
            float f[3] = {0, 0, 0};
            readFloats(c, f, 3);
            normals.emplace_back(f[0], f[1], f[2]);
        } else if (first == 'v') {
            float f[3] = {0, 0, 0};
            readFloats(c, f, 3);
            vertices.emplace_back(f[0], f[1], f[2]);
            bounds.extend(vertices.back());
        } else if (first == 'f') {
            readFace(c.p, c.end, material, face);
            c.skipLine();
        } else if (c.startsWith("mtllib")) {
            std::string name = readName(c);
            loadMaterials(name.c_str());
        } else if (c.startsWith("usemtl")) {
            std::string name = readName(c);
            material = -1;
            for (size_t i = 0; i < materials.size(); ++i) {
                if (materials[i]->name == name) {
                    material = int(i);
                    break;
                }
            }
        } else {
            std::printf("got unhandled char %c %d at index %d of size %d\n", first, int((unsigned char)first),
                        int(c.p - text), int(size));
            break;
        }
    }
    if (!postProcess(withEdges)) return false;
    std::snprintf(path, sizeof path, "%s", filePath ? filePath : "");
    return true;
}

// Reads the corners of one face line (the cursor stays at the line; the caller skips
// it) and appends its triangles in zigzag order.
void ObjFile::readFace(const char*& p, const char* end, int material, std::vector<ObjCorner>& face)
{
    Cursor c{p, end};
    char tok[32];
    face.clear();
    c.skipKeyword();
    for (;;) {
        c.skipBlanks();
        if (c.token(tok, sizeof tok) == 0) break;
        int v = -1, t = -1, n = -1;
        scanCorner(tok, v, t, n);
        if (v == -1) break;
        if (t == -1) {
            t = 1;
            flags &= ~hasTexCoords;
        }
        if (n == -1) {
            n = 1;
            flags &= ~hasNormals;
        }
        // A face is a fan of k - 2 triangles: one line of a few bytes a corner must not
        // turn into millions of them.
        if (face.size() == kMaxFaceCorners) {
            std::printf("found a face with more than %d vertices!\n", int(kMaxFaceCorners));
            face.clear();
            p = c.p;
            return;
        }
        face.push_back({v - 1, t - 1, n - 1});
    }
    p = c.p;
    int k = int(face.size());
    if (k < 3) {
        std::printf("found a face with only %d vertices!\n", k);
        return;
    }
    int i = 1, j = k - 1;
    bool firstForm = true;
    while (i != j) {
        ObjTriangle tri;
        tri.material = material;
        if (firstForm) {
            tri.corner[0] = face[i - 1];
            tri.corner[1] = face[i];
            tri.corner[2] = face[j];
            ++i;
        } else {
            tri.corner[0] = face[j - 1];
            tri.corner[1] = face[j];
            tri.corner[2] = face[i - 1];
            --j;
        }
        firstForm = !firstForm;
        triangles.push_back(tri);
    }
}

bool ObjFile::postProcess(bool withEdges)
{
    if (texCoords.empty()) flags &= ~hasTexCoords;
    if (normals.empty()) flags &= ~hasNormals;

    const int vertexCount = int(vertices.size());
    for (size_t t = 0; t < triangles.size(); ++t) {
        for (int k = 0; k < 3; ++k) {
            const ObjCorner& corner = triangles[t].corner[k];
            if (corner.vertex < 0 || corner.vertex >= vertexCount) {
                tv::problem("found an out of bounds vertex at tri %d point %d with index %d, max %d\n", int(t), k,
                            corner.vertex, vertexCount);
                clear();
                return false;
            }
            if ((flags & hasTexCoords) && (corner.texture < 0 || corner.texture >= int(texCoords.size()))) {
                tv::problem("found an out of bounds texcoord index %d, max %d\n", corner.texture,
                            int(texCoords.size()));
                flags &= ~hasTexCoords;
            }
            if ((flags & hasNormals) && (corner.normal < 0 || corner.normal >= int(normals.size()))) {
                tv::problem("found an out of bounds normal index %d, max %d\n", corner.normal, int(normals.size()));
                flags &= ~hasNormals;
            }
        }
    }

    if (!(flags & hasTexCoords)) texCoords.clear();
    if (!(flags & hasNormals)) generateNormals();
    if (withEdges) generateEdges();

    for (ObjTriangle& tri : triangles) {
        tri.plane = Plane::fromPoints(vertices[tri.corner[0].vertex], vertices[tri.corner[1].vertex],
                                      vertices[tri.corner[2].vertex]);
    }

    // An empty model has radius 0, not the root of an undefined maximum.
    float largest = 0;
    for (const Vec3& v : vertices) largest = std::max(largest, lengthSquared(v));
    radius = std::sqrt(largest);
    // Finite coordinates beyond about 1.8e19 overflow the float square: measure again in
    // double, so that the radius stays finite and the model is not taken for everywhere.
    if (!std::isfinite(radius)) {
        double widest = 0;
        for (const Vec3& v : vertices)
            widest = std::max(widest, double(v.x) * v.x + double(v.y) * v.y + double(v.z) * v.z);
        radius = float(std::min(std::sqrt(widest), double(FLT_MAX)));
    }
    return true;
}

// Area-independent smoothing: each face adds its unit normal to its three vertices.
void ObjFile::generateNormals()
{
    std::printf("found no/invaild normals - generating...\n");
    normals.assign(vertices.size(), Vec3(0, 0, 0));
    for (ObjTriangle& tri : triangles) {
        for (ObjCorner& corner : tri.corner) corner.normal = corner.vertex;
        const Vec3& p0 = vertices[tri.corner[0].vertex];
        const Vec3& p1 = vertices[tri.corner[1].vertex];
        const Vec3& p2 = vertices[tri.corner[2].vertex];
        Vec3 n = normalised(cross(p1 - p0, p2 - p1));
        for (const ObjCorner& corner : tri.corner) normals[corner.vertex] += n;
    }
    for (Vec3& n : normals) n = normalised(n);
    std::printf("done generating normals.\n");
    flags |= hasNormals;
}

// Finds, for every triangle pair a < b, the first corner pair (cornerA, then cornerB)
// whose edges run in opposite directions, in the order of a pairwise search over a, b,
// where each corner's edge pairs with at most one partner: once paired, a triangle edge
// takes no further part. Where no edge is shared by more than two triangles that rule
// never applies; where many share one (a fan round an edge) it keeps the edge count at
// most 3/2 of the triangle count instead of growing with their square.
// Instead of comparing every pair, each directed edge is looked up among the edges of
// the other triangles sorted by (from, to) vertex.
void ObjFile::generateEdges()
{
    std::printf("generating edges...\n");
    edges.clear();
    const int count = int(triangles.size());

    // Half-edges bucketed by their from vertex (a counting sort, so each bucket keeps
    // triangle and corner order), then ordered by to vertex inside each bucket.
    struct HalfEdge {
        int to, triangle, corner;
    };
    int vertexLimit = 0;
    for (const ObjTriangle& t : triangles)
        for (const ObjCorner& c : t.corner) {
            TV_ASSERT(c.vertex >= 0);
            vertexLimit = std::max(vertexLimit, c.vertex + 1);
        }
    std::vector<int> start(size_t(vertexLimit) + 1, 0);
    for (const ObjTriangle& t : triangles)
        for (const ObjCorner& c : t.corner) ++start[size_t(c.vertex) + 1];
    for (int v = 0; v < vertexLimit; ++v) start[v + 1] += start[v];
    const int halfCount = count * 3;
    std::vector<HalfEdge> half(static_cast<size_t>(halfCount));
    {
        std::vector<int> fill(start.begin(), start.end() - 1);
        for (int t = 0; t < count; ++t) {
            for (int k = 0; k < 3; ++k) {
                const ObjTriangle& tri = triangles[t];
                half[fill[tri.corner[k].vertex]++] = {tri.corner[(k + 1) % 3].vertex, t, k};
            }
        }
    }
    auto byTo = [](const HalfEdge& x, const HalfEdge& y) { return x.to < y.to; };
    for (int v = 0; v < vertexLimit; ++v) {
        if (start[v + 1] - start[v] > 1) std::stable_sort(half.begin() + start[v], half.begin() + start[v + 1], byTo);
    }
    auto before = [](const HalfEdge& x, const HalfEdge& y) {
        return x.to != y.to ? x.to < y.to : x.triangle < y.triangle;
    };

    // paired[3t + k]: triangle t's edge from corner k has its partner. skip[i] leads from a
    // paired entry of `half` towards the next unpaired one (shortened as it is followed),
    // so paired entries are passed over once, not once per triangle that looks.
    std::vector<uint8_t> paired(static_cast<size_t>(halfCount), 0);
    std::vector<int> skip(static_cast<size_t>(halfCount));
    for (int i = 0; i < halfCount; ++i) skip[i] = i + 1;
    auto isPaired = [&](int i) { return paired[size_t(half[i].triangle) * 3 + half[i].corner] != 0; };
    auto firstUnpaired = [&](int i) {
        int r = i;
        while (r < halfCount && isPaired(r)) r = skip[r];
        while (i < r) {
            int next = skip[i];
            if (isPaired(i)) skip[i] = r;
            i = next;
        }
        return r;
    };

    struct Candidate {
        int b, cornerA, cornerB;
    };
    std::vector<Candidate> found;
    const clock_t t0 = clock();
    long lastShown = -1;
    for (int a = 0; a < count - 1; ++a) {
        // The clock is costly next to one triangle's search; sample it every 64.
        if ((a & 63) == 0) {
            long shown = long((clock() - t0) / 10000);
            if (shown != lastShown) {
                std::printf(" %d of %d (%d%%) done \n", a, count, int(int64_t(a) * 100 / count));
                lastShown = shown;
            }
        }
        found.clear();
        const ObjTriangle& A = triangles[a];
        for (int cornerA = 0; cornerA < 3; ++cornerA) {
            if (paired[size_t(a) * 3 + cornerA]) continue;
            // B's edge cornerB -> cornerB + 1 must run from A's next corner back to A's corner.
            const int from = A.corner[(cornerA + 1) % 3].vertex;
            const HalfEdge probe{A.corner[cornerA].vertex, a + 1, 0};
            const int last = start[from + 1];
            const int first = int(std::lower_bound(half.begin() + start[from], half.begin() + last, probe, before) -
                                  half.begin());
            // The other two corners can take at most two triangles from this one, so its
            // partner is among the first three triangles still unpaired here.
            int triangleCount = 0, lastTriangle = -1;
            for (int i = firstUnpaired(first); i < last && half[i].to == probe.to; i = firstUnpaired(i + 1)) {
                if (half[i].triangle != lastTriangle && ++triangleCount > 3) break;
                lastTriangle = half[i].triangle;
                found.push_back({half[i].triangle, cornerA, half[i].corner});
            }
        }
        // Per b, the first (cornerA, cornerB) in loop order whose two edges are both still
        // free wins; edges come out in b order.
        std::sort(found.begin(), found.end(), [](const Candidate& x, const Candidate& y) {
            if (x.b != y.b) return x.b < y.b;
            if (x.cornerA != y.cornerA) return x.cornerA < y.cornerA;
            return x.cornerB < y.cornerB;
        });
        int lastB = -1;
        for (const Candidate& f : found) {
            uint8_t& mine = paired[size_t(a) * 3 + f.cornerA];
            uint8_t& theirs = paired[size_t(f.b) * 3 + f.cornerB];
            if (f.b == lastB || mine || theirs) continue;
            mine = theirs = 1;
            lastB = f.b;
            edges.push_back({a, f.b, f.cornerA, f.cornerB});
        }
    }
    std::printf("done generating edges.\n");
}

bool ObjFile::loadMaterials(const char* filePath)
{
    size_t size = 0;
    char* buffer = readWholeFile(filePath, size);
    if (!buffer) return false;
    bool ok = loadMaterialsFromMemory(buffer, size);
    std::free(buffer);
    return ok;
}

bool ObjFile::loadMaterialsFromMemory(const char* text, size_t size)
{
    Cursor c{text, text + size};
    c.skipByteOrderMark();
    while (!c.atEnd()) {
        char first = *c.p;
        ObjMaterial* last = materials.empty() ? nullptr : materials.back().get();
        if (first == '\r' || first == '\n' || first == '#') {
            c.skipLine();
        } else if (c.startsWith("newmtl")) {
            auto m = std::make_unique<ObjMaterial>();
            m->name = readName(c);
            materials.push_back(std::move(m));
        } else if (c.startsWith("Ka") || c.startsWith("Kd") || c.startsWith("Ks")) {
            if (!last) {
                c.skipLine();
                continue;
            }
            float* target = first == 'K' && c.p[1] == 'a' ? last->ka : c.p[1] == 'd' ? last->kd : last->ks;
            readFloats(c, target, 3);
        } else if (c.startsWith("illum")) {
            if (last)
                readInts(c, &last->illum, 1);
            else
                c.skipLine();
        } else if (c.startsWith("Ns")) {
            if (last)
                readFloats(c, &last->ns, 1);
            else
                c.skipLine();
        } else if (c.startsWith("map_Kd")) {
            if (!last) {
                std::printf("found a map_Kd without any materials present\n");
                c.skipLine();
                continue;
            }
            last->textureFile = readName(c);
            last->texture->release();
            // Decoded now, so that the reader's own lines come out where the file names it.
            last->picture.reset(Texture::loadImage(last->textureFile.c_str()));
            last->textureLoaded = last->picture != nullptr;
            if (!last->textureLoaded) std::printf("unable to load requested material %s\n", last->textureFile.c_str());
        } else {
            std::printf("mtl file unknown char: %c\n", first);
            return false;
        }
    }
    return true;
}
