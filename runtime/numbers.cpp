// Numbers read from texts and written as texts.
#include "runtime/numbers.h"

#include <cfloat>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr double kTolerance = 1e-7;

// The ASCII form of the character at offset i and its length in bytes: single-byte characters are
// themselves, a full-width form (A3 A1 to A3 FE) is its ASCII character, the ideographic space is a
// space. Any other character gives 0x80 (never part of a number, never a blank).
inline unsigned char AsciiFormAt(std::string_view s, std::size_t i, std::size_t& len)
{
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (!IsLeadByte(c) || i + 1 >= s.size()) {
        len = 1;
        return c < 0x80 ? c : 0x80;
    }
    len = 2;
    unsigned char t = static_cast<unsigned char>(s[i + 1]);
    if (c == 0xA3 && t >= 0xA1 && t <= 0xFE)
        return static_cast<unsigned char>(t - 0x80);
    if (c == 0xA1 && t == 0xA1)
        return ' ';
    return 0x80;
}

inline bool IsBlank(unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
inline bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

// Reads characters by their ASCII forms; with `skipCommas` every single-byte "," is passed over
// as if it had been removed from the text first.
struct NumberCursor {
    std::string_view s;
    bool skipCommas;
    std::size_t i = 0;

    // The ASCII form of the character at the cursor (0 at the end) and its length.
    unsigned char Peek(std::size_t& len)
    {
        if (skipCommas)
            while (i < s.size() && s[i] == ',')
                ++i;
        if (i >= s.size()) {
            len = 0;
            return 0;
        }
        return AsciiFormAt(s, i, len);
    }
};

// Collects the ASCII form of the leading number into `buf` (sign, digits, point, 'e' and the
// exponent); false when the text does not start with a number.
template <typename Buffer>
bool ScanNumber(std::string_view s, bool skipCommas, Buffer& buf)
{
    NumberCursor cur{s, skipCommas};
    std::size_t len = 0;
    unsigned char c = cur.Peek(len);
    auto advance = [&] {
        cur.i += len;
        c = cur.Peek(len);
    };
    // An optional sign; only a minus is kept.
    auto takeSign = [&] {
        if (c == '+' || c == '-') {
            if (c == '-')
                buf.push_back('-');
            advance();
        }
    };
    // A run of digits (possibly none); true when there was at least one.
    auto takeDigits = [&] {
        bool any = false;
        while (IsDigit(c)) {
            buf.push_back(static_cast<char>(c));
            any = true;
            advance();
        }
        return any;
    };
    while (IsBlank(c))
        advance();
    takeSign();
    bool digits = takeDigits();
    if (c == '.') {
        buf.push_back('.');
        advance();
        digits = takeDigits() || digits;
    }
    if (!digits)
        return false;
    if (c == 'e' || c == 'E' || c == 'd' || c == 'D') {
        const std::size_t mark = buf.size();
        buf.push_back('e');
        advance();
        takeSign();
        if (!takeDigits())  // "12e" or "12e+": the letter is not part of the number
            buf.resize(mark);
    }
    return true;
}

// A growable character buffer that keeps short numbers on the stack.
class NumberBuffer {
public:
    void push_back(char c)
    {
        if (size_ < sizeof(small_)) {
            small_[size_++] = c;
            return;
        }
        if (size_ == sizeof(small_))
            large_.assign(small_, size_);
        large_.push_back(c);
        ++size_;
    }
    void resize(std::size_t n)
    {
        if (size_ > sizeof(small_)) {
            if (n <= sizeof(small_))
                large_.copy(small_, n);
            else
                large_.resize(n);
        }
        size_ = n;
    }
    std::size_t size() const { return size_; }
    const char* data() const { return size_ > sizeof(small_) ? large_.data() : small_; }

private:
    char small_[96];
    std::size_t size_ = 0;
    std::string large_;
};

double ReadNumber(std::string_view s, bool skipCommas)
{
    NumberBuffer buf;
    if (!ScanNumber(s, skipCommas, buf))
        return 0.0;
    double value = 0.0;
    const char* first = buf.data();
    const char* last = first + buf.size();
    auto res = std::from_chars(first, last, value, std::chars_format::general);
    if (res.ec == std::errc::result_out_of_range) {
        // Too large or too small for a double: the largest finite value or zero, with its sign.
        std::string copy(first, last);
        value = std::strtod(copy.c_str(), nullptr);
        if (std::isinf(value))
            value = value > 0 ? DBL_MAX : -DBL_MAX;
    } else if (res.ec != std::errc()) {
        value = 0.0;
    }
    return value;
}

}  // namespace

Text FullWidthToAscii(std::string_view s)
{
    Text out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        std::size_t len = 0;
        unsigned char c = AsciiFormAt(s, i, len);
        if (len == 2 && c != 0x80)
            out.push_back(static_cast<char>(c));
        else
            out.append(s.data() + i, len);
        i += len;
    }
    return out;
}

double TextToNumber(std::string_view s)
{
    return ReadNumber(s, false);
}

double TextToNumberNoCommas(std::string_view s)
{
    return ReadNumber(s, true);
}

int TextToInteger(std::string_view s)
{
    double v = std::trunc(TextToNumber(s));
    if (v >= static_cast<double>(INT_MAX))
        return INT_MAX;
    if (v <= static_cast<double>(INT_MIN))
        return INT_MIN;
    return static_cast<int>(v);
}

Text NumberToText(double value)
{
    if (value == 0.0)
        value = 0.0;  // no "-0"
    char buf[40];
    int n = __mingw_snprintf(buf, sizeof buf, "%.13g", value);
    if (n < 0)
        return Text();
    return Text(buf, static_cast<std::size_t>(n) < sizeof buf ? static_cast<std::size_t>(n) : sizeof buf - 1);
}

Text IntegerToText(long long value)
{
    char buf[32];
    int n = __mingw_snprintf(buf, sizeof buf, "%lld", value);
    return Text(buf, n > 0 ? static_cast<std::size_t>(n) : 0);
}

bool NumbersEqual(double a, double b)
{
    return std::fabs(a - b) <= kTolerance;
}

bool NumberLess(double a, double b)
{
    return a - b < -kTolerance;
}

bool NumberGreater(double a, double b)
{
    return a - b > kTolerance;
}

Text AddToTextSum(std::string_view total, double value)
{
    // A sum past the largest double would be written as "inf", which reads back as 0: it stays at the
    // largest finite value of its sign instead.
    const double before = TextToNumber(total);
    double sum = before + value;
    if (std::isnan(sum))
        sum = before;
    else if (std::isinf(sum))
        sum = std::copysign(DBL_MAX, sum);
    return NumberToText(sum);
}

double RoundHalfAwayFromZero(double value, int decimals)
{
    if (!std::isfinite(value))
        return value;
    if (decimals > 15)
        decimals = 15;
    if (decimals < -15)
        decimals = -15;
    // Scale by an exact power of ten (10^15 and below are exact doubles), multiplying or dividing.
    const double factor = std::pow(10.0, decimals >= 0 ? decimals : -decimals);
    const double x = decimals >= 0 ? std::fabs(value) * factor : std::fabs(value) / factor;
    if (!std::isfinite(x) || x >= 4503599627370496.0)  // 2^52: no fraction left at this scale
        return value;
    double whole = std::floor(x);
    if (x - whole >= 0.5 - 1e-12)
        whole += 1.0;
    if (whole == 0.0)
        return 0.0;
    const double r = decimals >= 0 ? whole / factor : whole * factor;
    return value < 0 ? -r : r;
}
