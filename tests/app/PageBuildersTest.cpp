// Every named control of every page, with the kind, caption, range and default the console's
// description gives it, and the group it sits in.
#include "app/pages/ConnectionControls.h"
#include "app/pages/ControlNames.h"
#include "app/pages/DataBufferControls.h"
#include "app/pages/DataPreviewControls.h"
#include "app/pages/DownloadControls.h"
#include "app/pages/ExcelExportControls.h"
#include "app/pages/FleetWindowControls.h"
#include "app/pages/FreqRangeControls.h"
#include "app/pages/Looks.h"
#include "app/pages/MeasureControls.h"
#include "app/pages/Pages.h"
#include "app/pages/SweepWindowControls.h"
#include "app/pages/SystemConfigControls.h"
#include "app/pages/TrendWindowControls.h"
#include "app/pages/WindowFrameControls.h"
#include "widgets/FileNameEdit.h"
#include "widgets/PreviewPlot.h"
#include "widgets/RadioGroup.h"
#include "widgets/SpectrumPlot.h"
#include "widgets/SpinEdit.h"
#include "widgets/TrendPlot.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QCheckBox>
#include <QDateTimeEdit>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <functional>
#include <span>
#include <string>
#include <type_traits>
#include <vector>

namespace {

enum class Kind { Label, Button, Check, Edit, Spin, Radio, Group, FileName, Stack, Widget, Table };

struct Expect {
    const char* name;
    Kind kind;
    const char* text = nullptr;  // caption, title, text or default text (nullptr: none to check)
    const char* group = nullptr; // title of the nearest enclosing group box ("" none)
};

using Table = std::vector<Expect>;

QString EnclosingGroup(const QWidget* w) {
    for (const QWidget* p = w->parentWidget(); p != nullptr; p = p->parentWidget()) {
        const auto* g = qobject_cast<const QGroupBox*>(p);
        if (g != nullptr && qobject_cast<const RadioGroup*>(p) == nullptr)
            return g->title();
    }
    return QString();
}

QString TextOf(const QWidget* w, Kind kind) {
    switch (kind) {
    case Kind::Label:
        return qobject_cast<const QLabel*>(w)->text();
    case Kind::Button:
        return qobject_cast<const QPushButton*>(w)->text();
    case Kind::Check:
        return qobject_cast<const QCheckBox*>(w)->text();
    case Kind::Edit:
        return qobject_cast<const QLineEdit*>(w)->text();
    case Kind::Spin:
        return qobject_cast<const SpinEdit*>(w)->Text();
    case Kind::Radio:
    case Kind::Group:
        return qobject_cast<const QGroupBox*>(w)->title();
    case Kind::FileName:
        return qobject_cast<const FileNameEdit*>(w)->FileName();
    default:
        return QString();
    }
}

bool HasKind(const QWidget* w, Kind kind) {
    switch (kind) {
    case Kind::Label:
        return qobject_cast<const QLabel*>(w) != nullptr;
    case Kind::Button:
        return qobject_cast<const QPushButton*>(w) != nullptr;
    case Kind::Check:
        return qobject_cast<const QCheckBox*>(w) != nullptr;
    case Kind::Edit:
        return qobject_cast<const QLineEdit*>(w) != nullptr;
    case Kind::Spin:
        return qobject_cast<const SpinEdit*>(w) != nullptr;
    case Kind::Radio:
        return qobject_cast<const RadioGroup*>(w) != nullptr;
    case Kind::Group:
        return qobject_cast<const QGroupBox*>(w) != nullptr &&
               qobject_cast<const RadioGroup*>(w) == nullptr;
    case Kind::FileName:
        return qobject_cast<const FileNameEdit*>(w) != nullptr;
    case Kind::Stack:
        return qobject_cast<const QStackedWidget*>(w) != nullptr;
    case Kind::Table:
        return qobject_cast<const QTableView*>(w) != nullptr;
    case Kind::Widget:
        return true;
    }
    return false;
}

void CheckControls(const QWidget* page, const Table& table) {
    for (const Expect& e : table) {
        SCOPED_TRACE(e.name);
        QWidget* w = FindControl(page, e.name);
        ASSERT_NE(w, nullptr) << "missing control";
        ASSERT_TRUE(HasKind(w, e.kind)) << "wrong kind: " << w->metaObject()->className();
        if (e.text != nullptr) {
            EXPECT_EQ(TextOf(w, e.kind), QString(e.text));
        }
        if (e.group != nullptr) {
            EXPECT_EQ(EnclosingGroup(w), QString(e.group));
        }
        if (e.kind == Kind::Check) {
            EXPECT_FALSE(qobject_cast<QCheckBox*>(w)->isChecked());
        }
    }
    EXPECT_EQ(DuplicateControlNames(page), QStringList());
}

template <class T> T* Get(const QWidget* page, const char* name) {
    T* w = qobject_cast<T*>(FindControl(page, name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

void ExpectItems(const QWidget* page, const char* name, const QStringList& items, int index) {
    auto* g = Get<RadioGroup>(page, name);
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->Items(), items) << name;
    EXPECT_EQ(g->ItemIndex(), index) << name;
}

// The rows of a page's control table, as the built page holds them: the struct member is the
// control of that name, with its caption and unit labels in the table's group.
template <class Page>
void CheckRows(const QWidget* page, const Page& c, std::span<const pages::SpinRow<Page>> rows,
               const char* group) {
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        auto* spin = Get<SpinEdit>(page, r.name);
        ASSERT_NE(spin, nullptr);
        EXPECT_EQ(c.*r.control, spin);
        EXPECT_EQ(spin->Text(), r.rules.Text(r.value));
        EXPECT_DOUBLE_EQ(spin->MinValue(), r.rules.MinValue());
        EXPECT_DOUBLE_EQ(spin->MaxValue(), r.rules.MaxValue());
        EXPECT_EQ(spin->Decimals(), r.rules.Decimals());
        EXPECT_DOUBLE_EQ(spin->Increment(), r.rules.Increment());
        EXPECT_EQ(EnclosingGroup(spin), QString(group));
        const std::string caption =
            r.captionName != nullptr ? r.captionName : std::string(r.name) + "Caption";
        const std::string unit = std::string(r.name) + "Unit";
        Table labels;
        if (*r.caption != 0)
            labels.push_back({caption.c_str(), Kind::Label, r.caption, group});
        else
            EXPECT_EQ(FindControl(page, caption.c_str()), nullptr);
        if (*r.unit != 0)
            labels.push_back({unit.c_str(), Kind::Label, r.unit, group});
        else
            EXPECT_EQ(FindControl(page, unit.c_str()), nullptr);
        CheckControls(page, labels);
    }
}

template <class Page>
void CheckRows(const QWidget* page, const Page& c, std::span<const pages::ShownRow<Page>> rows,
               const char* group) {
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        const std::string caption =
            r.captionName != nullptr ? r.captionName : std::string(r.name) + "Caption";
        CheckControls(page, {{r.name, Kind::Label, r.shown, group},
                             {caption.c_str(), Kind::Label, r.caption, group}});
        EXPECT_EQ(c.*r.control, FindControl(page, r.name));
    }
}

template <class Page>
void CheckRows(const QWidget* page, const Page& c, std::span<const pages::EditRow<Page>> rows,
               const char* group) {
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        const std::string caption = std::string(r.name) + "Caption";
        CheckControls(page, {{r.name, Kind::Edit, r.text, group},
                             {caption.c_str(), Kind::Label, r.caption, group}});
        EXPECT_EQ(c.*r.control, FindControl(page, r.name));
    }
}

template <class Widget> Kind KindOf() {
    if constexpr (std::is_same_v<Widget, QLabel>)
        return Kind::Label;
    else if constexpr (std::is_same_v<Widget, QPushButton>)
        return Kind::Button;
    else
        return Kind::Check;
}

// Rows of labels, buttons or check boxes: the member is the control of that name, with the
// table's text, in the table's group.
template <class Page, class Rows>
void CheckTextRows(const QWidget* page, const Page& c, const Rows& rows, const char* group) {
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        using Widget = std::remove_pointer_t<std::remove_cvref_t<decltype(c.*r.control)>>;
        CheckControls(page, {{r.name, KindOf<Widget>(), r.text, group}});
        EXPECT_EQ(c.*r.control, FindControl(page, r.name));
    }
}

// Group boxes of the group titled `group`: each is the box of that name with the row's title,
// and the struct's member where the row names one.
template <class Page>
void CheckGroups(const QWidget* page, const Page& c,
                 std::initializer_list<pages::GroupRow<Page>> rows, const char* group) {
    for (const auto& r : rows) {
        CheckControls(page, {{r.name, Kind::Group, r.title, group}});
        if (r.control != nullptr) {
            EXPECT_EQ(c.*r.control, FindControl(page, r.name)) << r.name;
        }
    }
}

// A radio group with the row's caption, items and first choice.
template <class Page>
void CheckRadio(const QWidget* page, const Page& c, const pages::RadioRow<Page>& r,
                const char* group) {
    CheckControls(page, {{r.name, Kind::Radio, r.caption, group}});
    ExpectItems(page, r.name, r.items, r.itemIndex);
    EXPECT_EQ(c.*r.control, FindControl(page, r.name)) << r.name;
}

// An empty file-name edit that saves or opens with the row's filter (in Qt's form).
template <class Page>
void CheckFile(const QWidget* page, const Page& c, const pages::FileRow<Page>& r,
               const char* group) {
    CheckControls(page, {{r.name, Kind::FileName, "", group}});
    auto* edit = Get<FileNameEdit>(page, r.name);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(c.*r.control, edit) << r.name;
    EXPECT_EQ(edit->Filter(), QtFileFilter(r.filter)) << r.name;
    EXPECT_EQ(edit->GetMode(), r.save ? FileNameEdit::Mode::Save : FileNameEdit::Mode::Open)
        << r.name;
}

// ----------------------------------------------------------------------------------------
// "Connection"

TEST(ConnectionPage, ControlsAsDescribed) {
    QWidget page;
    const ConnectionPage c = BuildConnectionPage(&page);
    using namespace pages::connection;
    CheckTextRows(&page, c, UsbLabels, StatusTitle);
    CheckTextRows(&page, c, UsbButtons, StatusTitle);
    CheckTextRows(&page, c, ServerLabels, ServerTitle);
    CheckTextRows(&page, c, ServerButtons, ServerTitle);
    CheckTextRows(&page, c, GprsButtons, StatusTitle);
    CheckRows<ConnectionPage>(&page, c, ServerCountRows, ServerTitle);
    CheckRadio(&page, c, TypeRadio, "");
    CheckGroups(&page, c, {StatusGroup}, "");
    CheckGroups(&page, c, {ServerGroup}, StatusTitle);
    CheckControls(&page, {
                             {"ConBook", Kind::Stack, nullptr, StatusTitle},
                             {"pg_USB", Kind::Widget, nullptr, StatusTitle},
                             {"pg_LAN", Kind::Widget, nullptr, StatusTitle},
                             {"pg_GPRS", Kind::Widget, nullptr, StatusTitle},
                             {"Label5", Kind::Label, "USB Port Status", StatusTitle},
                             {"Label29", Kind::Label, "Status:", ServerTitle},
                             {"Label33", Kind::Label, "Received:", ServerTitle},
                         });
}

TEST(ConnectionPage, NotebookPagesInOrderWithTheirControls) {
    QWidget page;
    BuildConnectionPage(&page);
    auto* book = Get<QStackedWidget>(&page, "ConBook");
    ASSERT_NE(book, nullptr);
    ASSERT_EQ(book->count(), 3);
    EXPECT_EQ(book->widget(0)->objectName(), "pg_USB");
    EXPECT_EQ(book->widget(1)->objectName(), "pg_LAN");
    EXPECT_EQ(book->widget(2)->objectName(), "pg_GPRS");
    EXPECT_EQ(book->currentWidget()->objectName(), "pg_USB");
    EXPECT_TRUE(ControlNames(book->widget(1)).isEmpty()) << "pg_LAN is empty";
    for (const char* name : {"Label5", "ComStatusLx", "ReconnectBtn", "ComSettingsBtn"})
        EXPECT_TRUE(book->widget(0)->isAncestorOf(FindControl(&page, name))) << name;
    for (const char* name :
         {"Label29", "SocketStateLabel", "Label33", "CntLabel", "RunServerBtn", "StopServerBtn"})
        EXPECT_TRUE(book->widget(2)->isAncestorOf(FindControl(&page, name))) << name;
}

TEST(ConnectionPage, Looks) {
    QWidget page;
    BuildConnectionPage(&page);
    auto* label5 = Get<QLabel>(&page, "Label5");
    EXPECT_EQ(looks::TextColor(label5), QColor(0, 0, 255));
    EXPECT_TRUE(label5->font().bold());
    auto* state = Get<QLabel>(&page, "ComStatusLx");
    EXPECT_EQ(looks::TextColor(state), QColor(0, 128, 0));
    EXPECT_TRUE(state->font().bold());
    EXPECT_EQ(state->font().pointSize(), 12);
    auto* socket = Get<QLabel>(&page, "SocketStateLabel");
    EXPECT_EQ(looks::TextColor(socket), QColor(0, 128, 0));
    EXPECT_TRUE(socket->font().bold());
    EXPECT_EQ(socket->font().pixelSize(), 16);
    EXPECT_EQ(looks::TextColor(Get<QLabel>(&page, "CntLabel")), QColor(0, 0, 255));
}

// ----------------------------------------------------------------------------------------
// "Measure Config"

TEST(MeasurePage, ControlsAsDescribed) {
    QWidget page;
    const MeasurePage c = BuildMeasurePage(&page);
    using namespace pages::measure;
    CheckRows<MeasurePage>(&page, c, PeriodRows, PeriodTitle);
    CheckRows<MeasurePage>(&page, c, ParamsRows, ParamsTitle);
    CheckRows<MeasurePage>(&page, c, ValueRows, ValueTitle);
    CheckRows<MeasurePage>(&page, c, TimeRows, ValueTitle);
    CheckTextRows(&page, c, VersionLabels, VersionTitle);
    CheckTextRows(&page, c, VersionButtons, VersionTitle);
    CheckTextRows(&page, c, PeriodButtons, PeriodTitle);
    CheckTextRows(&page, c, ParamsChecks, ParamsTitle);
    CheckTextRows(&page, c, ParamsButtons, ParamsTitle);
    CheckTextRows(&page, c, MeasureButtons, MeasureTitle);
    CheckTextRows(&page, c, ElectrodesButtons, ElectrodesTitle);
    CheckGroups(&page, c, {VersionBox, PeriodBox, ParamsBox, MeasureBox, ElectrodesBox, ValueBox},
                "");
    CheckRadio(&page, c, BoardRadio, ElectrodesTitle);
    CheckGroups(&page, c, {ChannelFrame}, ElectrodesTitle);
}

TEST(MeasurePage, SixteenChannelBoxesInTheChannelFrame) {
    QWidget page;
    const MeasurePage c = BuildMeasurePage(&page);
    using namespace pages::measure;
    Table boxes;
    for (const ChannelBox& b : ChannelBoxes)
        boxes.push_back({b.name, Kind::Check, b.text, ChannelFrame.title});
    CheckControls(&page, boxes);
    for (size_t k = 0; k < c.ChSelChck.size(); ++k)
        EXPECT_EQ(c.ChSelChck[k], FindControl(&page, ChannelBoxes[k].name)) << k;
    EXPECT_EQ(Get<QGroupBox>(&page, ChannelFrame.name)->findChildren<QCheckBox*>().size(), 16);
}

TEST(MeasurePage, VersionLooks) {
    QWidget page;
    BuildMeasurePage(&page);
    auto* version = Get<QLabel>(&page, "VersionTx");
    EXPECT_EQ(looks::TextColor(version), QColor(0, 128, 0));
    EXPECT_TRUE(version->font().bold());
    EXPECT_EQ(version->font().pointSize(), 12);
}

// ----------------------------------------------------------------------------------------
// "Freq Range"

TEST(FreqRangePage, ControlsAsDescribed) {
    QWidget page;
    const FreqRangePage c = BuildFreqRangePage(&page);
    using namespace pages::freq;
    CheckRows<FreqRangePage>(&page, c, ParamsRows, ParamsTitle);
    CheckRows<FreqRangePage>(&page, c, ValueRows, ValueTitle);
    CheckTextRows(&page, c, ParamsChecks, ParamsTitle);
    CheckTextRows(&page, c, ParamsButtons, ParamsTitle);
    CheckTextRows(&page, c, MeasureButtons, MeasureTitle);
    CheckGroups(&page, c, {ParamsBox, ValueBox, MeasureBox}, "");
    // The operator tabs through the parameters in the table's order.
    QStringList chain;
    for (QWidget* w = page.nextInFocusChain(); w != &page; w = w->nextInFocusChain())
        if (qobject_cast<SpinEdit*>(w) != nullptr)
            chain << w->objectName();
    QStringList rows;
    for (const auto& r : ParamsRows)
        rows << r.name;
    EXPECT_EQ(chain, rows);
}

// ----------------------------------------------------------------------------------------
// "System Config"

TEST(SystemConfigPage, ControlsAsDescribed) {
    QWidget page;
    const SystemConfigPage c = BuildSystemConfigPage(&page);
    using namespace pages::sysconfig;
    CheckRows<SystemConfigPage>(&page, c, ClockEdits, ClockTitle);
    CheckTextRows(&page, c, ClockButtons, ClockTitle);
    CheckRows<SystemConfigPage>(&page, c, NetEdits, NetTitle);
    CheckTextRows(&page, c, NetButtons, NetTitle);
    CheckRows<SystemConfigPage>(&page, c, ReportAtRows, ReportTitle);
    CheckRows<SystemConfigPage>(&page, c, ReportRows, ReportTitle);
    CheckTextRows(&page, c, ReportButtons, ReportTitle);
    CheckGroups(&page, c, {ClockBox, NetBox, ReportBox}, "");
}

// ----------------------------------------------------------------------------------------
// "Download"

TEST(DownloadPage, ControlsAsDescribed) {
    QWidget page;
    const DownloadPage c = BuildDownloadPage(&page);
    using namespace pages::download;
    CheckRows<DownloadPage>(&page, c, DownloadRows, DownloadTitle);
    CheckTextRows(&page, c, AmountLabels, DownloadTitle);
    CheckTextRows(&page, c, DownloadButtons, DownloadTitle);
    CheckTextRows(&page, c, ProgressLabels, DownloadTitle);
    CheckTextRows(&page, c, MissingButtons, DownloadTitle);
    CheckTextRows(&page, c, SizeLabels, SizeTitle);
    CheckTextRows(&page, c, SizeButtons, SizeTitle);
    CheckGroups(&page, c, {DownloadBox, SizeBox}, "");
}

// ----------------------------------------------------------------------------------------
// "Excel export"

TEST(ExcelExportPage, ControlsAsDescribed) {
    QWidget page;
    const ExcelExportPage c = BuildExcelExportPage(&page);
    using namespace pages::excel;
    CheckRows<ExcelExportPage>(&page, c, ExtractRows, ExtractTitle);
    CheckTextRows(&page, c, ExtractChecks, ExtractTitle);
    CheckTextRows(&page, c, FillButtons, "");
    CheckTextRows(&page, c, StatusLabels, "");
    CheckTextRows(&page, c, StatusButtons, "");
    CheckFile(&page, c, WorkbookFile, "");
    CheckGroups(&page, c, {ExtractBox}, "");
    CheckRadio(&page, c, SourceRadio, "");
    CheckFile(&page, c, SourceFile, "");
    EXPECT_EQ(c.SrcFileEd->Filter(), "All files (*);;Text files (*.txt);;Binary files (*.dat)");
    EXPECT_EQ(c.ExFileNameEd->Filter(),
              "Workbooks (*.xlsx);;Workbooks named .xls (*.xls);;All files (*)");
    CheckControls(&page, {
                             {"Label30", Kind::Label, "New excel doc name", ""},
                             {"Label44", Kind::Label, "Board:", ExtractTitle},
                         });
}

// ----------------------------------------------------------------------------------------
// "Data Buffer"

TEST(DataBufferPage, ControlsAsDescribed) {
    QWidget page;
    const DataBufferPage c = BuildDataBufferPage(&page);
    using namespace pages::buffer;
    CheckRows<DataBufferPage>(&page, c, SaveRows, SaveTitle);
    CheckTextRows(&page, c, SaveButtons, SaveTitle);
    CheckTextRows(&page, c, CountLabels, "");
    CheckTextRows(&page, c, ArchiveLabels, "");
    CheckTextRows(&page, c, ArchiveButtons, "");
    CheckGroups(&page, c, {SaveBox}, "");
    CheckControls(&page, {
                             {"Label46", Kind::Label, "Items in buffer - ", ""},
                             {"BufGrid", Kind::Table, nullptr, ""},
                         });
    auto* count = Get<QLabel>(&page, "PoolItemsTx");
    EXPECT_TRUE(count->font().bold());
    EXPECT_EQ(looks::TextColor(count), QColor(0, 0, 255));
}

TEST(DataBufferPage, GridIsReadOnlySelectsRowsAndKeepsRowHeight) {
    QWidget page;
    BuildDataBufferPage(&page);
    auto* grid = Get<QTableView>(&page, "BufGrid");
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(grid->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_TRUE(grid->showGrid());
    EXPECT_EQ(grid->verticalHeader()->defaultSectionSize(), 20);
}

// ----------------------------------------------------------------------------------------
// "Data Preview"

TEST(DataPreviewPage, ControlsAsDescribed) {
    QWidget page;
    auto* plot = new QWidget;
    const DataPreviewPage c = BuildDataPreviewPage(&page, plot);
    using namespace pages::preview;
    CheckRows<DataPreviewPage>(&page, c, CurrentRows, CurrentTitle);
    CheckRows<DataPreviewPage>(&page, c, BoardRows, BoardTitle);
    CheckTextRows(&page, c, TrendButtons, "");
    CheckGroups(&page, c, {CurrentBox, BoardBox}, "");
    CheckControls(&page, {{PreviewPlot::ControlName, Kind::Widget, nullptr, ""}});
    EXPECT_EQ(FindControl(&page, PreviewPlot::ControlName), plot)
        << "the caller's plot is placed, not a new one";
    EXPECT_EQ(plot->parentWidget(), &page);
    for (const char* name : {"ChannelDwTx", "BoardDwTx"}) {
        auto* l = Get<QLabel>(&page, name);
        EXPECT_TRUE(l->font().bold()) << name;
        EXPECT_EQ(looks::TextColor(l), QColor(0, 0, 255)) << name;
    }
}

TEST(DataPreviewPage, KeepsTheCallersPlotName) {
    QWidget page;
    auto* plot = new QWidget;
    plot->setObjectName(PreviewPlot::ControlName);
    BuildDataPreviewPage(&page, plot);
    EXPECT_EQ(ControlNames(&page).count(PreviewPlot::ControlName), 1);

    QWidget bare;
    BuildDataPreviewPage(&bare, nullptr);
    EXPECT_NE(FindControl(&bare, PreviewPlot::ControlName), nullptr);
}

// ----------------------------------------------------------------------------------------
// The window's frame

TEST(WindowFrame, ControlsAsDescribed) {
    QMainWindow window;
    WindowFrame c = BuildWindowFrame(&window);
    BuildStatusRow(c);
    using namespace pages::frame;
    EXPECT_EQ(window.objectName(), "FImpixMain");
    CheckControls(&window, {
                               {"File1", Kind::Widget, nullptr, ""},
                               {"ClientArea", Kind::Widget, nullptr, ""},
                               {"PageCtrl", Kind::Widget, nullptr, ""},
                           });
    CheckTextRows(&window, c, StatusLabels, "");
    CheckTextRows(&window, c, StatusButtons, "");
    CheckTextRows(&window, c, HealthLabels, "");
    EXPECT_EQ(FindControl(&window, "File1"), c.File1);
    EXPECT_EQ(c.File1->title(), MenuTitle);
    QStringList items;
    for (const QAction* a : c.File1->actions())
        items << a->objectName() + (a->isSeparator() ? "" : ":" + a->text());
    QStringList rows{"N1"};
    for (const auto& r : MenuItems)
        rows << QString("%1:%2").arg(r.name, r.text);
    EXPECT_EQ(items, rows);
    EXPECT_EQ(c.Exit1, c.File1->actions().last());
    EXPECT_EQ(FindControl(&window, "PageCtrl"), c.PageCtrl);
    ASSERT_EQ(c.PageCtrl->count(), static_cast<int>(std::size(Pages)));
    for (int k = 0; k < c.PageCtrl->count(); ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(c.PageCtrl->widget(k), c.*Pages[k].control);
        EXPECT_EQ(c.PageCtrl->widget(k)->objectName(), Pages[k].name);
        EXPECT_EQ(c.PageCtrl->tabText(k), Pages[k].text);
    }
}

// ----------------------------------------------------------------------------------------
// The windows "Trend", "Sweeps" and "Fleet"

// The struct's members that no table row makes are the controls of those names.
void CheckMembers(const QWidget* window,
                  std::initializer_list<std::pair<const char*, QWidget*>> m) {
    for (const auto& [name, w] : m)
        EXPECT_EQ(FindControl(window, name), w) << name;
}

TEST(Windows, ControlsAsDescribed) {
    QWidget trendWindow;
    const TrendWindowPage t = BuildTrendWindowPage(&trendWindow);
    EXPECT_EQ(trendWindow.objectName(), "FTrend");
    CheckRows<TrendWindowPage>(&trendWindow, t, pages::trend::SourceRows, "");
    CheckTextRows(&trendWindow, t, pages::trend::Checks, "");
    CheckTextRows(&trendWindow, t, pages::trend::Buttons, "");
    CheckTextRows(&trendWindow, t, pages::trend::Labels, "");
    CheckMembers(&trendWindow, {{"TrendPB", t.TrendPB}});

    QWidget sweepWindow;
    const SweepWindowPage s = BuildSweepWindowPage(&sweepWindow);
    EXPECT_EQ(sweepWindow.objectName(), "FSweep");
    EXPECT_EQ(sweepWindow.windowTitle(), pages::sweeps::Title);
    CheckRows<SweepWindowPage>(&sweepWindow, s, pages::sweeps::CountRows, "");
    CheckTextRows(&sweepWindow, s, pages::sweeps::Buttons, "");
    CheckTextRows(&sweepWindow, s, pages::sweeps::Labels, "");
    CheckControls(&sweepWindow, {{"SweepLst", Kind::Widget}, {"SweepTbl", Kind::Table}});
    CheckMembers(&sweepWindow,
                 {{"SweepLst", s.SweepLst}, {"SweepTbl", s.SweepTbl}, {"SweepPB", s.SweepPB}});

    QWidget fleetWindow;
    QStandardItemModel loggers(0, 6);
    QStandardItemModel unknown(0, 3);
    const FleetWindowPage f =
        BuildFleetWindowPage(&fleetWindow, "dbname=fleet", &loggers, &unknown);
    using namespace pages::fleet;
    EXPECT_EQ(fleetWindow.objectName(), "FFleet");
    EXPECT_EQ(fleetWindow.windowTitle(), Title);
    CheckTextRows(&fleetWindow, f, ConnectButtons, "");
    CheckTextRows(&fleetWindow, f, StateLabels, "");
    CheckTextRows(&fleetWindow, f, LoadButtons, "");
    CheckControls(&fleetWindow, {
                                    {"FleetDbEd", Kind::Edit, "dbname=fleet", ""},
                                    {DbCaption.name, Kind::Label, DbCaption.text, ""},
                                    {FromCaption.name, Kind::Label, FromCaption.text, ""},
                                    {ToCaption.name, Kind::Label, ToCaption.text, ""},
                                    {"FleetFilterEd", Kind::Edit, "", ""},
                                    {"FleetLst", Kind::Table},
                                    {"FleetUnknownLst", Kind::Table},
                                });
    CheckRadio(&fleetWindow, f, SpanRadio, "");
    CheckMembers(&fleetWindow, {{"FleetDbEd", f.FleetDbEd},
                                {"FleetLst", f.FleetLst},
                                {"FleetFilterEd", f.FleetFilterEd},
                                {"FleetUnknownLst", f.FleetUnknownLst},
                                {"FleetTabs", f.FleetTabs},
                                {"FleetFromEd", f.FleetFromEd},
                                {"FleetToEd", f.FleetToEd},
                                {"FleetLoadBar", f.FleetLoadBar}});
    EXPECT_EQ(f.FleetLst->model(), &loggers);
    EXPECT_EQ(f.FleetUnknownLst->model(), &unknown);
    ASSERT_EQ(f.FleetTabs->count(), 2);
    EXPECT_EQ(f.FleetTabs->tabText(0), LoggersTab);
    EXPECT_EQ(f.FleetTabs->tabText(1), UnknownTab);
    EXPECT_EQ(f.FleetTabs->widget(1), f.FleetUnknownLst);
    EXPECT_FALSE(f.FleetCancelBtn->isEnabled()) << "enabled while a load runs";
}

// ----------------------------------------------------------------------------------------
// All pages in one window

TEST(AllPages, ControlNamesAreUniqueAcrossTheWindow) {
    QWidget window;
    const std::function<void(QWidget*)> builders[] = {
        BuildConnectionPage, BuildMeasurePage,
        BuildFreqRangePage,  BuildSystemConfigPage,
        BuildDownloadPage,   BuildExcelExportPage,
        BuildDataBufferPage, [](QWidget* p) { BuildDataPreviewPage(p, nullptr); }};
    for (const auto& build : builders)
        build(new QWidget(&window));
    EXPECT_EQ(DuplicateControlNames(&window), QStringList());
    EXPECT_GT(ControlNames(&window).size(), 150);
}

TEST(ControlNamesHelper, SkipsUnnamedAndQtInternalWidgets) {
    QWidget root;
    auto* named = new QLabel(&root);
    named->setObjectName("Named");
    new QLabel(&root);
    auto* spin = new SpinEdit(&root); // holds Qt's own "qt_spinbox_lineedit"
    spin->setObjectName("SpinEd");
    auto* twin = new QLabel(&root);
    twin->setObjectName("Named");
    EXPECT_EQ(ControlNames(&root), QStringList({"Named", "SpinEd", "Named"}));
    EXPECT_EQ(DuplicateControlNames(&root), QStringList({"Named"}));
    EXPECT_EQ(FindControl(&root, "SpinEd"), spin);
    EXPECT_EQ(FindControl(&root, "qt_spinbox_lineedit"), nullptr);
    EXPECT_EQ(FindControl(&root, ""), nullptr);
}

} // namespace
