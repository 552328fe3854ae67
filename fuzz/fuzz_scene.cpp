// libFuzzer target for the scene-file reader: any bytes, any line lengths, any blocks.
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <dlfcn.h>
#include <unistd.h>

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
    // The loaded world must survive a few steps of play.
    scene.timeStep = 1.0f / 60;
    for (int i = 0; i < 3; ++i) {
        scene.emit(scene.timeStep);
        scene.ageGlow(scene.timeStep);
        scene.ageEmitters(scene.timeStep);
        scene.step(scene.timeStep);
    }
    return 0;
}
