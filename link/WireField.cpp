#include "link/WireField.h"

#include "base/Failure.h"

void RefuseField(const WireField& field, double value) {
    const auto number = [](double v) { return QString::number(v, 'g', 10); };
    throw Failure(
        QString("%1 %2 is out of range %3 to %4")
            .arg(QLatin1String(field.name), number(value), number(field.low), number(field.high)));
}
