// Requests as the servers receive them on their pipes: a header text
// closed by NUL ("<bytes> <type> <mode>" for sounds, "<bytes> <mode>" for
// music) followed by exactly that many bytes of the resource.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

struct UnitContext;

// Largest resource a server keeps; the bytes of a larger one are read and
// dropped so the pipe stays in step with the player.
inline constexpr std::size_t kMaxResource = 64u << 20;

struct PipeRequest {
    std::string type;  // sound requests only
    char mode = 'S';
    std::vector<unsigned char> bytes;
    bool tooLarge = false;
};

// Parses a header; false when it is not a well-formed request header.
bool parseHeader(const std::string& header, bool withType, long& count, PipeRequest& request);

// Readies a server child: closes every pipe end it inherited except its
// own read end, and makes running out of memory end the server with the
// player's message instead of an abort.
void prepareServer(UnitContext* ctx, int ownRead);

// Waits until the pipe is readable or has reached its end. Returns false
// at end of file or on a read error: the player has gone.
bool waitForRequest(int fd);

enum class ReadResult { Ok, Garbage, Closed };

// Reads one header and its resource.
ReadResult readRequest(int fd, bool withType, PipeRequest& request);
