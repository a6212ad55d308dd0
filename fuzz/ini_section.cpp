// The configuration file: any bytes as its content. Reading never fails; integer keys written
// over it and saved read back with the same values, and the other keys keep theirs.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "serial/IniFile.h"

namespace {
const char* const Keys[] = {"PORT", "BAUDRATE", "LENGTH", "PARITY", "FLAGS", "STOP"};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir dir;
    const QString path = dir.path() + "/Impix2.cfg";
    // The first bytes choose which keys are written and their values; the rest is the file.
    const size_t head = size < 24 ? size : 24;
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        f.write(reinterpret_cast<const char*>(data + head), qint64(size - head));
    }
    IniFile before(path);
    int old[6];
    for (int k = 0; k < 6; ++k)
        old[k] = before.ReadInteger("COM", Keys[k], -7);

    int value[6];
    bool written[6] = {};
    IniFile ini(path);
    for (size_t k = 0; k < 6 && 4 * k + 3 < head; ++k) {
        const uint8_t* p = data + 4 * k;
        written[k] = p[0] & 1;
        value[k] =
            int(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
        if (written[k])
            ini.WriteInteger("com", Keys[k], value[k]);
    }
    ini.Save();
    IniFile after(path);
    for (int k = 0; k < 6; ++k) {
        const int got = after.ReadInteger("Com", Keys[k], -7);
        if (got != (written[k] ? value[k] : old[k]))
            std::abort();
    }
    return 0;
}
