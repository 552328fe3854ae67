#pragma once
// Base of the spring-built bodies: remembers the particles and springs a body took from
// the scene's systems so that it can move, retune and give them back as a unit.
#include <vector>

#include "core/vecmath.h"
#include "physics/springsystem.h"

class SpringObj {
public:
    SpringObj() { SpringObj::reset(); }
    // Not virtual on purpose: owners destroy each body through its own type.
    ~SpringObj() { SpringObj::release(); }
    SpringObj(const SpringObj&) = delete;
    SpringObj& operator=(const SpringObj&) = delete;

    virtual void reset();
    virtual bool init(ParticleSystem* parSys, SpringSystem* springSys);
    virtual void release();
    virtual void restretch();

    void rotate(const Quat& q);
    void translate(const Vec3& v);
    void scale(const Vec3& v);
    void setKs(float k);
    void setKd(float k);
    // Makes the body a viscous sheet: each spring also damps the whole relative velocity
    // of its ends, sideways included, and no particle gets more than `most` mass units
    // per second from all its springs together.
    void setViscosity(float most);

    std::vector<Particle*> vertex;
    std::vector<int> spring;
    ParticleSystem* parSys = nullptr;
    SpringSystem* springSys = nullptr;

protected:
    // The one way a body takes a spring: from a to b, listed last in `spring`. Refused,
    // with nothing taken, when an end is missing (the force pass stops on such a spring)
    // or the system hands out no live slot; the body then fails its build. A spring from
    // a particle to itself is taken: it pulls with nothing, and a mesh whose faces repeat
    // a corner has edges like that, which must not cost it its body.
    bool takeSpring(Particle* a, Particle* b, float rest, float ks, float kd);

    // Every build that fails ends here: the body gives back all it took and is left empty
    // but bound to its systems, as init leaves it. Returns false.
    bool abandonBuild();
};
