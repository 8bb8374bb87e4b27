// Requests of the sound and music builtins as the servers receive them on
// their pipes, and a server that has gone away.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "builtin_args.h"
#include "builtins/handlers.h"

namespace {

class SoundRequests : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/talvix-sound-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        ASSERT_EQ(pipe(ends), 0);
        fcntl(ends[0], F_SETFL, O_NONBLOCK);
    }
    void TearDown() override {
        if (ends[0] >= 0) close(ends[0]);
        close(ends[1]);
        std::system(("rm -rf " + dir).c_str());
    }

    std::string file(const char* name, std::size_t size) {
        std::string path = dir + "/" + name;
        std::FILE* f = std::fopen(path.c_str(), "wb");
        for (std::size_t i = 0; i < size; ++i) std::fputc('a' + static_cast<int>(i % 26), f);
        std::fclose(f);
        return path;
    }

    // The request the handler wrote: header text (up to its NUL) and the
    // byte count that followed it.
    std::pair<std::string, std::size_t> request() {
        std::string bytes;
        char buffer[65536];
        ssize_t got;
        while ((got = read(ends[0], buffer, sizeof buffer)) > 0) bytes.append(buffer, static_cast<std::size_t>(got));
        std::size_t nul = bytes.find('\0');
        if (nul == std::string::npos) return {bytes, 0};
        return {bytes.substr(0, nul), bytes.size() - nul - 1};
    }

    std::int32_t call(std::int32_t (*handler)(UnitContext*, param*), const std::string& url) {
        Args a;
        a.ctx.soundPipe[1] = a.ctx.musicPipe[1] = ends[1];
        a.ctx.allowLocalAccess = 1;
        std::int32_t result = handler(&a.ctx, a.t(url.c_str()).head());
        runState = a.ctx.runState;
        return result;
    }

    std::string dir;
    int ends[2] = {-1, -1};
    std::uint32_t runState = 0;
};

TEST_F(SoundRequests, HeadersNameSizeTypeAndMode) {
    std::string wav = file("click.wav", 5000);
    EXPECT_EQ(call(SndSingle, wav), 1);
    EXPECT_EQ(request(), std::make_pair(std::string("5000 wav S"), std::size_t{5000}));
    EXPECT_EQ(call(SndCont, file("long.name.au", 40000)), 1);
    EXPECT_EQ(request(), std::make_pair(std::string("40000 au C"), std::size_t{40000}));
    EXPECT_EQ(call(PlCont, file("tune.mid", 3)), 1);
    EXPECT_EQ(request(), std::make_pair(std::string("3 C"), std::size_t{3}));
    EXPECT_EQ(call(PlSingle, file("empty", 0)), 1);
    EXPECT_EQ(request(), std::make_pair(std::string("0 S"), std::size_t{0}));
}

TEST_F(SoundRequests, ASoundWithoutTypeOrSourceSendsNothing) {
    EXPECT_EQ(call(SndSingle, file("noise", 10)), 0);
    EXPECT_EQ(runState, 0u);
    testing::internal::CaptureStderr();
    EXPECT_EQ(call(SndSingle, dir + "/missing.au"), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: Couldn't resolve URL " + dir + "/missing.au.\n");
    EXPECT_NE(runState & RS_STOP, 0u);
    EXPECT_EQ(request().first, "");
}

TEST_F(SoundRequests, AServerThatIsGoneCostsTheRequestNotThePlayer) {
    close(ends[0]);
    ends[0] = -1;
    EXPECT_EQ(call(SndSingle, file("click.au", 100000)), 0);
    EXPECT_EQ(call(PlSingle, file("tune.mid", 10)), 0);
    sigset_t pending;
    sigpending(&pending);
    EXPECT_EQ(sigismember(&pending, SIGPIPE), 0);
}

}  // namespace
