#pragma once
// A request field and the console values its code can carry. A value whose code does not fit
// the field is refused with a text naming the field and that range, so that nothing wrapped
// reaches the logger ("Number of retries" 300 would otherwise go out as 44).
#include <cmath>
#include <cstdint>

#include <QString>

struct WireField {
    const char* name;
    double low; // the console values of the lowest and the highest code
    double high;
    int64_t maxCode;
};

// Fails with "<name> <value> is out of range <low> to <high>".
[[noreturn]] void RefuseField(const WireField& field, double value);

// The code `encode` gives for value, when it lies in 0 to field.maxCode.
template <class Encode> int64_t FieldCode(const WireField& field, double value, Encode encode) {
    // Far beyond every field, and checked first: such a value has no integer code.
    if (!(std::fabs(value) < 1e12))
        RefuseField(field, value);
    const auto code = static_cast<int64_t>(encode(value));
    if (code < 0 || code > field.maxCode)
        RefuseField(field, value);
    return code;
}
