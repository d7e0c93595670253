// Excel 97-2003 workbooks of one sheet of texts (see workbook.h).
#include "runtime/workbook.h"
#include "runtime/little_endian.h"

#include "runtime/compound_file.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

namespace {

// BIFF8 record types.
constexpr std::uint16_t kBof = 0x0809;
constexpr std::uint16_t kEof = 0x000A;
constexpr std::uint16_t kCodePage = 0x0042;
constexpr std::uint16_t kWindow1 = 0x003D;
constexpr std::uint16_t kFont = 0x0031;
constexpr std::uint16_t kXf = 0x00E0;
constexpr std::uint16_t kStyle = 0x0293;
constexpr std::uint16_t kBoundSheet = 0x0085;
constexpr std::uint16_t kSst = 0x00FC;
constexpr std::uint16_t kContinue = 0x003C;
constexpr std::uint16_t kExtSst = 0x00FF;
constexpr std::uint16_t kWsBool = 0x0081;
constexpr std::uint16_t kDimensions = 0x0200;
constexpr std::uint16_t kLabelSst = 0x00FD;
constexpr std::uint16_t kWindow2 = 0x023E;

// The most data bytes one record holds.
constexpr std::size_t kMaxRecordData = 8224;
// The cell format of every cell: the first after the 15 style formats.
constexpr std::uint16_t kCellXf = 15;

class Biff {
public:
    explicit Biff(CompoundStreamWriter& out) : out_(out) {}

    std::uint32_t Position() const { return out_.Size(); }

    void Record(std::uint16_t type, const unsigned char* data, std::size_t size)
    {
        unsigned char header[4];
        Put16(header, type);
        Put16(header + 2, static_cast<std::uint32_t>(size));
        out_.Write(header, 4);
        if (size > 0)
            out_.Write(data, size);
    }
    void Record(std::uint16_t type, const std::vector<unsigned char>& data) { Record(type, data.data(), data.size()); }

    CompoundStreamWriter& Out() { return out_; }

private:
    CompoundStreamWriter& out_;
};

std::vector<unsigned char> Bytes(std::initializer_list<unsigned> values)
{
    std::vector<unsigned char> v;
    for (unsigned x : values)
        v.push_back(static_cast<unsigned char>(x));
    return v;
}

void WriteBof(Biff& biff, std::uint16_t substream)
{
    unsigned char b[16] = {};
    Put16(b, 0x0600);         // BIFF8
    Put16(b + 2, substream);  // 5: workbook globals, 0x10: worksheet
    Put16(b + 4, 0x0DBB);     // build
    Put16(b + 6, 0x07CC);     // year
    Put32(b + 8, 0);          // file history
    Put32(b + 12, 0x06);      // lowest BIFF version that reads it
    biff.Record(kBof, b, sizeof b);
}

void WriteGlobalsHead(Biff& biff)
{
    WriteBof(biff, 0x0005);
    biff.Record(kCodePage, Bytes({0xB0, 0x04}));  // 1200: UTF-16
    unsigned char w1[18] = {};
    Put16(w1, 360);
    Put16(w1 + 2, 270);
    Put16(w1 + 4, 14940);
    Put16(w1 + 6, 9150);
    Put16(w1 + 8, 0x0038);   // scroll bars and sheet tabs shown
    Put16(w1 + 10, 0);       // active sheet
    Put16(w1 + 12, 0);       // first tab shown
    Put16(w1 + 14, 1);       // sheets selected
    Put16(w1 + 16, 600);     // tab bar width ratio
    biff.Record(kWindow1, w1, sizeof w1);

    // Four fonts (index 4 is never written): 宋体 12 pt, the Chinese default.
    for (int i = 0; i < 4; ++i) {
        unsigned char f[20] = {};
        Put16(f, 240);           // height in twips
        Put16(f + 2, 0);         // no attributes
        Put16(f + 4, 0x7FFF);    // automatic colour
        Put16(f + 6, 400);       // normal weight
        Put16(f + 8, 0);         // no super- or subscript
        f[10] = 0;               // no underline
        f[11] = 0;               // family
        f[12] = 0x86;            // GB2312 character set
        f[13] = 0;
        f[14] = 2;               // name: 2 characters, UTF-16
        f[15] = 1;
        Put16(f + 16, 0x5B8B);   // 宋
        Put16(f + 18, 0x4F53);   // 体
        biff.Record(kFont, f, sizeof f);
    }

    // Formats 0 to 14 are the style formats, 15 the format of every cell.
    for (int i = 0; i < 16; ++i) {
        unsigned char x[20] = {};
        const bool style = i < 15;
        Put16(x, (i >= 1 && i <= 4) ? (i <= 2 ? 1 : 2) : 0);  // font
        Put16(x + 2, 0);                                      // number format: General
        Put16(x + 4, style ? 0xFFF5 : 0x0001);                // locked; style formats have no parent
        x[6] = 0x20;                                          // aligned to the bottom
        x[9] = style && i > 0 ? 0xF4 : 0x00;                  // attributes taken from the style
        Put32(x + 16, 0x20C00000);                            // pattern colours: automatic
        biff.Record(kXf, x, sizeof x);
    }
    biff.Record(kStyle, Bytes({0x00, 0x80, 0x00, 0xFF}));  // the built-in style Normal on format 0
}

// The shared string table: SST and its CONTINUE records, with the positions EXTSST needs.
class SstWriter {
public:
    SstWriter(Biff& biff, std::uint32_t totalReferences) : biff_(biff)
    {
        recordType_ = kSst;
        recordStart_ = biff_.Position();
        unsigned char head[8];
        Put32(head, totalReferences);
        Put32(head + 4, 0);  // unique strings: patched at the end
        data_.assign(head, head + 8);
    }

    // The position of the count of unique strings in the stream.
    std::uint32_t UniqueCountPosition() const { return uniqueCountPosition_; }

    void Add(const wchar_t* chars, std::size_t count)
    {
        bool compressed = true;
        for (std::size_t i = 0; i < count && compressed; ++i)
            compressed = chars[i] < 0x100;
        const std::size_t charSize = compressed ? 1 : 2;
        // A string's header (length and option byte) and its first character stay in one record.
        const std::size_t need = 3 + (count > 0 ? charSize : 0);
        if (kMaxRecordData - data_.size() < need)
            StartContinue();
        if (strings_ % 8 == 0)
            bucketPositions_.push_back({static_cast<std::uint32_t>(recordStart_ + 4 + data_.size()),
                                        static_cast<std::uint16_t>(4 + data_.size())});
        ++strings_;
        const unsigned char option = compressed ? 0 : 1;
        unsigned char head[3];
        Put16(head, static_cast<std::uint32_t>(count));
        head[2] = option;
        data_.insert(data_.end(), head, head + 3);
        std::size_t done = 0;
        while (done < count) {
            std::size_t room = (kMaxRecordData - data_.size()) / charSize;
            if (room == 0) {
                // The rest goes on in a CONTINUE record that begins with the option byte again.
                StartContinue();
                data_.push_back(option);
                room = (kMaxRecordData - data_.size()) / charSize;
            }
            const std::size_t n = std::min(room, count - done);
            for (std::size_t i = 0; i < n; ++i) {
                const wchar_t c = chars[done + i];
                data_.push_back(static_cast<unsigned char>(c));
                if (!compressed)
                    data_.push_back(static_cast<unsigned char>(c >> 8));
            }
            done += n;
        }
    }

    // Ends the table; returns the number of unique strings and writes EXTSST.
    std::uint32_t Finish()
    {
        EmitRecord();
        biff_.Out().Patch32(uniqueCountPosition_, strings_);
        // EXTSST: every dsst-th string, dsst a multiple of 8 (at least 8), at most 128 buckets.
        std::uint32_t perBucket = std::max<std::uint32_t>(8, (strings_ + 127) / 128);
        perBucket = (perBucket + 7) / 8 * 8;
        std::vector<unsigned char> ext(2, 0);
        Put16(ext.data(), perBucket);
        for (std::uint32_t s = 0; s < strings_; s += perBucket) {
            const Bucket& b = bucketPositions_[s / 8];
            unsigned char info[8] = {};
            Put32(info, b.streamPosition);
            Put16(info + 4, b.recordOffset);
            ext.insert(ext.end(), info, info + 8);
        }
        biff_.Record(kExtSst, ext);
        return strings_;
    }

private:
    struct Bucket {
        std::uint32_t streamPosition;
        std::uint16_t recordOffset;  // from the start of the record, its header included
    };

    void EmitRecord()
    {
        if (recordType_ == kSst)
            uniqueCountPosition_ = biff_.Position() + 4 + 4;
        biff_.Record(recordType_, data_);
        data_.clear();
    }

    void StartContinue()
    {
        EmitRecord();
        recordType_ = kContinue;
        recordStart_ = biff_.Position();
    }

    Biff& biff_;
    std::uint16_t recordType_ = kSst;
    std::uint32_t recordStart_ = 0;
    std::uint32_t uniqueCountPosition_ = 0;
    std::vector<unsigned char> data_;
    std::uint32_t strings_ = 0;
    std::vector<Bucket> bucketPositions_;
};

// Texts seen so far, each with its index in the shared string table: open addressing over hashes.
class StringIndex {
public:
    explicit StringIndex(std::size_t expected)
    {
        std::size_t capacity = 16;
        while (capacity < expected + expected / 2 + 1)
            capacity *= 2;
        Resize(capacity);
    }

    // The index of `text`, or -1 after adding it as the next index (when absent).
    long long FindOrAdd(std::string_view text)
    {
        const std::uint32_t h = Hash(text);
        std::size_t at = h & mask_;
        for (;;) {
            const std::uint32_t slot = slots_[at];
            if (slot == 0)
                break;
            if (hashes_[slot - 1] == h && texts_[slot - 1] == text)
                return slot - 1;
            at = (at + 1) & mask_;
        }
        texts_.push_back(text);
        hashes_.push_back(h);
        slots_[at] = static_cast<std::uint32_t>(texts_.size());
        // Kept at most two thirds full, so that a search always meets an empty slot soon.
        if (texts_.size() * 3 > slots_.size() * 2)
            Resize(slots_.size() * 2);
        return -1;
    }

private:
    static std::uint32_t Hash(std::string_view s)
    {
        std::uint32_t h = 2166136261u;
        for (unsigned char c : s) {
            h ^= c;
            h *= 16777619u;
        }
        return h;
    }

    void Resize(std::size_t capacity)
    {
        slots_.assign(capacity, 0);
        mask_ = capacity - 1;
        for (std::size_t i = 0; i < texts_.size(); ++i) {
            std::size_t at = hashes_[i] & mask_;
            while (slots_[at] != 0)
                at = (at + 1) & mask_;
            slots_[at] = static_cast<std::uint32_t>(i + 1);
        }
    }

    std::vector<std::uint32_t> slots_;  // 1 + index into texts_, 0 for empty
    std::size_t mask_ = 0;
    std::vector<std::string_view> texts_;
    std::vector<std::uint32_t> hashes_;
};

// A text of code page 936 in UTF-16 into `wide`; false when it holds more than the cell limit.
bool ToCellChars(std::string_view text, std::vector<wchar_t>& wide, std::size_t& count)
{
    count = 0;
    if (text.empty())
        return true;
    const int length = static_cast<int>(std::min<std::size_t>(text.size(), 0x7FFFFFFF));
    if (text.size() > kWorkbookMaxCellChars) {
        // Each byte gives at most one UTF-16 unit, so only a long text needs counting.
        const int n = MultiByteToWideChar(936, 0, text.data(), length, nullptr, 0);
        if (n <= 0 || static_cast<std::size_t>(n) > kWorkbookMaxCellChars)
            return false;
    }
    if (wide.size() < text.size())
        wide.resize(text.size());
    const int n = MultiByteToWideChar(936, 0, text.data(), length, wide.data(), static_cast<int>(wide.size()));
    if (n <= 0)
        return false;
    count = static_cast<std::size_t>(n);
    return count <= kWorkbookMaxCellChars;
}

// The whole Workbook stream. False (with `error`) when a text is too long or a write fails.
bool WriteStream(CompoundStreamWriter& out, const std::wstring& sheetName, const WorkbookTable& table, Text& error)
{
    const std::size_t columns = table.ColumnCount();
    const std::size_t rows = table.RowCount() + 1;  // the titles first
    const std::size_t cells = rows * columns;
    Biff biff(out);

    WriteGlobalsHead(biff);

    std::vector<unsigned char> sheet(6, 0);  // the sheet's offset (patched below), visible, a worksheet
    sheet.push_back(static_cast<unsigned char>(sheetName.size()));
    sheet.push_back(1);
    for (wchar_t c : sheetName) {
        sheet.push_back(static_cast<unsigned char>(c));
        sheet.push_back(static_cast<unsigned char>(c >> 8));
    }
    const std::uint32_t sheetOffsetPosition = biff.Position() + 4;
    biff.Record(kBoundSheet, sheet);

    // The shared strings in the order of their first use, and each cell's string.
    std::vector<std::uint32_t> cellString(cells);
    {
        SstWriter sst(biff, static_cast<std::uint32_t>(cells));
        StringIndex index(std::min<std::size_t>(cells, 1u << 20));
        std::vector<wchar_t> wide;
        std::uint32_t next = 0;
        for (std::size_t i = 0; i < cells; ++i) {
            const std::size_t r = i / columns, c = i % columns;
            const std::string_view text = r == 0 ? table.Title(c) : table.Cell(r - 1, c);
            const long long found = index.FindOrAdd(text);
            if (found >= 0) {
                cellString[i] = static_cast<std::uint32_t>(found);
                continue;
            }
            std::size_t count = 0;
            if (!ToCellChars(text, wide, count)) {
                error = "a text holds more than 32767 characters";
                return false;
            }
            sst.Add(wide.data(), count);
            cellString[i] = next++;
            if (out.Failed()) {
                error = "the workbook cannot be written";
                return false;
            }
        }
        sst.Finish();
    }
    biff.Record(kEof, nullptr, 0);

    // The sheet.
    out.Patch32(sheetOffsetPosition, biff.Position());
    WriteBof(biff, 0x0010);
    biff.Record(kWsBool, Bytes({0xC1, 0x04}));
    unsigned char dim[14] = {};
    Put32(dim, 0);
    Put32(dim + 4, static_cast<std::uint32_t>(rows));
    Put16(dim + 8, 0);
    Put16(dim + 10, static_cast<std::uint32_t>(columns));
    biff.Record(kDimensions, dim, sizeof dim);

    unsigned char chunk[14 * 512];
    std::size_t used = 0;
    for (std::size_t i = 0; i < cells; ++i) {
        unsigned char* p = chunk + used;
        Put16(p, kLabelSst);
        Put16(p + 2, 10);
        Put16(p + 4, static_cast<std::uint32_t>(i / columns));
        Put16(p + 6, static_cast<std::uint32_t>(i % columns));
        Put16(p + 8, kCellXf);
        Put32(p + 10, cellString[i]);
        used += 14;
        if (used == sizeof chunk) {
            out.Write(chunk, used);
            used = 0;
        }
    }
    out.Write(chunk, used);

    unsigned char w2[18] = {};
    Put16(w2, 0x06B6);  // grid lines, headers, zeros, outline symbols shown; the sheet selected and active
    Put16(w2 + 6, 0x40);  // grid line colour: automatic
    biff.Record(kWindow2, w2, sizeof w2);
    biff.Record(kEof, nullptr, 0);
    if (out.Failed()) {
        error = "the workbook cannot be written";
        return false;
    }
    return true;
}

std::wstring FolderOf(const std::wstring& path)
{
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring(L".") : path.substr(0, slash);
}

// A new, empty file beside the target; INVALID_HANDLE_VALUE when none can be made.
HANDLE CreateTemporaryBeside(const std::wstring& folder, std::wstring& name)
{
    static volatile LONG counter = 0;
    for (int attempt = 0; attempt < 64; ++attempt) {
        wchar_t suffix[64];
        wsprintfW(suffix, L"\\~xls%08lx%04lx.tmp", static_cast<unsigned long>(GetTickCount() ^ GetCurrentProcessId()),
                  static_cast<unsigned long>(InterlockedIncrement(&counter) & 0xFFFF));
        name = folder + suffix;
        HANDLE h = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE)
            return h;
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
    return INVALID_HANDLE_VALUE;
}

}  // namespace

bool MakeSheetName(std::string_view given, std::wstring& sheet)
{
    if (given.size() >= 2 && given.front() == '[' && given.back() == ']')
        given = given.substr(1, given.size() - 2);
    std::wstring name = WideFromGbk(given);
    for (wchar_t& c : name) {
        if (c == L':' || c == L'\\' || c == L'/' || c == L'?' || c == L'*' || c == L'[' || c == L']' || c < 0x20)
            c = L'_';
    }
    if (name.size() > kWorkbookMaxSheetNameChars) {
        std::size_t keep = kWorkbookMaxSheetNameChars;
        if (keep > 0 && name[keep - 1] >= 0xD800 && name[keep - 1] <= 0xDBFF)
            --keep;  // never half of a pair
        name.resize(keep);
    }
    if (!name.empty() && name.front() == L'\'')
        name.front() = L'_';
    if (!name.empty() && name.back() == L'\'')
        name.back() = L'_';
    if (name.empty())
        return false;
    sheet = std::move(name);
    return true;
}

WorkbookFile::WorkbookFile(WorkbookFile&& other) noexcept
    : target_(std::move(other.target_)), temporary_(std::move(other.temporary_))
{
    other.temporary_.clear();
}

WorkbookFile& WorkbookFile::operator=(WorkbookFile&& other) noexcept
{
    if (this != &other) {
        Drop();
        target_ = std::move(other.target_);
        temporary_ = std::move(other.temporary_);
        other.temporary_.clear();
    }
    return *this;
}

void WorkbookFile::Drop()
{
    if (!temporary_.empty())
        DeleteFileW(temporary_.c_str());
    temporary_.clear();
}

bool WorkbookFile::Write(const std::wstring& target, const std::wstring& sheetName, const WorkbookTable& table,
                         Text& error)
{
    Drop();
    if (table.ColumnCount() == 0) {
        error = "the table has no column";
        return false;
    }
    if (table.ColumnCount() > kWorkbookMaxColumns) {
        error = "a sheet holds at most 256 columns";
        return false;
    }
    if (table.RowCount() > kWorkbookMaxDataRows) {
        error = "a sheet holds at most 65535 rows below its titles";
        return false;
    }
    if (sheetName.empty() || sheetName.size() > kWorkbookMaxSheetNameChars) {
        error = "not a sheet name";
        return false;
    }
    if (target.empty()) {
        error = "no workbook file";
        return false;
    }
    DWORD needed = GetFullPathNameW(target.c_str(), 0, nullptr, nullptr);
    if (needed == 0) {
        error = "not a file name";
        return false;
    }
    std::wstring full(needed, L'\0');
    DWORD got = GetFullPathNameW(target.c_str(), needed, full.data(), nullptr);
    if (got == 0 || got >= needed) {
        error = "not a file name";
        return false;
    }
    full.resize(got);
    const DWORD attributes = GetFileAttributesW(full.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        error = "the workbook file is a folder";
        return false;
    }

    std::wstring temporary;
    HANDLE file = CreateTemporaryBeside(FolderOf(full), temporary);
    if (file == INVALID_HANDLE_VALUE) {
        error = "the workbook's folder cannot be written";
        return false;
    }
    bool ok = false;
    {
        CompoundStreamWriter out(file, L"Workbook");
        try {
            ok = WriteStream(out, sheetName, table, error);
        } catch (const std::bad_alloc&) {
            error = "out of memory";
            ok = false;
        }
        if (ok && !out.Finish()) {
            error = "the workbook cannot be written";
            ok = false;
        }
    }
    if (ok && !FlushFileBuffers(file)) {
        error = "the workbook cannot be written";
        ok = false;
    }
    if (!CloseHandle(file) && ok) {
        error = "the workbook cannot be written";
        ok = false;
    }
    if (!ok) {
        DeleteFileW(temporary.c_str());
        return false;
    }
    target_ = std::move(full);
    temporary_ = std::move(temporary);
    return true;
}

bool WorkbookFile::Place(Text& error)
{
    if (temporary_.empty()) {
        error = "no workbook is written";
        return false;
    }
    if (!MoveFileExW(temporary_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = "the workbook file cannot be replaced";
        return false;
    }
    temporary_.clear();
    return true;
}

bool WriteWorkbookFile(const std::wstring& target, const std::wstring& sheetName, const WorkbookTable& table,
                       Text& error)
{
    WorkbookFile file;
    return file.Write(target, sheetName, table, error) && file.Place(error);
}
