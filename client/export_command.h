#pragma once
// The road every export command of the program takes: ask for the workbook file, show the export
// panel, export the list and say how it went.
#include "helpers/listview_export.h"
#include "runtime/forms.h"

#include <string_view>

// A proposed file name made safe: each of \ / : * ? " < > | and every control character becomes "-"
// (names cut from web pages end up in it). Double-byte characters are kept whole, also those whose
// second byte is "\" or "|".
Text SafeFileName(std::string_view name);

// The sheet of every export: the maker's site name "Brelmor网" followed by the host name (without a
// port) of the maker's web server.
Text ExportSheetName();

// Proposes `defaultName` (made safe) in the file dialog; on a choice shows `panel` and paints it at
// once (the export pumps no messages), exports `request` into the chosen file, and then either says
// "导出成功！" and hides the panel, or hides the panel and warns "导出失败！". An existing file of the
// chosen name is replaced only by a complete workbook: a failed export leaves it as it was. Returns
// whether a workbook was written (false also when the dialog was cancelled).
bool RunExportCommand(const Control& fileDialog, const Control& panel, std::string_view defaultName,
                      ExcelExportRequest request);
