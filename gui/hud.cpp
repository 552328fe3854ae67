#include "gui/hud.h"

#include "physics/springsystem.h"
#include "view/viewport.h"

std::vector<ParticleMark> particleMarks(const std::vector<Viewport*>& views, const Particle* held,
                                        const std::vector<Particle*>& pinned)
{
    std::vector<ParticleMark> marks;
    auto add = [&](const Particle* p, ParticleMark::Kind kind) {
        for (const Viewport* v : views) {
            float x, y;
            if (v && v->windowPoint(p->pos, x, y)) marks.push_back({kind, x, y, v});
        }
    };
    if (held) add(held, ParticleMark::Held);
    // A pin freed some other way (a reset, a scene's own massinv) is no longer marked.
    for (const Particle* p : pinned)
        if (p->invMass == 0) add(p, ParticleMark::Pinned);
    return marks;
}

bool ProblemBanner::follow(const tv::ProblemLine& last, int nowMs)
{
    if (last.serial != serial) {
        serial = last.serial;
        line = last.text;
        since = nowMs;
        shown = true;
        return true;
    }
    if (shown && nowMs - since >= kShowMs) {
        shown = false;
        return true;
    }
    return false;
}
