#pragma once
// The builders of the main window's frame and of its pages, in tab order.
#include "app/pages/ConnectionPage.h"
#include "app/pages/DataBufferPage.h"
#include "app/pages/DataPreviewPage.h"
#include "app/pages/DownloadPage.h"
#include "app/pages/ExcelExportPage.h"
#include "app/pages/FreqRangePage.h"
#include "app/pages/MeasurePage.h"
#include "app/pages/SystemConfigPage.h"
#include "app/pages/WindowFrame.h"
