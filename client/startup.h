#pragma once

// Start-up of the main program: opens the main window and runs the message loop until no window
// of the program is left. Returns 0.
int RunMainProgram();
