// One stream in a version-3 compound file (see compound_file.h).
#include "runtime/compound_file.h"
#include "runtime/little_endian.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::uint32_t kSectorSize = 512;
constexpr std::uint32_t kMiniStreamCutoff = 4096;
constexpr std::uint32_t kEntriesPerSector = kSectorSize / 4;  // FAT and DIFAT entries
constexpr std::uint32_t kHeaderDifatEntries = 109;
constexpr std::uint32_t kDifatEntriesPerSector = kEntriesPerSector - 1;  // the last one chains

constexpr std::uint32_t kDifSect = 0xFFFFFFFCu;
constexpr std::uint32_t kFatSect = 0xFFFFFFFDu;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFEu;
constexpr std::uint32_t kFreeSect = 0xFFFFFFFFu;
constexpr std::uint32_t kNoStream = 0xFFFFFFFFu;

// Stream bytes are handed to the file in pieces of this size.
constexpr std::size_t kFlushSize = 256 * 1024;

std::uint32_t CeilDiv(std::uint64_t a, std::uint32_t b) { return static_cast<std::uint32_t>((a + b - 1) / b); }

// The 512-byte header.
void MakeHeader(unsigned char* h, std::uint32_t fatSectors, std::uint32_t firstDirectory, std::uint32_t firstMiniFat,
                std::uint32_t miniFatSectors, std::uint32_t firstDifat, std::uint32_t difatSectors,
                std::uint32_t firstFat)
{
    static const unsigned char kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    std::memset(h, 0, kSectorSize);
    std::memcpy(h, kSignature, 8);
    Put16(h + 24, 0x003E);   // minor version
    Put16(h + 26, 0x0003);   // major version 3
    Put16(h + 28, 0xFFFE);   // little-endian
    Put16(h + 30, 9);        // 2^9 = 512-byte sectors
    Put16(h + 32, 6);        // 2^6 = 64-byte mini sectors
    Put32(h + 40, 0);        // directory sectors: always 0 in version 3
    Put32(h + 44, fatSectors);
    Put32(h + 48, firstDirectory);
    Put32(h + 52, 0);        // transactions: none
    Put32(h + 56, kMiniStreamCutoff);
    Put32(h + 60, firstMiniFat);
    Put32(h + 64, miniFatSectors);
    Put32(h + 68, firstDifat);
    Put32(h + 72, difatSectors);
    for (std::uint32_t i = 0; i < kHeaderDifatEntries; ++i)
        Put32(h + 76 + 4 * i, i < fatSectors ? firstFat + i : kFreeSect);
}

// One 128-byte directory entry.
void MakeEntry(unsigned char* e, const std::wstring& name, unsigned char type, std::uint32_t child,
               std::uint32_t start, std::uint32_t size)
{
    std::memset(e, 0, 128);
    const std::size_t n = std::min<std::size_t>(name.size(), 31);
    for (std::size_t i = 0; i < n; ++i)
        Put16(e + 2 * i, name[i]);
    Put16(e + 64, static_cast<std::uint32_t>((n + 1) * 2));  // bytes, with the terminating zero
    e[66] = type;
    e[67] = 1;                                                // black
    Put32(e + 68, kNoStream);                                 // left sibling
    Put32(e + 72, kNoStream);                                 // right sibling
    Put32(e + 76, child);
    Put32(e + 116, start);
    Put32(e + 120, size);                                     // the high half stays 0 in version 3
}

void MakeUnusedEntry(unsigned char* e)
{
    std::memset(e, 0, 128);
    Put32(e + 68, kNoStream);
    Put32(e + 72, kNoStream);
    Put32(e + 76, kNoStream);
}

// The directory sector: the root storage (whose data would be the mini stream: none here), the stream,
// two unused.
void MakeDirectory(unsigned char* d, const std::wstring& streamName, std::uint32_t rootStart, std::uint32_t rootSize,
                   std::uint32_t streamStart, std::uint32_t streamSize)
{
    MakeEntry(d, L"Root Entry", 5, 1, rootStart, rootSize);
    MakeEntry(d + 128, streamName, 2, kNoStream, streamStart, streamSize);
    MakeUnusedEntry(d + 256);
    MakeUnusedEntry(d + 384);
}

}  // namespace

CompoundStreamWriter::CompoundStreamWriter(HANDLE file, std::wstring streamName)
    : file_(file), name_(std::move(streamName))
{
    buffer_.reserve(kFlushSize + kSectorSize);
}

bool CompoundStreamWriter::WriteAt(std::uint64_t position, const void* data, std::size_t size)
{
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(position);
    if (!SetFilePointerEx(file_, at, nullptr, FILE_BEGIN))
        return false;
    const unsigned char* p = static_cast<const unsigned char*>(data);
    while (size > 0) {
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 24));
        DWORD done = 0;
        if (!WriteFile(file_, p, want, &done, nullptr) || done != want)
            return false;
        p += done;
        size -= done;
    }
    return true;
}

bool CompoundStreamWriter::Write(const void* data, std::size_t size)
{
    if (failed_)
        return false;
    if (size > kMaxStreamSize - size_) {
        failed_ = true;
        return false;
    }
    const unsigned char* p = static_cast<const unsigned char*>(data);
    buffer_.insert(buffer_.end(), p, p + size);
    size_ += static_cast<std::uint32_t>(size);
    if (buffer_.size() >= kFlushSize && !Flush())
        failed_ = true;
    return !failed_;
}

bool CompoundStreamWriter::Flush()
{
    if (buffer_.empty())
        return true;
    if (!WriteAt(kSectorSize + static_cast<std::uint64_t>(flushed_), buffer_.data(), buffer_.size()))
        return false;
    flushed_ += static_cast<std::uint32_t>(buffer_.size());
    buffer_.clear();
    return true;
}

void CompoundStreamWriter::Patch32(std::uint32_t offset, std::uint32_t value)
{
    if (offset > size_ || size_ - offset < 4)
        return;
    if (offset >= flushed_) {
        Put32(buffer_.data() + (offset - flushed_), value);
        return;
    }
    patches_.emplace_back(offset, value);
}

bool CompoundStreamWriter::Finish()
{
    if (failed_)
        return false;
    if (size_ < kMiniStreamCutoff) {
        const std::size_t fill = kMiniStreamCutoff - size_;
        buffer_.insert(buffer_.end(), fill, 0);
        size_ = kMiniStreamCutoff;
    }
    if (!FinishSectors())
        failed_ = true;
    return !failed_;
}

// The stream (sectors 0 ...), the directory, the FAT, the DIFAT.
bool CompoundStreamWriter::FinishSectors()
{
    // The stream's last sector is filled up with zeros.
    const std::uint32_t streamSectors = CeilDiv(size_, kSectorSize);
    const std::size_t pad = static_cast<std::size_t>(streamSectors) * kSectorSize - size_;
    buffer_.insert(buffer_.end(), pad, 0);
    if (!Flush())
        return false;
    for (const auto& [offset, value] : patches_) {
        unsigned char v[4];
        Put32(v, value);
        if (!WriteAt(kSectorSize + static_cast<std::uint64_t>(offset), v, 4))
            return false;
    }

    // The FAT covers every sector, its own and the DIFAT's included.
    std::uint32_t fatSectors = 1, difatSectors = 0;
    for (;;) {
        const std::uint64_t total = static_cast<std::uint64_t>(streamSectors) + 1 + fatSectors + difatSectors;
        const std::uint32_t needFat = CeilDiv(total, kEntriesPerSector);
        const std::uint32_t needDifat =
            needFat > kHeaderDifatEntries ? CeilDiv(needFat - kHeaderDifatEntries, kDifatEntriesPerSector) : 0;
        if (needFat == fatSectors && needDifat == difatSectors)
            break;
        fatSectors = std::max(fatSectors, needFat);
        difatSectors = std::max(difatSectors, needDifat);
    }
    const std::uint32_t directory = streamSectors;
    const std::uint32_t firstFat = directory + 1;
    const std::uint32_t firstDifat = firstFat + fatSectors;
    const std::uint32_t totalSectors = firstDifat + difatSectors;

    std::vector<unsigned char> tail;
    tail.reserve(kFlushSize + kSectorSize);
    std::uint64_t position = kSectorSize + static_cast<std::uint64_t>(directory) * kSectorSize;
    auto flushTail = [&](bool force) {
        if (tail.empty() || (!force && tail.size() < kFlushSize))
            return true;
        if (!WriteAt(position, tail.data(), tail.size()))
            return false;
        position += tail.size();
        tail.clear();
        return true;
    };

    unsigned char sector[kSectorSize];
    MakeDirectory(sector, name_, kEndOfChain, 0, 0, size_);
    tail.insert(tail.end(), sector, sector + kSectorSize);

    auto fatEntry = [&](std::uint32_t i) -> std::uint32_t {
        if (i < streamSectors)
            return i + 1 < streamSectors ? i + 1 : kEndOfChain;
        if (i == directory)
            return kEndOfChain;
        if (i < firstDifat)
            return kFatSect;
        if (i < totalSectors)
            return kDifSect;
        return kFreeSect;
    };
    for (std::uint32_t s = 0; s < fatSectors; ++s) {
        for (std::uint32_t k = 0; k < kEntriesPerSector; ++k)
            Put32(sector + 4 * k, fatEntry(s * kEntriesPerSector + k));
        tail.insert(tail.end(), sector, sector + kSectorSize);
        if (!flushTail(false))
            return false;
    }
    // DIFAT sectors: the FAT sectors past the header's 109, 127 to a sector, each chained to the next.
    for (std::uint32_t s = 0; s < difatSectors; ++s) {
        for (std::uint32_t k = 0; k < kDifatEntriesPerSector; ++k) {
            const std::uint64_t fat = kHeaderDifatEntries + static_cast<std::uint64_t>(s) * kDifatEntriesPerSector + k;
            Put32(sector + 4 * k, fat < fatSectors ? firstFat + static_cast<std::uint32_t>(fat) : kFreeSect);
        }
        Put32(sector + 4 * kDifatEntriesPerSector, s + 1 < difatSectors ? firstDifat + s + 1 : kEndOfChain);
        tail.insert(tail.end(), sector, sector + kSectorSize);
    }
    if (!flushTail(true))
        return false;

    unsigned char header[kSectorSize];
    MakeHeader(header, fatSectors, directory, kEndOfChain, 0, difatSectors > 0 ? firstDifat : kEndOfChain,
               difatSectors, firstFat);
    return WriteAt(0, header, kSectorSize);
}
