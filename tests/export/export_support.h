#pragma once
// Tools of the export tests: where workbooks go, what each is expected to hold, scratch folders, and
// a window with a list view and a progress bar.
//
// Every workbook a test writes goes below WorkbookFolder() together with NAME.expect, which holds what
// the workbook must read back as; the ctest entry export_readback then opens each of them on the Linux
// side with python3-xlrd (and LibreOffice where it is installed) and checks the file's structure
// (tests/export/read_workbooks.py). The folder is emptied when this executable starts.
#include "runtime/forms.h"
#include "runtime/text.h"

#include <windows.h>

#include <string>
#include <vector>

namespace export_test {

using Rows = std::vector<TextArray>;

// The folder for the workbooks that are read back (ending with a backslash): QUOVANTA_EXPORT_OUT (a
// Linux path, seen as drive Z:) when set, else a folder in the temporary folder.
Text WorkbookFolder();

// Records what `workbook` (a path below WorkbookFolder()) must hold: one sheet named `sheet`, `rows`
// (titles first) as texts in code page 936.
void ExpectWorkbook(const Text& workbook, const Text& sheet, const Rows& rows);

// A new empty folder in the temporary folder for files that are not workbooks to read back (ending
// with a backslash); removed with everything in it by the destructor.
class ScratchFolder {
public:
    explicit ScratchFolder(const char* name);
    ~ScratchFolder();
    const Text& Path() const { return path_; }
    Text operator/(const Text& file) const { return path_ + file; }

private:
    Text path_;
};

// Writes / reads a whole file by its name in code page 936.
bool WriteFileText(const Text& path, const std::string& bytes);
std::string ReadFileText(const Text& path);
bool FileThere(const Text& path);
// Whether a workbook being written (a "~xls*.tmp" file) was left in `folder` (ending with a backslash).
bool TemporaryWorkbookLeft(const Text& folder);

// An existing file held open with nothing shared, as another program may hold it: while it is held
// the file cannot be written, and no other file can be moved over it.
class HeldFile {
public:
    explicit HeldFile(const Text& path);
    ~HeldFile();
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
    bool IsHeld() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

// A window holding the list view 列表 (the given columns), the progress bar 进度条 and the export
// panel 分组框 around it; loaded on the test thread.
Form LoadListWindow(const std::vector<ColumnSpec>& columns, bool visible = true);

// Fills the list view with rows (on the window thread, redraw held: quick also for 65,536 rows).
void FillList(const Control& list, const Rows& rows);

// `count` rows of `columns` texts of Chinese, numbers and quotes; each text different.
Rows ChineseRows(int count, int columns);

// Counts the PBM_SETPOS messages a progress bar receives, with the last position sent.
class ProgressWatch {
public:
    explicit ProgressWatch(HWND bar);
    ~ProgressWatch();
    int Sends() const;
    int LastPosition() const;
    // Called at every send: whether the window `watched` was visible then.
    void WatchVisibility(HWND watched);
    bool AlwaysVisible() const;

private:
    HWND bar_;
};

}  // namespace export_test
