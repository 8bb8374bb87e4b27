// The origin rule: what a program may do with local files depends on where
// the running program came from and on the user's two permissions.
#include <gtest/gtest.h>

#include <string>

#include "app/context.h"
#include "net/sandbox.h"
#include "net/url.h"
#include "present/objects.h"

namespace {

const std::string kReadRefusal =
    "Warning: Kiv program is trying to read x. Access to the local filesystem is disabled in the client.\n";

struct Running {
    Running(const Running&) = delete;
    explicit Running(const char* url) {
        unit.url = const_cast<char*>(url);
        ctx.learnUnit = &unit;
    }
    ~Running() { NewAnchor(&ctx, nullptr, 2); }
    bool isLocal() const { return programIsLocal(&ctx); }
    UnitContext ctx;
    LearnUnit unit;
};

// Calls the check with standard error captured; returns what it printed.
template <class Check>
std::string printed(Check check, bool expected) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(check(), expected);
    return testing::internal::GetCapturedStderr();
}

TEST(Sandbox, OriginOfTheRunningProgram) {
    EXPECT_TRUE(urlIsLocal("file://localhost/tmp/a.kiv"));
    EXPECT_TRUE(urlIsLocal("prog.kiv"));
    EXPECT_TRUE(urlIsLocal("/tmp/dir:x/prog.kiv"));
    EXPECT_FALSE(urlIsLocal("http://host/a.kiv"));
    EXPECT_FALSE(urlIsLocal("ftp://host/a.kiv"));
    EXPECT_FALSE(urlIsLocal(nullptr));

    UnitContext idle;
    EXPECT_TRUE(programIsLocal(&idle));
    EXPECT_TRUE(Running("file://localhost/home/u/p.kiv").isLocal());
    EXPECT_TRUE(Running("prog.kiv").isLocal());
    EXPECT_FALSE(Running("http://127.0.0.1:8000/p.kiv").isLocal());
    // The base anchor says nothing about origin: a remote program that
    // moves it onto a local directory stays remote.
    Running remote("http://127.0.0.1:8000/p.kiv");
    NewAnchor(&remote.ctx, "/tmp/p.kiv", 0);
    EXPECT_FALSE(programIsLocal(&remote.ctx));
}

TEST(Sandbox, RemoteProgramsReadLocalFilesOnlyWhenAllowed) {
    Running local("file://localhost/home/u/p.kiv");
    EXPECT_EQ(printed([&] { return mayReadLocal(&local.ctx, "read x"); }, true), "");

    Running remote("http://127.0.0.1:8000/dir/p.kiv");
    EXPECT_EQ(printed([&] { return mayReadLocal(&remote.ctx, "read x"); }, false), kReadRefusal);
    remote.ctx.allowLocalAccess = 1;
    EXPECT_EQ(printed([&] { return mayReadLocal(&remote.ctx, "read x"); }, true), "");
    // A refusal is a warning: the program goes on.
    EXPECT_EQ(remote.ctx.runState, 0u);
}

TEST(Sandbox, UrlsCountByWhatTheyResolveTo) {
    Running remote("http://127.0.0.1:8000/dir/p.kiv");
    NewAnchor(&remote.ctx, remote.unit.url, 0);
    EXPECT_EQ(printed([&] { return mayReadURL(&remote.ctx, "data.txt", "read x"); }, true), "");
    EXPECT_EQ(printed([&] { return mayReadURL(&remote.ctx, "/etc/passwd", "read x"); }, true), "");
    EXPECT_EQ(printed([&] { return mayReadURL(&remote.ctx, "file:///etc/passwd", "read x"); }, false),
              kReadRefusal);
    EXPECT_EQ(printed([&] { return mayReadURL(&remote.ctx, "FILE:///etc/passwd", "read x"); }, false),
              kReadRefusal);
    // Once the base anchor is local, relative names are local too.
    NewAnchor(&remote.ctx, "/home/u/", 0);
    EXPECT_EQ(printed([&] { return mayReadURL(&remote.ctx, ".ssh/id_rsa", "read x"); }, false), kReadRefusal);
}

TEST(Sandbox, WritingKeepsTheUsersPermissionsWhateverTheOrigin) {
    const std::string refusal =
        "Warning: Kiv program is trying to open local file for writing. Access to the local filesystem is "
        "disabled in the client.\n";
    for (const char* url : {"file://localhost/home/u/p.kiv", "http://127.0.0.1:8000/p.kiv"}) {
        Running program(url);
        UnitContext& ctx = program.ctx;
        auto write = [&] { return mayWriteLocal(&ctx, "open local file for writing"); };
        auto both = [&] { return mayReadWriteLocal(&ctx, "open local file for writing"); };
        EXPECT_EQ(printed(write, false), refusal);
        ctx.allowLocalAccess = 1;
        EXPECT_EQ(printed(write, false), refusal);
        EXPECT_EQ(printed(both, false), refusal);
        ctx.allowLocalAccess = 0;
        ctx.allowLocalWrite = 1;
        EXPECT_EQ(printed(write, true), "");
        EXPECT_EQ(printed(both, false), refusal);
        ctx.allowLocalAccess = 1;
        EXPECT_EQ(printed(both, true), "");
    }
}

}  // namespace
