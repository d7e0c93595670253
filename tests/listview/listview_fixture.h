#pragma once
// A real report-mode list view in a parent window, made on the test thread, with a few tools to fill
// and read it, to count the messages it receives and to run code on a worker thread while the test
// thread pumps messages.
#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace listview_test {

using Rows = std::vector<std::vector<std::string>>;

// Messages received by the list view, by message number.
inline std::map<HWND, std::map<UINT, int>>& Counts()
{
    static std::map<HWND, std::map<UINT, int>> counts;
    return counts;
}
inline std::map<HWND, WNDPROC>& ListViewProcs()
{
    static std::map<HWND, WNDPROC> procs;
    return procs;
}

inline LRESULT CALLBACK CountingListViewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    ++Counts()[window][message];
    return CallWindowProcA(ListViewProcs()[window], window, message, wParam, lParam);
}

// The parent's own procedure: counts the notifications that a test makes up (control id
// kMadeUpId) and answers them with a marker, so a test sees whether the colour procedure passed a
// message on. The list view's real notifications get the default answer: a non-zero answer to
// LVN_ITEMCHANGING would refuse every change of a cell text.
constexpr UINT_PTR kMadeUpId = 0x5173;
constexpr LRESULT kParentAnswer = 0x5A5A;
inline std::atomic<int> parentNotifications{0};
inline LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NOTIFY && reinterpret_cast<const NMHDR*>(lParam)->idFrom == kMadeUpId) {
        ++parentNotifications;
        return kParentAnswer;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

inline const char* ParentClass()
{
    static const char* name = [] {
        INITCOMMONCONTROLSEX init{sizeof init, ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&init);
        WNDCLASSA wc{};
        wc.lpfnWndProc = ParentProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.lpszClassName = "QuovantaListViewTestParent";
        RegisterClassA(&wc);
        return wc.lpszClassName;
    }();
    return name;
}

// Processes the thread's pending messages.
inline void Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// Runs `work` on a second thread while this thread pumps its messages (so that the worker's
// messages to this thread's windows are answered).
inline void RunOnWorker(const std::function<void()>& work, const std::function<void()>& meanwhile = {})
{
    std::atomic<bool> done{false};
    std::thread worker([&] {
        work();
        done = true;
    });
    while (!done) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, meanwhile ? 0 : 10, QS_ALLINPUT);
        Pump();
        if (meanwhile) meanwhile();
    }
    worker.join();
}

// The parent is not shown: without a window manager (Xvfb) Wine waits two seconds for every shown
// top-level window that is destroyed. The list view itself has WS_VISIBLE, and paints are asked for
// with WM_PRINTCLIENT.
class ListViewWindow {
public:
    explicit ListViewWindow(int columns, bool visible = false)
    {
        parent_ = CreateWindowExA(0, ParentClass(), "list view test", WS_OVERLAPPEDWINDOW | (visible ? WS_VISIBLE : 0),
                                  0, 0, 640, 480, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        list_ = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | LVS_REPORT, 0, 0, 620, 440, parent_,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
        for (int k = 0; k < columns; ++k) {
            std::string title = "c" + std::to_string(k);
            LVCOLUMNA c{};
            c.mask = LVCF_TEXT | LVCF_WIDTH;
            c.cx = 70;
            c.pszText = title.data();
            SendMessageA(list_, LVM_INSERTCOLUMNA, k, reinterpret_cast<LPARAM>(&c));
        }
        ListViewProcs()[list_] = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(list_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountingListViewProc)));
        Pump();
    }
    ~ListViewWindow()
    {
        if (IsWindow(parent_)) DestroyWindow(parent_);
        Counts().erase(list_);
        ListViewProcs().erase(list_);
        Pump();
    }
    ListViewWindow(const ListViewWindow&) = delete;
    ListViewWindow& operator=(const ListViewWindow&) = delete;

    HWND parent() const { return parent_; }
    HWND list() const { return list_; }

    void AddRow(const std::vector<std::string>& cells, LPARAM data = 0)
    {
        LVITEMA item{};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = RowCount();
        item.lParam = data;
        std::string first = cells.empty() ? std::string() : cells[0];
        item.pszText = first.data();
        const int row = static_cast<int>(SendMessageA(list_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
        for (std::size_t k = 1; k < cells.size(); ++k) SetCell(row, static_cast<int>(k), cells[k]);
    }
    void AddRows(const Rows& rows)
    {
        for (const auto& r : rows) AddRow(r);
    }
    void SetCell(int row, int column, const std::string& text)
    {
        LVITEMA item{};
        item.iSubItem = column;
        std::string copy = text;
        item.pszText = copy.data();
        SendMessageA(list_, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    }
    int RowCount() const { return static_cast<int>(SendMessageA(list_, LVM_GETITEMCOUNT, 0, 0)); }
    int ColumnCount() const
    {
        auto header = reinterpret_cast<HWND>(SendMessageA(list_, LVM_GETHEADER, 0, 0));
        return static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
    }
    std::string Cell(int row, int column) const
    {
        std::vector<char> buffer(1 << 16);
        LVITEMA item{};
        item.iSubItem = column;
        item.pszText = buffer.data();
        item.cchTextMax = static_cast<int>(buffer.size());
        SendMessageA(list_, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
        return buffer.data();
    }
    Rows AllRows() const
    {
        Rows rows;
        const int columns = ColumnCount();
        for (int r = 0; r < RowCount(); ++r) {
            rows.emplace_back();
            for (int k = 0; k < columns; ++k) rows.back().push_back(Cell(r, k));
        }
        return rows;
    }
    LPARAM ItemData(int row) const
    {
        LVITEMA item{};
        item.mask = LVIF_PARAM;
        item.iItem = row;
        SendMessageA(list_, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
        return item.lParam;
    }
    // Messages of one kind the list view received since the last reset.
    int Received(UINT message) const
    {
        auto it = Counts().find(list_);
        if (it == Counts().end()) return 0;
        auto m = it->second.find(message);
        return m == it->second.end() ? 0 : m->second;
    }
    void ResetCounts() { Counts()[list_].clear(); }

private:
    HWND parent_ = nullptr;
    HWND list_ = nullptr;
};

}  // namespace listview_test
