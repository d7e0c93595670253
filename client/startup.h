#pragma once
// Program entry of Quovanta.

// Start-up in this order: program-wide state, the exit clean-up, MainWindow (whose created handler
// skins the program and writes its files), then the message loop until no window of the program is
// left. Returns 0.
int RunMainProgram();
