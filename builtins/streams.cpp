// Stream builtins: open, close, read, write, getc, putc, and getchar,
// which reads the key of the event being handled. Streams are the program
// streams of net/streams.h; descriptor 0 of getc is the current key event.
#include <algorithm>
#include <cstring>
#include <string>

#include "app/context.h"
#include "builtins/handlers.h"
#include "builtins/support.h"
#include "core/alloc.h"
#include "core/messages.h"
#include "interp/builtin_frame.h"
#include "net/streams.h"
#include "present/objects.h"

namespace {

// Reads are done in pieces of this size, so that a large count costs only
// what actually arrives.
constexpr int kReadChunk = 65536;

void reportBadDescriptor(UnitContext* ctx, std::int32_t fd) {
    errorMsg(ctx, MSG_ERROR,
             formatMsg("Error: Can't open file with negative file descriptor(%d).", static_cast<int>(fd)).c_str());
}

// The character of the key event a translation is handling, as a signed
// byte; false outside a key translation.
bool currentKey(UnitContext* ctx, std::int32_t& key) {
    LearnUnit* unit = ctx->learnUnit;
    const event* current = unit ? unit->currentEvent : nullptr;
    if (!current || (current->kind != EV_KEY_PRESS && current->kind != EV_KEY_RELEASE)) return false;
    key = static_cast<signed char>(current->detail);
    return true;
}

// Replaces the text variable's value by edit applied to it.
template <class Edit>
void editTextVariable(UnitContext* ctx, param* node, Edit edit) {
    OwnedText old(t_par_value(ctx, node));
    std::string text = old ? old.get() : "";
    edit(text);
    t_set_par_value(ctx, node, newText(ctx, text.data(), text.size()));
}

std::string readUpTo(std::int32_t fd, std::int32_t n) {
    std::string data;
    while (static_cast<std::int32_t>(data.size()) < n) {
        int want = std::min<std::int32_t>(kReadChunk, n - static_cast<std::int32_t>(data.size()));
        // The text is copied into the program's memory afterwards, so
        // twice its size must fit under the memory limit.
        if (!mayHoldMore(2 * (data.size() + static_cast<std::size_t>(want)))) break;
        std::size_t before = data.size();
        data.resize(before + static_cast<std::size_t>(want));
        int got = Sread(fd, data.data() + before, want);
        data.resize(before + static_cast<std::size_t>(std::max(got, 0)));
        if (got < want) break;
    }
    return data;
}

}  // namespace

std::int32_t url_open(UnitContext* ctx, param* args) {
    param* cursor = args;
    OwnedText url(getTextPar(ctx, cursor, 1, "open"));
    OwnedText mode(getTextPar(ctx, cursor, 2, "open"));
    if (!url || !mode) return -1;
    return OpenURL(ctx, url.get(), mode.get());
}

// Streams stay open until the player exits.
std::int32_t url_close(UnitContext*, param*) { return 1; }

std::int32_t ReadFD(UnitContext* ctx, param* args) {
    param* cursor = args;
    std::int32_t fd = getIntPar(ctx, cursor, 1, "read");
    param* buffer = cursor;
    if (cursor) cursor = nextOf(cursor);
    std::int32_t n = getIntPar(ctx, cursor, 2, "read");
    checkPars(ctx, cursor, 2, "read");
    if (fd <= 0) {
        reportBadDescriptor(ctx, fd);
        return -1;
    }
    std::string data = readUpTo(fd, n);
    if (data.empty() || !buffer) return -1;
    t_set_par_value(ctx, buffer, newText(ctx, data.data(), data.size()));
    return static_cast<std::int32_t>(data.size());
}

// Writes at most the text's own bytes: bytes beyond its end are not the
// program's data.
std::int32_t WriteFD(UnitContext* ctx, param* args) {
    param* cursor = args;
    std::int32_t fd = getIntPar(ctx, cursor, 1, "write");
    OwnedText data(getTextPar(ctx, cursor, 2, "write"));
    std::int32_t n = getIntPar(ctx, cursor, 3, "write");
    checkPars(ctx, cursor, 3, "write");
    if (fd <= 0) {
        reportBadDescriptor(ctx, fd);
        return -1;
    }
    if (!data || n < 1) return -1;
    auto length = static_cast<std::int32_t>(strnlen(data.get(), static_cast<std::size_t>(n)));
    int written = Swrite(fd, data.get(), length);
    return written < 1 ? -1 : written;
}

std::int32_t Putc(UnitContext* ctx, param* args) {
    param* cursor = args;
    std::int32_t fd = getIntPar(ctx, cursor, 1, "putc");
    std::int32_t code = getIntPar(ctx, cursor, 2, "putc");
    checkPars(ctx, cursor, 2, "putc");
    if (fd < 0) reportBadDescriptor(ctx, fd);
    if (fd <= 0) return -1;
    char byte = static_cast<char>(code & 0xff);
    return Swrite(fd, &byte, 1) == 1 ? 1 : -1;
}

std::int32_t Getc(UnitContext* ctx, param* args) {
    param* cursor = args;
    std::int32_t fd = getIntPar(ctx, cursor, 1, "getc");
    param* line = cursor;
    if (cursor) cursor = nextOf(cursor);
    checkPars(ctx, cursor, 2, "getc");
    if (fd < 0) {
        reportBadDescriptor(ctx, fd);
        return -1;
    }
    std::int32_t character = -1;
    if (fd == 0) {
        if (!currentKey(ctx, character)) return -1;
    } else {
        char byte;
        if (Sread(fd, &byte, 1) != 1) return -1;
        character = static_cast<signed char>(byte);
    }
    if (line) editTextVariable(ctx, line, [&](std::string& text) { text.push_back(static_cast<char>(character)); });
    return character;
}

// Backspace edits the line instead of being appended to it.
std::int32_t get_char(UnitContext* ctx, param* args) {
    param* line = args;
    checkPars(ctx, line ? nextOf(line) : nullptr, 1, "getchar");
    std::int32_t key = 0;
    if (!currentKey(ctx, key)) return 0;
    if (line) {
        editTextVariable(ctx, line, [&](std::string& text) {
            if (key != 8) text.push_back(static_cast<char>(key));
            else if (!text.empty()) text.pop_back();
        });
    }
    return key;
}
