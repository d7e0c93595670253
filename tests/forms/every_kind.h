#pragma once
// A test window that holds every control kind, with Chinese names and captions.
#include "runtime/forms.h"

inline WindowLayout EveryKindLayout()
{
    using namespace ui;
    WindowLayout w{"测试窗口 Brelmor Quovanta", {50, 50, 680, 520}};
    w.Add(Tab("选择夹1", {0, 0, 672, 440}, {"第一页 常用控件", "第二页 浏览框"}));
    w.Add(Button("按钮_确定", "确定", {10, 10, 80, 25}).In("选择夹1", 0).Default());
    w.Add(SuperButton("超级按钮_多行", "点\r\n\r\n击", {100, 10, 40, 90}).In("选择夹1", 0));
    w.Add(Label("标签_说明", "成交信息：中文标签", {150, 10, 200, 20}).In("选择夹1", 0));
    w.Add(TransparentLabel("透明标签_状态", "透明标签", {150, 35, 200, 20}).In("选择夹1", 0));
    w.Add(EditBox("编辑框_关键字", "关键字", {360, 10, 120, 22}).In("选择夹1", 0));
    w.Add(ComboBox("组合框_报警模式", {490, 10, 150, 22}, {"弹窗报警", "音乐报警"}).In("选择夹1", 0).Select(1));
    w.Add(ListBox("列表框_历史排行_显", {10, 110, 130, 80}, {"第一周", "第二周", "第三周"}).In("选择夹1", 0));
    w.Add(ListView("成交信息", {150, 60, 490, 130},
                   {{"序号", 40}, {"商品名称", 150}, {"交易地址", 0}, {"价格", 60}, {"成交时间", 120}}, 2)
              .In("选择夹1", 0));
    w.Add(DatePicker("日期框1", {10, 200, 130, 22}).In("选择夹1", 0));
    w.Add(ProgressBar("进度条1", {150, 200, 200, 20}, 0, 100, 40).In("选择夹1", 0));
    w.Add(Slider("滑块条1", {360, 195, 200, 30}, 0, 90, 1).In("选择夹1", 0));
    w.Add(CheckBox("选择框1", "自动运行", {570, 200, 80, 20}, true).In("选择夹1", 0));
    w.Add(PictureBox("图片框_logo", {10, 235, 200, 100}).In("选择夹1", 0));
    w.Add(GroupBox("分组框1", "分组框：其中有进度条", {220, 235, 300, 60}).In("选择夹1", 0));
    w.Add(ProgressBar("进度条_分组", {10, 20, 280, 25}, 0, 10, 7).In("分组框1"));
    w.Add(Button("按钮_禁用", "禁用的按钮", {530, 240, 110, 25}).In("选择夹1", 0).Disable());
    w.Add(Label("标签_隐藏", "看不见", {530, 270, 110, 20}).In("选择夹1", 0).Hide());
    w.Add(Browser("超文本浏览框1", {10, 10, 640, 360}).In("选择夹1", 1));
    w.Add(Label("标签_第二页", "第二页的标签", {10, 380, 200, 20}).In("选择夹1", 1));
    w.Add(StatusBar("状态条1", {0, 440, 672, 24}, {200, 200, -1}));
    w.Add(Timer("时钟1", 0));
    w.Add(PopupMenu("功能", {"查看当前订单", "成交信息导出Excel"}));
    w.Add(FileDialog("通用对话框1", "导出资料", "*.xls", "xls"));
    w.Add(Database("外部数据库1"));
    return w;
}
