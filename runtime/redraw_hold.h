#pragma once
// Holding back the repainting of a control window (a list view or list box) and repainting it once at
// the end: the count of holds of each window of a window thread.
#include <windows.h>

// Holds back the repainting of one control window (a list view or list box) for as long as it lives,
// and repaints it once at the end. Window thread only. Holds of one window nest: the outermost one
// ends the hold. A control that was hidden stays hidden (turning a window's redraw back on marks it
// visible; the hold takes that mark away again), and Control::Visible reads the visibility it will
// have once the hold ends.
class RedrawHold {
public:
    explicit RedrawHold(HWND window);
    ~RedrawHold();
    RedrawHold(const RedrawHold&) = delete;
    RedrawHold& operator=(const RedrawHold&) = delete;

private:
    HWND window_;
};

// True while `window` has a RedrawHold (or the hold of a worker's burst of writes); `visible` then
// receives the visibility it has once the hold ends. Window thread only.
bool RedrawHeld(HWND window, bool* visible = nullptr);

// The count of holds itself, window thread only: the first hold turns the redraw off, the last one
// turns it back on, keeps a hidden control hidden and repaints a shown one. SetHeldVisibility changes
// the visibility that the control gets when its hold ends (it is shown or hidden while held).
void AcquireRedrawHold(HWND h);
void ReleaseRedrawHold(HWND h);
void SetHeldVisibility(HWND h, bool visible);
// Drops every hold of a window that is going away.
void ForgetRedrawHolds(HWND h);
