#include "helpers/listview_sort.h"

#include <commctrl.h>

#include <charconv>
#include <climits>
#include <cmath>
#include <exception>
#include <functional>
#include <vector>

#include "runtime/datetime.h"
#include "runtime/window_thread.h"

namespace {

constexpr double kTolerance = 1e-7;

// 1 January 100, the earliest date: the day count of every text that is not a date-time.
constexpr double kEarliestDate = -657434.0;

int CompareNumbers(double x, double y)
{
    const double d = x - y;
    if (d < -kTolerance) return -1;
    if (d > kTolerance) return 1;
    return 0;
}

// Full-width forms of the ASCII characters (A3 A1 to A3 FE) become those characters and the
// ideographic space (A1 A1) a space; every other character is kept as it is.
Text MapFullWidth(std::string_view s)
{
    Text out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (IsLeadByte(c) && i + 1 < s.size()) {
            const auto t = static_cast<unsigned char>(s[i + 1]);
            if (c == 0xA3 && t >= 0xA1 && t <= 0xFE) {
                out.push_back(static_cast<char>(t - 0x80));
            } else if (c == 0xA1 && t == 0xA1) {
                out.push_back(' ');
            } else {
                out.push_back(s[i]);
                out.push_back(s[i + 1]);
            }
            i += 2;
        } else {
            out.push_back(s[i]);
            ++i;
        }
    }
    return out;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The leading decimal number of an already mapped text.
double ReadLeadingNumber(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\r' || s[i] == '\n')) ++i;
    // The number is rebuilt in the plain form from_chars takes: sign, digits, point, "e", exponent.
    std::string plain;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    std::size_t digits = 0;
    while (i < s.size() && IsDigit(s[i])) {
        plain.push_back(s[i++]);
        ++digits;
    }
    if (i < s.size() && s[i] == '.') {
        ++i;
        plain.push_back('.');
        while (i < s.size() && IsDigit(s[i])) {
            plain.push_back(s[i++]);
            ++digits;
        }
    }
    if (digits == 0) return 0.0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
        std::size_t j = i + 1;
        std::string exponent = "e";
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) exponent.push_back(s[j++]);
        const std::size_t first = j;
        while (j < s.size() && IsDigit(s[j])) exponent.push_back(s[j++]);
        if (j > first) plain += exponent;  // a letter without exponent digits ends the number
    }
    if (plain.front() == '.') plain.insert(plain.begin(), '0');
    double value = 0.0;
    const auto [end, ec] = std::from_chars(plain.data(), plain.data() + plain.size(), value);
    if (ec == std::errc::result_out_of_range) {
        // Too large or too small for a double: infinity or zero, by the sign of the exponent.
        const auto e = plain.find('e');
        value = (e != std::string::npos && plain[e + 1] == '-') ? 0.0 : HUGE_VAL;
    }
    return negative ? -value : value;
}

// Reads up to `maxDigits` digits at s[i]; a field without digits is 0.
int ReadField(std::string_view s, std::size_t& i, int maxDigits)
{
    int value = 0;
    for (int n = 0; n < maxDigits && i < s.size() && IsDigit(s[i]); ++n, ++i) value = value * 10 + (s[i] - '0');
    return value;
}

// Skips one separator at s[i] if it is one of the ASCII characters `ascii` or the double-byte `unit`.
void SkipSeparator(std::string_view s, std::size_t& i, std::string_view ascii, std::string_view unit)
{
    if (i >= s.size()) return;
    if (ascii.find(s[i]) != std::string_view::npos) {
        ++i;
    } else if (s.substr(i, unit.size()) == unit) {
        i += unit.size();
    }
}

bool ReadDateTime(std::string_view text, double& out)
{
    const Text mapped = MapFullWidth(text);
    const std::string_view s = mapped;
    std::size_t i = 0;
    DateTimeParts parts;
    parts.year = ReadField(s, i, 4);
    SkipSeparator(s, i, "-./:", "年");
    parts.month = ReadField(s, i, 2);
    SkipSeparator(s, i, "-./:", "月");
    parts.day = ReadField(s, i, 2);
    SkipSeparator(s, i, " -./:", "日");
    parts.hour = ReadField(s, i, 2);
    SkipSeparator(s, i, "-./:", "时");
    parts.minute = ReadField(s, i, 2);
    SkipSeparator(s, i, "-./:", "分");
    parts.second = ReadField(s, i, 2);
    const std::string_view rest = s.substr(i);
    if (!rest.empty() && rest != "秒") return false;
    if (parts.hour > 23 || parts.minute > 59 || parts.second > 59) return false;
    DateTime full = 0;
    if (!MakeDateTime(parts, full)) return false;
    // The day count from the date alone, the time added as a forward fraction: an OLE date before
    // 30 December 1899 keeps its fraction as a positive offset from a negative day (-1.25 is
    // 29 December 06:00), which would order the times of those days backwards.
    DateTimeParts date = parts;
    date.hour = date.minute = date.second = 0;
    DateTime day = 0;
    if (!MakeDateTime(date, day)) return false;
    out = std::round(day) + (parts.hour * 3600 + parts.minute * 60 + parts.second) / 86400.0;
    return true;
}

// The system locale's upper-case form of every GBK double-byte character (lead << 8 | trail),
// built once on first use.
const std::vector<unsigned short>& DoubleByteUpperCase()
{
    static const std::vector<unsigned short> table = [] {
        std::vector<unsigned short> t(0x10000);
        for (unsigned u = 0; u < 0x10000; ++u) t[u] = static_cast<unsigned short>(u);
        for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
            for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
                const char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
                char up[4] = {};
                const int n = LCMapStringA(LOCALE_SYSTEM_DEFAULT, LCMAP_UPPERCASE, in, 2, up, sizeof up);
                if (n == 2 && IsLeadByte(static_cast<unsigned char>(up[0])))
                    t[lead << 8 | trail] = static_cast<unsigned short>(static_cast<unsigned char>(up[0]) << 8 |
                                                                       static_cast<unsigned char>(up[1]));
            }
        }
        return t;
    }();
    return table;
}

// The next comparison unit at s[i]: a single byte, or a double-byte character as lead << 8 | trail
// (a lead byte at the very end counts as a single byte).
unsigned NextUnit(std::string_view s, std::size_t& i)
{
    const auto c = static_cast<unsigned char>(s[i]);
    if (IsLeadByte(c) && i + 1 < s.size()) {
        const unsigned unit = c << 8 | static_cast<unsigned char>(s[i + 1]);
        i += 2;
        return unit;
    }
    ++i;
    return c;
}

// Finds the insert position of a new key among n sorted keys; `compare(i)` gives the sign of the
// comparison of the new key with the i-th key (1-based).
template <class Compare>
int InsertPosition(int n, Compare compare)
{
    if (n == 0) return 1;
    if (compare(n) >= 0) return n + 1;  // a tie with the last key goes after it
    if (compare(1) <= 0) return 1;      // a tie with the first key goes before it
    int lo = 1, hi = n;
    while (lo < hi - 1) {
        const int mid = (lo + hi) / 2;
        const int c = compare(mid);
        if (c == 0) {
            lo = mid;
            break;
        }
        if (c < 0)
            hi = mid;
        else
            lo = mid;
    }
    return lo + 1;
}

int RowCount(HWND listView)
{
    const LRESULT n = SendMessageA(listView, LVM_GETITEMCOUNT, 0, 0);
    return n > 0 ? static_cast<int>(n) : 0;
}

int ColumnCount(HWND listView)
{
    const auto header = reinterpret_cast<HWND>(SendMessageA(listView, LVM_GETHEADER, 0, 0));
    if (!header) return 0;
    const LRESULT n = SendMessageA(header, HDM_GETITEMCOUNT, 0, 0);
    return n > 0 ? static_cast<int>(n) : 0;
}

// The whole text of one cell. The control tells only how much it copied, so the buffer grows until
// the text fits with room to spare (a double-byte character that does not fit is left out whole).
Text ReadCell(HWND listView, int row, int column, std::vector<char>& buffer)
{
    constexpr std::size_t kLargest = std::size_t(1) << 26;
    if (buffer.size() < 512) buffer.resize(512);
    for (;;) {
        buffer[0] = '\0';
        LVITEMA item{};
        item.iSubItem = column;
        item.pszText = buffer.data();
        item.cchTextMax = static_cast<int>(buffer.size());
        const LRESULT got = SendMessageA(listView, LVM_GETITEMTEXTA, static_cast<WPARAM>(row),
                                         reinterpret_cast<LPARAM>(&item));
        buffer.back() = '\0';
        std::size_t length = got > 0 ? static_cast<std::size_t>(got) : 0;
        if (length >= buffer.size()) length = buffer.size() - 1;
        if (length + 2 < buffer.size() || buffer.size() >= kLargest) return Text(buffer.data(), length);
        buffer.resize(buffer.size() * 4);
    }
}

void WriteCell(HWND listView, int row, int column, const Text& text)
{
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = const_cast<char*>(text.c_str());
    SendMessageA(listView, LVM_SETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

// Runs `work` on the thread that owns the list view: a helper called from a worker thread would
// otherwise wait on the window thread once for every message it sends to the control (a sort of
// 10,000 rows of 8 columns would take some 40 seconds that way instead of a quarter of one). The work
// itself speaks to the controls only through their messages. A list view of a thread that cannot be
// reached is worked on from the calling thread.
void RunOnListViewThread(HWND listView, const std::function<void()>& work)
{
    if (!RunOnWindowThread(listView, work) && IsWindow(listView)) work();
}

}  // namespace

double ListViewSortNumberOf(std::string_view text) { return ReadLeadingNumber(MapFullWidth(text)); }

double ListViewSortDateTimeOf(std::string_view text)
{
    double value = 0;
    return ReadDateTime(text, value) ? value : kEarliestDate;
}

int ListViewSortCompareText(std::string_view a, std::string_view b, bool caseSensitive)
{
    const std::vector<unsigned short>* upper = caseSensitive ? nullptr : &DoubleByteUpperCase();
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        unsigned x = NextUnit(a, i), y = NextUnit(b, j);
        if (upper) {
            if (x < 0x100) {
                if (x >= 'A' && x <= 'Z') x += 'a' - 'A';
            } else {
                x = (*upper)[x];
            }
            if (y < 0x100) {
                if (y >= 'A' && y <= 'Z') y += 'a' - 'A';
            } else {
                y = (*upper)[y];
            }
        }
        if (x != y) return x < y ? -1 : 1;
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    return 0;
}

int FindSortedInsertPosition(const TextArray& keys, std::string_view key, int kind, bool caseSensitive)
{
    const int n = static_cast<int>(keys.size());
    switch (kind) {
    case ListViewSortNumber: {
        return InsertPosition(n, [&](int i) {
            return CompareNumbers(ListViewSortNumberOf(key), ListViewSortNumberOf(keys[i - 1]));
        });
    }
    case ListViewSortDateTime:
        return InsertPosition(n, [&](int i) {
            return CompareNumbers(ListViewSortDateTimeOf(key), ListViewSortDateTimeOf(keys[i - 1]));
        });
    default:
        return InsertPosition(n, [&](int i) { return ListViewSortCompareText(key, keys[i - 1], caseSensitive); });
    }
}

namespace {

TextArray ColumnTexts(HWND listView, int column)
{
    const int n = RowCount(listView);
    std::vector<char> buffer;
    TextArray texts(static_cast<std::size_t>(n));
    for (int r = 0; r < n; ++r) texts[r] = ReadCell(listView, r, column, buffer);
    return texts;
}

// The order list: source rows in sorted order of their keys. It is built by insertion at the position
// the key search gives; the sorted keys are reached through the order list instead of being kept as a
// second copy. Readings of numbers and date-times depend on the text alone and are done once per row.
std::vector<int> SortOrder(const TextArray& keys, int kind, bool caseSensitive)
{
    const int n = static_cast<int>(keys.size());
    std::vector<int> order;
    order.reserve(n);
    if (kind == ListViewSortLogical) {
        // Rows that are not "假" go to the front (so they end up in reverse), "假" rows to the back.
        std::vector<int> others, falses;
        for (int r = 0; r < n; ++r) (keys[r] == "假" ? falses : others).push_back(r);
        order.assign(others.rbegin(), others.rend());
        order.insert(order.end(), falses.begin(), falses.end());
    } else if (kind == ListViewSortText) {
        for (int r = 0; r < n; ++r) {
            const int p = InsertPosition(static_cast<int>(order.size()), [&](int i) {
                return ListViewSortCompareText(keys[r], keys[order[i - 1]], caseSensitive);
            });
            order.insert(order.begin() + (p - 1), r);
        }
    } else {
        std::vector<double> values(n);
        for (int r = 0; r < n; ++r) {
            values[r] = kind == ListViewSortNumber ? ListViewSortNumberOf(keys[r]) : ListViewSortDateTimeOf(keys[r]);
            const int p = InsertPosition(static_cast<int>(order.size()),
                                         [&](int i) { return CompareNumbers(values[r], values[order[i - 1]]); });
            order.insert(order.begin() + (p - 1), r);
        }
    }
    return order;
}

// Rewrites every cell so that row q holds what row order[q] held (the exact reverse when descending).
void RewriteInOrder(HWND listView, const std::vector<int>& order, bool ascending)
{
    const int columns = ColumnCount(listView);
    const int m = static_cast<int>(order.size());
    if (columns <= 0 || m <= 0) return;
    // Every cell is read before the first one is written.
    std::vector<char> buffer;
    std::vector<Text> cells(static_cast<std::size_t>(m) * columns);
    for (std::size_t j = 0; j < cells.size(); ++j) {
        const int q = static_cast<int>(j / columns);
        const int k = static_cast<int>(j % columns);
        const int source = ascending ? order[q] : order[m - 1 - q];
        cells[j] = ReadCell(listView, source, k, buffer);
    }
    RedrawHold held(listView);
    for (std::size_t j = 0; j < cells.size(); ++j)
        WriteCell(listView, static_cast<int>(j / columns), static_cast<int>(j % columns), cells[j]);
}

int NormalKind(int kind) { return kind < ListViewSortNumber || kind > ListViewSortLogical ? ListViewSortText : kind; }

void AppendRows(HWND source, HWND destination)
{
    const int n = RowCount(source);
    const int columns = ColumnCount(source);
    std::vector<char> buffer;
    RedrawHold held(n > 0 ? destination : nullptr);
    for (int r = 0; r < n; ++r) {
        char empty[1] = {};
        LVITEMA item{};
        item.mask = LVIF_TEXT;
        item.iItem = INT_MAX;  // past the end: appended
        item.pszText = empty;
        const LRESULT row = SendMessageA(destination, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
        if (row < 0) continue;  // the destination refused the row: nothing to write into
        for (int k = 0; k < columns; ++k) WriteCell(destination, static_cast<int>(row), k, ReadCell(source, r, k, buffer));
    }
}

}  // namespace

int SortListViewByColumn(HWND listView, int column, int kind, bool caseSensitive, bool ascending)
{
    const DWORD start = GetTickCount();
    RunOnListViewThread(listView, [&] {
        RewriteInOrder(listView, SortOrder(ColumnTexts(listView, column), NormalKind(kind), caseSensitive), ascending);
    });
    return static_cast<int>(GetTickCount() - start);
}

int SortListViewByKeys(HWND listView, const TextArray& keys, int kind, bool caseSensitive, bool ascending)
{
    const DWORD start = GetTickCount();
    RunOnListViewThread(listView, [&] {
        if (RowCount(listView) == static_cast<int>(keys.size()))
            RewriteInOrder(listView, SortOrder(keys, NormalKind(kind), caseSensitive), ascending);
    });
    return static_cast<int>(GetTickCount() - start);
}

TextArray ListViewColumnTexts(HWND listView, int column)
{
    TextArray texts;
    RunOnListViewThread(listView, [&] { texts = ColumnTexts(listView, column); });
    return texts;
}

void AppendListViewRows(HWND source, HWND destination)
{
    // Both lists are spoken to from the destination's thread; the source is usually a list of the
    // same window.
    RunOnListViewThread(destination, [&] { AppendRows(source, destination); });
}
