// Text operations over GBK byte strings. Every search walks the text from its first byte, character
// by character, so that a match is only accepted where a character starts.
#include "runtime/text.h"

#include <algorithm>
#include <cstring>

#include <windows.h>

namespace {

inline unsigned char ByteAt(std::string_view s, std::size_t i) { return static_cast<unsigned char>(s[i]); }

inline unsigned char FoldAscii(unsigned char c) { return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c; }

// Advances `cur` (a character start) over whole characters until it reaches or passes `target`.
// Runs of four single-byte characters are stepped over at once.
inline std::size_t WalkTo(std::string_view s, std::size_t cur, std::size_t target)
{
    const char* p = s.data();
    const std::size_t n = s.size();
    while (cur < target) {
        if (cur + 4 <= target) {
            std::uint32_t word;
            std::memcpy(&word, p + cur, 4);
            if ((word & 0x80808080u) == 0) {
                cur += 4;
                continue;
            }
        }
        cur += (IsLeadByte(static_cast<unsigned char>(p[cur])) && cur + 1 < n) ? 2 : 1;
    }
    return cur;
}

// Compares `what` with the text at character start `at`. Without case folding the bytes must be equal;
// with it the single-byte characters of the text compare by their ASCII lower-case forms while both
// bytes of a double-byte character must be equal.
inline bool MatchesAt(std::string_view s, std::size_t at, std::string_view what, bool ignoreCase)
{
    if (at + what.size() > s.size())
        return false;
    if (!ignoreCase)
        return std::memcmp(s.data() + at, what.data(), what.size()) == 0;
    std::size_t i = 0;
    while (i < what.size()) {
        unsigned char c = ByteAt(s, at + i);
        if (IsLeadByte(c) && at + i + 1 < s.size()) {
            if (c != ByteAt(what, i))
                return false;
            if (i + 1 < what.size() && ByteAt(s, at + i + 1) != ByteAt(what, i + 1))
                return false;
            i += 2;
        } else {
            if (FoldAscii(c) != FoldAscii(ByteAt(what, i)))
                return false;
            ++i;
        }
    }
    return true;
}

// Finds matches of one needle in one text, in increasing order. `cursor` is always a character start
// at or before the next candidate, so the whole text is walked once however many matches are asked for.
class Matcher {
public:
    Matcher(std::string_view s, std::string_view what, bool ignoreCase) : s_(s), what_(what), ignoreCase_(ignoreCase)
    {
        if (!what.empty()) {
            first_ = ByteAt(what, 0);
            // A letter may match its other case only where the text holds a single-byte character.
            firstOther_ = first_;
            if (ignoreCase) {
                if (first_ >= 'a' && first_ <= 'z')
                    firstOther_ = static_cast<unsigned char>(first_ - 32);
                else if (first_ >= 'A' && first_ <= 'Z')
                    firstOther_ = static_cast<unsigned char>(first_ + 32);
            }
        }
    }

    // 0-based offset of the first match that starts at a character start at or after `from`;
    // npos when there is none.
    std::size_t Next(std::size_t from)
    {
        if (what_.empty() || what_.size() > s_.size())
            return std::string_view::npos;
        const std::size_t last = s_.size() - what_.size();
        std::size_t pos = from;
        while (pos <= last) {
            std::size_t cand = Candidate(pos, last);
            if (cand == std::string_view::npos)
                return cand;
            cursor_ = WalkTo(s_, cursor_, cand);
            if (cursor_ == cand && MatchesAt(s_, cand, what_, ignoreCase_))
                return cand;
            pos = cursor_ == cand ? cand + 1 : cursor_;
        }
        return std::string_view::npos;
    }

private:
    std::size_t Candidate(std::size_t pos, std::size_t last) const
    {
        const char* base = s_.data();
        const std::size_t span = last - pos + 1;
        const void* a = std::memchr(base + pos, first_, span);
        if (firstOther_ == first_)
            return a ? static_cast<const char*>(a) - base : std::string_view::npos;
        const void* b = std::memchr(base + pos, firstOther_, a ? static_cast<const char*>(a) - (base + pos) : span);
        const void* hit = b ? b : a;
        return hit ? static_cast<const char*>(hit) - base : std::string_view::npos;
    }

    std::string_view s_;
    std::string_view what_;
    bool ignoreCase_;
    unsigned char first_ = 0;
    unsigned char firstOther_ = 0;
    std::size_t cursor_ = 0;
};

inline bool IsSingleBlank(unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Length of the blank that starts at character start i (1, or 2 for the ideographic space), 0 when
// the character there is not a blank.
inline std::size_t BlankLengthAt(std::string_view s, std::size_t i)
{
    unsigned char c = ByteAt(s, i);
    if (IsSingleBlank(c))
        return 1;
    if (c == 0xA1 && i + 1 < s.size() && ByteAt(s, i + 1) == 0xA1)
        return 2;
    return 0;
}

}  // namespace

std::size_t CharLengthAt(std::string_view s, std::size_t i)
{
    if (i >= s.size())
        return 0;
    return (IsLeadByte(ByteAt(s, i)) && i + 1 < s.size()) ? 2 : 1;
}

int FindText(std::string_view s, std::string_view what, int start, bool ignoreCase)
{
    if (start < 1)
        start = 1;
    if (what.empty() || static_cast<std::size_t>(start) > s.size())
        return 0;
    Matcher m(s, what, ignoreCase);
    std::size_t at = m.Next(static_cast<std::size_t>(start) - 1);
    return at == std::string_view::npos ? 0 : static_cast<int>(at + 1);
}

int FindTextReverse(std::string_view s, std::string_view what, int start, bool ignoreCase)
{
    if (what.empty() || what.size() > s.size())
        return 0;
    std::size_t limit = s.size() - what.size();  // the last offset a match can start at
    if (start >= 0) {
        if (start < 1)
            return 0;
        if (static_cast<std::size_t>(start) - 1 < limit)
            limit = static_cast<std::size_t>(start) - 1;
    }
    Matcher m(s, what, ignoreCase);
    std::size_t found = std::string_view::npos;
    for (std::size_t at = m.Next(0); at != std::string_view::npos && at <= limit; at = m.Next(at + 1))
        found = at;
    return found == std::string_view::npos ? 0 : static_cast<int>(found + 1);
}

Text LeftText(std::string_view s, int count)
{
    if (count <= 0)
        return Text();
    return Text(s.substr(0, static_cast<std::size_t>(count)));
}

Text RightText(std::string_view s, int count)
{
    if (count <= 0)
        return Text();
    std::size_t n = static_cast<std::size_t>(count);
    if (n >= s.size())
        return Text(s);
    return Text(s.substr(s.size() - n));
}

Text MidText(std::string_view s, int start, int count)
{
    if (start < 1)
        start = 1;
    std::size_t from = static_cast<std::size_t>(start) - 1;
    if (from >= s.size() || count == 0)
        return Text();
    if (count < 0)
        return Text(s.substr(from));
    return Text(s.substr(from, static_cast<std::size_t>(count)));
}

Text ReplaceText(std::string_view s, std::string_view from, std::string_view to, int start, int count,
                 bool ignoreCase)
{
    if (start < 1)
        start = 1;
    if (from.empty() || count == 0 || static_cast<std::size_t>(start) > s.size())
        return Text(s);
    Text out;
    out.reserve(s.size());
    Matcher m(s, from, ignoreCase);
    std::size_t copied = 0;
    int done = 0;
    for (std::size_t at = m.Next(static_cast<std::size_t>(start) - 1); at != std::string_view::npos;
         at = m.Next(at + from.size())) {
        out.append(s.data() + copied, at - copied);
        out.append(to.data(), to.size());
        copied = at + from.size();
        if (count > 0 && ++done >= count)
            break;
        if (copied >= s.size())
            break;
    }
    out.append(s.data() + copied, s.size() - copied);
    return out;
}

TextArray SplitText(std::string_view s, std::string_view separator, bool dropEmptyLast, int maxCount)
{
    TextArray pieces;
    if (s.empty())
        return pieces;
    if (separator.empty() || maxCount == 1) {
        pieces.emplace_back(s);
        return pieces;
    }
    Matcher m(s, separator, false);
    std::size_t begin = 0;
    for (std::size_t at = m.Next(0); at != std::string_view::npos; at = m.Next(at + separator.size())) {
        pieces.emplace_back(s.substr(begin, at - begin));
        begin = at + separator.size();
        if (maxCount > 0 && static_cast<int>(pieces.size()) == maxCount - 1)
            break;
        if (begin >= s.size())
            break;
    }
    if (begin < s.size() || !dropEmptyLast)
        pieces.emplace_back(s.substr(begin));
    return pieces;
}

Text ToLowerAscii(std::string_view s)
{
    Text out(s);
    for (std::size_t i = 0; i < out.size();) {
        std::size_t len = CharLengthAt(out, i);
        if (len == 1)
            out[i] = static_cast<char>(FoldAscii(static_cast<unsigned char>(out[i])));
        i += len;
    }
    return out;
}

Text ToUpperAscii(std::string_view s)
{
    Text out(s);
    for (std::size_t i = 0; i < out.size();) {
        std::size_t len = CharLengthAt(out, i);
        if (len == 1 && out[i] >= 'a' && out[i] <= 'z')
            out[i] = static_cast<char>(out[i] - 32);
        i += len;
    }
    return out;
}

Text TrimLeft(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size()) {
        std::size_t len = BlankLengthAt(s, i);
        if (len == 0)
            break;
        i += len;
    }
    return Text(s.substr(i));
}

Text TrimRight(std::string_view s)
{
    // Only a forward walk knows where the characters start, so an A1 A1 that is the trail byte of one
    // character and the lead byte of the next is never taken for an ideographic space.
    std::size_t end = 0;
    for (std::size_t i = 0; i < s.size();) {
        std::size_t len = CharLengthAt(s, i);
        if (BlankLengthAt(s, i) == 0)
            end = i + len;
        i += len;
    }
    return Text(s.substr(0, end));
}

Text TrimText(std::string_view s)
{
    return TrimRight(TrimLeft(s));
}

Text RemoveBlanks(std::string_view s)
{
    Text out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        std::size_t len = CharLengthAt(s, i);
        if (BlankLengthAt(s, i) == 0)
            out.append(s.data() + i, len);
        i += len;
    }
    return out;
}

// --- Conversions to and from UTF-16 ------------------------------------------------------------------

std::wstring WideFromGbk(std::string_view text)
{
    if (text.empty())
        return std::wstring();
    const int length = static_cast<int>(std::min<std::size_t>(text.size(), 0x7FFFFFFF));
    const int n = MultiByteToWideChar(936, 0, text.data(), length, nullptr, 0);
    if (n <= 0)
        return std::wstring();
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(936, 0, text.data(), length, wide.data(), n);
    return wide;
}

std::wstring Widen(std::string_view text)
{
    if (text.empty())
        return std::wstring();
    int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(std::max(n, 0)), L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

Text Narrow(const wchar_t* text, std::size_t length)
{
    if (!text || length == 0)
        return Text();
    int wlen = static_cast<int>(length);
    int n = WideCharToMultiByte(CP_ACP, 0, text, wlen, nullptr, 0, nullptr, nullptr);
    Text s(static_cast<std::size_t>(std::max(n, 0)), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_ACP, 0, text, wlen, s.data(), n, nullptr, nullptr);
    return s;
}
