// The sky faces: laid out as the GL cube map expects, seamless along every cube edge,
// the right way up in the world, and drawn alike by the face path and the cube-map path;
// the program's sky showing every direction where it belongs, whatever the view.
#include <GL/gl.h>

#include <algorithm>
#include <filesystem>
#include <cmath>
#include <cstdlib>
#include <map>
#include <tuple>

#include "art_testutil.h"
#include "view/camera.h"
#include "core/glext.h"
#include "assets/dumper.h"
#include "scene/sky.h"
#include "support/glcontext.h"
#include "support/testutil.h"
#include "tools/art_sky.h"

namespace {

// The GL cube-map face and (s, t) that a direction selects (major axis, then sc/tc per
// face as the GL defines them). Faces in GL order +X, -X, +Y, -Y, +Z, -Z.
void glCubeLookup(const Vec3& d, int& face, float& s, float& t)
{
    const float ax = std::fabs(d.x), ay = std::fabs(d.y), az = std::fabs(d.z);
    float sc, tc, ma;
    if (ax >= ay && ax >= az) {
        face = d.x > 0 ? 0 : 1;
        sc = d.x > 0 ? -d.z : d.z;
        tc = -d.y;
        ma = ax;
    } else if (ay >= az) {
        face = d.y > 0 ? 2 : 3;
        sc = d.x;
        tc = d.y > 0 ? d.z : -d.z;
        ma = ay;
    } else {
        face = d.z > 0 ? 4 : 5;
        sc = d.z > 0 ? d.x : -d.x;
        tc = -d.y;
        ma = az;
    }
    s = (sc / ma + 1.0f) * 0.5f;
    t = (tc / ma + 1.0f) * 0.5f;
}

std::vector<Bmp24> loadFaces()
{
    std::vector<Bmp24> faces(sky::kFaceCount);
    for (int f = 0; f < sky::kFaceCount; ++f) {
        std::string error;
        const std::string path = runDir() + "/data/sky/blue" + sky::kFaceNames[f] + ".bmp";
        EXPECT_TRUE(readBmp24(path, faces[static_cast<size_t>(f)], error)) << error;
    }
    return faces;
}

}  // namespace

TEST(SkyFaces, FaceTableAgreesWithTheGlCubeMapLayout)
{
    // Loading the pictures ft, bk, dn, up, rt, lf as cube faces +X .. -Z must show each
    // face point with the texture coordinate the face table gives it.
    for (int f = 0; f < sky::kFaceCount; ++f)
        for (int i = 0; i <= 8; ++i)
            for (int j = 0; j <= 8; ++j) {
                // Keep off the edges, where two faces tie for the major axis.
                const float s = 0.05f + 0.9f * static_cast<float>(i) / 8.0f;
                const float t = 0.05f + 0.9f * static_cast<float>(j) / 8.0f;
                int glFace;
                float gs, gt;
                glCubeLookup(sky::facePoint(f, s, t), glFace, gs, gt);
                EXPECT_EQ(glFace, f);
                EXPECT_NEAR(gs, s, 1e-5f) << "face " << f;
                EXPECT_NEAR(gt, t, 1e-5f) << "face " << f;
            }
}

TEST(SkyFaces, NeighbouringFacesMatchAlongEverySharedEdge)
{
    const std::vector<Bmp24> faces = loadFaces();
    ASSERT_FALSE(HasFailure());
    // Every border texel lies on a cube edge; texels of different faces at the same
    // cube point must hold the same colour.
    std::map<std::tuple<int, int, int>, std::pair<int, const unsigned char*>> seen;
    int shared = 0;
    for (int f = 0; f < sky::kFaceCount; ++f) {
        const Bmp24& img = faces[static_cast<size_t>(f)];
        ASSERT_EQ(img.width, sky::kFaceSize);
        ASSERT_EQ(img.height, sky::kFaceSize);
        const float last = static_cast<float>(img.width - 1);
        for (int j = 0; j < img.height; ++j)
            for (int i = 0; i < img.width; ++i) {
                if (i != 0 && j != 0 && i != img.width - 1 && j != img.height - 1) continue;
                const Vec3 p = sky::facePoint(f, static_cast<float>(i) / last, static_cast<float>(j) / last);
                const auto key = std::make_tuple(static_cast<int>(std::lround(p.x * last)),
                                                 static_cast<int>(std::lround(p.y * last)),
                                                 static_cast<int>(std::lround(p.z * last)));
                const unsigned char* c = img.at(i, j);
                auto it = seen.find(key);
                if (it == seen.end()) {
                    seen.emplace(key, std::make_pair(f, c));
                    continue;
                }
                ++shared;
                const unsigned char* o = it->second.second;
                ASSERT_TRUE(c[0] == o[0] && c[1] == o[1] && c[2] == o[2])
                    << "face " << f << " texel (" << i << ", " << j << ") differs from face " << it->second.first;
            }
    }
    // 12 edges of kFaceSize texels; the 8 corners are shared three ways.
    EXPECT_EQ(shared, 12 * sky::kFaceSize - 8);
}

TEST(SkyFaces, TheCubeIsTheRightWayUpInTheWorld)
{
    // Cube +y is the world's down, cube +z the world's +y.
    EXPECT_VEC_EQ(sky::cubeToWorld(Vec3(0, 1, 0)), Vec3(0, 0, -1));
    EXPECT_VEC_EQ(sky::cubeToWorld(Vec3(0, 0, 1)), Vec3(0, 1, 0));
    const std::vector<Bmp24> faces = loadFaces();
    ASSERT_FALSE(HasFailure());
    // "dn" (face 2) is dim ground, "up" (face 3) is the deepest blue, sides are sky above
    // their middle row and ground below it.
    const int n = sky::kFaceSize, mid = n / 2, high = n * 9 / 10, low = n / 10;
    const unsigned char* down = faces[2].at(mid, mid);
    const unsigned char* up = faces[3].at(mid, mid);
    EXPECT_LT(down[0] + down[1] + down[2], 3 * 110);
    EXPECT_GT(up[2], up[0] + 60);
    for (int f : {0, 1, 4, 5}) {
        // World up on a side face: find which image direction moves towards +z.
        const Vec3 above = sky::cubeToWorld(sky::facePoint(f, 0.5f, 0.75f));
        const bool tUp = above.z > 0;
        const unsigned char* sky = faces[static_cast<size_t>(f)].at(mid, tUp ? high : low);
        const unsigned char* ground = faces[static_cast<size_t>(f)].at(mid, tUp ? low : high);
        EXPECT_GT(sky[2], ground[2] + 60) << "face " << f;
    }
}

// Draws the six pictures as the sky cube does, in both ways, and compares them with the
// sky function evaluated for every pixel's direction.
class SkyRender : public GlTest {
protected:
    void SetUp() override
    {
        GlTest::SetUp();
        if (HasFatalFailure()) return;
        faces = loadFaces();
        ASSERT_FALSE(HasFailure());
        glGenTextures(6, faceTextures);
        for (int f = 0; f < 6; ++f) {
            glBindTexture(GL_TEXTURE_2D, faceTextures[f]);
            upload(GL_TEXTURE_2D, faces[static_cast<size_t>(f)]);
            setParameters(GL_TEXTURE_2D);
        }
        glGenTextures(1, &cubeTexture);
        glBindTexture(GL_TEXTURE_CUBE_MAP, cubeTexture);
        for (int f = 0; f < 6; ++f)
            upload(static_cast<GLenum>(GL_TEXTURE_CUBE_MAP_POSITIVE_X + f), faces[static_cast<size_t>(f)]);
        setParameters(GL_TEXTURE_CUBE_MAP);
    }

    void TearDown() override
    {
        glDeleteTextures(6, faceTextures);
        glDeleteTextures(1, &cubeTexture);
        glDisable(GL_TEXTURE_CUBE_MAP);
        glDisable(GL_TEXTURE_2D);
    }

    static void upload(GLenum target, const Bmp24& img)
    {
        glTexImage2D(target, 0, GL_RGB, img.width, img.height, 0, GL_RGB, GL_UNSIGNED_BYTE, img.rgb.data());
    }

    static void setParameters(GLenum target)
    {
        glTexParameteri(target, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(target, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(target, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(target, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    }

    // A 90 degree view: world z is up, yaw turns from +y towards -x, pitch looks up.
    void drawSky(float yaw, float pitch, bool cubeMap)
    {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_CULL_FACE);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glFrustum(-1, 1, -1, 1, 1, 1000);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glRotatef(-pitch, 1, 0, 0);
        glRotatef(-90, 1, 0, 0);
        glRotatef(yaw, 0, 0, 1);
        // The sky cube's own turn into the world.
        glRotatef(-90, 1, 0, 0);
        glColor3f(1, 1, 1);
        if (cubeMap) {
            glEnable(GL_TEXTURE_CUBE_MAP);
            glBindTexture(GL_TEXTURE_CUBE_MAP, cubeTexture);
            glBegin(GL_QUADS);
            for (int f = 0; f < 6; ++f)
                for (int c = 0; c < 4; ++c) {
                    const Vec3 p = sky::corner(sky::kFaceCorners[f][c]) * 100.0f;
                    glTexCoord3f(p.x, p.y, p.z);
                    glVertex3f(p.x, p.y, p.z);
                }
            glEnd();
            glDisable(GL_TEXTURE_CUBE_MAP);
        } else {
            glEnable(GL_TEXTURE_2D);
            for (int f = 0; f < 6; ++f) {
                glBindTexture(GL_TEXTURE_2D, faceTextures[f]);
                glBegin(GL_QUADS);
                for (int c = 0; c < 4; ++c) {
                    const Vec3 p = sky::corner(sky::kFaceCorners[f][c]) * 100.0f;
                    glTexCoord2f(sky::kFaceTexCoords[f][c][0], sky::kFaceTexCoords[f][c][1]);
                    glVertex3f(p.x, p.y, p.z);
                }
                glEnd();
            }
            glDisable(GL_TEXTURE_2D);
        }
        glEnable(GL_DEPTH_TEST);
        grab();
    }

    // The world direction through the centre of pixel (x, y) of the view above.
    Vec3 pixelDirection(int x, int y, float yaw, float pitch) const
    {
        auto rotX = [](const Vec3& v, float deg) {
            const float a = deg * kPi / 180.0f, c = std::cos(a), s = std::sin(a);
            return Vec3(v.x, v.y * c - v.z * s, v.y * s + v.z * c);
        };
        auto rotZ = [](const Vec3& v, float deg) {
            const float a = deg * kPi / 180.0f, c = std::cos(a), s = std::sin(a);
            return Vec3(v.x * c - v.y * s, v.x * s + v.y * c, v.z);
        };
        const Vec3 eye((static_cast<float>(x) + 0.5f) / 128.0f - 1.0f, (static_cast<float>(y) + 0.5f) / 128.0f - 1.0f,
                       -1.0f);
        return rotZ(rotX(rotX(eye, pitch), 90.0f), -yaw);
    }

    void save(const std::string& path) const
    {
        std::vector<uint8_t> bgr(static_cast<size_t>(Dumper::stride(256)) * 256);
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x)
                for (int k = 0; k < 3; ++k)
                    bgr[static_cast<size_t>(y * Dumper::stride(256) + x * 3 + k)] =
                        pixels[static_cast<size_t>((y * 256 + x) * 4 + 2 - k)];
        Dumper::writeBmp(path.c_str(), bgr.data(), 256, 256);
    }

    std::vector<Bmp24> faces;
    GLuint faceTextures[6] = {};
    GLuint cubeTexture = 0;
};

TEST_F(SkyRender, BothPathsShowTheSkyFunctionWithoutSeams)
{
    const std::string out = scratchDir("art_sky");
    // Straight ahead, into vertical edges, into top and bottom corners, straight up/down.
    const float views[][2] = {{0, 0}, {45, 0}, {45, 35}, {135, -35}, {250, 20}, {0, 90}, {30, -90}};
    for (const auto& view : views) {
        const float yaw = view[0], pitch = view[1];
        std::vector<uint8_t> renders[2];
        for (int path = 0; path < 2; ++path) {
            drawSky(yaw, pitch, path == 1);
            renders[path] = pixels;
            save(out + "/sky_" + std::to_string(static_cast<int>(yaw)) + "_" + std::to_string(static_cast<int>(pitch)) +
                 (path ? "_cube.bmp" : "_faces.bmp"));
        }
        // Pixel errors against the exact sky: almost all tiny, none large except in the
        // sun's small sharp disc.
        for (int path = 0; path < 2; ++path) {
            std::vector<int> errors;
            for (int y = 0; y < 256; ++y)
                for (int x = 0; x < 256; ++x) {
                    const Colour want = sky::colour(pixelDirection(x, y, yaw, pitch));
                    const uint8_t* got = &renders[path][static_cast<size_t>((y * 256 + x) * 4)];
                    errors.push_back(std::max({std::abs(got[0] - ArtImage::toByte(want.r)),
                                               std::abs(got[1] - ArtImage::toByte(want.g)),
                                               std::abs(got[2] - ArtImage::toByte(want.b))}));
                }
            std::sort(errors.begin(), errors.end());
            EXPECT_LE(errors[errors.size() * 99 / 100], 6) << "view " << yaw << ", " << pitch << " path " << path;
            EXPECT_LE(errors[errors.size() * 999 / 1000], 24) << "view " << yaw << ", " << pitch << " path " << path;
        }
        int differ = 0;
        for (size_t i = 0; i < renders[0].size(); i += 4)
            for (int k = 0; k < 3; ++k)
                if (std::abs(renders[0][i + k] - renders[1][i + k]) > 3) {
                    ++differ;
                    break;
                }
        EXPECT_LT(differ, 256 * 256 / 200) << "view " << yaw << ", " << pitch;
    }
}

// The program's own sky with our pictures: the face path and the cube-map path show the
// same sky, with no lines along the cube's edges in either.
class ProgramSky : public GlTest {
protected:
    void SetUp() override
    {
        GlTest::SetUp();
        if (HasFatalFailure()) return;
        saved = std::filesystem::current_path();
        std::filesystem::current_path(runDir());
        ASSERT_TRUE(glExt.cubeMap) << "the offscreen GL lacks cube maps";
        const char* const paths[6] = {"data/sky/blueft.bmp", "data/sky/bluebk.bmp", "data/sky/bluedn.bmp",
                                      "data/sky/blueup.bmp", "data/sky/bluert.bmp", "data/sky/bluelf.bmp"};
        StdoutCapture out;
        out.begin();
        sky.create(paths);
        EXPECT_EQ(out.end(), "");
    }

    void TearDown() override
    {
        glExt.cubeMap = true;
        sky.release();
        std::filesystem::current_path(saved);
    }

    std::vector<uint8_t> draw(const Quat& orientation, bool cubeMap)
    {
        Camera camera;
        camera.init(nullptr, false, 1, 1, 1, 1, 1000, Vec3(50, -20, 30), orientation);
        camera.apply(Camera::LOAD_PROJECTION_IDENTITY | Camera::SET_PROJECTION, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glExt.cubeMap = cubeMap;
        sky.render(camera);
        glExt.cubeMap = true;
        grab();
        return pixels;
    }

    Sky sky;
    std::filesystem::path saved;
};

TEST_F(ProgramSky, FacePathAndCubeMapPathAgreeWithoutSeams)
{
    // Yaw about z then pitch about the camera's y; views into edges and corners.
    const float views[][2] = {{0, 0}, {45, 0}, {45, -35}, {135, 35}, {200, -60}, {10, -90}, {80, 89}};
    for (const auto& view : views) {
        const Quat q = multiply(fromAxisAngle(Vec3(0, 0, 1), view[0]), fromAxisAngle(Vec3(0, 1, 0), view[1]));
        const std::vector<uint8_t> faces = draw(q, false);
        const std::vector<uint8_t> cube = draw(q, true);
        int worst = 0, over = 0;
        for (size_t i = 0; i < faces.size(); i += 4)
            for (int k = 0; k < 3; ++k) {
                const int d = std::abs(faces[i + k] - cube[i + k]);
                worst = std::max(worst, d);
                if (d > 10) ++over;
            }
        EXPECT_EQ(over, 0) << "view " << view[0] << ", " << view[1] << ": worst difference " << worst;
        // Something was drawn: the sky is never black.
        EXPECT_GT(faces[0] + faces[1] + faces[2], 60);
    }
}

// Pictures of our own whose every texel's colour is the world direction it should be
// seen in, placed from the GL's cube-map layout (picture i is cube face +X, -X, +Y, -Y,
// +Z, -Z in turn, picture row 0 at t = 0) and the cube's documented turn into the world
// (cube +y down, cube +z towards world +y), never from the sky's face table. Whatever
// the view, both drawing paths must then show each pixel's own direction: a face drawn
// on the wrong side, mirrored or turned shows directions that are far off.
TEST_F(ProgramSky, EveryPixelShowsTheColourOfItsOwnWorldDirection)
{
    auto colourOf = [](const Vec3& d) {
        const Vec3 u = normalised(d);
        return Vec3((u.x + 1) * 127.5f, (u.y + 1) * 127.5f, (u.z + 1) * 127.5f);
    };
    // The direction GL looks up at (s, t) of cube face f, in cube then world axes.
    auto worldOf = [](int f, float s, float t) {
        const float sc = 2 * s - 1, tc = 2 * t - 1;
        const Vec3 cube[6] = {{1, -tc, -sc}, {-1, -tc, sc}, {sc, 1, tc}, {sc, -1, -tc}, {sc, -tc, 1}, {-sc, -tc, -1}};
        const Vec3& c = cube[f];
        return Vec3(c.x, c.z, -c.y);
    };
    const int n = 64;
    const std::string dir = scratchDir("sky_directions");
    std::string paths[6];
    const char* pathText[6];
    for (int f = 0; f < 6; ++f) {
        std::vector<uint8_t> bgr(static_cast<size_t>(n) * n * 3);
        for (int j = 0; j < n; ++j)
            for (int i = 0; i < n; ++i) {
                const Vec3 c = colourOf(worldOf(f, (i + 0.5f) / n, (j + 0.5f) / n));
                uint8_t* p = &bgr[static_cast<size_t>(j * n + i) * 3];
                p[0] = static_cast<uint8_t>(std::lround(c.z));
                p[1] = static_cast<uint8_t>(std::lround(c.y));
                p[2] = static_cast<uint8_t>(std::lround(c.x));
            }
        paths[f] = dir + "/face" + std::to_string(f) + ".bmp";
        ASSERT_TRUE(Dumper::writeBmp(paths[f].c_str(), bgr.data(), n, n));
        pathText[f] = paths[f].c_str();
    }
    StdoutCapture out;
    out.begin();
    sky.create(pathText);
    EXPECT_EQ(out.end(), "");

    // Looking along +x, -x, +y, -y, up and down, then rolled a quarter and a half turn,
    // then turned about all three axes.
    const Vec3 X(1, 0, 0), Y(0, 1, 0), Z(0, 0, 1);
    const Quat views[] = {
        kIdentityQuat,          fromAxisAngle(Z, 180),  fromAxisAngle(Z, 90),   fromAxisAngle(Z, -90),
        fromAxisAngle(Y, -90),  fromAxisAngle(Y, 90),   fromAxisAngle(X, 90),   fromAxisAngle(X, 180),
        multiply(fromAxisAngle(Y, -90), fromAxisAngle(X, 90)),
        multiply(multiply(fromAxisAngle(Z, 30), fromAxisAngle(Y, -40)), fromAxisAngle(X, 25)),
    };
    for (const Quat& q : views) {
        // Camera frame: +x forward, +y the image's left, +z its up.
        const Vec3 fwd = rotate(q, X), left = rotate(q, Y), up = rotate(q, Z);
        for (bool cubeMap : {false, true}) {
            const std::vector<uint8_t> got = draw(q, cubeMap);
            std::vector<int> errors;
            for (int y = 0; y < 256; ++y)
                for (int x = 0; x < 256; ++x) {
                    // A 90 degree view: half-width 1 at distance 1.
                    const float sx = (x + 0.5f) / 128 - 1, sy = (y + 0.5f) / 128 - 1;
                    const Vec3 want = colourOf(fwd - left * sx + up * sy);
                    const uint8_t* p = &got[static_cast<size_t>(y * 256 + x) * 4];
                    errors.push_back(static_cast<int>(std::max({std::fabs(p[0] - want.x), std::fabs(p[1] - want.y),
                                                                std::fabs(p[2] - want.z)})));
                }
            std::sort(errors.begin(), errors.end());
            const std::string where = "forward " + std::to_string(fwd.x) + " " + std::to_string(fwd.y) + " " +
                                      std::to_string(fwd.z) + ", up " + std::to_string(up.x) + " " +
                                      std::to_string(up.y) + " " + std::to_string(up.z) +
                                      (cubeMap ? ", cube map" : ", faces");
            EXPECT_LE(errors[errors.size() * 99 / 100], 4) << where;
            EXPECT_LE(errors.back(), 16) << where;
        }
    }
}
