// How the windows show text: the font every window uses, and window texts read and written in GBK
// through the wide calls (see forms_internal.h).
#include "runtime/forms_internal.h"

namespace forms_detail {

Text WindowText(HWND hwnd)
{
    int n = GetWindowTextLengthW(hwnd);
    if (n <= 0)
        return Text();
    std::wstring w(static_cast<std::size_t>(n) + 1, L'\0');
    int got = GetWindowTextW(hwnd, w.data(), n + 1);
    return Narrow(w.data(), got > 0 ? static_cast<std::size_t>(got) : 0);
}

void SetWindowTextGbk(HWND hwnd, const Text& text)
{
    SetWindowTextW(hwnd, Widen(text).c_str());
}

HFONT FontNamed(const Text& face)
{
    static std::mutex lock;
    static std::map<Text, HFONT> fonts;
    std::lock_guard<std::mutex> guard(lock);
    auto it = fonts.find(face);
    if (it != fonts.end())
        return it->second;
    LOGFONTA lf = {};
    lf.lfHeight = -12;
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = GB2312_CHARSET;
    lf.lfQuality = DEFAULT_QUALITY;
    lf.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    lstrcpynA(lf.lfFaceName, face.c_str(), LF_FACESIZE);
    HFONT font = CreateFontIndirectA(&lf);
    fonts[face] = font;
    return font;
}

namespace {
// True when a font of this face really exists: a face that the system only substitutes by another
// (Wine maps 宋体 to whatever Chinese font it has) reports the other face's name once selected.
bool FaceInstalled(const char* face, const char* alias)
{
    HFONT font = FontNamed(face);
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    wchar_t got[LF_FACESIZE] = {};
    GetTextFaceW(dc, LF_FACESIZE, got);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return lstrcmpiW(got, Widen(face).c_str()) == 0 || lstrcmpiW(got, Widen(alias).c_str()) == 0;
}
}  // namespace

// The font of every window: SimSun (宋体) where installed, else a Chinese font the system has. Of
// WenQuanYi Zen Hei the variant with hand-made 12-pixel glyphs comes first: the outline one loses
// strokes at this size.
HFONT DefaultFont()
{
    static HFONT font = [] {
        const char* faces[][2] = {{"宋体", "SimSun"},
                                  {"新宋体", "NSimSun"},
                                  {"WenQuanYi Zen Hei Sharp", "文泉驿点阵正黑"},
                                  {"WenQuanYi Zen Hei", "文泉驿正黑"}};
        for (auto& face : faces)
            if (FaceInstalled(face[0], face[1]))
                return FontNamed(face[0]);
        return FontNamed("宋体");
    }();
    return font;
}

}  // namespace forms_detail
