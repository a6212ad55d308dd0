#include "ShownText.h"

namespace sheets {

namespace {

constexpr qsizetype ShownChars = 200;

} // namespace

QString Shown(QStringView text) {
    if (text.size() <= ShownChars)
        return text.toString();
    return QStringLiteral("%1... (%2 characters)").arg(text.left(ShownChars)).arg(text.size());
}

} // namespace sheets
