// The texts of labels, wrapped and drawn by the runtime itself.
//
// The system's static control measures a line with the font's metrics and leaves it whole when it finds
// no place to break it. Neither holds for our texts: Chinese has no spaces (a line breaks between two
// characters, but not before a closing mark such as "。" or after an opening one such as "“"), and a
// face with hand-made bitmap glyphs draws some characters wider than it measures them (WenQuanYi Zen Hei
// Sharp draws a curly quote 12 pixels wide and measures it at 4). So each character counts with the
// wider of its measured and its drawn advance, and a line with no place to break breaks after its last
// character that fits.
#include "runtime/forms_internal.h"

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace forms_detail {

namespace {

bool ClosingMark(wchar_t ch)
{
    static const std::wstring marks = L"，。、；：？！）》」』】〕〉”’…—·％,.;:?!)]}%";
    return marks.find(ch) != std::wstring::npos;
}

bool OpeningMark(wchar_t ch)
{
    static const std::wstring marks = L"（《「『【〔〈“‘([{";
    return marks.find(ch) != std::wstring::npos;
}

bool Wide(wchar_t ch) { return ch >= 0x2E80 || (ch >= 0x2010 && ch <= 0x206F); }

// May a line end between `before` and `after`?
bool BreakBetween(wchar_t before, wchar_t after)
{
    if (before == L' ' || before == L'\t')
        return after != L' ' && after != L'\t';
    if (ClosingMark(after) || OpeningMark(before) || after == L' ')
        return false;
    return Wide(before) || Wide(after);
}

int Advance(HDC dc, wchar_t ch)
{
    // One table per window thread, per font: labels repaint seldom, but every glyph asked for is drawn.
    thread_local std::map<std::pair<HGDIOBJ, wchar_t>, int> known;
    const HGDIOBJ font = GetCurrentObject(dc, OBJ_FONT);
    const auto key = std::make_pair(font, ch);
    if (auto it = known.find(key); it != known.end())
        return it->second;
    SIZE measured{};
    GetTextExtentPoint32W(dc, &ch, 1, &measured);
    GLYPHMETRICS glyph{};
    const MAT2 identity{{0, 1}, {0, 0}, {0, 0}, {0, 1}};
    int drawn = 0;
    if (GetGlyphOutlineW(dc, ch, GGO_BITMAP, &glyph, 0, nullptr, &identity) != GDI_ERROR)
        drawn = glyph.gmCellIncX;
    const int advance = std::max<int>(measured.cx, drawn);
    if (known.size() > 4096)
        known.clear();
    known[key] = advance;
    return advance;
}

// The lines of one paragraph (a text without line breaks) in `width` pixels, as [begin, end) ranges.
std::vector<std::pair<std::size_t, std::size_t>> WrapParagraph(HDC dc, const std::wstring& p, int width)
{
    std::vector<std::pair<std::size_t, std::size_t>> lines;
    std::size_t start = 0;
    const std::size_t n = p.size();
    if (n == 0)
        lines.push_back({0, 0});
    while (start < n) {
        int x = 0;
        std::size_t i = start, lastBreak = std::wstring::npos;
        for (; i < n; ++i) {
            if (i > start && BreakBetween(p[i - 1], p[i]))
                lastBreak = i;
            const int w = p[i] == L'\t' ? 8 * Advance(dc, L' ') : Advance(dc, p[i]);
            if (i > start && x + w > width && p[i] != L' ')
                break;
            x += w;
        }
        std::size_t end = i;
        if (i < n && lastBreak != std::wstring::npos)
            end = lastBreak;
        lines.push_back({start, end});
        start = end;
        while (start < n && (p[start] == L' ' || p[start] == L'\t'))
            ++start;  // a wrapped line starts without the blanks it was broken at
    }
    return lines;
}

}  // namespace

void DrawLabelText(HDC dc, const Text& text, const RECT& area)
{
    const std::wstring wide = Widen(text);
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    const int width = std::max<int>(1, area.right - area.left);
    int y = area.top;
    std::size_t from = 0;
    while (from <= wide.size() && y < area.bottom) {
        std::size_t stop = wide.find_first_of(L"\r\n", from);
        if (stop == std::wstring::npos)
            stop = wide.size();
        const std::wstring paragraph = wide.substr(from, stop - from);
        for (const auto& [begin, end] : WrapParagraph(dc, paragraph, width)) {
            if (end > begin) {
                std::wstring line = paragraph.substr(begin, end - begin);
                std::replace(line.begin(), line.end(), L'\t', L' ');
                ExtTextOutW(dc, area.left, y, ETO_CLIPPED, &area, line.c_str(), static_cast<UINT>(line.size()), nullptr);
            }
            y += tm.tmHeight;
        }
        if (stop >= wide.size())
            break;
        from = stop + (wide.compare(stop, 2, L"\r\n") == 0 ? 2 : 1);
    }
}

void PaintLabel(ControlState& c, HWND hwnd, HDC given)
{
    PAINTSTRUCT ps{};
    HDC dc = given ? given : BeginPaint(hwnd, &ps);
    RECT rc;
    GetClientRect(hwnd, &rc);
    // The colours the parent gives a static control (a transparent label gets no background at all).
    HWND parent = GetParent(hwnd);
    auto brush = reinterpret_cast<HBRUSH>(SendMessageW(parent, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                                       reinterpret_cast<LPARAM>(hwnd)));
    if (!brush)
        brush = GetSysColorBrush(COLOR_BTNFACE);
    if (c.spec.kind != ControlKind::TransparentLabel)
        FillRect(dc, &rc, brush);
    if (!IsWindowEnabled(hwnd))
        SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    SetBkMode(dc, TRANSPARENT);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0)));
    DrawLabelText(dc, WindowText(hwnd), rc);
    SelectObject(dc, old);
    if (!given)
        EndPaint(hwnd, &ps);
}

}  // namespace forms_detail
