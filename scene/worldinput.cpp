#include "scene/worldinput.h"

#include "scene/parscene.h"

int applyInput(ParScene& world, const WorldInput& in)
{
    switch (in.kind) {
    case WorldInput::MouseRay:
        world.setMouseRay(in.ray);
        break;
    case WorldInput::Grab:
        world.setMouseRay(in.ray);
        world.grabParticle(world.nearestParticle(in.ray));
        break;
    case WorldInput::Release:
        world.grabParticle(nullptr);
        break;
    case WorldInput::Pin:
        if (Particle* p = world.heldParticle) world.parSys.pinByHand(p, p->invMass != 0);
        break;
    case WorldInput::Fountain:
        world.fountainRequested = true;
        break;
    case WorldInput::TerrainLoad:
    case WorldInput::TerrainUnload:
        world.setMouseRay(in.ray);
        world.editTerrain(in.kind == WorldInput::TerrainLoad);
        break;
    case WorldInput::Source:
        return world.placeSource(in.ray);
    case WorldInput::Sink:
        world.placeSink(in.ray);
        break;
    case WorldInput::SingleStep:
        world.singleStep();
        // Asked for with this step, a fountain is not asked for again by the next.
        world.fountainRequested = false;
        break;
    case WorldInput::TimeStep:
        world.setTimeStep(in.value);
        break;
    case WorldInput::Integrator:
        world.setUseRk4(in.value != 0);
        break;
    case WorldInput::Reset:
        world.init();  // a failure leaves an empty world
        break;
    case WorldInput::Gravity:
        world.setGravity(in.value);
        break;
    case WorldInput::AirDrag:
        world.setAirDrag(in.value);
        break;
    case WorldInput::BodyKs:
        world.setBodyKs(in.value);
        break;
    case WorldInput::BodyKd:
        world.setBodyKd(in.value);
        break;
    case WorldInput::BodyPressure:
        world.setBodyPressure(in.value);
        break;
    case WorldInput::KindCount:
        break;
    }
    return 0;
}
