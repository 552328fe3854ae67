#include "app/framepace.h"

FramePace::Clock::duration FramePace::wait(Clock::time_point now)
{
    if (started && now < next) return next - now;
    // A frame a whole period late restarts the beat from now: frames missed on a busy
    // machine are not made up in a burst, which would play the world faster than real time.
    next = started && now - next < kPeriod ? next + kPeriod : now + kPeriod;
    started = true;
    return Clock::duration::zero();
}

bool FramePace::draw(bool still)
{
    if (!still) settle = kSettleFrames;
    if (settle == 0) return false;
    --settle;
    return true;
}
