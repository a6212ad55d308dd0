#pragma once
class QWidget;

// Fills the page "System Config" (TabSheet1): the logger's clock, its GPRS access point and
// report server, and its daily report settings.
void BuildSystemConfigPage(QWidget* page);
