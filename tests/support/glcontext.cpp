#include "glcontext.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <string>

#include "core/glext.h"

namespace {
typedef void (*PfnGenFramebuffers)(GLsizei, GLuint*);
typedef void (*PfnBindFramebuffer)(GLenum, GLuint);
typedef void (*PfnGenRenderbuffers)(GLsizei, GLuint*);
typedef void (*PfnBindRenderbuffer)(GLenum, GLuint);
typedef void (*PfnRenderbufferStorage)(GLenum, GLenum, GLsizei, GLsizei);
typedef void (*PfnFramebufferRenderbuffer)(GLenum, GLenum, GLenum, GLuint);
typedef void (*PfnDeleteFramebuffers)(GLsizei, const GLuint*);
typedef void (*PfnDeleteRenderbuffers)(GLsizei, const GLuint*);

constexpr GLenum kFramebuffer = 0x8D40, kRenderbuffer = 0x8D41, kColorAttachment0 = 0x8CE0,
                 kDepthStencilAttachment = 0x821A, kDepth24Stencil8 = 0x88F0, kRgba8 = 0x8058;

bool gReady = false;
std::string gError;
GLuint gFbo = 0, gColour = 0, gDepth = 0;
int gWidth = 0, gHeight = 0;

void* loadProc(const char* name) { return reinterpret_cast<void*>(eglGetProcAddress(name)); }

bool createContext()
{
    auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    EGLDisplay dpy = EGL_NO_DISPLAY;
    if (getPlatformDisplay) dpy = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (dpy == EGL_NO_DISPLAY) {
        gError = "no EGL surfaceless display";
        return false;
    }
    EGLint major, minor;
    if (!eglInitialize(dpy, &major, &minor)) {
        gError = "eglInitialize failed";
        return false;
    }
    if (!eglBindAPI(EGL_OPENGL_API)) {
        gError = "no desktop OpenGL through EGL";
        return false;
    }
    const EGLint configAttribs[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
    EGLConfig config = nullptr;
    EGLint count = 0;
    eglChooseConfig(dpy, configAttribs, &config, 1, &count);
    const EGLint ctxAttribs[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT,
                                 EGL_NONE};
    EGLContext ctx = eglCreateContext(dpy, count ? config : EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, ctxAttribs);
    if (ctx == EGL_NO_CONTEXT) {
        gError = "eglCreateContext failed";
        return false;
    }
    if (!eglMakeCurrent(dpy, EGL_NO_SURFACE, EGL_NO_SURFACE, ctx)) {
        gError = "eglMakeCurrent failed";
        return false;
    }
    return true;
}

bool makeFramebuffer(int width, int height)
{
    auto genFramebuffers = reinterpret_cast<PfnGenFramebuffers>(loadProc("glGenFramebuffers"));
    auto bindFramebuffer = reinterpret_cast<PfnBindFramebuffer>(loadProc("glBindFramebuffer"));
    auto genRenderbuffers = reinterpret_cast<PfnGenRenderbuffers>(loadProc("glGenRenderbuffers"));
    auto bindRenderbuffer = reinterpret_cast<PfnBindRenderbuffer>(loadProc("glBindRenderbuffer"));
    auto storage = reinterpret_cast<PfnRenderbufferStorage>(loadProc("glRenderbufferStorage"));
    auto attach = reinterpret_cast<PfnFramebufferRenderbuffer>(loadProc("glFramebufferRenderbuffer"));
    auto deleteFramebuffers = reinterpret_cast<PfnDeleteFramebuffers>(loadProc("glDeleteFramebuffers"));
    auto deleteRenderbuffers = reinterpret_cast<PfnDeleteRenderbuffers>(loadProc("glDeleteRenderbuffers"));
    if (!genFramebuffers || !bindFramebuffer || !genRenderbuffers || !storage || !attach) {
        gError = "no framebuffer objects";
        return false;
    }
    if (gFbo) {
        bindFramebuffer(kFramebuffer, 0);
        deleteFramebuffers(1, &gFbo);
        GLuint rbs[2] = {gColour, gDepth};
        deleteRenderbuffers(2, rbs);
    }
    genFramebuffers(1, &gFbo);
    bindFramebuffer(kFramebuffer, gFbo);
    genRenderbuffers(1, &gColour);
    bindRenderbuffer(kRenderbuffer, gColour);
    storage(kRenderbuffer, kRgba8, width, height);
    attach(kFramebuffer, kColorAttachment0, kRenderbuffer, gColour);
    genRenderbuffers(1, &gDepth);
    bindRenderbuffer(kRenderbuffer, gDepth);
    storage(kRenderbuffer, kDepth24Stencil8, width, height);
    attach(kFramebuffer, kDepthStencilAttachment, kRenderbuffer, gDepth);
    gWidth = width;
    gHeight = height;
    return true;
}
}  // namespace

bool GlContext::make(int width, int height, std::string* error)
{
    if (!gReady) {
        gReady = createContext();
        if (!gReady) {
            if (error) *error = gError;
            return false;
        }
    }
    if (gWidth != width || gHeight != height || !gFbo) {
        if (!makeFramebuffer(width, height)) {
            if (error) *error = gError;
            return false;
        }
    }
    glViewport(0, 0, width, height);
    return true;
}

std::vector<uint8_t> GlContext::readPixels(int width, int height)
{
    std::vector<uint8_t> out(static_cast<size_t>(width) * height * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, out.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    return out;
}

void GlTest::SetUp()
{
    std::string error;
    ASSERT_TRUE(GlContext::make(width(), height(), &error)) << "no offscreen GL context: " << error;
    probeGlExtensions(loadProc);
    // The program's fixed start-up state, so draw code meets what it meets at run time.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearColor(0, 0, 0, 0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_NORMALIZE);
    glDisable(GL_CULL_FACE);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    glColor4f(1, 1, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
}

void GlTest::grab() { pixels = GlContext::readPixels(width(), height()); }

Rgb GlTest::pixel(int x, int y)
{
    const uint8_t* p = &pixels[(static_cast<size_t>(y) * width() + x) * 4];
    return {p[0], p[1], p[2]};
}

void GlWorldTest::SetUp()
{
    GlTest::SetUp();
    if (HasFatalFailure()) return;
    glMatrixMode(GL_PROJECTION);
    glOrtho(-4, 4, -4, 4, -50, 50);
    glMatrixMode(GL_MODELVIEW);
}
