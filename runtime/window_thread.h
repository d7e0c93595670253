#pragma once
// Running a step of one's own on a window's thread.
//
// A worker that must change several controls together (a visible pick list and its hidden twin, which
// have to stay aligned) hands the whole change to the window thread as one step: nothing else runs on
// that thread between the step's first and last write, so no other worker's writes can land in between.
#include "runtime/forms.h"

#include <functional>

// Runs `fn` on the window thread of the control's window and waits for it to finish (runs it at once
// when called on that thread). The writes the calling thread queued before run first. Inside `fn` every
// control of that window may be used directly; its reads and writes take effect at once. False, and
// nothing run, when the control is dead (its window closed, or an unknown name).
bool RunOnWindowThread(const Control& control, const std::function<void()>& fn);
