#pragma once
// Keeping a busy thread's windows responsive, and the mouse hook that keeps embedded browser panes
// from opening their context menu.
#include <windows.h>

// When the calling thread's queue holds mouse-button or keyboard input, processes the thread's
// pending window messages once (see PumpPendingMessages); otherwise returns at once. Long loops on
// a window thread call it once per item.
void PumpMessagesIfInputPending();

// Dispatches the calling thread's pending window messages until the queue is empty or a quit
// message is next; the quit message stays in the queue for the thread's message loop. Messages of
// other threads are never touched.
void PumpPendingMessages();

// The handle of the browser mouse hook, written once by the window that installs it and handed
// to CallNextHookEx by the hook.
extern HHOOK BrowserMouseHookHandle;

// Installs BrowserMouseHookProc as a WH_MOUSE hook of the calling thread and keeps its handle in
// BrowserMouseHookHandle (the hook stays for the life of the thread). Returns the handle, or null.
HHOOK InstallBrowserMouseHook();

// The WH_MOUSE hook procedure: hands its arguments to BrowserRightClickFilter.
LRESULT CALLBACK BrowserMouseHookProc(int code, WPARAM message, LPARAM hookData);

// Swallows the release of the right button (returns 1) while the window with the keyboard focus is
// an embedded browser pane (class "Internet Explorer_Server"), wherever the click happened; passes
// everything else on to the next hook.
LRESULT BrowserRightClickFilter(int code, WPARAM message, LPARAM hookData);
