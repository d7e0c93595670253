#pragma once
// Writing one stream into a compound file (the structured-storage container of Excel 97-2003
// workbooks), as the stream's bytes come, without holding the stream in memory.
//
// The file is of version 3: 512-byte sectors, 64-byte mini sectors and a mini-stream cutoff of 4,096
// bytes. It holds the root storage and the one stream. The stream lies in regular sectors 0, 1, 2, ...
// (so stream offset x is file offset 512 + x), followed by the directory, the sector allocation table
// (FAT) and, past the 109 FAT sectors that the header lists, the sectors that list the others (DIFAT).
// A stream shorter than the cutoff is filled up with zeros to 4,096 bytes, as the common writers of
// workbooks do, so the mini stream is never used. Every chain is exactly as long as its data needs:
// ceil(size / 512) sectors.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

class CompoundStreamWriter {
public:
    // The largest stream a version-3 file holds.
    static constexpr std::uint32_t kMaxStreamSize = 0x7FFFFFFFu;

    // `file`: an empty file opened for writing (not owned, not closed here). `streamName`: at most 31
    // characters.
    CompoundStreamWriter(HANDLE file, std::wstring streamName);
    CompoundStreamWriter(const CompoundStreamWriter&) = delete;
    CompoundStreamWriter& operator=(const CompoundStreamWriter&) = delete;

    // Appends bytes to the stream; false once a write has failed or the stream would pass the largest
    // size (every later call fails too).
    bool Write(const void* data, std::size_t size);
    std::uint32_t Size() const { return size_; }
    // Sets 4 bytes (little-endian) at `offset` of the stream written so far; they reach the file by
    // Finish at the latest.
    void Patch32(std::uint32_t offset, std::uint32_t value);
    // Writes what is left of the stream (filled up to the cutoff when shorter), the directory and the
    // allocation tables, and the header. False when any write failed.
    bool Finish();
    bool Failed() const { return failed_; }

private:
    bool Flush();
    bool WriteAt(std::uint64_t position, const void* data, std::size_t size);
    bool FinishSectors();

    HANDLE file_;
    std::wstring name_;
    std::vector<unsigned char> buffer_;   // stream bytes not yet in the file
    std::uint32_t size_ = 0;              // stream bytes so far (the filling of Finish included)
    std::uint32_t flushed_ = 0;           // stream bytes already in the file
    std::vector<std::pair<std::uint32_t, std::uint32_t>> patches_;  // (offset, value) of flushed bytes
    bool failed_ = false;
};
