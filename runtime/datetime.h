#pragma once
// Date-times as OLE automation dates: days since 30 December 1899 as a double, the time of day
// as the fraction. Before 30 December 1899 the value is negative and the time of day still counts
// away from zero (-1.25 is 29 December 1899 at 06:00), as OLE automation has it. The calendar is the
// Gregorian one for every year from 100 to 9999.
#include "runtime/text.h"

using DateTime = double;

struct DateTimeParts {
    int year = 1899, month = 12, day = 30, hour = 0, minute = 0, second = 0;
};

// The earliest and the latest day that a DateTime holds: 1 January 100 and 31 December 9999.
constexpr DateTime kEarliestDateTime = -657434.0;
constexpr DateTime kLatestDateTime = 2958465.0;

// False when the fields do not form a real date and time (year 100 to 9999, month 1 to 12, a day of
// that month with 29 February in leap years only, hour 0 to 23, minute and second 0 to 59); `out`
// is left unchanged then.
bool MakeDateTime(const DateTimeParts& parts, DateTime& out);
// The fields of a date-time, rounded to the nearest second. A value outside the range above is taken
// as the nearest end of it; a value that is not a number as 30 December 1899.
DateTimeParts SplitDateTime(DateTime value);

// The local date and time now, to the second.
DateTime NowDateTime();

// "2015年1月7日13时5分9秒"; the seconds, minutes and hour drop off from the right while they are 0
// ("2015年1月7日13时5分", "2015年1月7日13时", "2015年1月7日").
Text DateTimeToText(DateTime value);

// Reads a date-time written as a year of up to four digits and a month, day, hour, minute and second
// of up to two digits each, full-width digits and signs counting as ASCII. After the year, month, hour
// and minute at most one of "-", ".", "/", ":" or the unit 年, 月, 时, 分 is skipped; after the day a
// space, "-", ".", "/", ":" or 日. A field without digits is 0. After the second the text must end or
// go on with 秒. False when the text breaks these rules or the fields are no real date and time.
bool TextToDateTime(std::string_view s, DateTime& out);
