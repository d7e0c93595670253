#pragma once
// Excel 97-2003 workbooks (BIFF8 in a compound file) of one sheet of texts: what the database engine's
// SELECT INTO writes.
//
// The Workbook stream holds the globals (BOF, CODEPAGE 1200, WINDOW1, FONTs, 16 XFs, STYLE,
// BOUNDSHEET, SST with its CONTINUE records, EXTSST, EOF) and the sheet (BOF, WSBOOL, DIMENSIONS, one
// LABELSST per cell, WINDOW2, EOF). Every text is converted from code page 936 into UTF-16 and kept
// once in the shared string table (SST). The first row holds the column titles, the rows follow.
#include "runtime/text.h"

#include <cstddef>
#include <string>
#include <string_view>

// The limits of the format: a sheet holds 65,536 rows (the titles and 65,535 rows of data) and 256
// columns, a cell at most 32,767 characters, a sheet name at most 31.
inline constexpr std::size_t kWorkbookMaxDataRows = 65535;
inline constexpr std::size_t kWorkbookMaxColumns = 256;
inline constexpr std::size_t kWorkbookMaxCellChars = 32767;
inline constexpr std::size_t kWorkbookMaxSheetNameChars = 31;

// The table to write: texts in code page 936.
class WorkbookTable {
public:
    virtual ~WorkbookTable() = default;
    virtual std::size_t ColumnCount() const = 0;
    virtual std::size_t RowCount() const = 0;
    virtual std::string_view Title(std::size_t column) const = 0;
    virtual std::string_view Cell(std::size_t row, std::size_t column) const = 0;
};

// The sheet name of a given name: an enclosing pair of brackets taken off, each of : \ / ? * [ ] and a
// quote at either end replaced by "_", cut to 31 characters. False when nothing is left.
bool MakeSheetName(std::string_view given, std::wstring& sheet);

// A workbook written under a temporary name in its target's folder and not yet in place: Place moves
// it over the target, which is replaced only then; Drop (and the destructor of one not placed)
// deletes it, so the target stays as it was.
class WorkbookFile {
public:
    WorkbookFile() = default;
    ~WorkbookFile() { Drop(); }
    WorkbookFile(WorkbookFile&& other) noexcept;
    WorkbookFile& operator=(WorkbookFile&& other) noexcept;
    WorkbookFile(const WorkbookFile&) = delete;
    WorkbookFile& operator=(const WorkbookFile&) = delete;

    // Writes the whole workbook beside `target` (a path in UTF-16). False, with the reason in `error`
    // and nothing left behind, when a limit above is passed, the table has no column, the target is a
    // folder, or the file cannot be written.
    bool Write(const std::wstring& target, const std::wstring& sheetName, const WorkbookTable& table, Text& error);
    // Moves the written workbook over the target. False (with `error`) when it cannot: the workbook
    // then stays written, to be placed again or dropped.
    bool Place(Text& error);
    void Drop();
    bool IsWritten() const { return !temporary_.empty(); }

private:
    std::wstring target_;     // the target's full path
    std::wstring temporary_;  // the written workbook; empty when none is
};

// Write and Place in one: the target is replaced only by a whole workbook.
bool WriteWorkbookFile(const std::wstring& target, const std::wstring& sheetName, const WorkbookTable& table,
                       Text& error);
