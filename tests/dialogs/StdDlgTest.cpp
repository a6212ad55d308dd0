// The standard message dialog on screen (offscreen platform): icons, title, buttons, focus, keys,
// close box and geometry, driven from inside its modal loop.
#include "dialogs/StdDlg.h"
#include "dialogs/StdDlgControls.h"

#include "base/ScriptedDialogs.h"
#include "dialogs/MessageBox.h"
#include "dialogs/ModalDriver.h"
#include "support/ControlRowsCheck.h"

#include <QCoreApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

using dlgtest::OnModal;

class StdDlgWidget : public testing::Test {
protected:
    void SetUp() override {
        QCoreApplication::setApplicationName(QStringLiteral("Impix II."));
        scripted::SetActive(false);
        scripted::Reset();
    }
};

// What a modal TDForm looked like when the action ran.
struct Seen {
    QString title;
    QString className;
    QString visibleIcons;
    QStringList buttons; // captions of the visible buttons, in order
    QString focused;
    QString defaultButton;
    Qt::WindowFlags flags;
};

Seen Look(QWidget* w) {
    Seen s;
    s.title = w->windowTitle();
    s.className = QString::fromLatin1(w->metaObject()->className());
    for (const auto& r : stddlgcontrols::Icons) {
        auto* icon = w->findChild<QLabel*>(QLatin1String(r.row.name));
        if (icon && icon->isVisible())
            s.visibleIcons += QLatin1String(r.row.name);
    }
    for (const auto& r : stddlgcontrols::Buttons) {
        auto* b = w->findChild<QPushButton*>(QLatin1String(r.name));
        if (b && b->isVisible())
            s.buttons << b->text();
        if (b && b->isDefault() && b->isVisible())
            s.defaultButton = b->objectName();
    }
    if (QWidget* f = QApplication::focusWidget())
        s.focused = f->objectName();
    s.flags = w->windowFlags();
    return s;
}

void Key(QWidget* w, Qt::Key key) {
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : w;
    QTest::keyClick(target, key);
}

TEST_F(StdDlgWidget, ErrorDlgShowsErrorIconTitleAndOneFocusedOk) {
    Seen seen;
    QRect bt1Geometry;
    QSize size;
    OnModal([&](QWidget* w) {
        seen = Look(w);
        controlcheck::ExpectRows(w, *qobject_cast<TDForm*>(w), stddlgcontrols::All);
        bt1Geometry = w->findChild<QPushButton*>("bt1")->geometry();
        size = w->size();
        Key(w, Qt::Key_Return);
    });
    ErrorDlg(QStringLiteral("Items bounds out of range"));
    EXPECT_EQ(seen.className, "TDForm");
    EXPECT_EQ(seen.title, "Impix II. - Chyba");
    EXPECT_EQ(seen.visibleIcons, "imE");
    EXPECT_EQ(seen.buttons, QStringList{"&OK"});
    EXPECT_EQ(seen.focused, "bt1");
    EXPECT_TRUE(seen.flags & Qt::WindowCloseButtonHint);
    // Centred: as much room left of the button as right of it (up to the halving's pixel).
    const int right = size.width() - bt1Geometry.right() - 1;
    EXPECT_LE(std::abs(bt1Geometry.left() - right), 1);
    EXPECT_EQ(bt1Geometry.size(), QSize(75, 25));
}

TEST_F(StdDlgWidget, ErrorDlgKeysAndCloseBox) {
    OnModal([](QWidget* w) { Key(w, Qt::Key_Return); });
    EXPECT_EQ(ShowStdDlg("Items bounds out of range", 3, 0, 0, "+", 0, 0, -1, -1), 1);
    OnModal([](QWidget* w) { Key(w, Qt::Key_Enter); });
    EXPECT_EQ(ShowStdDlg("Items bounds out of range", 3, 0, 0, "+", 0, 0, -1, -1), 1);
    OnModal([](QWidget* w) { Key(w, Qt::Key_Escape); });
    EXPECT_EQ(ShowStdDlg("Items bounds out of range", 3, 0, 0, "+", 0, 0, -1, -1), 1);
    OnModal([](QWidget* w) { w->close(); });
    EXPECT_EQ(ShowStdDlg("Items bounds out of range", 3, 0, 0, "+", 0, 0, -1, -1), 2);
}

TEST_F(StdDlgWidget, ConfirmDlgShowsQuestionWithYesFocusedAndNoCloseBox) {
    Seen seen;
    OnModal([&](QWidget* w) {
        seen = Look(w);
        Key(w, Qt::Key_Return);
    });
    EXPECT_EQ(ConfirmDlg(QStringLiteral("File >Data.xls< Exists. Owerwrite??")), 6);
    EXPECT_EQ(seen.title, QString::fromUtf8("Impix II. - Potvrzení"));
    EXPECT_EQ(seen.visibleIcons, "imQ");
    EXPECT_EQ(seen.buttons, (QStringList{"&Ano", "&Ne"}));
    EXPECT_EQ(seen.focused, "bt1");
    EXPECT_FALSE(seen.flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(seen.flags & Qt::WindowSystemMenuHint);
    EXPECT_TRUE(seen.flags & Qt::CustomizeWindowHint);
}

TEST_F(StdDlgWidget, ConfirmDlgEscapeSaysNoAndCloseIsRefused) {
    bool stillOpenAfterClose = false;
    OnModal([&](QWidget* w) {
        w->close();
        stillOpenAfterClose = w->isVisible();
        Key(w, Qt::Key_Escape);
    });
    EXPECT_EQ(ConfirmDlg(QStringLiteral("File >x< Exists. Owerwrite??")), 7);
    EXPECT_TRUE(stillOpenAfterClose);
}

TEST_F(StdDlgWidget, EnterPressesTheFocusedButton) {
    // DefResult 7 puts the focus on No: Enter answers No, though bt1 is the default button.
    QString focused;
    OnModal([&](QWidget* w) {
        focused = QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : "";
        Key(w, Qt::Key_Return);
    });
    EXPECT_EQ(ShowStdDlg("Sure?", 1, 2, 7, "", 2, 0, -1, -1), 7);
    EXPECT_EQ(focused, "bt2");

    OnModal([&](QWidget* w) {
        focused = QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : "";
        Key(w, Qt::Key_Return);
    });
    EXPECT_EQ(ShowStdDlg("Go on?", 1, 3, 8, "", 2, 0, -1, -1), 2);
    EXPECT_EQ(focused, "bt3");

    // Clicking works whatever has the focus.
    OnModal([](QWidget* w) { w->findChild<QPushButton*>("bt2")->click(); });
    EXPECT_EQ(ShowStdDlg("Go on?", 1, 3, 6, "", 2, 0, -1, -1), 7);
}

TEST_F(StdDlgWidget, EscapeGivesTheCancelButtonOfEachSet) {
    OnModal([](QWidget* w) { Key(w, Qt::Key_Escape); });
    EXPECT_EQ(ShowStdDlg("m", 0, 1, 0, "", 0, 0, -1, -1), 2);
    OnModal([](QWidget* w) { Key(w, Qt::Key_Escape); });
    EXPECT_EQ(ShowStdDlg("m", 0, 3, 6, "", 0, 0, -1, -1), 2);
    // The close box of an OK/Cancel dialog also gives Cancel.
    OnModal([](QWidget* w) { w->close(); });
    EXPECT_EQ(ShowStdDlg("m", 0, 1, 0, "", 0, 0, -1, -1), 2);
}

TEST_F(StdDlgWidget, GeometryMatchesTheLayout) {
    struct Case {
        QString msg;
        uint8_t buttons;
    };
    const Case cases[] = {
        {"Items bounds out of range", 0},
        {"x", 2},
        {"Table >Data.xls<   does not contains sheet >Channel_17< and a long tail to widen it", 3},
        {"two\nlines", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.msg.toStdString());
        QSize size, label, fixedMin, fixedMax;
        QPoint labelPos, iconPos;
        QList<QRect> buttons;
        OnModal([&](QWidget* w) {
            size = w->size();
            fixedMin = w->minimumSize();
            fixedMax = w->maximumSize();
            auto* info = w->findChild<QLabel*>(stddlgcontrols::Info.name);
            label = info->size();
            labelPos = info->mapTo(w, QPoint(0, 0));
            iconPos = w->findChild<QLabel*>("imW")->mapTo(w, QPoint(0, 0));
            for (const auto& r : stddlgcontrols::Buttons)
                buttons << w->findChild<QPushButton*>(r.name)->geometry();
            w->findChild<QPushButton*>("bt1")->click();
        });
        ShowStdDlg(c.msg, 2, c.buttons, 0, "*", 0, 0, 40, 30);
        const auto l = stddlg::LayoutStdDlg(2, c.buttons, 0, "*", 0, "Impix II.", label.width(),
                                            label.height());
        EXPECT_EQ(size, QSize(l.clientWidth, l.clientHeight));
        EXPECT_EQ(fixedMin, size);
        EXPECT_EQ(fixedMax, size);
        EXPECT_EQ(labelPos, QPoint(72, 32));
        EXPECT_EQ(iconPos, QPoint(24, 24));
        ASSERT_EQ(buttons.size(), 3);
        for (int i = 0; i < l.buttonCount; ++i)
            EXPECT_EQ(buttons[i], QRect(l.buttons[i].left, l.buttonTop, 75, 25)) << i;
    }
}

TEST_F(StdDlgWidget, WideMessageWidensTheDialog) {
    const QString wide(200, QChar(u'W'));
    int width = 0, labelWidth = 0;
    OnModal([&](QWidget* w) {
        width = w->width();
        labelWidth = w->findChild<QLabel*>(stddlgcontrols::Info.name)->width();
        Key(w, Qt::Key_Escape);
    });
    ShowStdDlg(wide, 0, 0, 0, "", 0, 0, -1, -1);
    EXPECT_GT(labelWidth, 130);
    EXPECT_EQ(width, labelWidth + 90);
}

TEST_F(StdDlgWidget, MessageIsPlainTextAndCaptionAsGiven) {
    QString text, title;
    OnModal([&](QWidget* w) {
        text = w->findChild<QLabel*>(stddlgcontrols::Info.name)->text();
        title = w->windowTitle();
        Key(w, Qt::Key_Return);
    });
    ShowStdDlg("File named ><b>x</b>< already open", 3, 0, 0, "Port", 2, 0, -1, -1);
    EXPECT_EQ(text, "File named ><b>x</b>< already open");
    EXPECT_EQ(title, "Port");
    // The label never interprets the text.
    TDForm form;
    EXPECT_EQ(form.lInfo->textFormat(), Qt::PlainText);
}

TEST_F(StdDlgWidget, PlacementAndHelpContext) {
    QPoint placed;
    int help = -1;
    OnModal([&](QWidget* w) {
        placed = w->pos();
        help = qobject_cast<TDForm*>(w)->helpContext;
        Key(w, Qt::Key_Return);
    });
    ShowStdDlg("here", 0, 0, 0, "", 0, 17, 40, 30);
    EXPECT_EQ(placed, QPoint(40, 30));
    EXPECT_EQ(help, 17);

    QRect shown;
    OnModal([&](QWidget* w) {
        shown = w->geometry();
        Key(w, Qt::Key_Return);
    });
    ShowStdDlg("centred", 0, 0, 0, "", 0, 0, -1, 500);
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE(std::abs(shown.center().x() - screen.center().x()), 2);
    EXPECT_LE(std::abs(shown.center().y() - screen.center().y()), 2);
}

TEST_F(StdDlgWidget, DialogIsDestroyedAfterTheCall) {
    QPointer<QWidget> dialog;
    OnModal([&](QWidget* w) {
        dialog = w;
        Key(w, Qt::Key_Return);
    });
    ErrorDlg("gone afterwards");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(dialog.isNull());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

} // namespace

// Whatever the console says, through whichever dialog, stays within about 600 pixels, on one
// screen of 1024 and less; the whole text is there, wrapped.
TEST_F(StdDlgWidget, EveryMessageWrapsWithinTheWidth) {
    const QString deep = "/home/operator/Documents/Measurements/2026/Site North-East/Borehole 7/"
                         "Long campaign with a long name/Data.xlsx";
    const QString messages[] = {
        // The longest of the console's own, with long values filled in.
        "The console was not closed properly last time. Its buffer held 1048575 items, the last "
        "one received 08.12.2026 15:01:02 (session started 08.12.2026 14:00:00). Put them back "
        "into the buffer?",
        "File >" + deep + "< Exists. Owerwrite??",
        "Table >" + deep + "<   does not contains sheet >Channel_16< ",
        QString::fromUtf8("Zvolená komunikační zásuvka "
                          "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0 "
                          "není nainstalována nebo je využívána jinou aplikací"),
        "Channel 16 has 1100000 measurements, more than the 1048574 rows a sheet holds below its "
        "header",
        "Cannot create file " + deep + ": Permission denied",
        // What nobody wrote: one endless word, many lines, nothing at all.
        QString(400, u'W'),
        "one\ntwo\n\nfour, a line that is long enough to wrap by itself at least once or twice "
        "when it is shown in a dialog",
        "",
    };
    constexpr int kMaxWidth = 600;
    const auto squeezed = [](QString t) { return t.remove(u'\n').remove(u' ').remove(u'\r'); };
    struct Route {
        const char* name;
        std::function<void(const QString&)> show;
    };
    const Route routes[] = {
        {"error", [](const QString& m) { ErrorDlg(m); }},
        {"question", [](const QString& m) { ConfirmDlg(m); }},
        {"restore", [](const QString& m) { ShowStdDlg(m, 1, 2, 6, "Restore", 2, 0, -1, -1); }},
        {"failure", [](const QString& m) { ShowMessage(m); }},
    };
    for (const Route& route : routes) {
        for (const QString& message : messages) {
            SCOPED_TRACE(std::string(route.name) + ": " + message.left(60).toStdString());
            int width = 0;
            QString shown;
            QSize label, needed;
            OnModal([&](QWidget* w) {
                width = w->frameGeometry().width();
                auto* info = w->findChild<QLabel*>(qobject_cast<QMessageBox*>(w)
                                                       ? QStringLiteral("qt_msgbox_label")
                                                       : QString(stddlgcontrols::Info.name));
                ASSERT_NE(info, nullptr);
                shown = info->text();
                label = info->size();
                // A label that wraps by itself (the message box's, past half the screen)
                // needs its height at its own width.
                needed = info->wordWrap() ? QSize(info->minimumSizeHint().width(),
                                                  info->heightForWidth(info->width()))
                                          : info->sizeHint();
                if (auto* box = qobject_cast<QMessageBox*>(w))
                    box->button(QMessageBox::Ok)->click();
                else
                    w->findChild<QPushButton*>("bt1")->click();
            });
            route.show(message);
            EXPECT_GT(width, 0);
            EXPECT_LE(width, kMaxWidth);
            EXPECT_EQ(squeezed(shown), squeezed(message));
            EXPECT_GE(label.width(), needed.width()); // nothing cut off
            EXPECT_GE(label.height(), needed.height());
        }
    }
}
