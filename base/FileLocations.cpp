#include "base/FileLocations.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "base/ProgramFolder.h"

namespace {

QString WithSlash(QString folder) {
    if (!folder.endsWith('/'))
        folder += '/';
    return folder;
}

QString SharedFolder(const QString& programFolder) {
    return QDir::cleanPath(programFolder + "../share/impix") + '/';
}

PathContext RunningContext() {
    const auto user = [](QStandardPaths::StandardLocation where, const char* underHome) {
        const QString found = QStandardPaths::writableLocation(where);
        return found.isEmpty() ? QDir::homePath() + underHome : found;
    };
    return {ProgramFolder(), user(QStandardPaths::GenericConfigLocation, "/.config"),
            user(QStandardPaths::GenericDataLocation, "/.local/share"),
            user(QStandardPaths::DocumentsLocation, "/Documents")};
}

} // namespace

RunMode DetectRunMode(const QString& programFolder) {
    const QString folder = WithSlash(programFolder);
    const bool inBin = QDir::cleanPath(folder).endsWith(QLatin1String("/bin"));
    return inBin && QFileInfo(SharedFolder(folder)).isDir() ? RunMode::Installed
                                                            : RunMode::BuildFolder;
}

QString PlaceFolder(const PathContext& context, Place place) {
    const QString program = WithSlash(context.programFolder);
    // Measurements are the operator's, not the build's: one archive whichever way it runs.
    if (place == Place::Archive)
        return WithSlash(context.dataHome) + "impix/";
    if (DetectRunMode(program) == RunMode::BuildFolder)
        return program;
    switch (place) {
    case Place::Programs:
        return program;
    case Place::Shipped:
        return SharedFolder(program);
    case Place::Config:
        return WithSlash(context.configHome) + "impix/";
    case Place::Data:
        return WithSlash(context.dataHome) + "impix/";
    case Place::Documents:
        return WithSlash(context.documents);
    case Place::Archive:
        break; // above
    }
    return program;
}

QString ImpixPath(Place place, const QString& name) {
    const PathContext context = RunningContext();
    const QString folder = PlaceFolder(context, place);
    // The archive's writer makes its folder itself and names what stops it.
    const bool users =
        place != Place::Programs && place != Place::Shipped && place != Place::Archive;
    if (users && DetectRunMode(context.programFolder) == RunMode::Installed)
        QDir().mkpath(folder);
    return folder + name;
}
