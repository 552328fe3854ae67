#pragma once
// The on-screen button bar. (Buttons arrive with the scene's controls.)
class ParScene;

class GuiPanel {
public:
    bool init(ParScene* scene_)
    {
        scene = scene_;
        return scene != nullptr;
    }
    void draw(int, int) {}
    bool handleMouse(int, int, int, int) { return false; }

    ParScene* scene = nullptr;
};
