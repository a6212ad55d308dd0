// impix-sheets: the spreadsheet service that the console's workbook export drives.
#include <QCoreApplication>
#include <cstdio>

#include "ServiceOptions.h"
#include "SheetsService.h"
#include "base/FormatSettings.h"
#include "base/ProgramVersion.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    args.removeFirst();
    if (args.contains(QLatin1String("--help"))) {
        std::fputs(sheets::ServiceUsage, stdout);
        return 0;
    }
    if (args.contains(QLatin1String("--version"))) {
        std::fputs(qPrintable(VersionLine("impix-sheets")), stdout);
        return 0;
    }
    Result<sheets::ServiceOptions> parsed = sheets::ParseServiceOptions(args);
    if (!parsed) {
        std::fprintf(stderr, "impix-sheets: %s\n", qPrintable(parsed.error().text));
        return 2;
    }
    sheets::ServiceOptions options = *parsed;
    options.decimalSeparator = FormatSettings::system().decimalSeparator;
    sheets::SheetsService service(options);
    const Result<sheets::SheetsService::Start> started = service.start();
    if (!started) {
        std::fprintf(stderr, "impix-sheets: %s\n", qPrintable(started.error().text));
        return 1;
    }
    switch (*started) {
    case sheets::SheetsService::Start::AlreadyRunning:
        return 0;
    case sheets::SheetsService::Start::Listening:
        break;
    }
    QObject::connect(&service, &sheets::SheetsService::idle, &app, &QCoreApplication::quit);
    return app.exec();
}
