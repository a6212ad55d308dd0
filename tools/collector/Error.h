#pragma once
// The collector's error idiom: its network, spool and database code returns std::expected, a
// value or an Error that says in one line what failed, in words an operator can act on. Nothing
// of it throws.
#include <expected>
#include <utility>

#include <QString>

namespace collector {

struct Error {
    QString text;
    QString sqlState; // the database's five-character code, when the database refused
};

template <class T = void> using Result = std::expected<T, Error>;

inline std::unexpected<Error> Fail(QString text, QString sqlState = {}) {
    return std::unexpected(Error{std::move(text), std::move(sqlState)});
}

// An error with what was being done in front of it: "spool: disk full".
inline std::unexpected<Error> Fail(const QString& doing, const Error& e) {
    return std::unexpected(Error{doing + ": " + e.text, e.sqlState});
}

} // namespace collector
