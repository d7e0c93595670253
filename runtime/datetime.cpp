// OLE automation dates: conversion from and to calendar fields, and their text forms.
#include "runtime/datetime.h"

#include <windows.h>

#include <cmath>
#include <cstdio>

#include "runtime/numbers.h"

namespace {

// Days from 30 December 1899 to the given Gregorian date (negative before it).
long long DaySerial(long long y, int m, int d)
{
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yoe = y - era * 400;
    const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468 + 25569;  // 719468: 1 March 0 to 1970; 25569: 1899-12-30 to 1970
}

void DateOfSerial(long long serial, int& year, int& month, int& day)
{
    long long z = serial - 25569 + 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

bool IsLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeapYear(y) ? 29 : days[m - 1];
}

}  // namespace

bool MakeDateTime(const DateTimeParts& p, DateTime& out)
{
    if (p.year < 100 || p.year > 9999 || p.month < 1 || p.month > 12 || p.day < 1 ||
        p.day > DaysInMonth(p.year, p.month) || p.hour < 0 || p.hour > 23 || p.minute < 0 || p.minute > 59 ||
        p.second < 0 || p.second > 59)
        return false;
    const double serial = static_cast<double>(DaySerial(p.year, p.month, p.day));
    const double time = (p.hour * 3600 + p.minute * 60 + p.second) / 86400.0;
    out = serial >= 0 ? serial + time : serial - time;
    return true;
}

DateTimeParts SplitDateTime(DateTime value)
{
    DateTimeParts parts;
    if (std::isnan(value))
        return parts;
    const double lowest = kEarliestDateTime - 86399.0 / 86400.0;
    const double highest = kLatestDateTime + 86399.0 / 86400.0;
    if (value < lowest)
        value = lowest;
    if (value > highest)
        value = highest;
    long long serial = static_cast<long long>(std::trunc(value));
    long long seconds = std::llround(std::fabs(value - static_cast<double>(serial)) * 86400.0);
    if (seconds >= 86400) {
        seconds -= 86400;
        ++serial;  // the day after, whichever the sign of the value
    }
    if (serial > static_cast<long long>(kLatestDateTime)) {
        serial = static_cast<long long>(kLatestDateTime);
        seconds = 86399;
    }
    DateOfSerial(serial, parts.year, parts.month, parts.day);
    parts.hour = static_cast<int>(seconds / 3600);
    parts.minute = static_cast<int>(seconds / 60 % 60);
    parts.second = static_cast<int>(seconds % 60);
    return parts;
}

DateTime NowDateTime()
{
    SYSTEMTIME st;
    GetLocalTime(&st);
    DateTimeParts p;
    p.year = st.wYear;
    p.month = st.wMonth;
    p.day = st.wDay;
    p.hour = st.wHour;
    p.minute = st.wMinute;
    p.second = st.wSecond;
    DateTime value = 0;
    MakeDateTime(p, value);
    return value;
}

Text DateTimeToText(DateTime value)
{
    const DateTimeParts p = SplitDateTime(value);
    char buf[96];
    int n = std::snprintf(buf, sizeof buf, "%d年%d月%d日", p.year, p.month, p.day);
    if (p.second != 0)
        n += std::snprintf(buf + n, sizeof buf - n, "%d时%d分%d秒", p.hour, p.minute, p.second);
    else if (p.minute != 0)
        n += std::snprintf(buf + n, sizeof buf - n, "%d时%d分", p.hour, p.minute);
    else if (p.hour != 0)
        n += std::snprintf(buf + n, sizeof buf - n, "%d时", p.hour);
    return Text(buf, static_cast<std::size_t>(n));
}

bool TextToDateTime(std::string_view s, DateTime& out)
{
    const Text t = FullWidthToAscii(s);
    std::size_t i = 0;
    auto field = [&](int maxDigits) {
        int v = 0;
        for (int k = 0; k < maxDigits && i < t.size() && t[i] >= '0' && t[i] <= '9'; ++k, ++i)
            v = v * 10 + (t[i] - '0');
        return v;
    };
    // Skips one separator: one of `singles` or the double-byte unit character.
    auto separator = [&](const char* singles, std::string_view unit) {
        if (i >= t.size())
            return;
        for (const char* c = singles; *c; ++c)
            if (t[i] == *c) {
                ++i;
                return;
            }
        if (t.compare(i, unit.size(), unit) == 0)
            i += unit.size();
    };
    DateTimeParts p;
    p.year = field(4);
    separator("-./:", "年");
    p.month = field(2);
    separator("-./:", "月");
    p.day = field(2);
    separator(" -./:", "日");
    p.hour = field(2);
    separator("-./:", "时");
    p.minute = field(2);
    separator("-./:", "分");
    p.second = field(2);
    if (i < t.size() && t.compare(i, 2, "秒") != 0)
        return false;
    return MakeDateTime(p, out);
}
