#pragma once
class QWidget;

// Fills the page "Freq Range" (TabSheet5): the frequency sweep's parameters, its last
// measured point and its start and stop.
void BuildFreqRangePage(QWidget* page);
