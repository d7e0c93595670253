// The registry of the program's open windows, the message loop that runs while any of them is open,
// and the names that control windows carry for tools in other processes.
#include "runtime/forms_internal.h"

#include <algorithm>

using namespace forms_detail;

namespace {

std::mutex g_formsLock;
std::vector<std::shared_ptr<FormState>> g_forms;  // every window not yet fully destroyed

thread_local int t_loopDepth = 0;

}  // namespace

namespace forms_detail {

void RegisterOpenForm(std::shared_ptr<FormState> form)
{
    std::lock_guard<std::mutex> lock(g_formsLock);
    g_forms.push_back(std::move(form));
}

std::shared_ptr<FormState> UnregisterOpenForm(const FormState* form)
{
    std::shared_ptr<FormState> last;
    std::lock_guard<std::mutex> lock(g_formsLock);
    auto it = std::find_if(g_forms.begin(), g_forms.end(),
                           [form](const std::shared_ptr<FormState>& s) { return s.get() == form; });
    if (it != g_forms.end()) {
        last = *it;
        g_forms.erase(it);
    }
    return last;
}

void QuitLoopAfterLastWindow()
{
    if (t_loopDepth > 0 && OpenFormCount() == 0)
        PostQuitMessage(0);
}

}  // namespace forms_detail

int RunMessageLoop()
{
    ++t_loopDepth;
    MSG msg;
    while (OpenFormCount() > 0) {
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0)
            break;
        HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
        bool dialogKey = false;
        if (root && (msg.message == WM_KEYDOWN || msg.message == WM_CHAR || msg.message == WM_SYSKEYDOWN)) {
            wchar_t cls[32] = {};
            GetClassNameW(root, cls, 32);
            // Tab, arrow keys and Enter move among the controls as in a dialog.
            if (lstrcmpW(cls, kFormClass) == 0)
                dialogKey = IsDialogMessageW(root, &msg) != FALSE;
        }
        if (!dialogKey) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    // The last window's going posted a quit request to wake this loop; it must not outlive the loop
    // (a later loop or pump of this thread would end at once).
    if (OpenFormCount() == 0)
        PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    --t_loopDepth;
    return 0;
}

int OpenFormCount()
{
    std::lock_guard<std::mutex> lock(g_formsLock);
    return static_cast<int>(std::count_if(g_forms.begin(), g_forms.end(),
                                          [](const std::shared_ptr<FormState>& f) { return f->alive.load(); }));
}

std::vector<Form> OpenForms()
{
    std::vector<Form> out;
    std::lock_guard<std::mutex> lock(g_formsLock);
    for (auto& f : g_forms)
        if (f->alive.load())
            out.emplace_back(f);
    return out;
}

Text ControlNameOf(HWND hwnd)
{
    if (!hwnd)
        return Text();
    auto atom = static_cast<ATOM>(reinterpret_cast<UINT_PTR>(GetPropA(hwnd, kNameProperty)));
    if (!atom)
        return Text();
    char buf[256] = {};
    UINT n = GlobalGetAtomNameA(atom, buf, sizeof(buf));
    return Text(buf, n);
}

namespace {
struct FindByName {
    Text name;
    HWND found = nullptr;
};
BOOL CALLBACK FindChild(HWND hwnd, LPARAM lp)
{
    auto* find = reinterpret_cast<FindByName*>(lp);
    if (ControlNameOf(hwnd) == find->name) {
        find->found = hwnd;
        return FALSE;
    }
    return TRUE;
}
}  // namespace

HWND FindControlWindow(HWND top, std::string_view name)
{
    FindByName find{Text(name)};
    EnumChildWindows(top, FindChild, reinterpret_cast<LPARAM>(&find));
    return find.found;
}

