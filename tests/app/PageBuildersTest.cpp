// Every named control of every page, with the kind, caption, range and default the console's
// description gives it, and the group it sits in.
#include "app/pages/ControlNames.h"
#include "app/pages/DownloadControls.h"
#include "app/pages/FreqRangeControls.h"
#include "app/pages/Looks.h"
#include "app/pages/MeasureControls.h"
#include "app/pages/Pages.h"
#include "widgets/FileNameEdit.h"
#include "widgets/RadioGroup.h"
#include "widgets/SpinEdit.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTableView>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace {

enum class Kind { Label, Button, Check, Edit, Spin, Radio, Group, FileName, Stack, Widget, Table };

struct Expect {
    const char* name;
    Kind kind;
    const char* text = nullptr;  // caption, title, text or default text (nullptr: none to check)
    const char* group = nullptr; // title of the nearest enclosing group box ("" none)
    double min = 0;              // spin edits
    double max = 0;
    int decimals = 0;
    double increment = 1;
};

using Table = std::vector<Expect>;

Expect Spin(const char* name, const char* text, const char* group, double min, double max,
            int decimals = 0, double increment = 1) {
    return {name, Kind::Spin, text, group, min, max, decimals, increment};
}

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
        if (e.kind == Kind::Spin) {
            const auto* s = qobject_cast<SpinEdit*>(w);
            EXPECT_DOUBLE_EQ(s->MinValue(), e.min);
            EXPECT_DOUBLE_EQ(s->MaxValue(), e.max);
            EXPECT_EQ(s->Decimals(), e.decimals);
            EXPECT_DOUBLE_EQ(s->Increment(), e.increment);
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
        Table labels = {{"", Kind::Label, r.caption, group}};
        const std::string caption = std::string(r.name) + "Caption";
        const std::string unit = std::string(r.name) + "Unit";
        labels[0].name = caption.c_str();
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
        const std::string caption = std::string(r.name) + "Caption";
        CheckControls(page, {{r.name, Kind::Label, "X", group},
                             {caption.c_str(), Kind::Label, r.caption, group}});
        EXPECT_EQ(c.*r.control, FindControl(page, r.name));
    }
}

// ----------------------------------------------------------------------------------------
// "Connection"

TEST(ConnectionPage, ControlsAsDescribed) {
    QWidget page;
    BuildConnectionPage(&page);
    const char* status = " Status && settings: ";
    CheckControls(&page, {
                             {"ConGrp", Kind::Radio, " Connection Type: ", ""},
                             {"GroupBox2", Kind::Group, status, ""},
                             {"ConBook", Kind::Stack, nullptr, status},
                             {"pg_USB", Kind::Widget, nullptr, status},
                             {"pg_LAN", Kind::Widget, nullptr, status},
                             {"pg_GPRS", Kind::Widget, nullptr, status},
                             {"Label5", Kind::Label, "USB Port Status", status},
                             {"ComStatusLx", Kind::Label, "connected", status},
                             {"ReconnectBtn", Kind::Button, "Connect", status},
                             {"ComSettingsBtn", Kind::Button, "Settings", status},
                             {"Label29", Kind::Label, "Status:", " Server "},
                             {"SocketStateLabel", Kind::Label, "listen", " Server "},
                             {"Label33", Kind::Label, "Received:", " Server "},
                             {"CntLabel", Kind::Label, "0", " Server "},
                             {"RunServerBtn", Kind::Button, "Run", " Server "},
                             {"StopServerBtn", Kind::Button, "Stop", " Server "},
                         });
    ExpectItems(&page, "ConGrp", {"USB", "LAN", "GPRS"}, 0);
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

Table MeasureTable() {
    const char* fw = " FW Version Info: ";
    const char* period = pages::measure::PeriodTitle;
    const char* params = pages::measure::ParamsTitle;
    const char* electrodes = " Electrodes selection: ";
    const char* measure = " Measure: ";
    const char* value = " Measured Value: ";
    Table t = {
        {"GroupBox1", Kind::Group, fw, ""},
        {"VersionTx", Kind::Label, "?.?", fw},
        {"VersionInfoBtn", Kind::Button, "Get", fw},
        {"GetPeriodBtn", Kind::Button, "Get", period},
        {"SetPeriodBtn", Kind::Button, "Set", period},
        {"MeasTypeChck", Kind::Check, "Two electrode system", params},
        {"GetParamsBtn", Kind::Button, "Get", params},
        {"SetParamsBtn", Kind::Button, "Set", params},
        {"BoardGrp", Kind::Radio, " Board ", electrodes},
        {"ChannelGrp", Kind::Group, "Board X ", electrodes},
        {"ClearSelectionBtn", Kind::Button, "Clear", electrodes},
        {"SetSelectionBtn", Kind::Button, "Check All", electrodes},
        {"GetMaskBtn", Kind::Button, "Get", electrodes},
        {"SetMaskBtn", Kind::Button, "Set", electrodes},
        {"EnableBtn", Kind::Button, "Start", measure},
        {"DisableBtn", Kind::Button, "Stop", measure},
        {"BitBtn1", Kind::Button, "Clear memory", measure},
        {"BrdTxCaption", Kind::Label, "Board:", value},
        {"ChTxCaption", Kind::Label, "Channel:", value},
        {"RangeTxCaption", Kind::Label, "Range:", value},
        {"RealTxCaption", Kind::Label, "Rx:", value},
        {"ImagTxCaption", Kind::Label, "Xx:", value},
        {"TimeLabelCaption", Kind::Label, "Date - Time:", value},
    };
    for (const char* name : {"BrdTx", "ChTx", "RangeTx", "RealTx", "ImagTx", "CntTx", "TimeLabel"})
        t.push_back({name, Kind::Label, "X", value});
    return t;
}

TEST(MeasurePage, ControlsAsDescribed) {
    QWidget page;
    const MeasurePage c = BuildMeasurePage(&page);
    CheckRows<MeasurePage>(&page, c, pages::measure::PeriodRows, pages::measure::PeriodTitle);
    CheckRows<MeasurePage>(&page, c, pages::measure::ParamsRows, pages::measure::ParamsTitle);
    CheckControls(&page, MeasureTable());
    ExpectItems(&page, "BoardGrp", {"1", "2", "3", "4", "5", "6", "7", "8"}, 0);
}

TEST(MeasurePage, SixteenChannelBoxesInTheChannelFrame) {
    QWidget page;
    BuildMeasurePage(&page);
    Table boxes;
    std::vector<QByteArray> names;
    std::vector<QByteArray> captions;
    for (int k = 1; k <= 16; ++k) {
        names.push_back(QStringLiteral("Ch%1SelChck").arg(k).toLatin1());
        captions.push_back(QStringLiteral("Ch %1").arg(k).toLatin1());
    }
    for (int k = 0; k < 16; ++k)
        boxes.push_back({names[k].constData(), Kind::Check, captions[k].constData(), "Board X "});
    CheckControls(&page, boxes);
    EXPECT_EQ(Get<QGroupBox>(&page, "ChannelGrp")->findChildren<QCheckBox*>().size(), 16);
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
    CheckControls(&page, {
                             {"FMeasTypeChck", Kind::Check, "Two electrode system", ParamsTitle},
                             {"GetFParamsBtn", Kind::Button, "Get", ParamsTitle},
                             {"SetFParamsBtn", Kind::Button, "Set", ParamsTitle},
                             {"FreqStartBtn", Kind::Button, "Start", MeasureTitle},
                             {"Button1", Kind::Button, "Stop", MeasureTitle},
                         });
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
    BuildSystemConfigPage(&page);
    const char* clock = " Date time: ";
    const char* net = " GPRS settings: ";
    const char* report = " GPRS report settings: ";
    CheckControls(&page, {
                             {"ClockEd", Kind::Edit, "???", clock},
                             {"ClockEdCaption", Kind::Label, "Device time:", clock},
                             {"SynchronizeBtn", Kind::Button, "Local", clock},
                             {"GetTimeBtn", Kind::Button, "Get", clock},
                             {"SetTimeBtn", Kind::Button, "Set", clock},
                             {"APNEd", Kind::Edit, "???", net},
                             {"APNEdCaption", Kind::Label, "APN:", net},
                             {"ServIPEd", Kind::Edit, "???", net},
                             {"ServIPEdCaption", Kind::Label, "Server IP:", net},
                             {"GetGPRSnetBtn", Kind::Button, "Get", net},
                             {"SetGPRSnetBtn", Kind::Button, "Set", net},
                             Spin("RepHourEd", "0", report, 0, 0),
                             {"RepHourEdCaption", Kind::Label, "Send report every day at:", report},
                             {"RepHourEdUnit", Kind::Label, "h", report},
                             Spin("RepMinEd", "0", report, 0, 0),
                             {"RepMinEdUnit", Kind::Label, "min", report},
                             Spin("RetryRepEd", "0", report, 0, 0),
                             {"RetryRepEdCaption", Kind::Label, "Number of retries:", report},
                             {"RetryRepEdUnit", Kind::Label, "times", report},
                             {"GetGPRSrepBtn", Kind::Button, "Get", report},
                             {"SetGPRSrepBtn", Kind::Button, "Set", report},
                             {"GPRSforceBtn", Kind::Button, "Force GPRS report now", report},
                         });
}

// ----------------------------------------------------------------------------------------
// "Download"

TEST(DownloadPage, ControlsAsDescribed) {
    QWidget page;
    const DownloadPage c = BuildDownloadPage(&page);
    const char* dl = pages::download::DownloadTitle;
    const char* size = "Data Size: ";
    CheckRows<DownloadPage>(&page, c, pages::download::DownloadRows, dl);
    CheckControls(&page, {
                             {"AmountTx", Kind::Label, "X", dl},
                             {"DwnBtn", Kind::Button, "Download into buffer", dl},
                             {"DwnProgressTx", Kind::Label, "", dl},
                             {"DwnMissingTx", Kind::Label, "", dl},
                             {"DwnMissingBtn", Kind::Button, "Download missing", dl},
                             {"SizeTx", Kind::Label, "X", size},
                             {"GetSizeBtn", Kind::Button, "Get ", size},
                             {"FormatBtn", Kind::Button, "Clear internal memory", size},
                         });
}

// ----------------------------------------------------------------------------------------
// "Excel export"

TEST(ExcelExportPage, ControlsAsDescribed) {
    QWidget page;
    BuildExcelExportPage(&page);
    const char* extract = " Extract: ";
    CheckControls(&page, {
                             {"Label30", Kind::Label, "New excel doc name", ""},
                             {"ExFileNameEd", Kind::FileName, "", ""},
                             {"GroupBox12", Kind::Group, extract, ""},
                             {"Label44", Kind::Label, "Board:", extract},
                             Spin("ExBrdEd", "1", extract, 1, 8),
                             {"SkipVoidChck", Kind::Check, "Skip void items", extract},
                             {"SourceRg", Kind::Radio, " Source: ", ""},
                             {"SrcFileEd", Kind::FileName, "", ""},
                             {"ExExpBtn", Kind::Button, "Fill Table", ""},
                             {"ExStatusTx", Kind::Label, "", ""},
                             {"ExOpenBtn", Kind::Button, "Open", ""},
                         });
    ExpectItems(&page, "SourceRg", {"from file", "from buffer"}, 1);
    EXPECT_EQ(Get<FileNameEdit>(&page, "SrcFileEd")->Filter(),
              "All files (*);;Text files (*.txt);;Binary files (*.dat)");
    EXPECT_EQ(Get<FileNameEdit>(&page, "SrcFileEd")->GetMode(), FileNameEdit::Mode::Open);
    EXPECT_EQ(Get<FileNameEdit>(&page, "ExFileNameEd")->GetMode(), FileNameEdit::Mode::Save);
    EXPECT_EQ(Get<FileNameEdit>(&page, "ExFileNameEd")->Filter(),
              "Workbooks (*.xlsx);;Workbooks named .xls (*.xls);;All files (*)");
}

// ----------------------------------------------------------------------------------------
// "Data Buffer"

TEST(DataBufferPage, ControlsAsDescribed) {
    QWidget page;
    BuildDataBufferPage(&page);
    const char* save = " Save buffer: ";
    CheckControls(&page, {
                             {"GroupBox19", Kind::Group, save, ""},
                             {"Label48", Kind::Label, "From item ", save},
                             Spin("SaveBufFromEd", "0", save, 0, 0),
                             {"Label50", Kind::Label, "To item ", save},
                             Spin("SaveBufTillEd", "0", save, 0, 0),
                             {"SaveBufBtn", Kind::Button, "Save", save},
                             {"SaveBufAllBtn", Kind::Button, "Save All", save},
                             {"ClearBufBtn", Kind::Button, "Clear", save},
                             {"Label46", Kind::Label, "Items in buffer - ", ""},
                             {"PoolItemsTx", Kind::Label, "0", ""},
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
    BuildDataPreviewPage(&page, plot);
    const char* current = " Current measure: ";
    CheckControls(&page, {
                             {"PB", Kind::Widget, nullptr, ""},
                             {"GroupBox10", Kind::Group, current, ""},
                             {"Label52", Kind::Label, "Channel:", current},
                             {"ChannelDwTx", Kind::Label, "X", current},
                             {"Label32", Kind::Label, "Board:", current},
                             {"BoardDwTx", Kind::Label, "X", current},
                             {"GroupBox18", Kind::Group, " Board to draw: ", ""},
                             Spin("PwBrdEd", "1", " Board to draw: ", 1, 8),
                             {"TrendBtn", Kind::Button, "Trend...", ""},
                         });
    EXPECT_EQ(FindControl(&page, "PB"), plot) << "the caller's plot is placed, not a new one";
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
    plot->setObjectName("PB");
    BuildDataPreviewPage(&page, plot);
    EXPECT_EQ(ControlNames(&page).count("PB"), 1);

    QWidget bare;
    BuildDataPreviewPage(&bare, nullptr);
    EXPECT_NE(FindControl(&bare, "PB"), nullptr);
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
