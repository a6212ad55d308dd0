// The settings dialog belongs to the widget library, and so does the component's operation
// that runs it.
#include "serial/ComDlg.h"
#include "serial/RS232.h"

void TRS232::ShowSettings() {
    const bool wasPolling = PollingEnabled();
    {
        // Declared first, so it runs last: the dialog is gone before polling resumes, also
        // when a failure escapes.
        struct RestorePolling {
            TRS232* port;
            bool on;
            ~RestorePolling() { port->SetPollingEnabled(on); }
        } restore{this, wasPolling};
        TComDlg dialog(this);
        SetPollingEnabled(false);
        dialog.exec();
    }
    if (!ConfigFile.isEmpty())
        SaveSettings();
}
