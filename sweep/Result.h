#pragma once
// A value or the reason there is none, with the members of std::expected<T, QString> so that
// callers read the same once the build moves to C++23 (the clang of the fuzz build has no
// <expected> yet).
#include <optional>
#include <utility>

#include <QString>

template <typename T> class Result {
public:
    Result(T value) : value_(std::move(value)) {}
    static Result Fail(QString reason) {
        Result r;
        r.error_ = std::move(reason);
        return r;
    }

    bool has_value() const { return value_.has_value(); }
    explicit operator bool() const { return has_value(); }
    const T& value() const { return value_.value(); }
    const T& operator*() const { return *value_; }
    const T* operator->() const { return &*value_; }
    // Empty when there is a value.
    const QString& error() const { return error_; }

private:
    Result() = default;
    std::optional<T> value_;
    QString error_;
};
