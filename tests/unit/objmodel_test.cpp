// Object declarations and their attributes, level lists, and the release
// of objects, attributes and learn units.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

#include "app/context.h"
#include "core/alloc.h"
#include "core/messages.h"
#include "present/learnunit.h"
#include "present/objmodel.h"

namespace {

struct Report {
    int level;
    std::string text;
};
std::vector<Report> reports;

void recordReport(UnitContext*, int level, const char* text) { reports.push_back({level, text}); }

// An expression node to hand over. Whether the interpreter's release
// routine frees it depends on what is linked, so leak checking ignores it.
op* constExpr(int value) {
#if defined(__SANITIZE_ADDRESS__)
    __lsan::ScopedDisabler unchecked;
#endif
    auto* node = TamNew<op>();
    node->flag = T_CONST | 1;
    node->left.i = value;
    return node;
}

AttrDesc scalar(int id, int value = 0) {
    AttrDesc desc;
    desc.id = static_cast<std::uint8_t>(id);
    desc.value.expr = constExpr(value);
    return desc;
}

AttrDesc pointList(int count) {
    AttrDesc desc;
    desc.id = S_POINTS;
    desc.npoints = count;
    for (int i = 0; i < count; ++i) appendTo(desc.value.points, TamNew<pointdecl>());
    return desc;
}

class ObjModel : public testing::Test {
protected:
    UnitContext ctx{};

    void SetUp() override {
        reports.clear();
        setDeclReporter(recordReport);
        ctx.parseOnly = 1;
        newLearnUnit(&ctx, 640, 400, 0);
    }
    void TearDown() override {
        while (ctx.learnUnit) killLearnUnit(&ctx);
        TamFree(ctx.updateRects);
        setDeclReporter(nullptr);
    }

    std::string captured(void (*action)(UnitContext*, GraphObj*, const AttrDesc&), GraphObj* graph,
                         const AttrDesc& desc) {
        testing::internal::CaptureStderr();
        action(&ctx, graph, desc);
        return testing::internal::GetCapturedStderr();
    }
};

TEST_F(ObjModel, KindsTakeOnlyTheirAttributesAndDropOthersSilently) {
    GraphObj* image = newGraphObj(&ctx, K_IMAGE, nullptr);
    GraphObj* line = newGraphObj(&ctx, K_LINE, nullptr);
    GraphObj* box = newGraphObj(&ctx, K_BOX, nullptr);
    GraphObj* arc = newGraphObj(&ctx, K_ARC, nullptr);
    testing::internal::CaptureStderr();
    newGraphAttr(&ctx, image, scalar(S_COLOR));
    newGraphAttr(&ctx, line, scalar(S_FILL));
    newGraphAttr(&ctx, line, scalar(S_IMAGE));
    newGraphAttr(&ctx, box, scalar(S_STARTANGLE));
    newGraphAttr(&ctx, box, scalar(S_FONT));
    AttrDesc trans;
    trans.id = S_TRANSLATION;
    trans.value.trans = TamNew<translation>();
    init_list(trans.value.trans);
    newGraphAttr(&ctx, box, trans);
    newGraphAttr(&ctx, arc, scalar(S_FILL));
    newGraphAttr(&ctx, arc, scalar(S_STARTANGLE));
    newGraphAttr(&ctx, image, scalar(S_TEXTURE));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(image->color, nullptr);
    EXPECT_EQ(line->fill, nullptr);
    EXPECT_EQ(line->image, nullptr);
    EXPECT_EQ(box->startangle, nullptr);
    EXPECT_EQ(box->font, nullptr);
    ASSERT_NE(arc->fill, nullptr);
    ASSERT_NE(arc->startangle, nullptr);
    ASSERT_NE(image->texture, nullptr);
    EXPECT_EQ(arc->fill->parent, arc);
    EXPECT_EQ(arc->fill->parentKind, PK_GRAPHIC);
    EXPECT_EQ(ctx.runState, 0u);
    for (GraphObj* graph : {image, line, box, arc}) killGraphObj(&ctx, graph);
}

TEST_F(ObjModel, NumberOutputsOutsideTextobjWarn) {
    GraphObj* box = newGraphObj(&ctx, K_BOX, nullptr);
    EXPECT_EQ(captured(newGraphAttr, box, scalar(S_DECIMALS)),
              "Warning: The DECIMALS-attribute is not valid for that object\n\n");
    EXPECT_EQ(captured(newGraphAttr, box, scalar(S_OUTINT)),
              "Warning: The OUTINT-attribute is not valid for that object\n\n");
    EXPECT_EQ(captured(newGraphAttr, box, scalar(S_OUTFLOAT)),
              "Warning: The OUTFLOAT-attribute is not valid for that object\n\n");
    EXPECT_EQ(captured(newGraphAttr, box, scalar(S_OUTTEXT)), "");
    EXPECT_EQ(box->decimals, nullptr);
    EXPECT_EQ(box->outint, nullptr);
    EXPECT_EQ(box->outtext, nullptr);
    EXPECT_EQ(ctx.runState, 0u);
    killGraphObj(&ctx, box);
}

TEST_F(ObjModel, TextOutputsExcludeEachOther) {
    GraphObj* text = newGraphObj(&ctx, K_TEXTOBJ, nullptr);
    AttrDesc outtext = scalar(S_OUTTEXT);
    op* kept = outtext.value.expr;
    newGraphAttr(&ctx, text, outtext);
    EXPECT_EQ(captured(newGraphAttr, text, scalar(S_OUTINT)),
              "Warning: Attempt to set OUTINT-attribute when OUTTEXT- or OUTFLOAT-attribute\n"
              "is already set. Ignoring\n\n");
    EXPECT_EQ(captured(newGraphAttr, text, scalar(S_OUTFLOAT)),
              "Warning: Attempt to set OUTFLOAT-attribute when OUTTEXT- or OUTINT-attribute\n"
              "is already set. Ignoring\n\n");
    EXPECT_EQ(text->outint, nullptr);
    EXPECT_EQ(text->outfloat, nullptr);
    EXPECT_EQ(text->outtext->expr.expr, kept);

    GraphObj* number = newGraphObj(&ctx, K_TEXTOBJ, nullptr);
    newGraphAttr(&ctx, number, scalar(S_OUTFLOAT));
    EXPECT_EQ(captured(newGraphAttr, number, scalar(S_OUTTEXT)),
              "Warning: Attempt to set OUTTEXT-attribute when OUTINT- or OUTFLOAT-attribute\n"
              "is already set. Ignoring\n\n");
    EXPECT_EQ(number->outtext, nullptr);
    EXPECT_EQ(ctx.runState, 0u);
    killGraphObj(&ctx, text);
    killGraphObj(&ctx, number);
}

TEST_F(ObjModel, SettingTwiceIsAnErrorAndTheLastWins) {
    GraphObj* box = newGraphObj(&ctx, K_BOX, nullptr);
    newGraphAttr(&ctx, box, scalar(S_LEVEL, 1));
    AttrDesc second = scalar(S_LEVEL, 2);
    EXPECT_EQ(captured(newGraphAttr, box, second),
              "Error: Attempt to set same attribute multiple times\n\n");
    EXPECT_EQ(box->level->expr.expr, second.value.expr);
    EXPECT_TRUE(ctx.runState & RS_STOP);

    newGraphAttr(&ctx, box, pointList(2));
    testing::internal::CaptureStderr();
    newGraphAttr(&ctx, box, pointList(3));
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(box->npoints, 3);
    EXPECT_EQ(count_object(box->points->expr.points), 3);
    killGraphObj(&ctx, box);
}

TEST_F(ObjModel, AttributesStartWithTheirDefaults) {
    GraphObj* arc = newGraphObj(&ctx, K_ARC, nullptr);
    GraphObj* text = newGraphObj(&ctx, K_TEXTOBJ, nullptr);
    GraphObj* image = newGraphObj(&ctx, K_IMAGE, nullptr);
    for (int id : {S_ENDANGLE, S_LINEWIDTH, S_SAVEBACKGROUND, S_ACTIVE, S_STARTANGLE, S_LEVEL})
        newGraphAttr(&ctx, arc, scalar(id, 99));
    newGraphAttr(&ctx, text, scalar(S_OUTTEXT));
    newGraphAttr(&ctx, text, scalar(S_FONT));
    newGraphAttr(&ctx, image, scalar(S_IMAGE));
    EXPECT_EQ(arc->endangle->value.i, 360);
    EXPECT_EQ(arc->endangle->shown.i, 360);
    EXPECT_EQ(arc->linewidth->value.i, 1);
    EXPECT_EQ(arc->savebackground->shown.i, 1);
    EXPECT_EQ(arc->active->value.i, 1);
    EXPECT_EQ(arc->startangle->value.i, 0);
    EXPECT_EQ(arc->level->value.i, 0);
    EXPECT_STREQ(text->outtext->value.t, "0");
    EXPECT_STREQ(text->font->value.t, "");
    EXPECT_STREQ(image->image->value.t, "");

    WinObj* win = newWinObj(&ctx);
    newWinAttr(&ctx, win, scalar(S_ACTIVE));
    newWinAttr(&ctx, win, scalar(S_SAVEBACKGROUND));
    newWinAttr(&ctx, win, scalar(S_LEVEL, 4));
    newWinAttr(&ctx, win, scalar(S_COLOR));
    EXPECT_EQ(win->active->value.i, 1);
    EXPECT_EQ(win->savebackground->shown.i, 1);
    EXPECT_EQ(win->level->value.i, 0);
    EXPECT_EQ(win->level->parentKind, PK_WINDOW);
    for (GraphObj* graph : {arc, text, image}) killGraphObj(&ctx, graph);
    killWinObj(&ctx, win);
}

TEST_F(ObjModel, InputAreasWarnAboutLookAttributesThroughTheParser) {
    InpObj* area = newInpObj(&ctx, K_INPUTAREA, nullptr);
    for (int id : {S_COLOR, S_SAVEBACKGROUND, S_FONT}) newInpAttr(&ctx, area, scalar(id));
    newInpAttr(&ctx, area, scalar(S_ACTIVE));
    ASSERT_EQ(reports.size(), 3u);
    for (const Report& report : reports) {
        EXPECT_EQ(report.level, MSG_WARNING);
        EXPECT_EQ(report.text, "Warning: Illegal attribute for inputobject");
    }
    EXPECT_EQ(area->active->value.i, 1);
    EXPECT_EQ(area->active->parentKind, PK_INPUT);
    killInpObj(&ctx, area);
}

TEST_F(ObjModel, CompletingCountsPointsAgainstTheKind) {
    GraphObj* line = newGraphObj(&ctx, K_LINE, nullptr);
    newGraphAttr(&ctx, line, pointList(3));
    newGraphAttr(&ctx, line, scalar(S_COLOR));
    checkGraphAttrs(&ctx, line);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].text, "Warning: Object contains redundant points. Ignoring");
    EXPECT_EQ(line->npoints, 3);

    reports.clear();
    GraphObj* point = newGraphObj(&ctx, K_POINT, nullptr);
    newGraphAttr(&ctx, point, scalar(S_COLOR));
    checkGraphAttrs(&ctx, point);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].text,
              "Warning: Essential attribute(s) missing - too few points.\nUsing default values");
    ASSERT_NE(point->points, nullptr);
    EXPECT_EQ(point->npoints, 0);

    reports.clear();
    GraphObj* single = newGraphObj(&ctx, K_POINT, nullptr);
    newGraphAttr(&ctx, single, pointList(1));
    newGraphAttr(&ctx, single, scalar(S_COLOR));
    checkGraphAttrs(&ctx, single);
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(single->level->value.i, 0);
    EXPECT_EQ(single->level->shown.level, ctx.learnUnit->levels);
    EXPECT_EQ(single->active->value.i, 1);
    for (GraphObj* graph : {line, point, single}) killGraphObj(&ctx, graph);
}

TEST_F(ObjModel, CompletingSuppliesColourImageAndText) {
    GraphObj* text = newGraphObj(&ctx, K_TEXTOBJ, nullptr);
    newGraphAttr(&ctx, text, pointList(1));
    newGraphAttr(&ctx, text, scalar(S_FONT));
    checkGraphAttrs(&ctx, text);
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].text,
              "Warning: Essential attribute COLOR missing for the object.\nUsing default color");
    EXPECT_EQ(reports[1].text,
              "Warning: Essential attribute OUTTEXT or OUTINT or OUTFLOAT missing.\n Using default text");
    EXPECT_EQ(text->color->value.i, 0x888888);
    EXPECT_EQ(text->color->expr.expr, nullptr);
    EXPECT_STREQ(text->outtext->value.t, "0");

    reports.clear();
    GraphObj* image = newGraphObj(&ctx, K_IMAGE, nullptr);
    newGraphAttr(&ctx, image, pointList(1));
    checkGraphAttrs(&ctx, image);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].text,
              "Warning: Essential attribute IMAGE missing for the object.\nUsing default image");
    EXPECT_STREQ(image->image->value.t, "");
    EXPECT_EQ(image->color, nullptr);

    reports.clear();
    GraphObj* tiled = newGraphObj(&ctx, K_BOX, nullptr);
    newGraphAttr(&ctx, tiled, pointList(2));
    newGraphAttr(&ctx, tiled, scalar(S_FILL, 1));
    newGraphAttr(&ctx, tiled, scalar(S_IMAGE));
    checkGraphAttrs(&ctx, tiled);
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(tiled->color->value.i, 0x888888);
    for (GraphObj* graph : {text, image, tiled}) killGraphObj(&ctx, graph);
}

TEST_F(ObjModel, InputAreaWithoutTranslationIsAnError) {
    WinObj* win = newWinObj(&ctx);
    newWinAttr(&ctx, win, pointList(2));
    checkWinAttrs(&ctx, win);
    InpObj* area = newInpObj(&ctx, K_INPUTAREA, win);
    newInpAttr(&ctx, area, pointList(2));
    checkInpAttrs(&ctx, area);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].level, MSG_ERROR);
    EXPECT_EQ(reports[0].text, "Error: Missing translation attribute for inputarea object");
    EXPECT_EQ(win->inputs, area);
    EXPECT_EQ(win->level->shown.level, ctx.learnUnit->levels);
    EXPECT_EQ(area->active->value.i, 1);
    killWinObj(&ctx, win);
}

TEST_F(ObjModel, WithoutReporterDeclarationTextsGoToStandardError) {
    setDeclReporter(nullptr);
    InpObj* area = newInpObj(&ctx, K_INPUTAREA, nullptr);
    newInpAttr(&ctx, area, pointList(2));
    testing::internal::CaptureStderr();
    checkInpAttrs(&ctx, area);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Error: Missing translation attribute for inputarea object\n");
    EXPECT_TRUE(ctx.runState & RS_STOP);
    killInpObj(&ctx, area);
}

TEST(LevelLists, StayOrderedAndShareBackgroundsOfLaterNodes) {
    UnitContext ctx{};
    LevNode* list = nullptr;
    LevNode* zero = getLevNode(&ctx, &list, 0);
    EXPECT_EQ(list, zero);
    LevNode* five = getLevNode(&ctx, &list, 5);
    auto* picture = reinterpret_cast<Picture*>(TamNew<char>());
    five->background = picture;
    five->ownsBackground = 1;
    LevNode* three = getLevNode(&ctx, &list, 3);
    LevNode* minus = getLevNode(&ctx, &list, -2);
    EXPECT_EQ(getLevNode(&ctx, &list, 3), three);
    EXPECT_EQ(three->background, picture);
    EXPECT_EQ(three->ownsBackground, 0);
    EXPECT_EQ(list, minus);
    EXPECT_EQ(findLevNode(list, 4), nullptr);
    std::vector<int> levels;
    for (LevNode* node = list; node; node = nextOf(node)) levels.push_back(node->level);
    EXPECT_EQ(levels, (std::vector<int>{-2, 0, 3, 5}));
    five->ownsBackground = 0;
    TamFree(picture);
    killLevelList(&ctx, list);
    EXPECT_EQ(list, nullptr);
}

// Instances as creation and recomputation leave them: linked on a level
// node, attributes queued and tied to a variable instance.
GraphObj* standingGraph(UnitContext* ctx, LevNode* node) {
    GraphObj* graph = newGraphObj(ctx, K_BOX, nullptr);
    graph->isDecl = 0;
    graph->isInstance = 1;
    pushFront(node->graphs, graph);
    return graph;
}

TEST_F(ObjModel, KillingInstancesEmptiesAndRemovesTheirLevelNodes) {
    LearnUnit* unit = ctx.learnUnit;
    LevNode* two = getLevNode(&ctx, &unit->levels, 2);
    GraphObj* back = standingGraph(&ctx, two);
    GraphObj* front = standingGraph(&ctx, two);
    GraphObj* bottom = standingGraph(&ctx, unit->levels);

    killGraphObj(&ctx, front);
    EXPECT_EQ(two->graphs, back);
    killGraphObj(&ctx, back);
    EXPECT_EQ(nextOf(unit->levels), nullptr);
    killGraphObj(&ctx, bottom);
    EXPECT_EQ(unit->levels->graphs, nullptr);
    EXPECT_EQ(unit->levels->level, 0);

    LevNode* frozen = getLevNode(&ctx, &unit->levels, 1);
    frozen->ownsBackground = 1;
    killGraphObj(&ctx, standingGraph(&ctx, frozen));
    EXPECT_EQ(nextOf(unit->levels), frozen);
    frozen->ownsBackground = 0;
}

TEST_F(ObjModel, KillingAnAttributeUntiesItFromQueueAndVariables) {
    LearnUnit* unit = ctx.learnUnit;
    GraphObj* graph = newGraphObj(&ctx, K_BOX, nullptr);
    graph->isInstance = 1;
    for (int id : {S_COLOR, S_FILL, S_LINEWIDTH}) newGraphAttr(&ctx, graph, scalar(id));
    for (Attrib* attr : {graph->color, graph->fill, graph->linewidth})
        appendTo(unit->changedHead, unit->changedTail, attr);

    vinst var{};
    for (Attrib* attr : {graph->fill, graph->linewidth}) {
        auto* dep = TamNew<depnode>();
        dep->attr = attr;
        pushFront(var.dependents, dep);
        auto* link = TamNew<srclink>();
        link->dep = dep;
        link->inst = &var;
        pushFront(attr->sources, link);
    }
    killAttrib(&ctx, graph->linewidth);
    graph->linewidth = nullptr;
    EXPECT_EQ(unit->changedTail, graph->fill);
    ASSERT_NE(var.dependents, nullptr);
    EXPECT_EQ(var.dependents->attr, graph->fill);
    EXPECT_EQ(nextOf(var.dependents), nullptr);

    killAttrib(&ctx, graph->color);
    graph->color = nullptr;
    EXPECT_EQ(unit->changedHead, graph->fill);
    killGraphObj(&ctx, graph);
    EXPECT_EQ(unit->changedHead, nullptr);
    EXPECT_EQ(unit->changedTail, nullptr);
    EXPECT_EQ(var.dependents, nullptr);
}

TEST(LearnUnits, StackAndQueuedEventsAreReleased) {
    UnitContext ctx{};
    ctx.parseOnly = 1;
    LearnUnit* outer = newLearnUnit(&ctx, 640, 400, 0);
    LearnUnit* inner = newLearnUnit(&ctx, 320, 200, 0);
    EXPECT_EQ(ctx.learnUnit, inner);
    EXPECT_EQ(inner->defaultColor, 0x888888);
    ASSERT_NE(inner->levels, nullptr);
    EXPECT_EQ(inner->levels->level, 0);
    EXPECT_EQ(ctx.updateCapacity, kUpdatePoolStart);
    for (int i = 0; i < 3; ++i) appendTo(inner->eventHead, inner->eventTail, TamNew<event>());
    getLevNode(&ctx, &inner->levels, 7);
    killLearnUnit(&ctx);
    EXPECT_EQ(ctx.learnUnit, outer);
    killLearnUnit(&ctx);
    EXPECT_EQ(ctx.learnUnit, nullptr);
    TamFree(ctx.updateRects);
}

}  // namespace
