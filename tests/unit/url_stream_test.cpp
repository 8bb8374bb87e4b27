// Canonical URLs, file: URLs and the Kiv stream API on local files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/context.h"
#include "app/driver.h"
#include "present/learnunit.h"
#include "core/alloc.h"
#include "net/kivstream.h"
#include "net/url.h"

namespace {

std::string take(char* text) {
    std::string copy = text ? text : "(null)";
    TamFree(text);
    return copy;
}

std::string cwd() {
    char buffer[PATH_MAX];
    return getcwd(buffer, sizeof buffer) ? buffer : "";
}

TEST(Url, LocalNamesBecomeFileUrls) {
    UnitContext ctx;
    EXPECT_EQ(take(canonizedURL(&ctx, "demo.kiv")), "file://localhost" + cwd() + "/demo.kiv");
    EXPECT_EQ(take(canonizedURL(&ctx, "/tmp/a.kiv")), "file://localhost/tmp/a.kiv");
    EXPECT_EQ(take(canonizedURL(&ctx, "  /tmp/./x/../a.kiv\n")), "file://localhost/tmp/a.kiv");
    EXPECT_EQ(take(canonizedURL(&ctx, "/../../a.kiv")), "file://localhost/a.kiv");
    EXPECT_EQ(take(canonizedURL(&ctx, "/tmp/x/..")), "file://localhost/tmp/");
}

TEST(Url, UrlsKeepTheirSchemeAndHost) {
    UnitContext ctx;
    EXPECT_EQ(take(simplifyURL(&ctx, "http://host/a/../b.kiv")), "http://host/b.kiv");
    EXPECT_EQ(take(simplifyURL(&ctx, "http://host/a/./b.kiv?x=../y#f")), "http://host/a/b.kiv?x=../y#f");
    EXPECT_EQ(take(simplifyURL(&ctx, "http://host")), "http://host");
}

TEST(Url, LocalPathOfFileUrls) {
    EXPECT_EQ(take(localPathOfURL("file:///tmp/a.kiv")), "/tmp/a.kiv");
    EXPECT_EQ(take(localPathOfURL("file://localhost/tmp/a.kiv#part")), "/tmp/a.kiv");
    EXPECT_EQ(take(localPathOfURL("file:/tmp/a.kiv")), "/tmp/a.kiv");
    EXPECT_EQ(localPathOfURL("http://host/a.kiv"), nullptr);
}

class StreamTest : public testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/talvix-unit-XXXXXX";
        int fd = mkstemp(name);
        ASSERT_GE(fd, 0);
        path = name;
        content.clear();
        for (int i = 0; i < 5000; ++i) content += static_cast<char>('a' + i % 26);
        ASSERT_EQ(write(fd, content.data(), content.size()), static_cast<ssize_t>(content.size()));
        close(fd);
        ctx.parseOnly = 1;  // learn units without pictures
    }
    void TearDown() override {
        while (ctx.learnUnit) killLearnUnit(&ctx);
        TamFree(ctx.updateRects);
        unlink(path.c_str());
    }

    std::string readAll(const char* url) {
        KivStream* stream = KivOpen(&ctx, url);
        if (!stream) return "(not opened)";
        std::string text;
        for (int c; (c = KivGetc(stream)) != EOF;) text += static_cast<char>(c);
        KivClose(stream);
        return text;
    }

    UnitContext ctx;
    std::string path;
    std::string content;
};

TEST_F(StreamTest, OpensPathsAndFileUrls) {
    EXPECT_EQ(readAll(path.c_str()), content);
    EXPECT_EQ(readAll(("file://" + path).c_str()), content);
    EXPECT_EQ(readAll(("file://localhost" + path).c_str()), content);
    EXPECT_EQ(readAll((path + "-missing").c_str()), "(not opened)");
    EXPECT_EQ(readAll("/tmp"), "(not opened)");
}

TEST_F(StreamTest, UngetcAndRead) {
    KivStream* stream = KivOpen(&ctx, path.c_str());
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(KivGetc(stream), 'a');
    EXPECT_EQ(KivUngetc('z', stream), 'z');
    char buffer[3];
    EXPECT_EQ(KivRead(stream, buffer, 3), 3u);
    EXPECT_EQ(std::string(buffer, 3), "zbc");
    KivClose(stream);
}

TEST_F(StreamTest, SourceOfTheCurrentProgram) {
    EXPECT_EQ(take(get_source(&ctx)), "No Kiv file is loaded.\n");
    LearnUnit* unit = newLearnUnit(&ctx, 640, 400, 0);
    unit->url = canonizedURL(&ctx, path.c_str());
    EXPECT_EQ(take(get_source(&ctx)), content);
    unlink(path.c_str());
    EXPECT_EQ(get_source(&ctx), nullptr);
}

}  // namespace
