#include "dialogs/StdDlg.h"

#include "base/ScriptedDialogs.h"
#include "dialogs/MessageText.h"
#include "dialogs/StdDlgControls.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QStyle>
#include <memory>

namespace {

constexpr int kIconSize = 32;
constexpr QPoint kIconPos(24, 24);
constexpr QPoint kInfoPos(72, 32);

void MakeIcon(TDForm& form, const stddlgcontrols::IconRow& r) {
    QLabel* icon = controls::Make(form, r.row, form.StdDlg);
    icon->setPixmap(form.StdDlg->style()->standardIcon(r.pixmap).pixmap(kIconSize, kIconSize));
    icon->setGeometry(QRect(kIconPos, QSize(kIconSize, kIconSize)));
    icon->hide();
}

void MakeButton(TDForm& form, const controls::NameRow<TDForm, QPushButton>& r) {
    QPushButton* button = controls::Make(form, r, form.StdDlg);
    button->resize(stddlg::kButtonWidth, stddlg::kButtonHeight);
    button->setAutoDefault(true);
}

QIcon GlyphIcon(const QStyle* style, stddlg::Glyph glyph) {
    switch (glyph) {
    case stddlg::Glyph::No:
        return style->standardIcon(QStyle::SP_DialogNoButton);
    case stddlg::Glyph::Cancel:
        return style->standardIcon(QStyle::SP_DialogCancelButton);
    case stddlg::Glyph::Check:
        break;
    }
    return style->standardIcon(QStyle::SP_DialogApplyButton);
}

int ScriptedResult(const std::optional<scripted::DialogAnswer>& answer, int fallback) {
    if (!answer)
        return fallback;
    switch (answer->kind) {
    case scripted::AnswerKind::Ok:
        return stddlg::kResultOk;
    case scripted::AnswerKind::Cancel:
        return stddlg::kResultCancel;
    case scripted::AnswerKind::Yes:
        return stddlg::kResultYes;
    case scripted::AnswerKind::No:
        return stddlg::kResultNo;
    case scripted::AnswerKind::Path:
        break; // meant for a save dialog: take the default
    }
    return fallback;
}

} // namespace

TDForm::TDForm(QWidget* parent) : QDialog(parent) {
    namespace table = stddlgcontrols;
    setObjectName(table::Name);
    controls::Make(*this, table::Book, this);
    NBook->addWidget(controls::Make(*this, table::Page, NBook));

    for (const table::IconRow& icon : table::Icons)
        MakeIcon(*this, icon);

    controls::Make(*this, table::Info, StdDlg);
    // Messages carry file names between "<" and ">": never read them as markup.
    lInfo->setTextFormat(Qt::PlainText);
    lInfo->move(kInfoPos);

    for (const auto& button : table::Buttons)
        MakeButton(*this, button);

    for (int i = 0; i < 3; ++i) {
        connect(Button(i), &QPushButton::clicked, this,
                [this, i] { done(layout_.buttons[static_cast<size_t>(i)].result); });
    }
}

QPushButton* TDForm::Button(int index) const {
    switch (index) {
    case 0:
        return bt1;
    case 1:
        return bt2;
    case 2:
        return bt3;
    default:
        return nullptr;
    }
}

void TDForm::SetMessage(const QString& msg) {
    lInfo->setText(WrapMessage(msg, lInfo->font()));
    lInfo->adjustSize();
}

void TDForm::Apply(const stddlg::StdDlgLayout& layout) {
    layout_ = layout;
    NBook->setCurrentWidget(StdDlg);
    imI->setVisible(layout.icon == stddlg::Icon::Information);
    imQ->setVisible(layout.icon == stddlg::Icon::Question);
    imW->setVisible(layout.icon == stddlg::Icon::Warning);
    imE->setVisible(layout.icon == stddlg::Icon::Error);
    setWindowTitle(layout.windowTitle);

    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (!layout.closeBoxRemoved)
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    setWindowFlags(flags);

    for (int i = 0; i < 3; ++i) {
        const auto& button = layout.buttons[static_cast<size_t>(i)];
        QPushButton* b = Button(i);
        b->setText(button.caption);
        b->setIcon(GlyphIcon(style(), button.glyph));
        b->setGeometry(button.left, layout.buttonTop, stddlg::kButtonWidth, stddlg::kButtonHeight);
        b->setVisible(button.visible);
    }
    Button(layout.defaultButton)->setDefault(true);

    setFixedSize(layout.clientWidth, layout.clientHeight);
    NBook->setGeometry(0, 0, layout.clientWidth, layout.clientHeight);
}

void TDForm::reject() {
    if (!layout_.closeBoxRemoved)
        done(stddlg::kResultCancel);
}

void TDForm::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        if (QPushButton* cancel = Button(layout_.cancelButton); cancel && cancel->isVisible())
            cancel->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TDForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (QPushButton* focus = Button(layout_.focusButton))
        focus->setFocus(Qt::ActiveWindowFocusReason);
}

int ShowStdDlg(const QString& Msg, uint8_t DlgType, uint8_t Buttons, uint8_t DefResult,
               const QString& Caption, uint8_t Lang, int HelpCtx, int X, int Y) {
    const QString appTitle = QCoreApplication::applicationName();
    if (scripted::Active()) {
        const auto layout =
            stddlg::LayoutStdDlg(DlgType, Buttons, DefResult, Caption, Lang, appTitle, 0, 0);
        scripted::Report(layout.windowTitle, Msg);
        const int focused = layout.buttons[static_cast<size_t>(layout.focusButton)].result;
        return ScriptedResult(scripted::NextAnswer(), focused);
    }

    // Owned here, so the dialog is gone after the call whatever happens inside it.
    auto form = std::make_unique<TDForm>();
    form->SetMessage(Msg);
    form->Apply(stddlg::LayoutStdDlg(DlgType, Buttons, DefResult, Caption, Lang, appTitle,
                                     form->lInfo->width(), form->lInfo->height()));
    form->helpContext = HelpCtx;
    if (X < 0) {
        const QScreen* screen = QGuiApplication::primaryScreen();
        const QRect area = screen ? screen->availableGeometry() : QRect();
        form->move(area.x() + (area.width() - form->width()) / 2,
                   area.y() + (area.height() - form->height()) / 2);
    } else {
        form->move(X, Y);
    }
    return form->exec();
}

void ErrorDlg(const QString& Msg) {
    ShowStdDlg(Msg, 3, 0, 0, QStringLiteral("+"), 0, 0, -1, -1);
}

int ConfirmDlg(const QString& Msg) {
    return ShowStdDlg(Msg, 1, 2, 6, QStringLiteral("+"), 0, 0, -1, -1);
}
