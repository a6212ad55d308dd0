#pragma once
// The console in the test process: main window and link module on a pseudo-terminal that the
// test holds, with dialogs answered as in a script so nothing waits for a person.
#include <QCheckBox>
#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

#include "app/ImpixMain.h"
#include "app/features/BufferController.h"
#include "app/script/ControlText.h"
#include "app/script/NamedControl.h"
#include "base/ScriptedDialogs.h"
#include "link/ModBus.h"
#include "support/PtyDevice.h"

class ConsoleFixture : public testing::Test {
protected:
    void SetUp() override {
        QCoreApplication::setApplicationName("Impix II.");
        scripted::SetActive(true);
        scripted::Reset();
    }
    void TearDown() override {
        link = nullptr;
        window.reset();
        scripted::SetActive(false);
    }

    // Creates the window and the link module; with `device`, COM2 is the test's pty.
    void Start(bool device = true, const FormatSettings& format = {}) {
        if (device) {
            ASSERT_TRUE(LinkDevice(devDir.path(), 2, pty.SlavePath()));
        }
        window = std::make_unique<TFImpixMain>(format);
        link = &window->Link();
        link->SerialPort().DeviceFolder = devDir.path() + "/";
        link->SerialPort().ConfigFile.clear();
        link->MBCreate();
        // The creation handler set the configuration file; the test keeps the defaults.
        link->SerialPort().ConfigFile.clear();
        window->show();
    }

    // Feeds bytes to the receiver as the serial component does.
    void Receive(std::initializer_list<uint8_t> bytes) {
        for (uint8_t b : bytes)
            link->RS232Receive(b);
    }

    // As the operator sees it: after the window followed what happened (it follows the buffer
    // once per pass of the event loop).
    QString Text(const char* name) const {
        QCoreApplication::sendPostedEvents();
        return ControlText(Find(name));
    }
    // The window's control of that name and kind, as scripts find it.
    template <class T = QWidget> T* Find(const QString& name) const {
        return NamedControl<T>(window.get(), name);
    }
    void Click(const char* name) { Find<QAbstractButton>(name)->click(); }
    bool Checked(const QString& name) const { return Find<QCheckBox>(name)->isChecked(); }

    QTemporaryDir devDir;
    PtyDevice pty;
    std::unique_ptr<TFImpixMain> window;
    TMB* link = nullptr; // the window's
};
