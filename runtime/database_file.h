#pragma once
// The database engine's tables and its database file (the format is described in database.h), shared
// by the engine's two sources: database.cpp (connections and statements) and database_file.cpp.
#include "runtime/text.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace database_detail {

// The bytes of all cells of a table (the offsets are 32-bit).
inline constexpr std::size_t kMaxTableBytes = 0x7FFFFFFF;

// Names compare without regard to the case of ASCII letters; the bytes of a double-byte character
// always compare exactly.
bool SameName(std::string_view a, std::string_view b);

struct Table {
    Text name;
    std::vector<Text> columns;
    std::string cells;                // the bytes of every cell, row by row
    std::vector<std::uint32_t> ends;  // where each cell's bytes end in `cells`

    std::size_t Rows() const { return columns.empty() ? 0 : ends.size() / columns.size(); }
    std::string_view Cell(std::size_t row, std::size_t column) const
    {
        const std::size_t k = row * columns.size() + column;
        const std::uint32_t begin = k == 0 ? 0 : ends[k - 1];
        return std::string_view(cells).substr(begin, ends[k] - begin);
    }
    void Truncate(std::size_t rows)
    {
        const std::size_t keep = rows * columns.size();
        if (keep >= ends.size())
            return;
        cells.resize(keep == 0 ? 0 : ends[keep - 1]);
        ends.resize(keep);
    }
    int ColumnIndex(std::string_view column) const
    {
        for (std::size_t k = 0; k < columns.size(); ++k) {
            if (SameName(columns[k], column))
                return static_cast<int>(k);
        }
        return -1;
    }
};

// Writes the tables as the whole database file at `path`; false, with the reason in `error`, when it
// cannot be written.
bool WriteDatabaseFile(const std::wstring& path, const std::vector<std::shared_ptr<Table>>& tables, Text& error);
// The bytes of a file of at most the size a database file can have; false when it cannot be read.
bool ReadFileBytes(const std::wstring& path, std::vector<unsigned char>& out);
// The tables of a database file; false when it is not a database of this engine or is damaged.
bool ParseDatabaseFile(const std::vector<unsigned char>& file, std::vector<std::shared_ptr<Table>>& tables);

}  // namespace database_detail
