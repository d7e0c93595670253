#pragma once
// What several benchmarks share: the plain list-view writes that stand for the control's own cost, and
// seams that neither wait nor ask.
#include "runtime/forms.h"
#include "runtime/seams.h"

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

namespace bench {

// Seconds on the performance counter.
inline double Now()
{
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

// The name of platform game `i` in the new-game benchmarks' all-games replies.
inline std::string PlatformGameName(int i) { return "平台游戏" + std::to_string(i) + (i % 2 ? "Online" : "在线"); }

// `rows` into `list` at consecutive places from row 0, as plain list-view messages on the calling
// thread (the caller holds the redraw or not, as it measures): the control's own cost of a batch.
inline void PlainInsertRows(HWND list, const std::vector<TextArray>& rows)
{
    for (std::size_t r = 0; r < rows.size(); ++r) {
        LVITEMA item = {};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(r);
        item.pszText = const_cast<char*>(rows[r].empty() ? "" : rows[r][0].c_str());
        const LRESULT row = SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
        for (std::size_t c = 1; c < rows[r].size(); ++c) {
            LVITEMA sub = {};
            sub.iSubItem = static_cast<int>(c);
            sub.pszText = const_cast<char*>(rows[r][c].c_str());
            SendMessageA(list, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&sub));
        }
    }
}

// The waits of the features, taken out (the window's messages are still handled).
class NoWait final : public WaitSeam {
public:
    void Wait(int) override { ProcessPendingMessages(); }
};

// Every message box answered at once with OK.
class AnswerOk final : public MessageBoxSeam {
public:
    int Show(const Text&, const Text&, unsigned) override { return IDOK; }
};

}  // namespace bench
