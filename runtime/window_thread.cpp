#include "runtime/window_thread.h"

#include "runtime/forms_internal.h"

bool RunOnWindowThread(const Control& control, const std::function<void()>& fn)
{
    return forms_detail::WithControl(control.State(), [&](ControlState&) { fn(); });
}
