#pragma once
// Numbers from texts and numbers as texts.
#include "runtime/text.h"

// The text's leading decimal number: leading blanks (ASCII and ideographic) skipped, an optional sign,
// digits with an optional fraction and exponent (e or E); full-width digits, signs, point and letters
// count as their ASCII forms; reading stops at the first other character. A text without one is 0.
double TextToNumber(std::string_view s);

// The same after every "," is removed (prices with thousands separators).
double TextToNumberNoCommas(std::string_view s);

// The leading number truncated to an integer (saturated to the int range).
int TextToInteger(std::string_view s);

// "%.13g": at most 13 significant digits, no trailing zeros, no point for whole values.
Text NumberToText(double value);
Text IntegerToText(long long value);

// Comparisons with the tolerance 1e-7.
bool NumbersEqual(double a, double b);
bool NumberLess(double a, double b);     // a < b - 1e-7
bool NumberGreater(double a, double b);  // a > b + 1e-7

// Adds `value` to the running total held as text (empty reads as 0) and gives the new total as text.
Text AddToTextSum(std::string_view total, double value);

// Rounds half away from zero to `decimals` places; a value within 1e-12 below a half rounds up.
double RoundHalfAwayFromZero(double value, int decimals);
