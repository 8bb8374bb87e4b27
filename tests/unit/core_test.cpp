// Lists, messages and the string and file helpers.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "app/context.h"
#include "core/lists.h"
#include "core/messages.h"
#include "core/strings.h"

namespace {

struct Item : ListNode, ListNode2 {
    int value = 0;
};

TEST(Lists, NullNodes) {
    EXPECT_EQ(first(nullptr), nullptr);
    EXPECT_EQ(last(nullptr), nullptr);
    EXPECT_EQ(count_object(nullptr), 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(init_list(nullptr), 1);
    EXPECT_EQ(place_prev(nullptr, nullptr), 1);
    EXPECT_EQ(place_next2(nullptr, nullptr), 1);
    EXPECT_EQ(remove_at2(nullptr), 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Internal error: init_list called for NULL object.\n"
              "Internal error: place_prev called for NULL object.\n"
              "Internal error: place_next2 called for NULL object.\n"
              "Internal error: remove_at2 called for NULL object.\n");
}

TEST(Lists, InsertRemoveAndMarks) {
    Item a, b, c;
    init_list(&a);
    place_next(&a, &c);
    place_prev(&c, &b);
    EXPECT_EQ(count_object(&c), 3);
    EXPECT_EQ(first(&c), &a);
    EXPECT_EQ(last(&a), &c);
    EXPECT_EQ(nextOf(&a), &b);
    EXPECT_EQ(b.listid, 'Z');
    remove_at(&b);
    EXPECT_EQ(b.listid, 0);
    EXPECT_EQ(b.prev, nullptr);
    EXPECT_EQ(b.next, nullptr);
    EXPECT_EQ(nextOf(&a), &c);
    EXPECT_EQ(count_object(&a), 2);
}

TEST(Lists, PlacePrevBeforeFirstLeavesOwnerToMove) {
    Item a, b;
    Item* head = &a;
    init_list(head);
    place_prev(head, &b);
    EXPECT_EQ(head, &a);
    EXPECT_EQ(first(head), &b);
}

TEST(Lists, SecondaryLinksAreIndependent) {
    Item a, b, c;
    init_list(&a);
    place_next(&a, &b);
    init_list2(&c);
    place_next2(&c, &a);
    EXPECT_EQ(count_object2(&a), 2);
    EXPECT_EQ(count_object(&a), 2);
    remove_at2(&a);
    EXPECT_EQ(a.listid2, 0);
    EXPECT_EQ(a.listid, 'Z');
    EXPECT_EQ(first2(&c), &c);
}

TEST(Lists, TypedHelpers) {
    Item a, b, c;
    Item *head = nullptr, *tail = nullptr;
    appendTo(head, tail, &a);
    appendTo(head, tail, &b);
    pushFront(head, &c);
    EXPECT_EQ(head, &c);
    EXPECT_EQ(tail, &b);
    unlinkFrom(head, &c);
    EXPECT_EQ(head, &a);
    EXPECT_EQ(count_object(head), 2);
}

TEST(Messages, LevelsAndRunState) {
    UnitContext ctx;
    testing::internal::CaptureStderr();
    errorMsg(&ctx, MSG_WARNING, "Warning: w");
    EXPECT_EQ(ctx.runState, 0u);
    errorMsg(&ctx, MSG_ERROR, "Error: e\n");
    EXPECT_EQ(ctx.runState, static_cast<unsigned>(RS_STOP));
    ctx.runState = 0;
    paramError(&ctx, 7, "bad");
    paramErrorDS(&ctx, kNoLine, "arg %d (float) missing in function %s", 1, "sqrt");
    EXPECT_EQ(ctx.runState, static_cast<unsigned>(RS_STOP));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Warning: w\nError: e\n\nLine 7: bad\narg 1 (float) missing in function sqrt\n");
}

TEST(Messages, LongTextsAreCut) {
    std::string text = formatMsg("%s", std::string(1000, 'x').c_str());
    EXPECT_EQ(text.size(), kMaxMsg);
}

TEST(Strings, Stricmp) {
    EXPECT_EQ(stricmp("abc", "ABC"), 0);
    EXPECT_EQ(stricmp("ab", "abc"), -1);
    EXPECT_EQ(stricmp("abd", "ABC"), 1);
    EXPECT_EQ(stricmp("", ""), 0);
    EXPECT_EQ(stricmp("", "a"), -1);
}

TEST(Strings, SafeStrdup) {
    EXPECT_EQ(safestrdup(nullptr), nullptr);
    char* copy = safestrdup("talvix");
    EXPECT_STREQ(copy, "talvix");
    std::free(copy);
}

TEST(Files, CopyFile) {
    std::string src = testing::TempDir() + "copy_src";
    std::string dst = testing::TempDir() + "copy_dst";
    std::string data(5000, 'q');
    data[1234] = '\0';
    std::ofstream(src, std::ios::binary) << data;
    EXPECT_EQ(copy_file(dst.c_str(), src.c_str()), 0);
    std::ifstream in(dst, std::ios::binary);
    std::string copied((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(copied, data);
    EXPECT_EQ(copy_file(dst.c_str(), (src + "missing").c_str()), 1);
    EXPECT_EQ(copy_file("/nonexistent/dir/file", src.c_str()), 1);
    std::remove(src.c_str());
    std::remove(dst.c_str());
}

}  // namespace
