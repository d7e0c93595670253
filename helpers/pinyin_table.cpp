#include "helpers/pinyin_table.h"

namespace {

const char* const kParts[kPinyinInitialCount + kPinyinFinalCount] = {
    "zh", "ch", "sh", "b", "p", "m", "f", "d", "t", "n", "l", "g", "k", "h", "j", "q", "x", "r", "z", "c",
    "s", "y", "w",
    "ang", "eng", "an", "ai", "ao", "ou", "er", "en", "ei", "a", "o", "e", "uang", "iang", "iong", "ing", "ong",
    "uai", "uan", "iao", "ian", "ui", "iu", "ie", "ue", "in", "un", "ia", "ua", "uo", "i", "u", "v",
};

constexpr unsigned char kFirstLead = 0xB0, kLastLead = 0xF7;
constexpr unsigned char kFirstTrail = 0xA1, kLastTrail = 0xFE;
constexpr int kCellsPerRow = kLastTrail - kFirstTrail + 1;

const PinyinEntry kTable[(kLastLead - kFirstLead + 1) * kCellsPerRow] = {
#include "helpers/pinyin_table.inc"
};

}  // namespace

const PinyinEntry* FindPinyinEntry(unsigned char lead, unsigned char trail)
{
    if (lead < kFirstLead || lead > kLastLead || trail < kFirstTrail || trail > kLastTrail)
        return nullptr;
    const PinyinEntry& e = kTable[(lead - kFirstLead) * kCellsPerRow + (trail - kFirstTrail)];
    return e.count ? &e : nullptr;
}

const char* PinyinPartText(unsigned char index)
{
    return index < sizeof kParts / sizeof kParts[0] ? kParts[index] : "";
}

std::string PinyinReadingText(const PinyinReading& reading)
{
    return std::string(PinyinPartText(reading.initial)) + PinyinPartText(reading.final);
}
