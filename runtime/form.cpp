// Form: a loaded window's handle. Every call that touches the window runs on its window thread.
#include "runtime/forms_internal.h"

using namespace forms_detail;

bool Form::IsOpen() const { return state_ && state_->alive.load(); }

HWND Form::Handle() const
{
    HWND h = nullptr;
    if (state_)
        InvokeOn(state_->thread, state_->alive, [&] { h = state_->hwnd; });
    return h;
}

::Control Form::Control(std::string_view name) const
{
    if (!state_)
        return ::Control();
    // The name table is complete before the window is handed out and never changes afterwards.
    auto it = state_->byName.find(name);
    if (it == state_->byName.end())
        return ::Control();
    return ::Control(it->second);
}

std::vector<Text> Form::ControlNames() const
{
    std::vector<Text> out;
    if (state_)
        for (auto& c : state_->controls)
            out.push_back(c->spec.name);
    return out;
}

Text Form::Title() const
{
    Text t;
    if (state_)
        InvokeOn(state_->thread, state_->alive, [&] { t = WindowText(state_->hwnd); });
    return t;
}

void Form::SetTitle(std::string_view title) const
{
    if (!state_)
        return;
    Text copy(title);
    InvokeOn(state_->thread, state_->alive, [&] { SetWindowTextGbk(state_->hwnd, copy); });
}

bool Form::Visible() const
{
    bool v = false;
    if (state_)
        InvokeOn(state_->thread, state_->alive, [&] { v = IsWindowVisible(state_->hwnd) != FALSE; });
    return v;
}

void Form::Show(bool on) const
{
    if (state_)
        InvokeOn(state_->thread, state_->alive, [&] { ShowWindow(state_->hwnd, on ? SW_SHOW : SW_HIDE); });
}

void Form::On(std::string_view control, Event event, EventHandler handler) const
{
    if (!state_)
        return;
    std::lock_guard<std::mutex> lock(state_->handlersLock);
    if (handler)
        state_->handlers[{Text(control), event}] = std::move(handler);
    else
        state_->handlers.erase({Text(control), event});
}

void Form::Raise(std::string_view control, Event event, EventArgs args) const
{
    if (!state_)
        return;
    Text name(control);
    InvokeOn(state_->thread, state_->alive, [&] {
        ControlState* c = nullptr;
        if (!name.empty()) {
            auto it = state_->byName.find(name);
            if (it != state_->byName.end())
                c = it->second.get();
        }
        if (c || name.empty())
            Fire(*state_, c, event, args);
        else
            FireNamed(*state_, name, event, args);  // a menu item, named by its caption
    });
}

void Form::Close() const
{
    if (state_)
        InvokeOn(state_->thread, state_->alive, [&] { PostMessageA(state_->hwnd, WM_CLOSE, 0, 0); });
}

void Form::Destroy() const
{
    if (state_)
        InvokeOn(state_->thread, state_->alive, [&] { DestroyWindow(state_->hwnd); });
}

void Form::Popup(std::string_view menu) const { Control(menu).Popup(); }
