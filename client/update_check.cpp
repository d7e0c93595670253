// The version check of page 5: the tick of 时钟1 (once, about two seconds after start-up) and the
// button 按钮_检查更新.
#include "client/main_window.h"

namespace {

void CheckForUpdateSilently() {}

void CheckForUpdate() {}

void OnUpdateTimer(const EventArgs& args)
{
    // The tick comes once: the timer stops before the check.
    args.form->Control("时钟1").SetInterval(0);
    CheckForUpdateSilently();
}

void OnCheckUpdateClicked(const EventArgs&) { CheckForUpdate(); }

}  // namespace

void BindUpdateCheckEvents(EventTable& events)
{
    events.push_back({"时钟1", Event::Tick, OnUpdateTimer});
    events.push_back({"按钮_检查更新", Event::Click, OnCheckUpdateClicked});
}
