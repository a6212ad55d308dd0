#pragma once
// Reads an archive file as a user would, with SQL on a connection of the test's own.
#include <QFile>
#include <QStringList>
#include <gtest/gtest.h>

#include "sqlite/Sqlite.h"

// The rows of a query as "a|b|c" texts, NULL as "NULL"; a failure fails the test.
inline QStringList Query(const QString& path, const char* sql) {
    SqliteDb db;
    QStringList rows;
    const Result<void> read =
        db.TryOpen(path, false)
            .and_then([&] { return db.TryPrepare(sql); })
            .and_then([&](SqliteStatement s) {
                return s.TryEachRow([&] {
                    QStringList cells;
                    for (int c = 0; c < s.ColumnCount(); ++c)
                        cells << (s.IsNull(c) ? QStringLiteral("NULL") : s.Text(c));
                    rows << cells.join('|');
                });
            });
    if (!read)
        ADD_FAILURE() << sql << ": " << read.error().text.toStdString();
    return rows;
}

// Spoils the page of the arrival table where the next arrival would go, as a disk that lost a
// write would; the WAL is copied into the file first. False when that cannot be done.
inline bool SpoilNewestArrivalPage(const QString& path) {
    Query(path, "PRAGMA wal_checkpoint(TRUNCATE)");
    const int64_t pageSize = Query(path, "PRAGMA page_size").value(0).toLongLong();
    const int64_t page = Query(path, "SELECT pageno FROM dbstat WHERE name = 'arrival' AND "
                                     "pagetype = 'leaf' ORDER BY path DESC LIMIT 1")
                             .value(0)
                             .toLongLong();
    QFile f(path);
    return page > 1 && pageSize > 0 && f.open(QIODevice::ReadWrite) &&
           f.seek((page - 1) * pageSize) && f.write(QByteArray(pageSize, '\xA5')) == pageSize;
}
