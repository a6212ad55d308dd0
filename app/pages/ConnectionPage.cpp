#include "app/pages/ConnectionPage.h"

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

QWidget* BuildUsbPage(QWidget* book) {
    auto* pg = new QWidget(book);
    pg->setObjectName("pg_USB");
    auto* grid = MakeGrid(pg);
    QLabel* caption = MakeLabel(pg, "Label5", "USB Port Status");
    looks::SetTextColor(caption, looks::kBlue);
    looks::SetBold(caption);
    QLabel* state = MakeLabel(pg, "ComStatusLx", "connected");
    looks::SetTextColor(state, looks::kGreen);
    looks::SetBold(state, 12);
    grid->addWidget(caption, 0, 0);
    grid->addWidget(state, 1, 0);
    grid->addLayout(MakeRow({MakeButton(pg, "ReconnectBtn", "Connect"),
                             MakeButton(pg, "ComSettingsBtn", "Settings")}),
                    2, 0);
    grid->setRowStretch(3, 1);
    grid->setColumnStretch(1, 1);
    return pg;
}

QWidget* BuildGprsPage(QWidget* book) {
    auto* pg = new QWidget(book);
    pg->setObjectName("pg_GPRS");
    auto* outer = new QVBoxLayout(pg);
    outer->setContentsMargins(0, 0, 0, 0);
    QGroupBox* server = MakeGroup(pg, "ServerBox", " Server ");
    auto* grid = MakeGrid(server);
    QLabel* state = MakeLabel(server, "SocketStateLabel", "listen");
    looks::SetTextColor(state, looks::kGreen);
    looks::SetBoldPixels(state, 16);
    QLabel* count = MakeLabel(server, "CntLabel", "0");
    looks::SetTextColor(count, looks::kBlue);
    grid->addWidget(MakeLabel(server, "Label29", "Status:"), 0, 0);
    grid->addWidget(state, 0, 1);
    grid->addWidget(MakeLabel(server, "Label33", "Received:"), 1, 0);
    grid->addWidget(count, 1, 1);
    grid->addLayout(MakeRow({MakeButton(server, "RunServerBtn", "Run"),
                             MakeButton(server, "StopServerBtn", "Stop")}),
                    2, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    outer->addWidget(server);
    outer->addLayout(MakeRow({MakeButton(pg, "FleetBtn", "Fleet...")}));
    outer->addStretch(1);
    return pg;
}

} // namespace

void BuildConnectionPage(QWidget* page) {
    auto* outer = new QHBoxLayout(page);
    outer->setContentsMargins(8, 8, 8, 8);
    auto* column = new QVBoxLayout;
    column->setSpacing(8);
    outer->addLayout(column, 1);
    outer->addStretch(1);

    RadioGroup* type = MakeRadio(page, "ConGrp", " Connection Type: ", {"USB", "LAN", "GPRS"}, 0);
    column->addWidget(type);

    QGroupBox* status = MakeGroup(page, "GroupBox2", " Status && settings: ");
    auto* inside = new QVBoxLayout(status);
    inside->setContentsMargins(6, 4, 6, 6);
    auto* book = new QStackedWidget(status);
    book->setObjectName("ConBook");
    book->addWidget(BuildUsbPage(book));
    auto* lan = new QWidget(book);
    lan->setObjectName("pg_LAN");
    book->addWidget(lan);
    book->addWidget(BuildGprsPage(book));
    book->setCurrentIndex(0);
    inside->addWidget(book);
    column->addWidget(status);
    column->addStretch(1);
}
