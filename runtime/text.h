#pragma once
// Texts, byte-sets and arrays, and the text operations every part of the programs uses, conversions
// to and from UTF-16 among them.
//
// A text is a GBK (code page 936) byte string; an absent text is the empty text. Positions are 1-based
// byte positions and lengths are byte counts. Every search steps over double-byte characters as units,
// so a match never starts on the second byte of one; letter case is folded for the ASCII letters only
// (single-byte characters; both bytes of a double-byte character always compare exactly). A lead byte
// at the very end of a text (a truncated character) counts as a character of its own.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using Text = std::string;
using ByteSet = std::vector<unsigned char>;
using TextArray = std::vector<Text>;
using IntArray = std::vector<int>;

// A GBK lead byte (0x81 to 0xFE): it and the byte after it form one character.
inline bool IsLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

// The length in bytes of the character that starts at 0-based offset i (1 or 2; 1 at the last byte;
// 0 at or past the end).
std::size_t CharLengthAt(std::string_view s, std::size_t i);

// 1-based position of the first occurrence of `what` at or after position `start`, 0 when none.
// An empty `what` is never found. `start` below 1 counts as 1.
int FindText(std::string_view s, std::string_view what, int start = 1, bool ignoreCase = false);

// 1-based position of the last occurrence of `what` that begins at or before position `start`
// (any negative value: anywhere; 0: none), 0 when none.
int FindTextReverse(std::string_view s, std::string_view what, int start = -1, bool ignoreCase = false);

// Byte-wise pieces: `count` bytes from the left or right; `Mid` from 1-based `start`, `count` bytes
// (-1: to the end). Out-of-range requests are clamped, never fail.
Text LeftText(std::string_view s, int count);
Text RightText(std::string_view s, int count);
Text MidText(std::string_view s, int start, int count = -1);

// Replaces occurrences of `from` by `to`, starting the search at 1-based `start`, at most `count`
// times (-1: all). Replaced text is not searched again.
Text ReplaceText(std::string_view s, std::string_view from, std::string_view to, int start = 1,
                 int count = -1, bool ignoreCase = false);

// Splits at every occurrence of `separator` (never inside a double-byte character). An empty text
// gives no pieces; a trailing separator gives a final empty piece unless `dropEmptyLast`. An empty
// separator gives the whole text as one piece. `maxCount` > 0 stops after that many pieces (the last
// holds the rest).
TextArray SplitText(std::string_view s, std::string_view separator, bool dropEmptyLast = false,
                    int maxCount = -1);

// ASCII-only case folding; bytes of double-byte characters are never changed.
Text ToLowerAscii(std::string_view s);
Text ToUpperAscii(std::string_view s);

// Removes leading / trailing / both ASCII blanks (space, tab, CR, LF) and ideographic spaces (A1 A1).
Text TrimLeft(std::string_view s);
Text TrimRight(std::string_view s);
Text TrimText(std::string_view s);

// Removes every ASCII blank and ideographic space.
Text RemoveBlanks(std::string_view s);

// Conversions to and from UTF-16. WideFromGbk reads code page 936 explicitly; Widen and Narrow use the
// ANSI code page, as the platform's A calls do (the windows' texts go through them, see
// runtime/forms_internal.h). Bytes that do not convert become what the platform makes of them, never
// an error; an empty input gives the empty result.
std::wstring WideFromGbk(std::string_view text);
std::wstring Widen(std::string_view text);
Text Narrow(const wchar_t* text, std::size_t length);
