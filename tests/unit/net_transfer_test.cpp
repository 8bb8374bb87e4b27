// Fetches from a loopback server inside the test, with a real window: a
// local copy is made once and anew after RemoveMapEntry, the status line
// reports the fetch, the server's type wins over the suffix, and a called
// program hands the window back to its caller.
#include <gtest/gtest.h>
#include <X11/StringDefs.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "app/context.h"
#include "app/driver.h"
#include "app/shutdown.h"
#include "core/alloc.h"
#include "core/strings.h"
#include "net/url.h"
#include "present/display.h"
#include "present/learnunit.h"
#include "present/shell.h"

namespace {

struct Document {
    std::string type;
    std::string body;
};

// Answers each connection with one document (or 404) and closes it.
class LoopbackServer {
public:
    explicit LoopbackServer(std::map<std::string, Document> documents) : documents_(std::move(documents)) {
        listener_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        bind(listener_, reinterpret_cast<sockaddr*>(&address), size);
        listen(listener_, 8);
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~LoopbackServer() {
        stop_ = true;
        thread_.join();
        close(listener_);
    }

    std::string url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }
    int requests(const std::string& path) {
        std::lock_guard<std::mutex> lock(mutex_);
        return counts_[path];
    }

private:
    void serve() {
        while (!stop_) {
            pollfd ready{listener_, POLLIN, 0};
            if (poll(&ready, 1, 50) <= 0) continue;
            int connection = accept(listener_, nullptr, nullptr);
            if (connection >= 0) answer(connection);
        }
    }

    void answer(int connection) {
        std::string request;
        char buffer[1024];
        while (request.find("\r\n\r\n") == std::string::npos) {
            ssize_t got = read(connection, buffer, sizeof buffer);
            if (got <= 0) break;
            request.append(buffer, static_cast<std::size_t>(got));
        }
        std::size_t start = request.find(' ') + 1;
        std::string path = request.substr(start, request.find(' ', start) - start);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ++counts_[path];
        }
        auto found = documents_.find(path);
        std::string reply = found == documents_.end()
                                ? "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n"
                                : "HTTP/1.1 200 OK\r\nContent-Type: " + found->second.type +
                                      "\r\nContent-Length: " + std::to_string(found->second.body.size()) +
                                      "\r\nConnection: close\r\n\r\n" + found->second.body;
        [[maybe_unused]] ssize_t sent = write(connection, reply.data(), reply.size());
        close(connection);
    }

    std::map<std::string, Document> documents_;
    std::map<std::string, int> counts_;
    std::mutex mutex_;
    std::atomic<bool> stop_{false};
    int listener_ = -1;
    int port_ = 0;
    std::thread thread_;
};

std::string take(char* text) {
    std::string copy = text ? text : "(null)";
    TamFree(text);
    return copy;
}

bool exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

class TransferTest : public testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display";
        std::string arg0 = "talvix";
        char* argv[] = {arg0.data(), nullptr};
        int argc = 1;
        openMainWin(&ctx, &argc, argv);
        ASSERT_NE(ctx.appContext, nullptr);
        ctx.cleanupPending = 1;
    }
    void TearDown() override {
        if (ctx.cleanupPending) KivCleanup(&ctx);
    }

    std::string status() {
        String text = nullptr;
        XtVaGetValues(ctx.shell->status, XtNlabel, &text, nullptr);
        return text ? text : "";
    }

    UnitContext ctx;
    LoopbackServer server{{
        {"/prog.kiv", {"application/x-talvix", "int main() { exit(); }\n"}},
        {"/page.kiv", {"text/html; charset=utf-8", "<p>not a program</p>\n"}},
    }};
};

TEST_F(TransferTest, LocalCopyIsMadeOnceAndAgainAfterRemoval) {
    std::string url = server.url("/prog.kiv");
    std::string first = take(startResolveURL(&ctx, url.c_str(), 1));
    EXPECT_EQ(status(), "Status : Loaded " + url + " succesfully");
    EXPECT_TRUE(exists(first));
    EXPECT_EQ(take(startResolveURL(&ctx, url.c_str(), 1)), first);
    EXPECT_EQ(server.requests("/prog.kiv"), 1);
    EXPECT_EQ(RemoveMapEntry(&ctx, url.c_str()), 1);
    EXPECT_FALSE(exists(first));
    std::string second = take(startResolveURL(&ctx, url.c_str(), 1));
    EXPECT_NE(second, first);
    EXPECT_EQ(server.requests("/prog.kiv"), 2);
    KivCleanup(&ctx);
    EXPECT_FALSE(exists(second));
}

TEST_F(TransferTest, FailedFetchLeavesNothing) {
    std::string url = server.url("/missing.kiv");
    testing::internal::CaptureStderr();
    EXPECT_EQ(startResolveURL(&ctx, url.c_str(), 1), nullptr);
    EXPECT_STREQ(ContentType(&ctx, url.c_str()), "");
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(status(), "Status : Error occured on loading " + url);
    EXPECT_NE(err.find("Warning: Could not load " + url + ": "), std::string::npos) << err;
    EXPECT_EQ(server.requests("/missing.kiv"), 2);
}

TEST_F(TransferTest, ServerTypeWinsOverSuffix) {
    EXPECT_STREQ(ContentType(&ctx, server.url("/page.kiv").c_str()), "text/html");
    EXPECT_STREQ(ContentType(&ctx, server.url("/prog.kiv").c_str()), "application/x-talvix");
}

TEST_F(TransferTest, CalledProgramHandsBackToItsCaller) {
    LearnUnit* caller = newLearnUnit(&ctx, 640, 400, 0);
    caller->url = safestrdup("file://localhost/tmp/caller.kiv");
    ctx.runState = 0;
    goto_url(&ctx, server.url("/prog.kiv").c_str());
    EXPECT_EQ(ctx.learnUnit, caller);
    EXPECT_EQ(ctx.runState, 0u);
    EXPECT_STREQ(baseAnchor(&ctx), "file://localhost/tmp/caller.kiv");
    EXPECT_STREQ(ctx.scanFileName, "file://localhost/tmp/caller.kiv");
    EXPECT_EQ(status(), "Status : Continuing simulation");
}

}  // namespace
