#pragma once
// Text primitives of the scrapers: cutting a field out of a page, pinyin initials for the pick-list
// filters, and the UTF-8 to GBK conversion of UTF-8 replies.
//
// Texts are GBK bytes; positions are 1-based byte positions.
#include "runtime/text.h"

// The text between the left and the right marker.
//
// caseInsensitive: 1 folds the ASCII letters in both searches; any other value searches case-sensitively.
// reverse: 1 takes the last occurrence of the left marker in the whole text, anything else the first.
// The right marker is searched from the byte after the left marker, so the two never overlap.
// mode: 0 (and any value but 1-3) the text between; 1 both markers kept; 2 the left marker kept;
// 3 the right marker kept. A missing marker gives the empty text, or the right marker alone in modes
// 1 and 3. An empty marker is never found.
Text GetTextBetween(std::string_view text, std::string_view left, std::string_view right,
                    int caseInsensitive = 0, int mode = 0, int reverse = 0);

// Each GB2312 level 1 or 2 character becomes the lower-case first letter of its customary pinyin;
// ASCII bytes and every other double-byte character are kept. A lone lead byte at the end is kept.
Text GetPinyinInitials(std::string_view text);

// A new copy of the text; an absent text (nullptr) gives the empty text.
Text DuplicateText(const char* text);
Text DuplicateText(std::string_view text);

// The UTF-16LE units of the text (up to its first NUL) in the given code page, including the
// terminating zero unit. Empty when the code page is not available.
ByteSet TextToUtf16(std::string_view text, unsigned codePage = 65001);

// The text in the given code page (0: the ANSI code page) of the UTF-16LE units, up to the first
// zero unit or the end of the byte-set. Characters the code page lacks become its default character.
Text Utf16ToText(const ByteSet& units, unsigned codePage = 0);

// UTF-8 to the program's GBK text; invalid UTF-8 comes out as the platform converts it.
Text Utf8ToGbk(std::string_view text);
