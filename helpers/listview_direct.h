#pragma once
// Messages to a list view handed straight to its own window procedure (the list-view class's), for
// the loops that read or write every cell on the window thread.
//
// The forms runtime subclasses every control with comctl32's SetWindowSubclass. Under Wine that
// subclass looks its data up as a window property at every message, a wineserver round trip that
// costs some 150 us where the list view's own work for a cell read is below 1 us. The subclass acts
// on mouse, paint and notification messages only, never on the list-view messages sent here, so these
// loops skip it. From a thread other than the window's the messages are sent as usual.
#include <windows.h>

class ListViewDirect {
public:
    explicit ListViewDirect(HWND list) : list_(list)
    {
        if (list && GetWindowThreadProcessId(list, nullptr) == GetCurrentThreadId())
            proc_ = reinterpret_cast<WNDPROC>(GetClassLongPtrW(list, GCLP_WNDPROC));
    }
    LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam) const
    {
        return proc_ ? CallWindowProcW(proc_, list_, message, wParam, lParam)
                     : SendMessageW(list_, message, wParam, lParam);
    }
    HWND Handle() const { return list_; }

private:
    HWND list_;
    WNDPROC proc_ = nullptr;
};
