#pragma once
// Where a handler shows a message: a Result's value, or its error's text thrown as a Failure.
#include <type_traits>
#include <utility>

#include "base/Failure.h"
#include "base/Result.h"

template <class T> T ValueOrFailure(Result<T> r) {
    if (!r)
        throw Failure(r.error().text);
    if constexpr (!std::is_void_v<T>)
        return std::move(*r);
}
