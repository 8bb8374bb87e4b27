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
#include "net/mime.h"
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

TEST(Url, RelativeNamesResolveAgainstTheBaseAnchor) {
    UnitContext ctx;
    NewAnchor(&ctx, "http://h:8000/dir/p.kiv", 0);
    EXPECT_EQ(take(simplifyURL(&ctx, "sub/x.kiv#frag")), "http://h:8000/dir/sub/x.kiv");
    EXPECT_EQ(take(simplifyURL(&ctx, "../../../x.kiv")), "http://h:8000/x.kiv");
    EXPECT_EQ(take(simplifyURL(&ctx, "/abs?q=1")), "http://h:8000/abs?q=1");
    EXPECT_EQ(take(simplifyURL(&ctx, "?q")), "http://h:8000/dir/p.kiv?q");
    EXPECT_EQ(take(simplifyURL(&ctx, "//other/x")), "http://other/x");
    EXPECT_EQ(take(simplifyURL(&ctx, "HTTP://User:pw@Other")), "http://User:pw@Other/");
    EXPECT_EQ(take(simplifyURL(&ctx, "file:///tmp/a.kiv")), "file://localhost/tmp/a.kiv");
    NewAnchor(&ctx, "/home/u/p.kiv", 0);
    EXPECT_EQ(std::string(baseAnchor(&ctx)), "file://localhost/home/u/p.kiv");
    EXPECT_EQ(take(simplifyURL(&ctx, "data/../x y.txt")), "file://localhost/home/u/x%20y.txt");
    EXPECT_EQ(take(localPathOfURL("file://localhost/home/u/x%20y.txt")), "/home/u/x y.txt");
    // curl rewrites this host three times over; the canonical form is the
    // last of them, so making it canonical again leaves it.
    EXPECT_EQ(take(simplifyURL(&ctx, "-http:/%3%31/")), "-http://0.0.0.1/");
    // Resolved, this one has a host curl cannot read back: a local name.
    char* cwd = getcwd(nullptr, 0);
    NewAnchor(&ctx, "", 0);
    EXPECT_EQ(take(simplifyURL(&ctx, "-http:/%6%30/")), "file://localhost" + std::string(cwd) + "/-http:/%6%30/");
    std::free(cwd);
    NewAnchor(&ctx, nullptr, 2);
    EXPECT_EQ(baseAnchor(&ctx), nullptr);
}

// Names curl cannot resolve against the base are taken as local paths;
// they lose their fragment too, so their canonical form stays canonical.
TEST(Url, CanonicalFormsAreStableWhenCurlRefusesTheBase) {
    UnitContext ctx;
    NewAnchor(&ctx, "file:prog.kiv", 0);
    char* first = simplifyURL(&ctx, "lix=1#\xff\xffto");
    char* cwd = getcwd(nullptr, 0);
    EXPECT_EQ(std::string(first), "file://localhost" + std::string(cwd) + "/lix=1");
    EXPECT_EQ(take(simplifyURL(&ctx, first)), first);
    std::free(cwd);
    TamFree(first);
}

TEST(Url, ColonsInLocalPathsMakeNoScheme) {
    UnitContext ctx;
    char* cwd = getcwd(nullptr, 0);
    EXPECT_EQ(take(simplifyURL(&ctx, "/tmp/a:b.kiv")), "file://localhost/tmp/a:b.kiv");
    EXPECT_EQ(take(simplifyURL(&ctx, "notes/1:2.kiv")), "file://localhost" + std::string(cwd) + "/notes/1:2.kiv");
    EXPECT_EQ(take(simplifyURL(&ctx, "svn+ssh://h/x")), "svn+ssh://h/x");
    EXPECT_EQ(take(simplifyURL(&ctx, "mailto:someone")), "mailto:someone");
    // A "scheme" longer than curl takes is the start of a path, whether or
    // not curl is asked (a tab keeps it from parsing the name).
    std::string longName(41, 'a');
    std::string local = "file://localhost" + std::string(cwd) + "/" + longName + ":x";
    EXPECT_EQ(take(simplifyURL(&ctx, (longName + ":x").c_str())), local);
    EXPECT_EQ(take(simplifyURL(&ctx, (longName + ":x\t?").c_str())), local);
    EXPECT_EQ(take(simplifyURL(&ctx, (std::string(40, 'a') + ":x").c_str())), std::string(40, 'a') + ":x");
    std::free(cwd);
}

TEST(Url, AbsoluteUrlsFromABaseOfTheirOwn) {
    EXPECT_EQ(take(AbsoluteURL("http://host:81/a/b/c.kiv", " ../d/./e.kiv#top ")), "http://host:81/a/d/e.kiv");
    EXPECT_EQ(take(AbsoluteURL("http://host/a/", "http://else/z")), "http://else/z");
    EXPECT_EQ(take(AbsoluteURL("/tmp/x/p.kiv", "q.kiv")), "file://localhost/tmp/x/q.kiv");
}

TEST(Url, ControlCharactersCutTheUrlShort) {
    UnitContext ctx;
    testing::internal::CaptureStderr();
    EXPECT_EQ(take(simplifyURL(&ctx, "http://h/a\r\nHost: evil")), "http://h/a");
    EXPECT_EQ(take(simplifyURL(&ctx, "http://h/a \x15 b")), "http://h/a");
    std::string removed = "Removed characters from URL to prevent security holes\n\n";
    EXPECT_EQ(testing::internal::GetCapturedStderr(), removed + removed);
}

TEST(Url, ContentTypesBySuffixAndHeader) {
    EXPECT_STREQ(formatOfName("http://h/a/prog.kiv?x=1#f"), "application/x-talvix");
    EXPECT_STREQ(formatOfName("/tmp/Picture.JPG"), "image/jpeg");
    EXPECT_STREQ(formatOfName("/tmp/anim.gif.gz"), "image/gif");
    EXPECT_STREQ(formatOfName("/tmp/index.htm"), "text/html");
    EXPECT_STREQ(formatOfName("/tmp/notes.txt"), "www/unknown");
    EXPECT_STREQ(formatOfName("/tmp.d/README"), "www/unknown");
    EXPECT_EQ(formatOfHeader("Text/HTML; charset=utf-8"), "text/html");
    EXPECT_EQ(formatOfHeader(nullptr), "");
}

TEST(Url, LocalPathOfFileUrls) {
    EXPECT_EQ(take(localPathOfURL("file:///tmp/a.kiv")), "/tmp/a.kiv");
    EXPECT_EQ(take(localPathOfURL("file://localhost/tmp/a.kiv#part")), "/tmp/a.kiv");
    EXPECT_EQ(take(localPathOfURL("file:/tmp/a.kiv")), "/tmp/a.kiv");
    EXPECT_EQ(localPathOfURL("http://host/a.kiv"), nullptr);
}

// Desktops pass local files as plain paths too; their escaped URLs must
// name the same file, with nothing cut as a control character.
TEST(Url, LocalPathsSurviveTheWayThroughFileUrls) {
    for (const char* path : {"/tmp/\xc3\x9c" "bung 1.kiv", "/tmp/50%25 off#2?.kiv", "/tmp/\x9f\x01.kiv"}) {
        std::string url = take(fileURLOfPath(path));
        UnitContext ctx;
        EXPECT_EQ(take(canonizedURL(&ctx, url.c_str())), url);
        EXPECT_EQ(take(localPathOfURL(url.c_str())), path);
        EXPECT_TRUE(pathNeedsEscapes(path)) << path;
    }
    EXPECT_EQ(take(fileURLOfPath("my file.kiv")), "file://localhost" + cwd() + "/my%20file.kiv");
    EXPECT_FALSE(pathNeedsEscapes("/tmp/my program (2).kiv"));
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

TEST_F(StreamTest, LocalFilesInTheUrlMap) {
    std::string url = "file://localhost" + path;
    EXPECT_STREQ(ContentType(&ctx, path.c_str()), "www/unknown");
    EXPECT_EQ(std::string(baseAnchor(&ctx)), url);
    EXPECT_EQ(take(lookupURL(&ctx, path.c_str())), url);
    EXPECT_EQ(RemoveMapEntry(&ctx, url.c_str()), 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(lookupURL(&ctx, path.c_str()), nullptr);
    EXPECT_EQ(RemoveMapEntry(&ctx, url.c_str()), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "No such temporary file : " + path + "\n");
    EXPECT_EQ(readAll(url.c_str()), content);
    WWWFree();
    EXPECT_EQ(readAll(url.c_str()), content);
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
