// The component's settings operation lives with its dialog: the serial floor holds no widgets.
#include "dialogs/ComDlg.h"
#include "serial/RS232.h"

void ShowSettings(TRS232& port) {
    const bool wasPolling = port.PollingEnabled();
    {
        // Declared first, so it runs last: the dialog is gone before polling resumes, also
        // when a failure escapes.
        struct RestorePolling {
            TRS232& port;
            bool on;
            ~RestorePolling() { port.SetPollingEnabled(on); }
        } restore{port, wasPolling};
        TComDlg dialog(&port);
        port.SetPollingEnabled(false);
        dialog.exec();
    }
    if (!port.ConfigFile.isEmpty())
        port.SaveSettings();
}
