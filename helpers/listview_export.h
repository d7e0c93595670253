#pragma once
// Exporting a report-mode list view into one sheet of an Excel 97-2003 workbook (.xls).
//
// The export goes through the database control 外部数据库1 of ExportHelperWindow, which it loads for
// the length of one export: it writes the empty database the program carries to "db.tmp" in the
// temporary folder, opens it, creates the table "tmp" with one text column per exported list column
// (named by the column's title), inserts every row inside one transaction, and copies the table into
// the workbook with one SELECT INTO:
//
//     drop table tmp
//     create table tmp (序号 text,价格 text)
//     insert into tmp (序号,价格) values ('1','1,280')        one per row, single quotes doubled
//     SELECT * INTO [Excel 8.0;Database=C:\out\成交量.xls].[Sheet1] FROM tmp
//
// It runs on the window thread of the list view (a call from another thread is carried there), reads
// the cells there in one pass and pumps no messages. The workbook is written beside its file and
// replaces it only at the commit, once it is complete: a failed export, at whatever step, leaves the
// file that was there untouched. The temporary database itself is refused as the workbook file.
#include "runtime/forms.h"
#include "runtime/text.h"

#include <string_view>

struct ExcelExportRequest {
    Control listView;       // the list to export
    IntArray columns;       // 0-based list columns in sheet order; empty: every column in list order
    Text workbookFile;      // full path of the .xls file
    Text sheetName;         // the sheet (table) name as the statement takes it; empty: "[Sheet1]"
    Control progressBar;    // receives the row count as maximum and the rows written; none when dead
};

// True when the sheet was written and the transaction committed; false on any failure (the temporary
// database cannot be written or opened, a column title is not a column name, an insert fails, the
// workbook cannot be written or passes a limit of the format). Shows no message.
bool ExportListViewToExcel(const ExcelExportRequest& request);

// --- The steps, for the tests ---------------------------------------------------------------------------

// The temporary database in `folder`: "db.tmp" joined to it with one backslash (a backslash that
// already ends the folder is not doubled; the rest of the path, a UNC folder's leading pair included,
// is kept as it is).
Text TemporaryDatabasePath(std::string_view folder);
// The user's temporary folder (ending with a backslash), in code page 936; its short form when the
// long one holds characters outside that code page.
Text TemporaryFolder();

// The carried database template expanded: the block is a 32-bit little-endian magic 0x033E0F0D, the
// 32-bit little-endian length of the data and a zlib stream, expanded in one call into a buffer of
// twice the length. False when the block is damaged or does not expand to exactly that length.
bool ExpandDatabaseTemplate(const unsigned char* block, std::size_t size, ByteSet& database);
inline constexpr std::uint32_t kDatabaseTemplateMagic = 0x033E0F0Du;

// "ODBC;DBQ=<path>;DefaultDir=<folder of path>;Driver={Microsoft Access Driver (*.mdb)};FIL=MS Access;"
Text ExportConnectText(std::string_view databasePath);
// A text as an SQL literal: in single quotes, every single quote inside doubled.
Text SqlTextLiteral(std::string_view text);
// "SELECT * INTO [Excel 8.0;Database=<file>].<sheet, or [Sheet1]> FROM tmp"
Text ExportSelectIntoStatement(std::string_view workbookFile, std::string_view sheetName);
