// The serial line: any bytes, with silences between them, through the real receiver and
// dispatcher of the link module. A record reaches the buffer only from a complete answer 5 or
// 120 whose checksum holds and whose data carries every byte the decoder reads, and it is made
// of that answer's own bytes; nothing else ever crashes or adds a record.
#include <QCoreApplication>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "base/Failure.h"
#include "link/AnswerDecode.h"
#include "link/ModBus.h"
#include "tests/support/SilentView.h"

namespace {

std::vector<uint8_t> fed; // every byte given to the link so far
TMB* theLink = nullptr;

class CheckingView : public SilentView {
public:
    void AddRecord(const TMeasRecord& rec) override {
        const int len = theLink->Receiver().RxLength; // bytes before the checksum
        const uint8_t code = theLink->Receiver().RxCmd;
        if ((code != 5 && code != 120) || len - 3 < AnswerDataSize(code) ||
            fed.size() < size_t(len) + 1)
            std::abort();
        const uint8_t* f = fed.data() + fed.size() - (len + 1);
        uint8_t sum = 0;
        for (int i = 0; i < len; ++i)
            sum ^= f[i];
        if (f[0] != 0x5A || f[1] != code || f[2] != len || sum != f[len])
            std::abort();
        if (rec.Board != (f[3] & 0x0F) || rec.Channel != f[4] || rec.Range != (f[5] & 3))
            std::abort();
    }
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    CheckingView view;
    TMB mb(view);
    theLink = &mb;
    fed.clear();
    // The first byte places the silences: long enough to abandon a partial answer.
    const unsigned seed = data[0];
    for (size_t i = 1; i < size; ++i) {
        fed.push_back(data[i]);
        // In the program the event guard catches what a handler throws (a measurement whose
        // date cannot be) and shows it; the link goes on with the next byte.
        try {
            mb.RS232Receive(data[i]);
        } catch (const Failure&) {
        }
        if ((i * 131 + seed) % 97 == 0)
            for (int t = 0; t <= frame::IdleLimitTicks; ++t)
                mb.TimeoutTimerTimer();
    }
    theLink = nullptr;
    return 0;
}
