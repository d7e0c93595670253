// Program entry of Quovanta (see startup.h).
#include "client/startup.h"

#include "client/main_window.h"
#include "client/program_state.h"

#include <cstdlib>

int RunMainProgram()
{
    InitGlobalTextArrays();
    std::atexit(FreeGlobalTexts);
    LoadMainWindow();
    const int result = RunMessageLoop();
    MainWindow = Form();
    return result;
}
