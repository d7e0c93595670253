// Program entry of Quovanta.
#include "client/startup.h"
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    return RunMainProgram();
}
