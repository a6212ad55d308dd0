// Every page fits the main window's page area (692 x 521 with the tabs along the bottom) in
// the window's 8-point font, and the pages' fixed placements hold.
#include "app/pages/ControlNames.h"
#include "app/pages/Pages.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFont>
#include <QGroupBox>
#include <QLayout>
#include <QStackedWidget>
#include <QTableView>
#include <QTest>
#include <functional>

namespace {

// The page control's client area less its tab row.
constexpr int kPageWidth = 688;
constexpr int kPageHeight = 490;

struct PageCase {
    const char* title;
    std::function<void(QWidget*)> build;
};

const PageCase kPages[] = {
    {"Connection", BuildConnectionPage},
    {"Measure Config", BuildMeasurePage},
    {"Freq Range", BuildFreqRangePage},
    {"System Config", BuildSystemConfigPage},
    {"Download", BuildDownloadPage},
    {"Excel export", BuildExcelExportPage},
    {"Data Buffer", BuildDataBufferPage},
    {"Data Preview", [](QWidget* p) { BuildDataPreviewPage(p, nullptr); }},
};

void LayOut(QWidget& page) {
    page.setFont(QFont("Sans Serif", 8));
    page.resize(kPageWidth, kPageHeight);
    // Nested layouts place their widgets once the page is shown.
    page.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&page));
    page.layout()->activate();
}

TEST(PageLayout, EveryPageFitsThePageArea) {
    for (const PageCase& c : kPages) {
        SCOPED_TRACE(c.title);
        QWidget page;
        c.build(&page);
        ASSERT_NE(page.layout(), nullptr);
        page.setFont(QFont("Sans Serif", 8));
        const QSize need = page.layout()->minimumSize();
        EXPECT_LE(need.width(), kPageWidth);
        EXPECT_LE(need.height(), kPageHeight);
    }
}

void ExpectVisibleControlsInside(QWidget& page) {
    const QRect area = page.rect();
    for (const QString& name : ControlNames(&page)) {
        QWidget* w = FindControl(&page, name);
        if (!w->isVisibleTo(&page))
            continue; // on a notebook page not showing
        const QRect r(w->mapTo(&page, QPoint(0, 0)), w->size());
        EXPECT_TRUE(area.contains(r)) << name.toStdString();
        EXPECT_GE(w->width(), w->minimumSizeHint().width()) << name.toStdString();
        EXPECT_GE(w->height(), w->minimumSizeHint().height()) << name.toStdString();
    }
}

TEST(PageLayout, EveryControlLiesInsideThePageAtItsMinimumSize) {
    for (const PageCase& c : kPages) {
        SCOPED_TRACE(c.title);
        QWidget page;
        c.build(&page);
        LayOut(page);
        ExpectVisibleControlsInside(page);
        // Each notebook page in turn.
        for (QStackedWidget* book : page.findChildren<QStackedWidget*>()) {
            for (int i = 0; i < book->count(); ++i) {
                SCOPED_TRACE(book->widget(i)->objectName().toStdString());
                book->setCurrentIndex(i);
                page.layout()->activate();
                QCoreApplication::sendPostedEvents();
                ExpectVisibleControlsInside(page);
            }
        }
    }
}

TEST(PageLayout, GridTakesTheBottomOfTheBufferPage) {
    QWidget page;
    BuildDataBufferPage(&page);
    LayOut(page);
    auto* grid = page.findChild<QTableView*>("BufGrid");
    auto* save = page.findChild<QGroupBox*>("GroupBox19");
    ASSERT_NE(grid, nullptr);
    ASSERT_NE(save, nullptr);
    EXPECT_GT(grid->y(), save->geometry().bottom());
    EXPECT_GE(grid->geometry().bottom(), kPageHeight - 8);
    EXPECT_GE(grid->width(), kPageWidth - 16);
    EXPECT_GT(grid->height(), kPageHeight / 2);
}

TEST(PageLayout, PlotOnTheLeftAtDesignWidthAndFullHeight) {
    QWidget page;
    auto* plot = new QWidget;
    BuildDataPreviewPage(&page, plot);
    LayOut(page);
    EXPECT_EQ(plot->x(), 0);
    EXPECT_EQ(plot->y(), 0);
    EXPECT_EQ(plot->width(), 433);
    EXPECT_EQ(plot->height(), kPageHeight);
    auto* current = page.findChild<QGroupBox*>("GroupBox10");
    ASSERT_NE(current, nullptr);
    EXPECT_GT(current->x(), plot->geometry().right());
}

} // namespace
