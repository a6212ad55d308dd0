#include "app/pages/WindowFrame.h"

#include "app/pages/Looks.h"
#include "app/pages/WindowFrameControls.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

using namespace pages;

namespace {
// The window's client area, fixed.
constexpr int ClientWidth = 692;
constexpr int ClientHeight = 586;
constexpr int PageCtrlHeight = 521;
} // namespace

WindowFrame BuildWindowFrame(QMainWindow* window) {
    WindowFrame c;
    window->setObjectName("FImpixMain");
    window->setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    QFont font = QApplication::font();
    font.setPointSize(8);
    window->setFont(font);

    c.File1 = window->menuBar()->addMenu(frame::MenuTitle);
    c.File1->setObjectName("File1");
    c.File1->addSeparator()->setObjectName("N1");
    for (const auto& r : frame::MenuItems) {
        c.*r.control = c.File1->addAction(r.text);
        (c.*r.control)->setObjectName(r.name);
    }

    auto* central = c.ClientArea = new QWidget(window);
    central->setObjectName("ClientArea");
    central->setFixedSize(ClientWidth, ClientHeight);
    window->setCentralWidget(central);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);

    auto* pages = c.PageCtrl = new QTabWidget(central);
    pages->setObjectName("PageCtrl");
    pages->setTabPosition(QTabWidget::South);
    pages->setFixedHeight(PageCtrlHeight);
    // All eight tabs in one row across the window, as the operator expects to find them.
    pages->setStyleSheet("QTabBar::tab { padding: 3px 7px; }");
    for (const auto& r : frame::Pages) {
        auto* page = c.*r.control = new QWidget;
        page->setObjectName(r.name);
        pages->addTab(page, r.text);
    }
    layout->addWidget(pages);
    return c;
}

void BuildStatusRow(WindowFrame& c) {
    QWidget* central = c.ClientArea;
    MakeTextRows(central, c, frame::StatusLabels);
    looks::SetBold(c.Label4, 10);
    looks::SetTextColor(c.Label4, looks::kBlue);
    looks::SetBold(c.ComStatusTx, 12);
    looks::SetTextColor(c.ComStatusTx, looks::kGreen);
    c.ComStatusTx->setMinimumWidth(260);
    MakeTextRows(central, c, frame::StatusButtons);
    c.CloseBtn->setIcon(central->style()->standardIcon(QStyle::SP_DialogCloseButton));
    MakeTextRows(central, c, frame::HealthLabels);
    c.LinkHealthTx->setMinimumWidth(200);
    c.LinkHealthTx->setWordWrap(true);

    auto* row = new QHBoxLayout;
    row->addSpacing(12);
    row->addWidget(c.Label4);
    row->addSpacing(12);
    row->addWidget(c.ComStatusTx);
    row->addWidget(c.LinkHealthTx, 1);
    row->addStretch();
    row->addWidget(c.CloseBtn);
    row->addSpacing(12);
    auto* layout = static_cast<QVBoxLayout*>(central->layout());
    layout->addLayout(row);
    layout->addStretch();
}
