#include "dialogs/ComDlg.h"
#include "dialogs/ComDlgControls.h"

#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QShowEvent>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>

#include "base/EventGuard.h"
#include "base/Failure.h"
#include "dialogs/DialogScript.h"
#include "dialogs/PortConfigDlg.h"
#include "serial/RS232.h"
#include "widgets/SpinEdit.h"

namespace {
// DTR on and RTS toggled around each transmission: what "Details" adds to the flow bits.
constexpr int kDetailsFlagsBase = 12304;
constexpr uint32_t kDetailsFlagsKept = 0xF; // binary mode, parity check, CTS and DSR flow
// Adapters come and go while the dialog is open.
constexpr int kRefreshInterval = 2000; // ms
} // namespace

TComDlg::TComDlg(TRS232* comPort, QWidget* parent) : QDialog(parent), ComPort(comPort) {
    using controls::Make;
    setObjectName(comdlg::Name);
    setWindowTitle(comdlg::Title);
    setWindowIcon(style()->standardIcon(QStyle::SP_DriveNetIcon));
    // The stored size is where it starts; the layout lets it grow so that the device path is
    // never clipped.
    resize(218, 155);

    Make(*this, comdlg::Ok, this);
    BitBtn3->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    BitBtn3->setDefault(true);
    Make(*this, comdlg::Cancel, this);
    BitBtn2->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    BitBtn2->setAutoDefault(false);
    Make(*this, comdlg::Details, this);
    BitBtn1->setAutoDefault(false);

    Make(*this, comdlg::Panel, this);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Make(*this, comdlg::ComCaption, Panel1);
    Make(*this, comdlg::Number, SpinValue::Integer(0, 0), 0, Panel1); // no range limits
    Make(*this, comdlg::DevicePath, Panel1);
    DevicePathTx->setTextInteractionFlags(Qt::TextSelectableByMouse);
    DevicePathTx->setWordWrap(false); // a path has no place to break: the dialog widens instead
    Make(*this, comdlg::DeviceCaption, this);
    Make(*this, comdlg::Devices, this);
    DeviceLbl->setBuddy(DeviceLst);

    auto* panel = new QVBoxLayout(Panel1);
    panel->addWidget(Label1);
    panel->addWidget(ComEd);
    panel->addWidget(DevicePathTx);
    panel->addStretch();
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(BitBtn3);
    buttons->addWidget(BitBtn2);
    buttons->addWidget(BitBtn1);
    buttons->addStretch();
    auto* top = new QHBoxLayout;
    top->addWidget(Panel1, 1);
    top->addLayout(buttons);
    auto* main = new QVBoxLayout(this);
    main->addLayout(top);
    main->addWidget(DeviceLbl);
    main->addWidget(DeviceLst, 1);
    setTabOrder(BitBtn3, BitBtn2);
    setTabOrder(BitBtn2, BitBtn1);
    setTabOrder(BitBtn1, ComEd);
    setTabOrder(ComEd, DeviceLst);

    connect(BitBtn3, &QPushButton::clicked, this, [this] {
        Guarded([this] { OKClick(); });
        CloseWith(QDialog::Accepted);
    });
    connect(BitBtn2, &QPushButton::clicked, this, [this] {
        Guarded([this] { CancelClick(); });
        CloseWith(QDialog::Rejected);
    });
    connect(BitBtn1, &QPushButton::clicked, this, [this] { Guarded([this] { DetailyClick(); }); });
    connect(ComEd, &SpinEdit::changed, this, [this] { Guarded([this] { ComEdChange(); }); });
    // A new current row is a pick (mouse or keys); so is a click on the row already current.
    // A click on another row raises both: linking twice to the same device does no harm.
    connect(DeviceLst, &QListWidget::currentRowChanged, this, [this] {
        if (!filling_)
            Guarded([this] { DeviceLstPick(); });
    });
    connect(DeviceLst, &QListWidget::itemClicked, this, [this] {
        if (!filling_)
            Guarded([this] { DeviceLstPick(); });
    });
    refreshTimer_.setInterval(kRefreshInterval);
    connect(&refreshTimer_, &QTimer::timeout, this,
            [this] { Guarded([this] { RefreshDevices(); }); });
}

void TComDlg::FormShow() {
    FDetailsUsed = false;
    FReopenFailed = false;
    ComEd->SetValue(ComPort->Port);
    ShowDevicePath(); // SetValue raises no change when the text stays the same
    FSaved = {ComPort->Port,   ComPort->Baud,  ComPort->Length,
              ComPort->Parity, ComPort->Flags, ComPort->Stop};
    linksBefore_.clear();
    RefreshDevices();
}

void TComDlg::ComEdChange() {
    ComPort->Port = static_cast<int>(ComEd->RoundedValue());
    ShowDevicePath();
}

void TComDlg::ShowDevicePath() {
    // Numbers below 1 have no device, and none can be given them.
    DeviceLst->setEnabled(ComPort->Port >= 1);
    if (ComPort->Port < 1) {
        DevicePathTx->setText("No device: port numbers start at 1");
        return;
    }
    const QString path = ComPort->DevicePath();
    const QFileInfo info(path);
    QString text = path;
    if (info.isSymLink())
        text += "\n\u2192 " + info.symLinkTarget();
    if (!info.exists())
        text += " (missing)";
    DevicePathTx->setText(text);
}

void TComDlg::RefreshDevices() {
    QStringList held;
    if (ComPort->ComHandle() > 0)
        held << QFileInfo(ComPort->DevicePath()).canonicalFilePath();
    std::vector<serialdev::DeviceEntry> found = serialdev::ScanDevices(Roots, held);

    // Keep the row picked, else show the device the number leads to, else the first.
    const int row = DeviceLst->currentRow();
    const QString kept = row >= 0 && row < static_cast<int>(devices_.size())
                             ? devices_[static_cast<std::size_t>(row)].device
                             : QString();
    const QString current = QFileInfo(ComPort->DevicePath()).canonicalFilePath();
    const auto find = [&found](const std::function<bool(const serialdev::DeviceEntry&)>& is) {
        const auto it = std::find_if(found.begin(), found.end(), is);
        return it == found.end() ? -1 : static_cast<int>(it - found.begin());
    };
    int select = find([&kept](const auto& e) { return e.device == kept; });
    if (select < 0 && !current.isEmpty())
        select = find([&current](const auto& e) {
            return QFileInfo(e.device).canonicalFilePath() == current;
        });
    if (select < 0 && !found.empty())
        select = 0;

    filling_ = true;
    const bool sameDevices =
        std::equal(found.begin(), found.end(), devices_.begin(), devices_.end(),
                   [](const auto& a, const auto& b) { return a.device == b.device; });
    if (!sameDevices) {
        DeviceLst->clear();
        for (const auto& e : found)
            DeviceLst->addItem(e.Text());
    } else {
        for (std::size_t i = 0; i < found.size(); ++i)
            DeviceLst->item(static_cast<int>(i))->setText(found[i].Text());
    }
    devices_ = std::move(found);
    DeviceLst->setCurrentRow(select);
    filling_ = false;
}

void TComDlg::DeviceLstPick() {
    const int row = DeviceLst->currentRow();
    if (row < 0 || row >= static_cast<int>(devices_.size()))
        return;
    const int port = ComPort->Port; // ComEd's number, as every change goes straight there
    if (port < 1)
        return; // the list is disabled then
    const QString folder = ComPort->LinkFolder();
    const QString link = folder + "COM" + QString::number(port);
    if (!linksBefore_.contains(port)) {
        const QFileInfo old(link);
        linksBefore_.insert(port, old.isSymLink() ? old.symLinkTarget() : QString());
    }
    if (!serialdev::LinkPort(folder, port, devices_[static_cast<std::size_t>(row)].LinkTarget()))
        throw Failure("Cannot make the link " + link);
    ShowDevicePath();
}

void TComDlg::PutLinksBack() {
    const QString folder = ComPort->LinkFolder();
    for (auto it = linksBefore_.cbegin(); it != linksBefore_.cend(); ++it) {
        if (it.value().isNull())
            QFile::remove(folder + "COM" + QString::number(it.key()));
        else
            serialdev::LinkPort(folder, it.key(), it.value());
    }
    linksBefore_.clear();
}

void TComDlg::OKClick() {
    FDetailsUsed = false;
    FReopenFailed = !ComPort->Open(false);
    if (!FReopenFailed)
        linksBefore_.clear(); // kept: Cancel after a failed OK still puts them back
}

void TComDlg::CancelClick() {
    FReopenFailed = false;
    FDetailsUsed = false;
    ComPort->Port = FSaved.Port;
    ComPort->Baud = FSaved.Baud;
    ComPort->Length = FSaved.Length;
    ComPort->Parity = FSaved.Parity;
    ComPort->Stop = FSaved.Stop;
    ComPort->Flags = FSaved.Flags;
    PutLinksBack();
    ComPort->Open(false);
}

void TComDlg::DetailyClick() {
    FDetailsUsed = true;
    const QString name = ComPort->GetPortName();
    if (!ComPort->OpenHandle())
        return; // the component has reported it
    ComPort->ReadConfig();
    TDcb& dcb = ComPort->FCommConfig.dcb;
    dcb.BaudRate = static_cast<uint32_t>(ComPort->Baud);
    dcb.ByteSize = ComPort->Length;
    dcb.Parity = ComPort->Parity;
    dcb.Flags = static_cast<uint32_t>(ComPort->Flags);
    dcb.StopBits = ComPort->Stop;
    if (!TPortConfigDlg::Execute(name, this, ComPort->FCommConfig))
        return;
    ComPort->Baud = static_cast<int>(dcb.BaudRate);
    ComPort->Length = dcb.ByteSize;
    ComPort->Parity = dcb.Parity;
    ComPort->Stop = dcb.StopBits;
    ComPort->Flags = static_cast<int>(dcb.Flags & kDetailsFlagsKept) + kDetailsFlagsBase;
}

bool TComDlg::FormCloseQuery() const {
    return !FDetailsUsed && !FReopenFailed;
}

void TComDlg::CloseWith(int result) {
    if (FormCloseQuery())
        done(result);
}

void TComDlg::reject() {
    if (FormCloseQuery())
        QDialog::reject();
}

void TComDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    Guarded([this] { FormShow(); });
    refreshTimer_.start();
    ScriptDialogShown(this, BitBtn3, BitBtn2);
}

void TComDlg::hideEvent(QHideEvent* event) {
    refreshTimer_.stop();
    QDialog::hideEvent(event);
}

void TComDlg::keyPressEvent(QKeyEvent* event) {
    // Escape is the Cancel button's key, not a bare close.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        BitBtn2->click();
        return;
    }
    QDialog::keyPressEvent(event);
}
