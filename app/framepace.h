#pragma once
// The pace of the frame cycle. One 1/60 s update runs per frame, so frames come at most
// 60 a second: otherwise the world's speed would be the machine's drawing speed. A
// paused world that nothing changes is not drawn again; its updates still run, so the
// status line and every key keep working.
#include <chrono>

class FramePace {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr Clock::duration kPeriod = std::chrono::microseconds(16667);
    // Frames still drawn after the last change: a released key moves its camera once
    // more, and a middle press finds its pivot in the frame after it.
    static constexpr int kSettleFrames = 3;

    // Zero when a frame may start at `now`, which then counts as started; otherwise how
    // long until one may.
    Clock::duration wait(Clock::time_point now);
    // Something the picture may show has changed: draw the next few frames.
    void changed() { settle = kSettleFrames; }
    // Whether this frame is drawn; `still` says that nothing it shows is changing.
    bool draw(bool still);

private:
    Clock::time_point next{};
    bool started = false;
    int settle = kSettleFrames;
};
