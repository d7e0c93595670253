#include "helpers/text_helpers.h"

#include <windows.h>

#include "helpers/pinyin_table.h"

Text GetTextBetween(std::string_view text, std::string_view left, std::string_view right, int caseInsensitive,
                    int mode, int reverse)
{
    const bool ignoreCase = caseInsensitive == 1;
    // FindText and FindTextReverse step over double-byte characters and give 0 when nothing is found.
    const int l = reverse == 1 ? FindTextReverse(text, left, -1, ignoreCase) : FindText(text, left, 1, ignoreCase);
    int r = 0;
    if (l > 0)
        r = FindText(text, right, l + static_cast<int>(left.size()), ignoreCase);

    // w: the left marker and the text between the markers; empty when either is missing.
    std::string_view w;
    if (l > 0 && r > 0)
        w = text.substr(static_cast<std::size_t>(l - 1), static_cast<std::size_t>(r - l));
    const std::string_view between = w.empty() ? w : w.substr(left.size());

    switch (mode) {
    case 1:
        return Text(w) + Text(right);
    case 2:
        return Text(w);
    case 3:
        return Text(between) + Text(right);
    default:
        return Text(between);
    }
}

Text GetPinyinInitials(std::string_view text)
{
    Text out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        if (i + 1 == text.size()) {  // a lone lead byte at the end is kept as it is
            out += static_cast<char>(c);
            break;
        }
        const unsigned char trail = static_cast<unsigned char>(text[i + 1]);
        if (const PinyinEntry* e = FindPinyinEntry(c, trail))
            out += PinyinPartText(e->readings[0].initial)[0];
        else
            out.append(text.substr(i, 2));
        i += 2;
    }
    return out;
}

Text DuplicateText(const char* text)
{
    return text ? Text(text) : Text();
}

Text DuplicateText(std::string_view text)
{
    return Text(text);
}

ByteSet TextToUtf16(std::string_view text, unsigned codePage)
{
    const Text terminated(text);  // the conversion reads up to and including the first NUL
    const int units = MultiByteToWideChar(codePage, 0, terminated.c_str(), -1, nullptr, 0);
    if (units <= 0)
        return {};
    ByteSet out(static_cast<std::size_t>(units) * 2, 0);
    MultiByteToWideChar(codePage, 0, terminated.c_str(), -1, reinterpret_cast<wchar_t*>(out.data()), units);
    return out;
}

Text Utf16ToText(const ByteSet& units, unsigned codePage)
{
    // The byte-set may come without a terminating zero unit (or with an odd byte at its end): only the
    // whole units before the first zero unit, or before the end, are converted.
    const std::size_t available = units.size() / 2;
    std::wstring wide(available, L'\0');
    std::size_t n = 0;
    for (; n < available; ++n) {
        wide[n] = static_cast<wchar_t>(units[2 * n] | (units[2 * n + 1] << 8));
        if (wide[n] == L'\0')
            break;
    }
    wide.resize(n);
    if (wide.empty())
        return {};
    const int bytes = WideCharToMultiByte(codePage, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return {};
    Text buffer(static_cast<std::size_t>(bytes) * 2, '\0');
    WideCharToMultiByte(codePage, 0, wide.c_str(), -1, buffer.data(), static_cast<int>(buffer.size()), nullptr,
                        nullptr);
    buffer.resize(buffer.find('\0') == Text::npos ? buffer.size() : buffer.find('\0'));
    return buffer;
}

Text Utf8ToGbk(std::string_view text)
{
    return Utf16ToText(TextToUtf16(text, CP_UTF8), 936);
}
