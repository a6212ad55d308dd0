#include "tools/collector/SpooledReport.h"

namespace collector {

namespace {
const char* const Names[] = {"closed", "idle timeout", "cut", "collector stopped", "interrupted"};
} // namespace

QString EndingName(Ending ending) {
    return QString::fromLatin1(Names[static_cast<int>(ending)]);
}

std::optional<Ending> EndingFromName(const QByteArray& name) {
    for (int i = 0; i < static_cast<int>(std::size(Names)); ++i)
        if (name == Names[i])
            return static_cast<Ending>(i);
    return std::nullopt;
}

} // namespace collector
