#pragma once
// Running a step of one's own on a window's thread, and writing lists there in batches.
//
// A worker that must change several controls together (a visible pick list and its hidden twin, which
// have to stay aligned) hands the whole change to the window thread as one step: nothing else runs on
// that thread between the step's first and last write, so no other worker's writes can land in between.
//
// Lists are written in batches. Every change to a list view or list box invalidates, scrolls or
// re-measures part of the control, and under Wine that costs a hundred times the change itself, for a
// hidden control as well as for a shown one; a call that a worker makes crosses to the window thread
// as a message of its own on top. A batch is one window-thread step that holds back the repainting of
// the lists it writes (RedrawHold, runtime/redraw_hold.h) and repaints each once at its end.
#include "runtime/forms.h"
#include "runtime/redraw_hold.h"

#include <functional>
#include <initializer_list>

// Runs `fn` on the thread that owns `window` and waits for it to finish (runs it at once when called
// on that thread). When that thread is a window thread of this runtime, the writes the calling thread
// queued for it run first, and inside `fn` every control of its windows may be used directly. A window
// of another thread of the process that is no form is reached through a one-shot hook on its thread.
// False, and nothing run, when the window is gone by the time its thread would run `fn`.
bool RunOnWindowThread(HWND window, const std::function<void()>& fn);

// The same for the window thread of a control's window. False, and nothing run, when the control is
// dead (its window closed, or an unknown name).
bool RunOnWindowThread(const Control& control, const std::function<void()>& fn);

// A batch: runs `fn` on the window thread of the first control, with the repainting of every control
// in `lists` held for the whole step. All controls must belong to windows of that thread. False, and
// nothing run, when the first control is dead.
bool WriteBatch(std::initializer_list<Control> lists, const std::function<void()>& fn);
