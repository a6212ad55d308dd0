#pragma once
class QWidget;

// Fills the page "Connection" (ConnSheet): the connection type ConGrp and the group
// GroupBox2 with the notebook ConBook of the pages "pg_USB", "pg_LAN" and "pg_GPRS"
// ("pg_USB" showing).
void BuildConnectionPage(QWidget* page);
