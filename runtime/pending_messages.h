#pragma once
// Handling the window messages that wait for the calling thread, for code that waits without a
// message loop of its own.
#include <windows.h>

// Handles the messages waiting for the calling thread and returns (a quit request stays queued for the
// loop that waits for it).
void ProcessPendingMessages();
