#pragma once
// Numbers from texts and numbers as texts.
#include "runtime/text.h"

// The text with every full-width form of an ASCII character (GBK A3 A1 to A3 FE) replaced by that
// character (trail byte - 0x80) and every ideographic space (A1 A1) by a space.
Text FullWidthToAscii(std::string_view s);

// The text's leading decimal number: leading blanks (space, tab, CR, LF, ideographic space) skipped,
// an optional sign, digits with an optional fraction and an optional exponent (e, E, d or D, an optional
// sign, digits); full-width digits, signs, point and letters count as their ASCII forms; reading stops
// at the first other character. A text without one is 0. A value beyond the range of a double reads
// as the largest finite value of its sign; one too small for a double as 0 (or its nearest subnormal).
double TextToNumber(std::string_view s);

// The same after every "," is removed (prices with thousands separators).
double TextToNumberNoCommas(std::string_view s);

// The leading number truncated to an integer (saturated to the int range).
int TextToInteger(std::string_view s);

// "%.13g": at most 13 significant digits, no trailing zeros, no point for whole values (exponent form
// from 1e13 up and below 0.0001, as "1e+13"). Zero is always "0", never "-0".
Text NumberToText(double value);
Text IntegerToText(long long value);

// Comparisons with the tolerance 1e-7; for any two numbers exactly one of the three holds.
bool NumbersEqual(double a, double b);   // |a - b| <= 1e-7
bool NumberLess(double a, double b);     // a - b < -1e-7
bool NumberGreater(double a, double b);  // a - b > 1e-7

// Adds `value` to the running total held as text (empty reads as 0) and gives the new total as text.
// A total past the largest double stays at the largest finite value of its sign.
Text AddToTextSum(std::string_view total, double value);

// Rounds half away from zero to `decimals` places (-15 to 15); a value whose scaled fraction is within
// 1e-12 below a half rounds up (1.0005 to 3 places gives 1.001). A result of zero is +0.
double RoundHalfAwayFromZero(double value, int decimals);
