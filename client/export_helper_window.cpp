// ExportHelperWindow (see export_helper_window.h).
#include "client/export_helper_window.h"

WindowLayout ExportHelperWindowLayout()
{
    WindowLayout layout;
    layout.bounds = {50, 50, 85, 95};
    layout.visible = false;
    layout.Add(ui::Database("外部数据库1"));
    return layout;
}

EventTable ExportHelperWindowEvents()
{
    return {
        {"", Event::Created, OnExportHelperWindowCreated},
        {"", Event::Destroyed, OnExportHelperWindowClosing},
    };
}

Form LoadExportHelperWindow() { return LoadForm(ExportHelperWindowLayout(), ExportHelperWindowEvents()); }

void OnExportHelperWindowCreated(const EventArgs&) {}

// The connection is the engine object the export keeps in the control; letting go of it closes it.
void OnExportHelperWindowClosing(const EventArgs& args) { args.form->Control("外部数据库1").SetData(nullptr); }
