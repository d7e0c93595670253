#pragma once
// The database control's engine: a small database of our own that takes the few statements the
// list-view export sends over the connection of the database control (外部数据库1), and writes a table
// into an Excel 97-2003 workbook.
//
// A connection is opened with an ODBC-style connect text that names the database file:
//
//     ODBC;DBQ=C:\Temp\db.tmp;DefaultDir=C:\Temp;Driver={Microsoft Access Driver (*.mdb)};FIL=MS Access;
//
// The file must be a database of this engine (the empty database the program carries, see
// EmptyDatabaseImage). Statements are plain texts in code page 936, executed one at a time:
//
//     drop table NAME
//     create table NAME (COLUMN text,COLUMN text,...)
//     insert into NAME (COLUMN,COLUMN,...) values ('text','it''s',...)
//     SELECT * INTO [Excel 8.0;Database=C:\out\book.xls].[Sheet1] FROM NAME
//
// Keywords are read without regard to letter case; names are those of IsValidDatabaseName and compare
// without regard to the case of ASCII letters. Every column is text. A literal is a single-quoted text
// with each single quote inside doubled.
//
// Statements outside a transaction take effect in the database file at once; inside one (between
// BeginTransaction and CommitTransaction) the connection sees its own changes, the file gets them at
// the commit, and a connection closed without a commit drops them.
//
// The SELECT INTO writes the table as the one sheet of a new workbook file (BIFF8 in a compound
// file, see runtime/workbook.h): the column names as the first row, then the rows. It refuses a table
// of more than 65,535 rows or 256 columns and a text of more than 32,767 characters, and refuses the
// connection's own database file as the workbook file. The workbook is written beside its target under
// a temporary name and moved over the target only once it is complete: at once outside a transaction,
// at the commit inside one (a transaction dropped, or a commit that fails, leaves the target as it was).
#include "runtime/forms.h"
#include "runtime/text.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The format of the database file: a header page, then the tables.
//
//   header page (4,096 bytes, the rest zero):
//     0  8  magic "QVDB\r\n\x1a\n"
//     8  2  format version, 1
//    10  2  header length, 32
//    12  4  page size, 4,096
//    16  4  number of tables
//    20  4  length in bytes of the table part that follows the header page
//    24  4  CRC-32 of the table part
//    28  4  reserved, 0
//   table part, one entry per table:
//     name, number of columns, each column name, number of rows, then every cell row by row,
//     each text as a 32-bit length and its bytes; every number 32-bit little-endian.
inline constexpr char kDatabaseMagic[8] = {'Q', 'V', 'D', 'B', '\r', '\n', '\x1a', '\n'};
inline constexpr std::uint32_t kDatabasePageSize = 4096;

// The bytes of an empty database of this engine (no tables): what the carried template expands to.
ByteSet EmptyDatabaseImage();

// A table or column name: 1 to 64 characters, each an ASCII letter or digit, "_", "/", or a
// double-byte GBK character (not the ideographic space). So 序号, 5173成交量, 17173评测页, 游戏/区/服 and
// ID are names; "", "a b", "a.b", "[a]", "a'b" and "价格 " are not.
bool IsValidDatabaseName(std::string_view name);

// What a connection was asked to do, for tests that watch the statements of an export.
struct DatabaseCall {
    enum Kind { Open, Execute, Begin, Commit, Close } kind = Execute;
    Text text;         // the connect text or the statement; empty for the others
    bool ok = false;   // its outcome
};
// Installs a watcher of every call on every connection (nullptr removes it); returns the previous one.
// The watcher runs on the thread of the call.
using DatabaseCallWatcher = std::function<void(const DatabaseCall&)>;
DatabaseCallWatcher SetDatabaseCallWatcher(DatabaseCallWatcher watcher);

struct DatabaseState;

// One connection. Not shared between threads.
class DatabaseConnection {
public:
    DatabaseConnection();
    ~DatabaseConnection();  // closes (an open transaction is dropped)
    DatabaseConnection(const DatabaseConnection&) = delete;
    DatabaseConnection& operator=(const DatabaseConnection&) = delete;

    // Opens the database file named by DBQ (a path in code page 936; a ";" inside it survives when
    // what follows is not one of the keys DBQ, DefaultDir, Driver, FIL, UID, PWD). A Driver, when
    // given, must be the Access driver. False when already open, when the text names no file, or when
    // the file cannot be read or is not a database of this engine.
    bool Open(std::string_view connectText);
    bool IsOpen() const;
    // Closes the connection; an open transaction is dropped. Nothing happens when it is not open.
    void Close();

    // Runs one statement; false when it fails (LastError says why) or the connection is not open.
    bool Execute(std::string_view statement);
    // One transaction at a time: false when one is already open (or the connection is not).
    bool BeginTransaction();
    // Writes the transaction's changes into the file, then moves the workbooks of its SELECT INTOs over
    // their targets. False without a transaction, when the file cannot be written or when a workbook
    // cannot be moved into place: the transaction then stays open with its changes and the workbooks
    // not yet placed, and its targets are as they were.
    bool CommitTransaction();
    // Drops the changes made since BeginTransaction and the workbooks not yet placed.
    void RollbackTransaction();
    bool InTransaction() const;

    Text LastError() const;

    // Tests: the names of the tables and the number of rows of one (-1 when there is no such table).
    std::vector<Text> TableNames() const;
    long long RowCount(std::string_view table) const;

private:
    std::unique_ptr<DatabaseState> state_;
};

// The connection kept by a database control (ControlKind::Database): the control holds one from its
// first use until its window closes (or until its slot is cleared). Without `create`, nullptr when it
// holds none yet. nullptr for another kind of control, a dead one, or a slot holding something else.
std::shared_ptr<DatabaseConnection> DatabaseConnectionOf(const Control& databaseControl, bool create = true);
