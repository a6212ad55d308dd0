#pragma once
// Decimal numbers typed or saved with the operator's separator, read without the C library's
// locale: optional sign, digits with at most one decimal separator (at least one digit),
// optional exponent; nothing else, no blanks.
#include <initializer_list>
#include <optional>
#include <string_view>

// The finite value of `text`, whose decimal separator may be any of `separators` (empty ones
// are passed over); nothing when the text is not such a number.
std::optional<double> ReadDecimal(std::string_view text,
                                  std::initializer_list<std::string_view> separators);
