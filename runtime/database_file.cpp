// The database engine's file: the header page and the tables after it (see database.h), written and
// read whole.
#include "runtime/database_file.h"
#include "runtime/database.h"
#include "runtime/little_endian.h"

#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <new>

using namespace database_detail;

namespace {

constexpr std::uint16_t kFormatVersion = 1;
constexpr std::uint16_t kHeaderLength = 32;
// A database file larger than this is not one this engine wrote for an export.
constexpr std::uint64_t kMaxDatabaseFile = 1u << 30;

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

void MakeHeaderPage(unsigned char* page, std::uint32_t tables, std::uint32_t length, std::uint32_t crc)
{
    std::memset(page, 0, kDatabasePageSize);
    std::memcpy(page, kDatabaseMagic, sizeof kDatabaseMagic);
    Put16(page + 8, kFormatVersion);
    Put16(page + 10, kHeaderLength);
    Put32(page + 12, kDatabasePageSize);
    Put32(page + 16, tables);
    Put32(page + 20, length);
    Put32(page + 24, crc);
}

class FileWriter {
public:
    explicit FileWriter(HANDLE h) : h_(h) { buffer_.reserve(kChunk); }
    void Bytes(const void* data, std::size_t size)
    {
        const unsigned char* p = static_cast<const unsigned char*>(data);
        crc_ = crc32(crc_, p, static_cast<uInt>(size));
        length_ += size;
        while (size > 0) {
            const std::size_t n = std::min(size, kChunk - buffer_.size());
            buffer_.insert(buffer_.end(), p, p + n);
            p += n;
            size -= n;
            if (buffer_.size() == kChunk)
                Flush();
        }
    }
    void Number(std::uint32_t v)
    {
        unsigned char b[4];
        Put32(b, v);
        Bytes(b, 4);
    }
    void Text(std::string_view t)
    {
        Number(static_cast<std::uint32_t>(t.size()));
        Bytes(t.data(), t.size());
    }
    bool Flush()
    {
        if (!buffer_.empty()) {
            DWORD done = 0;
            if (!WriteFile(h_, buffer_.data(), static_cast<DWORD>(buffer_.size()), &done, nullptr) ||
                done != buffer_.size())
                ok_ = false;
            buffer_.clear();
        }
        return ok_;
    }
    std::uint32_t Crc() const { return static_cast<std::uint32_t>(crc_); }
    std::uint64_t Length() const { return length_; }
    bool Ok() const { return ok_; }

private:
    static constexpr std::size_t kChunk = 1u << 20;
    HANDLE h_;
    std::vector<unsigned char> buffer_;
    uLong crc_ = crc32(0L, Z_NULL, 0);
    std::uint64_t length_ = 0;
    bool ok_ = true;
};

class FileReader {
public:
    FileReader(const unsigned char* p, std::size_t n) : p_(p), n_(n) {}
    bool Number(std::uint32_t& v)
    {
        if (n_ - at_ < 4)
            return false;
        v = Get32(p_ + at_);
        at_ += 4;
        return true;
    }
    bool Text(std::string_view& t)
    {
        std::uint32_t len = 0;
        if (!Number(len) || n_ - at_ < len)
            return false;
        t = std::string_view(reinterpret_cast<const char*>(p_ + at_), len);
        at_ += len;
        return true;
    }
    bool AtEnd() const { return at_ == n_; }
    std::size_t Left() const { return n_ - at_; }

private:
    const unsigned char* p_;
    std::size_t n_;
    std::size_t at_ = 0;
};

}  // namespace

namespace database_detail {

bool SameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (IsLeadByte(static_cast<unsigned char>(a[i])) && i + 1 < a.size()) {
            if (a[i] != b[i] || a[i + 1] != b[i + 1])
                return false;
            ++i;
            continue;
        }
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    }
    return true;
}

bool WriteDatabaseFile(const std::wstring& path, const std::vector<std::shared_ptr<Table>>& tables, Text& error)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error = "the database file cannot be written";
        return false;
    }
    std::vector<unsigned char> page(kDatabasePageSize, 0);
    DWORD done = 0;
    bool ok = WriteFile(h, page.data(), kDatabasePageSize, &done, nullptr) && done == kDatabasePageSize;
    FileWriter w(h);
    if (ok) {
        for (const auto& t : tables) {
            w.Text(t->name);
            w.Number(static_cast<std::uint32_t>(t->columns.size()));
            for (const auto& c : t->columns)
                w.Text(c);
            const std::size_t rows = t->Rows();
            w.Number(static_cast<std::uint32_t>(rows));
            for (std::size_t k = 0; k < t->ends.size(); ++k)
                w.Text(t->Cell(k / t->columns.size(), k % t->columns.size()));
        }
        ok = w.Flush() && w.Length() <= kMaxDatabaseFile;
    }
    if (ok) {
        MakeHeaderPage(page.data(), static_cast<std::uint32_t>(tables.size()), static_cast<std::uint32_t>(w.Length()),
                       w.Crc());
        LARGE_INTEGER zero{};
        ok = SetFilePointerEx(h, zero, nullptr, FILE_BEGIN) &&
             WriteFile(h, page.data(), kDatabasePageSize, &done, nullptr) && done == kDatabasePageSize;
    }
    if (!CloseHandle(h))
        ok = false;
    if (!ok)
        error = "the database file cannot be written";
    return ok;
}

bool ReadFileBytes(const std::wstring& path, std::vector<unsigned char>& out)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER size{};
    bool ok = GetFileSizeEx(h, &size) && size.QuadPart >= 0 &&
              static_cast<std::uint64_t>(size.QuadPart) <= kMaxDatabaseFile;
    if (ok) {
        try {
            out.resize(static_cast<std::size_t>(size.QuadPart));
        } catch (const std::bad_alloc&) {
            ok = false;
        }
    }
    std::size_t got = 0;
    while (ok && got < out.size()) {
        DWORD n = 0;
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(out.size() - got, 1u << 24));
        if (!ReadFile(h, out.data() + got, want, &n, nullptr) || n == 0)
            ok = false;
        got += n;
    }
    CloseHandle(h);
    return ok;
}

bool ParseDatabaseFile(const std::vector<unsigned char>& file, std::vector<std::shared_ptr<Table>>& tables)
{
    if (file.size() < kDatabasePageSize || std::memcmp(file.data(), kDatabaseMagic, sizeof kDatabaseMagic) != 0)
        return false;
    const unsigned char* h = file.data();
    if (Get16(h + 8) != kFormatVersion || Get16(h + 10) != kHeaderLength || Get32(h + 12) != kDatabasePageSize)
        return false;
    const std::uint32_t count = Get32(h + 16);
    const std::uint32_t length = Get32(h + 20);
    if (length != file.size() - kDatabasePageSize)
        return false;
    const unsigned char* body = h + kDatabasePageSize;
    if (static_cast<std::uint32_t>(crc32(crc32(0L, Z_NULL, 0), body, length)) != Get32(h + 24))
        return false;
    FileReader r(body, length);
    for (std::uint32_t t = 0; t < count; ++t) {
        auto table = std::make_shared<Table>();
        std::string_view name;
        std::uint32_t columns = 0, rows = 0;
        if (!r.Text(name) || !IsValidDatabaseName(name) || !r.Number(columns) || columns == 0)
            return false;
        // Every column and cell takes at least its 4-byte length: a count larger than the rest is damage.
        if (columns > r.Left() / 4)
            return false;
        table->name.assign(name);
        for (std::uint32_t c = 0; c < columns; ++c) {
            std::string_view column;
            if (!r.Text(column) || !IsValidDatabaseName(column) || table->ColumnIndex(column) >= 0)
                return false;
            table->columns.emplace_back(column);
        }
        if (!r.Number(rows) || rows > r.Left() / 4 / columns)
            return false;
        table->ends.reserve(static_cast<std::size_t>(rows) * columns);
        for (std::size_t k = 0; k < static_cast<std::size_t>(rows) * columns; ++k) {
            std::string_view cell;
            if (!r.Text(cell) || table->cells.size() + cell.size() > kMaxTableBytes)
                return false;
            table->cells.append(cell);
            table->ends.push_back(static_cast<std::uint32_t>(table->cells.size()));
        }
        for (const auto& other : tables) {
            if (SameName(other->name, table->name))
                return false;
        }
        tables.push_back(std::move(table));
    }
    return r.AtEnd();
}

}  // namespace database_detail

ByteSet EmptyDatabaseImage()
{
    ByteSet image(kDatabasePageSize, 0);
    MakeHeaderPage(image.data(), 0, 0, static_cast<std::uint32_t>(crc32(0L, Z_NULL, 0)));
    return image;
}
