#pragma once
// ExportHelperWindow: a window that is never shown, holding the database control 外部数据库1 whose
// connection the list-view export (listview_export.h) uses. The export loads it for the length of one
// export and destroys it afterwards; the window belongs with the export, which is why it lives here
// and not with the windows of the client.
#include "runtime/forms.h"

WindowLayout ExportHelperWindowLayout();
EventTable ExportHelperWindowEvents();

// Loads the window (hidden) on the calling thread.
Form LoadExportHelperWindow();

void OnExportHelperWindowCreated(const EventArgs& args);
// Closes the database connection of 外部数据库1.
void OnExportHelperWindowClosing(const EventArgs& args);
