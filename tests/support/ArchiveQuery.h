#pragma once
// Reads an archive file as a user would, with SQL on a connection of the test's own.
#include <QStringList>

#include "data/Sqlite.h"

// The rows of a query as "a|b|c" texts, NULL as "NULL".
inline QStringList Query(const QString& path, const char* sql) {
    SqliteDb db;
    db.Open(path, false);
    SqliteStatement s = db.Prepare(sql);
    QStringList rows;
    while (s.Step()) {
        QStringList cells;
        for (int c = 0; c < s.ColumnCount(); ++c)
            cells << (s.IsNull(c) ? QStringLiteral("NULL") : s.Text(c));
        rows << cells.join('|');
    }
    return rows;
}
