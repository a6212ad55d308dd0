#include "tools/collector/CollectorCommands.h"

#include <cstdio>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include "pg/PgConnection.h"
#include "tools/collector/CollectorService.h"
#include "tools/collector/DatabaseConnect.h"
#include "tools/collector/DatabaseSchema.h"
#include "tools/collector/ReportFiling.h"

namespace collector {

namespace {

void Print(const QString& line) {
    std::fputs((line + '\n').toUtf8().constData(), stdout);
    std::fflush(stdout);
}

int Failed(const QString& why) {
    std::fputs(("impix-collector: " + why + '\n').toUtf8().constData(), stderr);
    return 1;
}

// Connected, with the tables as this collector writes them.
Result<pg::PgConnection> Ready(const CollectorSettings& settings) {
    Result<pg::PgConnection> db = ConnectDatabase(settings.database);
    if (!db)
        return Fail(QStringLiteral("database"), db.error());
    if (Result<int> v = Migrate(*db); !v)
        return Fail(QStringLiteral("database"), v.error());
    return db;
}

// What keeps the collector from storing reports, or "" when nothing does.
QString DatabaseProblem(pg::PgConnection& db, QString& summary) {
    if (db.ServerVersionNumber() < 150000)
        return QString("PostgreSQL 15 or later is needed; the server is %1")
            .arg(db.ServerVersion());
    Result<int> version = DatabaseVersion(db);
    if (!version)
        return version.error().text;
    if (*version > SchemaVersion())
        return QString("the database's schema (version %1) is newer than this collector's (%2)")
            .arg(*version)
            .arg(SchemaVersion());
    if (*version < SchemaVersion()) {
        Result<pg::PgResult> may =
            db.Exec("SELECT has_schema_privilege(current_schema(), 'CREATE'), "
                    "current_user, current_schema()");
        if (!may)
            return may.error().text;
        if (may->Bytes(0, 0) != "t")
            return QString("user %1 may not make the tables in schema %2 (GRANT CREATE ON SCHEMA "
                           "%2, or make the user the database's owner)")
                .arg(may->Text(0, 1), may->Text(0, 2));
        summary = QString("PostgreSQL %1; the tables (schema version %2) are made at the first "
                          "start")
                      .arg(db.ServerVersion())
                      .arg(SchemaVersion());
        return {};
    }
    Result<pg::PgResult> rights =
        db.Exec("SELECT has_table_privilege('logger', 'SELECT, INSERT') "
                "AND has_table_privilege('report', 'SELECT, INSERT, UPDATE') "
                "AND has_table_privilege('measurement', 'SELECT, INSERT'), current_user, "
                "(SELECT count(*) FROM logger), (SELECT count(*) FROM report)");
    if (!rights)
        return rights.error().text;
    if (rights->Bytes(0, 0) != "t")
        return QString("user %1 may not read and write the tables logger, report and "
                       "measurement")
            .arg(rights->Text(0, 1));
    summary = QString("PostgreSQL %1, schema version %2, %3 loggers, %4 reports")
                  .arg(db.ServerVersion())
                  .arg(*version)
                  .arg(rights->Int(0, 2))
                  .arg(rights->Int(0, 3));
    return {};
}

QString StateProblem(const QString& dir) {
    QFileInfo info(dir);
    if (!info.exists()) {
        // The nearest folder that is there must let it be made.
        QString parent = info.absolutePath();
        while (!QFileInfo::exists(parent) && parent != "/")
            parent = QFileInfo(parent).absolutePath();
        if (::access(QFile::encodeName(parent).constData(), W_OK) != 0)
            return QString("state folder %1 is missing and cannot be made").arg(dir);
        return {};
    }
    if (!info.isDir())
        return QString("state folder %1 is not a folder").arg(dir);
    if (::access(QFile::encodeName(dir).constData(), W_OK | X_OK) != 0)
        return QString("state folder %1 is not writable by this user").arg(dir);
    return {};
}

} // namespace

int RunCheck(const CollectorSettings& s) {
    QStringList listen;
    for (const ListenAddress& a : s.listen)
        listen << ListenAddressText(a);
    const QString spool = SpoolPath(s);
    Print("configuration file  " + (s.configFile.isEmpty() ? "(none)" : s.configFile));
    Print("listen              " + listen.join(", "));
    Print("database            " + ShownConninfo(s.database));
    Print("state               " + s.stateDir +
          (QFileInfo::exists(spool) ? "" : " (no spool yet)"));
    Print(QString("idle-timeout        %1 s").arg(s.limits.idleTimeoutS));
    Print(QString("max-report          %1 bytes").arg(s.limits.maxReport));
    Print(QString("max-connections     %1").arg(s.limits.maxConnections));
    Print(QString("accept-unknown      %1").arg(s.acceptUnknown ? "yes" : "no"));

    QString problem = StateProblem(s.stateDir);
    QString summary;
    if (problem.isEmpty()) {
        Result<pg::PgConnection> db = ConnectDatabase(s.database);
        problem = db ? DatabaseProblem(*db, summary) : db.error().text;
        if (!problem.isEmpty())
            problem = "database: " + problem;
    }
    if (!problem.isEmpty()) {
        Print("wrong: " + problem);
        return 1;
    }
    Print("ok: " + summary);
    return 0;
}

int RunAddLogger(const CollectorSettings& settings, const QString& name, const QString& address) {
    Result<pg::PgConnection> db = Ready(settings);
    if (!db)
        return Failed(db.error().text);
    // A range is kept as its network (10.0.0.0/24 for 10.0.0.7/24); one host as itself.
    Result<pg::PgResult> added =
        db->Exec("INSERT INTO logger (name, address) VALUES ($1, network($2::inet)::inet) "
                 "RETURNING id, address::text",
                 {name.toUtf8(), address.toUtf8()});
    if (!added) {
        const QString state = added.error().code;
        if (state == pg::sqlstate::UniqueViolation)
            return Failed(
                QString("a logger named %1 or at %2 is registered already").arg(name, address));
        if (state == "22P02")
            return Failed(QString("'%1' is not an IP address or a CIDR range").arg(address));
        return Failed(added.error().text);
    }
    const QString stored = added->Text(0, 1);
    // Its own transaction is committed: every collector that starts a batch from now on files
    // the logger's reports itself; those before it were kept and are filed here.
    Result<pg::PgResult> kept =
        db->Exec("SELECT id FROM report WHERE logger IS NULL AND peer <<= $1::inet ORDER BY id",
                 {stored.toUtf8()});
    if (!kept)
        return Failed(kept.error().text);
    std::vector<int64_t> ids;
    for (int r = 0; r < kept->Rows(); ++r)
        ids.push_back(kept->Int(r, 0));
    Result<pg::PgConnection> reader = ConnectDatabase(settings.database);
    if (!reader)
        return Failed(reader.error().text);
    Result<FilingTotals> filed = FileReports(*db, *reader, ids);
    if (!filed)
        return Failed(filed.error().text);
    Print(QString("logger %1 (%2) registered as %3; %4 kept reports filed, %5 measurements added")
              .arg(name, stored)
              .arg(added->Int(0, 0))
              .arg(filed->filed)
              .arg(filed->added));
    return 0;
}

int RunReparse(const CollectorSettings& settings) {
    Result<pg::PgConnection> db = Ready(settings);
    if (!db)
        return Failed(db.error().text);
    Result<pg::PgResult> all = db->Exec("SELECT id FROM report ORDER BY id");
    if (!all)
        return Failed(all.error().text);
    std::vector<int64_t> ids;
    for (int r = 0; r < all->Rows(); ++r)
        ids.push_back(all->Int(r, 0));
    Result<pg::PgConnection> reader = ConnectDatabase(settings.database);
    if (!reader)
        return Failed(reader.error().text);
    Result<FilingTotals> t = FileReports(*db, *reader, ids);
    if (!t)
        return Failed(t.error().text);
    Print(QString("%1 reports parsed again: %2 filed, %3 items, %4 measurements added")
              .arg(t->reports)
              .arg(t->filed)
              .arg(t->items)
              .arg(t->added));
    return 0;
}

} // namespace collector
