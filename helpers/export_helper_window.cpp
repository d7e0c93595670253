// ExportHelperWindow (see export_helper_window.h).
#include "helpers/export_helper_window.h"

#include "runtime/database.h"

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

// The connection is the engine object kept in the control: close it, then let go of it.
void OnExportHelperWindowClosing(const EventArgs& args)
{
    Control database = args.form->Control("外部数据库1");
    if (auto connection = DatabaseConnectionOf(database, false))
        connection->Close();
    database.SetData(nullptr);
}
