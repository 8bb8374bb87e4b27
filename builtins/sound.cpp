// Sound and music builtins: requests to the sound server (sound,
// contSound, stopSound) and to the music server (play, contPlay,
// stopPlay). Messages of the first three name sound, of the others play.
// Until the servers are linked in they check their arguments and return 0.
#include "builtins/handlers.h"
#include "builtins/support.h"

std::int32_t SndSingle(UnitContext* ctx, param* args) {
    takeArguments(ctx, args, "sound", "t");
    return 0;
}

std::int32_t SndCont(UnitContext* ctx, param* args) {
    takeArguments(ctx, args, "sound", "t");
    return 0;
}

std::int32_t SndStop(UnitContext* ctx, param* args) {
    takeArguments(ctx, args, "sound", "");
    return 0;
}

std::int32_t PlSingle(UnitContext* ctx, param* args) {
    takeArguments(ctx, args, "play", "t");
    return 0;
}

std::int32_t PlCont(UnitContext* ctx, param* args) {
    takeArguments(ctx, args, "play", "t");
    return 0;
}

std::int32_t PlStop(UnitContext* ctx, param* args) {
    takeArguments(ctx, args, "play", "");
    return 0;
}
