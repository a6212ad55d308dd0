#include "app/pages/ConnectionPage.h"

#include "app/pages/ConnectionControls.h"
#include "app/pages/Looks.h"
#include "app/pages/PageParts.h"
#include "widgets/RadioGroup.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

using namespace pages;

namespace {

QWidget* BuildUsbPage(QWidget* book, ConnectionPage& c) {
    auto* pg = new QWidget(book);
    pg->setObjectName("pg_USB");
    auto* grid = MakeGrid(pg);
    QLabel* caption = MakeLabel(pg, "Label5", "USB Port Status");
    looks::SetTextColor(caption, looks::kBlue);
    looks::SetBold(caption);
    MakeTextRows(pg, c, connection::UsbLabels);
    QLabel* state = c.ComStatusLx;
    looks::SetTextColor(state, looks::kGreen);
    looks::SetBold(state, 12);
    grid->addWidget(caption, 0, 0);
    grid->addWidget(state, 1, 0);
    MakeTextRows(pg, c, connection::UsbButtons);
    grid->addLayout(MakeRow({c.ReconnectBtn, c.ComSettingsBtn}), 2, 0);
    grid->setRowStretch(3, 1);
    grid->setColumnStretch(1, 1);
    return pg;
}

QWidget* BuildGprsPage(QWidget* book, ConnectionPage& c) {
    auto* pg = new QWidget(book);
    pg->setObjectName("pg_GPRS");
    auto* outer = new QVBoxLayout(pg);
    outer->setContentsMargins(0, 0, 0, 0);
    QGroupBox* server = MakeGroup(pg, c, connection::ServerGroup);
    auto* grid = MakeGrid(server);
    MakeTextRows(server, c, connection::ServerLabels);
    QLabel* state = c.SocketStateLabel;
    looks::SetTextColor(state, looks::kGreen);
    looks::SetBoldPixels(state, 16);
    QLabel* count = c.CntLabel;
    looks::SetTextColor(count, looks::kBlue);
    grid->addWidget(MakeLabel(server, "Label29", "Status:"), 0, 0);
    grid->addWidget(state, 0, 1);
    grid->addWidget(MakeLabel(server, "Label33", "Received:"), 1, 0);
    grid->addWidget(count, 1, 1);
    MakeTextRows(server, c, connection::ServerButtons);
    grid->addLayout(MakeRow({c.RunServerBtn, c.StopServerBtn}), 2, 0, 1, 2);
    AddShownRows(grid, c, connection::ServerCountRows, 3);
    grid->setColumnStretch(1, 1);
    outer->addWidget(server);
    MakeTextRows(pg, c, connection::GprsButtons);
    outer->addLayout(MakeRow({c.FleetBtn}));
    outer->addStretch(1);
    return pg;
}

} // namespace

ConnectionPage BuildConnectionPage(QWidget* page) {
    ConnectionPage c;
    auto* outer = new QHBoxLayout(page);
    outer->setContentsMargins(8, 8, 8, 8);
    auto* column = new QVBoxLayout;
    column->setSpacing(8);
    outer->addLayout(column, 1);
    outer->addStretch(1);

    column->addWidget(MakeRadio(page, c, connection::TypeRadio));

    QGroupBox* status = MakeGroup(page, c, connection::StatusGroup);
    auto* inside = new QVBoxLayout(status);
    inside->setContentsMargins(6, 4, 6, 6);
    auto* book = c.ConBook = new QStackedWidget(status);
    book->setObjectName("ConBook");
    book->addWidget(c.pg_USB = BuildUsbPage(book, c));
    c.pg_LAN = new QWidget(book);
    c.pg_LAN->setObjectName("pg_LAN");
    book->addWidget(c.pg_LAN);
    book->addWidget(c.pg_GPRS = BuildGprsPage(book, c));
    book->setCurrentIndex(0);
    inside->addWidget(book);
    column->addWidget(status);
    column->addStretch(1);
    return c;
}
