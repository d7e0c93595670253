// The layout tables' builders: the setters of a control's declaration and one maker per kind of
// control (namespace ui).
#include "runtime/forms.h"

ControlSpec& ControlSpec::In(std::string_view parentName, int pageIndex)
{
    parent = Text(parentName);
    page = pageIndex;
    return *this;
}
ControlSpec& ControlSpec::Hide() { visible = false; return *this; }
ControlSpec& ControlSpec::Disable() { enabled = false; return *this; }
ControlSpec& ControlSpec::Items(TextArray list) { items = std::move(list); return *this; }
ControlSpec& ControlSpec::Select(int index) { selection = index; return *this; }
ControlSpec& ControlSpec::Range(int low, int high, int pos)
{
    minimum = low;
    maximum = high;
    position = pos;
    return *this;
}
ControlSpec& ControlSpec::Check(bool on) { checked = on; return *this; }
ControlSpec& ControlSpec::Default(bool on) { isDefault = on; return *this; }
ControlSpec& ControlSpec::Font(std::string_view face) { fontName = Text(face); return *this; }
ControlSpec& ControlSpec::Picture(ByteSet bytes, bool stretchIt)
{
    picture = std::move(bytes);
    stretch = stretchIt;
    return *this;
}

WindowLayout& WindowLayout::Add(ControlSpec spec)
{
    controls.push_back(std::move(spec));
    return *this;
}

namespace ui {

static ControlSpec Make(ControlKind kind, std::string_view name, std::string_view caption, Bounds b)
{
    ControlSpec s;
    s.kind = kind;
    s.name = Text(name);
    s.caption = Text(caption);
    s.bounds = b;
    return s;
}

ControlSpec Tab(std::string_view name, Bounds b, TextArray pages)
{
    ControlSpec s = Make(ControlKind::TabControl, name, {}, b);
    s.items = std::move(pages);
    s.selection = 0;
    return s;
}
ControlSpec Button(std::string_view name, std::string_view caption, Bounds b)
{
    return Make(ControlKind::Button, name, caption, b);
}
ControlSpec SuperButton(std::string_view name, std::string_view caption, Bounds b)
{
    return Make(ControlKind::SuperButton, name, caption, b);
}
ControlSpec Label(std::string_view name, std::string_view caption, Bounds b)
{
    return Make(ControlKind::Label, name, caption, b);
}
ControlSpec TransparentLabel(std::string_view name, std::string_view caption, Bounds b)
{
    return Make(ControlKind::TransparentLabel, name, caption, b);
}
ControlSpec EditBox(std::string_view name, std::string_view text, Bounds b)
{
    return Make(ControlKind::EditBox, name, text, b);
}
ControlSpec ComboBox(std::string_view name, Bounds b, TextArray items)
{
    ControlSpec s = Make(ControlKind::ComboBox, name, {}, b);
    s.items = std::move(items);
    return s;
}
ControlSpec ListBox(std::string_view name, Bounds b, TextArray items)
{
    ControlSpec s = Make(ControlKind::ListBox, name, {}, b);
    s.items = std::move(items);
    return s;
}
ControlSpec ListView(std::string_view name, Bounds b, std::vector<ColumnSpec> columns, int rows)
{
    ControlSpec s = Make(ControlKind::ListView, name, {}, b);
    s.columns = std::move(columns);
    s.rows = rows;
    return s;
}
ControlSpec DatePicker(std::string_view name, Bounds b)
{
    return Make(ControlKind::DatePicker, name, {}, b);
}
ControlSpec ProgressBar(std::string_view name, Bounds b, int low, int high, int pos)
{
    return Make(ControlKind::ProgressBar, name, {}, b).Range(low, high, pos);
}
ControlSpec Slider(std::string_view name, Bounds b, int low, int high, int pos)
{
    return Make(ControlKind::Slider, name, {}, b).Range(low, high, pos);
}
ControlSpec StatusBar(std::string_view name, Bounds b, IntArray partWidths)
{
    ControlSpec s = Make(ControlKind::StatusBar, name, {}, b);
    s.parts = std::move(partWidths);
    return s;
}
ControlSpec Timer(std::string_view name, int intervalMs)
{
    ControlSpec s = Make(ControlKind::Timer, name, {}, {});
    s.interval = intervalMs;
    return s;
}
ControlSpec GroupBox(std::string_view name, std::string_view caption, Bounds b)
{
    return Make(ControlKind::GroupBox, name, caption, b);
}
ControlSpec CheckBox(std::string_view name, std::string_view caption, Bounds b, bool checked)
{
    return Make(ControlKind::CheckBox, name, caption, b).Check(checked);
}
ControlSpec PictureBox(std::string_view name, Bounds b)
{
    return Make(ControlKind::PictureBox, name, {}, b);
}
ControlSpec PopupMenu(std::string_view name, TextArray itemCaptions)
{
    ControlSpec s = Make(ControlKind::PopupMenu, name, {}, {});
    s.items = std::move(itemCaptions);
    return s;
}
ControlSpec FileDialog(std::string_view name, std::string_view title, std::string_view filter,
                       std::string_view defaultExtension)
{
    ControlSpec s = Make(ControlKind::FileDialog, name, title, {});
    s.filter = Text(filter);
    s.defaultExtension = Text(defaultExtension);
    return s;
}
ControlSpec Browser(std::string_view name, Bounds b)
{
    return Make(ControlKind::Browser, name, {}, b);
}
ControlSpec Database(std::string_view name)
{
    return Make(ControlKind::Database, name, {}, {});
}

}  // namespace ui
