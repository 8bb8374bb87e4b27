// FM instrument loading. Each bank record carries a marker, a name and the
// operator register bytes; four-operator records ("4OP") need an OPL3.
#include "sound/fm_patches.h"

#include <unistd.h>

#include <linux/soundcard.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace {

constexpr int kMelodic = 128;
constexpr int kFirstDrum = 128;
constexpr int kLastDrum = 174;
constexpr std::size_t kRecordO3 = 60;
constexpr std::size_t kRegistersAt = 36;
constexpr int kFourOpRegisters = 22;
constexpr int kTwoOpRegisters = 11;

// The feedback/connection bytes also select the output side; spreading
// instruments over left, right and both widens the sound.
void spreadStereo(sbi_instrument& patch, int registers) {
    static const unsigned char kSides[] = {0x10, 0x20, 0x30};
    for (int at : {10, 21}) {
        if (at >= registers) break;
        patch.operators[at] = static_cast<unsigned char>((patch.operators[at] & ~0x30) | kSides[std::rand() % 3]);
    }
}

bool sendPatch(int fd, int device, int instrument, const unsigned char* record) {
    bool fourOp = std::memcmp(record, "4OP", 3) == 0;
    int registers = fourOp ? kFourOpRegisters : kTwoOpRegisters;
    sbi_instrument patch{};
    patch.key = fourOp ? OPL3_PATCH : FM_PATCH;
    patch.device = static_cast<short>(device);
    patch.channel = instrument;
    std::memcpy(patch.operators, record + kRegistersAt, static_cast<std::size_t>(registers));
    spreadStereo(patch, registers);
    if (write(fd, &patch, sizeof patch) == static_cast<ssize_t>(sizeof patch)) return true;
    std::perror("Write patch: /dev/sequencer");
    return false;
}

void loadBank(int fd, int device, const char* path, int first, int last) {
    std::FILE* bank = std::fopen(path, "rbe");
    if (!bank) return;
    unsigned char record[kRecordO3];
    for (int instrument = first; instrument <= last; ++instrument) {
        if (std::fread(record, 1, sizeof record, bank) != sizeof record) break;
        if (!sendPatch(fd, device, instrument, record)) break;
    }
    std::fclose(bank);
}

}  // namespace

void loadfm(int sequencerFd, int fmDevice) {
    std::srand(static_cast<unsigned>(getpid()));
    loadBank(sequencerFd, fmDevice, "/etc/std.o3", 0, kMelodic - 1);
    loadBank(sequencerFd, fmDevice, "/etc/drums.o3", kFirstDrum, kLastDrum);
}
