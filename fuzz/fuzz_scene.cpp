// libFuzzer target for the scene-file reader: any bytes, any line lengths, any blocks.
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <dlfcn.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "scene/parscene.h"

namespace {
ParScene scene;
std::string path;

// Texture uploads need a current GL context: a surfaceless EGL one, with the EGL
// library opened at run time so the target links like the other readers.
bool makeContext()
{
    void* egl = dlopen("libEGL.so.1", RTLD_NOW);
    if (!egl) return false;
    auto getProc = reinterpret_cast<PFNEGLGETPROCADDRESSPROC>(dlsym(egl, "eglGetProcAddress"));
    auto initialize = reinterpret_cast<PFNEGLINITIALIZEPROC>(dlsym(egl, "eglInitialize"));
    auto bindApi = reinterpret_cast<PFNEGLBINDAPIPROC>(dlsym(egl, "eglBindAPI"));
    auto chooseConfig = reinterpret_cast<PFNEGLCHOOSECONFIGPROC>(dlsym(egl, "eglChooseConfig"));
    auto createContext = reinterpret_cast<PFNEGLCREATECONTEXTPROC>(dlsym(egl, "eglCreateContext"));
    auto makeCurrent = reinterpret_cast<PFNEGLMAKECURRENTPROC>(dlsym(egl, "eglMakeCurrent"));
    if (!getProc || !initialize || !bindApi || !chooseConfig || !createContext || !makeCurrent) return false;
    auto platformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(getProc("eglGetPlatformDisplayEXT"));
    if (!platformDisplay) return false;
    EGLDisplay dpy = platformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    EGLint major, minor;
    if (dpy == EGL_NO_DISPLAY || !initialize(dpy, &major, &minor) || !bindApi(EGL_OPENGL_API)) return false;
    const EGLint attribs[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
    EGLConfig config = nullptr;
    EGLint count = 0;
    chooseConfig(dpy, attribs, &config, 1, &count);
    EGLContext ctx = createContext(dpy, count ? config : EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, nullptr);
    return ctx != EGL_NO_CONTEXT && makeCurrent(dpy, EGL_NO_SURFACE, EGL_NO_SURFACE, ctx);
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (!makeContext()) {
        std::fprintf(stderr, "fuzz_scene: no GL context\n");
        std::abort();
    }
    // The reader echoes every line; keep the fuzzer's own output readable.
    if (!std::freopen("/dev/null", "w", stdout)) return 0;
    char dir[] = "/tmp/fuzz_scene_XXXXXX";
    if (mkdtemp(dir)) path = std::string(dir) + "/input.scn";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    // A fresh world per input, as the reset button gives.
    scene.shutdown();
    scene.parSys.init();
    scene.emittedParticles.init(&scene.parSys);
    scene.load(path.c_str());
    // The loaded world must survive two seconds of play under the integrator and with the
    // hand the input draws: whatever the file holds, a particle is taken and swung about,
    // and no particle of the world may stop being a number.
    uint32_t hash = 2166136261u;
    for (size_t i = 0; i < size; ++i) hash = (hash ^ data[i]) * 16777619u;
    scene.useRk4 = hash & 1;
    const float swing = static_cast<float>((hash >> 1) & 0xff) / 128;  // up to 2 rad
    const int every = 1 + static_cast<int>((hash >> 9) & 15);
    const Vec3 eye(static_cast<float>((hash >> 13) & 63) - 100, -40, 30);
    scene.timeStep = ParScene::kPlayStep;
    Vec3 ahead;
    for (int u = 0; u < 120; ++u) {
        if (u == 10 && scene.parSys.first()) {
            Particle* held = scene.parSys.first();
            ahead = held->pos - eye;
            scene.setMouseRay(Ray{eye, ahead});
            scene.grabParticle(held);
        }
        if (scene.heldParticle && u < 100) {
            const float turn = (u / every) % 2 ? swing : -swing;
            const float c = std::cos(turn), sn = std::sin(turn);
            scene.setMouseRay(Ray{eye, Vec3(c * ahead.x - sn * ahead.y, sn * ahead.x + c * ahead.y, ahead.z)});
        }
        if (u == 100) scene.grabParticle(nullptr);
        scene.emit(scene.timeStep);
        scene.ageGlow(scene.timeStep);
        scene.ageEmitters(scene.timeStep);
        scene.step(scene.timeStep);
        for (const Particle* p = scene.parSys.first(); p; p = p->next)
            for (int a = 0; a < 3; ++a)
                if (!std::isfinite(p->pos[a]) || !std::isfinite(p->vel[a])) {
                    std::fprintf(stderr, "fuzz_scene: a particle stopped being a number at update %d\n", u);
                    std::abort();
                }
    }
    scene.grabParticle(nullptr);
    return 0;
}
