#pragma once
// Turns of overlapping loads that end in a picture box: each load takes a turn when it is asked for
// (on the window thread), and only the newest load may write. Its texts are written in a step on the
// window thread that checks IsNewest there; its picture is decoded on the load's own worker by Set,
// which holds a lock of its own across the check and the write, so an older load's picture can never
// land after a newer one's.
#include "runtime/forms.h"

#include <atomic>
#include <mutex>

class NewestPicture {
public:
    // A new turn; every earlier one stops writing. Any thread.
    unsigned Ask() { return ++asked_; }
    bool IsNewest(unsigned turn) const { return turn == asked_.load(); }

    // Workers only (the window thread never waits for the lock, so a worker that holds it can always
    // reach the window thread): shows `bytes` in `box` while `turn` is the newest; empty bytes or bytes
    // that are no picture give an empty picture. False when the turn has passed or the box is gone.
    bool Set(unsigned turn, const Control& box, const ByteSet& bytes)
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (!IsNewest(turn))
            return false;
        box.SetPicture(bytes);
        return box.IsAlive();
    }

private:
    std::atomic<unsigned> asked_{0};
    std::mutex lock_;
};
