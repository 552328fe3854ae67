#include "gui/gui.h"

#include <GL/gl.h>

#include <cstdio>
#include <new>

#include "core/debug.h"
#include "core/input.h"
#include "core/problems.h"
#include "scene/parscene.h"

GlGuiButton::GlGuiButton(int x_, int y_, int width_, int height_, const char* imagePath)
    : x(x_), y(y_), width(width_), height(height_)
{
    if (imagePath && !image.load(imagePath))
        tv::problem("GlGuiButton::GlGuiButton: failed to load file %s\n", imagePath);
}

void GlGuiButton::drawQuad(const Texture& texture) const
{
    texture.bind();
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2i(x, y);
    glTexCoord2f(1, 0);
    glVertex2i(x + width, y);
    glTexCoord2f(1, 1);
    glVertex2i(x + width, y + height);
    glTexCoord2f(0, 1);
    glVertex2i(x, y + height);
    glEnd();
}

void GlGuiButton::draw() { drawQuad(image); }

bool GlGuiButton::handleMouse(int, int, int px, int py) { return contains(px, py); }

namespace {
// A second picture of a two-image button, reported like the first.
void loadSecond(Texture& texture, const char* path)
{
    if (!texture.load(path)) tv::problem("GlGuiButton::GlGuiButton: failed to load file %s\n", path);
}
}  // namespace

int SceneButton::send(const WorldInput& in) const
{
    return sender && *sender ? (*sender)(in) : applyInput(*scene, in);
}

IntegratorButton::IntegratorButton(ParScene* s) : SceneButton(s, 0, 96, 64, 32, "data/int_euler.bmp")
{
    loadSecond(second, "data/int_rk4.bmp");
}

void IntegratorButton::draw() { drawQuad(scene->useRk4 ? second : image); }

bool IntegratorButton::handleMouse(int newButtons, int oldButtons, int px, int py)
{
    if (!contains(px, py)) return false;
    if (leftPressed(newButtons, oldButtons)) send({WorldInput::Integrator, {}, scene->useRk4 ? 0.0f : 1.0f});
    return true;
}

SourceButton::SourceButton(ParScene* s, InputState* in) : SceneButton(s, 0, 32, 64, 32, "data/source.bmp"), input(in) {}

void SourceButton::draw()
{
    drawQuad(image);
    if (!input || input->placementMode == 0) return;
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_COLOR_BUFFER_BIT | GL_LINE_BIT);
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    glColor3f(0.4f, 0.35f, 0);
    glBegin(GL_QUADS);
    glVertex2i(x, y);
    glVertex2i(x + width, y);
    glVertex2i(x + width, y + height);
    glVertex2i(x, y + height);
    glEnd();
    glDisable(GL_BLEND);
    glColor3f(1, 0.85f, 0);
    glLineWidth(2);
    glBegin(GL_LINE_LOOP);
    glVertex2i(x + 1, y + 1);
    glVertex2i(x + width - 1, y + 1);
    glVertex2i(x + width - 1, y + height - 1);
    glVertex2i(x + 1, y + height - 1);
    glEnd();
    glPopAttrib();
}

bool SourceButton::handleMouse(int newButtons, int oldButtons, int px, int py)
{
    if (!contains(px, py)) return false;
    // With Shift the next press places a sink instead.
    if (leftPressed(newButtons, oldButtons) && input) input->placementMode = input->modifiers & kShiftModifier ? 2 : 1;
    return true;
}

ResetButton::ResetButton(ParScene* s) : SceneButton(s, 0, 64, 64, 32, "data/reset.bmp") {}

bool ResetButton::handleMouse(int newButtons, int oldButtons, int px, int py)
{
    if (!contains(px, py)) return false;
    if (leftPressed(newButtons, oldButtons)) send({WorldInput::Reset, {}, 0});  // a failure leaves an empty world
    return true;
}

PlayPauseButton::PlayPauseButton(ParScene* s) : SceneButton(s, 128, 64, 32, 32, "data/pause.bmp")
{
    loadSecond(second, "data/play.bmp");
}

void PlayPauseButton::draw() { drawQuad(scene->timeStep == 0 ? second : image); }

bool PlayPauseButton::handleMouse(int newButtons, int oldButtons, int px, int py)
{
    if (!contains(px, py)) return false;
    if (leftPressed(newButtons, oldButtons))
        send({WorldInput::TimeStep, {}, scene->timeStep == 0 ? ParScene::kPlayStep : 0.0f});
    return true;
}

bool GuiPanel::init(ParScene* scene_, InputState* input)
{
    destroy();
    if (!scene_) return false;
    scene = scene_;
    buttons.push_back(new (std::nothrow) IntegratorButton(scene));
    buttons.push_back(new (std::nothrow) SourceButton(scene, input));
    buttons.push_back(new (std::nothrow) ResetButton(scene));
    buttons.push_back(new (std::nothrow) PlayPauseButton(scene));
    for (GlGuiButton* b : buttons)
        if (!b) return false;
    for (GlGuiButton* b : buttons)
        if (auto* sb = dynamic_cast<SceneButton*>(b)) sb->sender = &sender;
    return true;
}

void GuiPanel::draw(int width, int height)
{
    glViewport(0, 0, width, height);
    glDisable(GL_DEPTH_TEST);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, width, 0, height, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glColor3f(1, 1, 1);
    for (size_t i = 0; i < buttons.size(); ++i) {
        TV_ASSERT(buttons[i]);
        buttons[i]->draw();
    }
    glEnable(GL_DEPTH_TEST);
}

bool GuiPanel::handleMouse(int newButtons, int oldButtons, int px, int py)
{
    for (size_t i = buttons.size(); i-- > 0;) {
        if (buttons[i] && buttons[i]->handleMouse(newButtons, oldButtons, px, py)) return true;
    }
    return false;
}

void GuiPanel::destroy()
{
    for (GlGuiButton* b : buttons) delete b;
    buttons.clear();
    scene = nullptr;
}
