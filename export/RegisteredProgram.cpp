#include "export/RegisteredProgram.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QSet>
#include <QStandardPaths>
#include <map>

namespace {

QStringList Folders(const char* variable, const QString& fallback) {
    const QString value = qEnvironmentVariable(variable);
    QStringList out;
    for (const QString& f : (value.isEmpty() ? fallback : value).split(':', Qt::SkipEmptyParts))
        out << f;
    return out;
}

// The keys of one group of a desktop file or of a mimeapps.list, by group.
using Groups = std::map<QString, std::map<QString, QString>>;

Groups ReadGroups(const QString& path) {
    Groups groups;
    QFile file(path);
    // A registration is a small text file; anything else is no registration.
    if (!QFileInfo(path).isFile() || QFileInfo(path).size() > (1 << 20) ||
        !file.open(QIODevice::ReadOnly))
        return groups;
    QString group;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith('[') && line.endsWith(']'))
            group = line.mid(1, line.size() - 2);
        else if (const qsizetype eq = line.indexOf('='); eq > 0 && !line.startsWith('#'))
            groups[group].emplace(line.left(eq).trimmed(), line.mid(eq + 1).trimmed());
    }
    return groups;
}

QStringList List(const QString& value) {
    return value.split(';', Qt::SkipEmptyParts);
}

// Whether the program a desktop entry starts is there: the first word of its command, or what
// stands in double quotes at its start (a path with blanks).
bool Runnable(const QString& command) {
    const QString line = command.trimmed();
    const QString program = line.startsWith('"')
                                ? line.mid(1).section('"', 0, 0)
                                : line.section(' ', 0, 0, QString::SectionSkipEmpty);
    if (program.isEmpty())
        return false;
    if (program.contains('/'))
        return QFileInfo(program).isExecutable() && QFileInfo(program).isFile();
    return !QStandardPaths::findExecutable(program).isEmpty();
}

// The installed desktop entries, by id (their path below an applications folder, "/" as "-"),
// the one of the most important folder for each, with the types it takes; only those that can
// be started.
std::map<QString, QStringList> InstalledEntries(const QStringList& dataFolders) {
    std::map<QString, QStringList> entries;
    QSet<QString> seen;
    for (const QString& data : dataFolders) {
        const QString apps = data + QStringLiteral("/applications");
        QDirIterator it(apps, {QStringLiteral("*.desktop")}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            const QString id = QDir(apps).relativeFilePath(path).replace('/', '-');
            if (seen.contains(id))
                continue;
            seen.insert(id);
            const auto entry = ReadGroups(path)[QStringLiteral("Desktop Entry")];
            const auto key = [&](const char* name) {
                const auto found = entry.find(QLatin1String(name));
                return found == entry.end() ? QString() : found->second;
            };
            if (key("Type") != QLatin1String("Application") ||
                key("Hidden") == QLatin1String("true") || !Runnable(key("Exec")) ||
                (!key("TryExec").isEmpty() && !Runnable(key("TryExec"))))
                continue;
            entries[id] = List(key("MimeType"));
        }
    }
    return entries;
}

} // namespace

DesktopFolders DesktopFolders::FromEnvironment() {
    const QString home = QDir::homePath();
    DesktopFolders f;
    f.config = Folders("XDG_CONFIG_HOME", home + QStringLiteral("/.config")) +
               Folders("XDG_CONFIG_DIRS", QStringLiteral("/etc/xdg"));
    f.data = Folders("XDG_DATA_HOME", home + QStringLiteral("/.local/share")) +
             Folders("XDG_DATA_DIRS", QStringLiteral("/usr/local/share:/usr/share"));
    for (const QString& d :
         qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(':', Qt::SkipEmptyParts))
        f.desktops << d.toLower();
    return f;
}

FileOpener RegisteredProgram(const QString& file, const DesktopFolders& folders) {
    const QMimeType mime = QMimeDatabase().mimeTypeForFile(file);
    FileOpener out{mime.name(), mime.comment(), {}};
    // The lists, most important first: a desktop's own before the common one, the
    // configuration before the data folders.
    std::vector<Groups> lists;
    const auto addLists = [&](const QString& folder, const QStringList& names) {
        for (const QString& d : folders.desktops)
            lists.push_back(ReadGroups(folder + '/' + d + QStringLiteral("-mimeapps.list")));
        for (const QString& name : names)
            lists.push_back(ReadGroups(folder + '/' + name));
    };
    for (const QString& c : folders.config)
        addLists(c, {QStringLiteral("mimeapps.list")});
    for (const QString& d : folders.data)
        addLists(d + QStringLiteral("/applications"),
                 {QStringLiteral("mimeapps.list"), QStringLiteral("defaults.list")});
    const std::map<QString, QStringList> installed = InstalledEntries(folders.data);

    out.program = [&]() -> QString {
        for (const QString& type :
             QStringList{mime.name()} + mime.aliases() + mime.allAncestors()) {
            // A removal holds for the lists after the one that says it.
            QSet<QString> removed;
            QStringList added;
            for (Groups& list : lists) {
                for (const QString& id : List(list[QStringLiteral("Default Applications")][type]))
                    if (installed.count(id) && !removed.contains(id))
                        return id;
                for (const QString& id : List(list[QStringLiteral("Added Associations")][type]))
                    if (!removed.contains(id))
                        added << id;
                for (const QString& id : List(list[QStringLiteral("Removed Associations")][type]))
                    removed.insert(id);
            }
            for (const QString& id : added)
                if (installed.count(id))
                    return id;
            for (const auto& [id, types] : installed)
                if (types.contains(type) && !removed.contains(id))
                    return id;
        }
        return {};
    }();
    return out;
}
