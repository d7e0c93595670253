#include "support/pump.h"
#include "runtime/forms.h"

#include <windows.h>

bool PumpUntil(const std::function<bool()>& done, int timeoutMs)
{
    DWORD start = GetTickCount();
    while (!done()) {
        if (static_cast<int>(GetTickCount() - start) >= timeoutMs)
            return done();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        ProcessPendingMessages();
    }
    return true;
}

void PumpFor(int ms)
{
    DWORD start = GetTickCount();
    while (static_cast<int>(GetTickCount() - start) < ms) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        ProcessPendingMessages();
    }
}
