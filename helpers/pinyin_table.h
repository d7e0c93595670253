#pragma once
// Pinyin readings of the GB2312 level 1 and 2 characters (lead bytes B0-F7, trail bytes A1-FE).
//
// A reading is two syllable parts, an initial and a final, given as indices into the part list:
// the 23 initials first, then the 33 finals (v stands for ü). A syllable without an initial
// consonant keeps its final in the initial's place and has no final (kNoPinyinPart).
#include <string>

constexpr unsigned char kNoPinyinPart = 0xFF;
constexpr int kPinyinInitialCount = 23;
constexpr int kPinyinFinalCount = 33;

struct PinyinReading {
    unsigned char initial;
    unsigned char final;
};

struct PinyinEntry {
    unsigned char count;           // 0: an unassigned cell
    PinyinReading readings[3];     // the customary reading first
};

// The entry of the character lead/trail, or nullptr when it is no GB2312 level 1 or 2 character
// (outside the rows, or an unassigned cell).
const PinyinEntry* FindPinyinEntry(unsigned char lead, unsigned char trail);

// The text of part `index` ("zh", "ang", ...); the empty text for kNoPinyinPart or a bad index.
const char* PinyinPartText(unsigned char index);

// The whole syllable without tone, such as "zhang".
std::string PinyinReadingText(const PinyinReading& reading);
