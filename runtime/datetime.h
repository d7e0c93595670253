#pragma once
// Date-times as OLE automation dates: days since 30 December 1899 as a double, the time of day
// as the fraction.
#include "runtime/text.h"

using DateTime = double;

struct DateTimeParts {
    int year = 1899, month = 12, day = 30, hour = 0, minute = 0, second = 0;
};

// False when the fields do not form a real date and time (year 100 to 9999).
bool MakeDateTime(const DateTimeParts& parts, DateTime& out);
DateTimeParts SplitDateTime(DateTime value);

// The local date and time now.
DateTime NowDateTime();

// "2015年1月7日13时5分9秒"; the seconds, minutes and hour drop off from the right while they are 0
// ("2015年1月7日13时5分", "2015年1月7日13时", "2015年1月7日").
Text DateTimeToText(DateTime value);
