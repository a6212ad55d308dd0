#pragma once
class QWidget;

// Fills the page "Measure Config" (MeasureSh): firmware version, measure period, measure
// parameters, electrode selection, measure actions and the last measured value.
void BuildMeasurePage(QWidget* page);
