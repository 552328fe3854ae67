// The settings panel's side that needs no window: its history and its outbox.
#include "gui/panel.h"

#include "scene/parscene.h"

void PanelHistory::add(const Sample& sample)
{
    ring[next] = sample;
    next = (next + 1) % kSamples;
    if (count < kSamples) ++count;
}

void SettingsPanel::sample(const ParScene& world)
{
    const WorldEnergy e = world.energy();
    const ParScene::StepSplit& t = world.lastStep;
    history.add({static_cast<float>(e.kinetic), static_cast<float>(e.gravitational), static_cast<float>(e.spring),
                 static_cast<float>(e.total()), static_cast<float>(1000 * t.forces),
                 static_cast<float>(1000 * t.integration), static_cast<float>(1000 * t.collision),
                 static_cast<float>(1000 * drawSeconds)});
}

bool SettingsPanel::deliver()
{
    bool stepped = false;
    std::vector<WorldInput> inputs;
    inputs.swap(outbox);
    for (const WorldInput& in : inputs) {
        stepped = stepped || in.kind == WorldInput::SingleStep;
        if (sendInput) sendInput(in);
    }
    const int world = worldChosen;
    worldChosen = -1;
    if (world >= 0 && openWorld) openWorld(world);
    return stepped;
}
