#pragma once
// The error idiom of the floors below the handlers (transport, spreadsheet conversation, the
// spreadsheet service, sweeps, the collector): a call that can fail returns Result<T>, its value
// or an Error that says in one line what failed, in words an operator can act on. Only a handler
// that shows a message turns an Error into a Failure (base/Failure.h). tl::expected has the
// members of std::expected; it stands in for it because the clang that builds the fuzz targets
// has no <expected> and the project builds as C++20.
#include <optional>
#include <tl/expected.hpp>
#include <utility>

#include <QString>

struct Error {
    QString text;
    QString code;    // the other side's own code where it gives one (a database's SQLSTATE)
    int osError = 0; // errno, where a system call failed and the caller tells causes apart
    // The other side answered and refused, in its own words (possibly none): asked again, it
    // would refuse again. Unset when it failed before an answer (not reached, silent, gone).
    std::optional<QString> refusal = std::nullopt;
};

template <class T = void> using Result = tl::expected<T, Error>;

inline tl::unexpected<Error> Fail(QString text, QString code = {}) {
    return tl::unexpected(Error{std::move(text), std::move(code)});
}

// An error with what was being done in front of it: "spool: disk full".
inline tl::unexpected<Error> Fail(const QString& doing, const Error& e) {
    Error prefixed = e;
    prefixed.text = doing + ": " + e.text;
    return tl::unexpected(std::move(prefixed));
}
