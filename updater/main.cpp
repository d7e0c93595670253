// Program entry of Brelmor自动更新.
#include "updater/window.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    return updater::RunUpdater();
}
