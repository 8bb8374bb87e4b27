// The source model: reading programs into blocks and objects, writing them
// back, fallback comments, and the editor's additions and deletions. The
// expected texts are worked out by hand from the normalised statement form.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "app/context.h"
#include "authoring/model.h"

namespace {

std::unique_ptr<SourceModel> readText(const std::string& text, std::string* error = nullptr) {
    std::unique_ptr<SourceModel> model;
    std::string message;
    bool ok = readSourceText("prog.kiv", text.data(), text.size(), &model, &message);
    if (error) *error = message;
    if (!ok) return nullptr;
    return model;
}

std::string readError(const std::string& text) {
    std::string error;
    EXPECT_EQ(readText(text, &error), nullptr) << text;
    return error;
}

SourceObject* objectAt(SourceModel& model, std::size_t block, std::size_t index) {
    return model.blocks.at(block)->objects.at(index).get();
}

TEST(SourceModel, FileWithoutObjectsIsWrittenBackUnchanged) {
    const std::string text =
        "name demo 2;\n// a program\nint count = 3, table[2][2] = {{1, 2}, {3, 4}};\nconst text T = \"}\";\n"
        "int twice(int a)\n{\n  int b, c[2] = {1, 2};\n  int inner(int x) { return x; }\n  b = a * 2; /* { */\n  return b;\n}\n\n"
        "object blob(points p, expr c)\n{\n  if (c > 1) { c = 2; } else c = 3;\n}\n"
        "main()\n{\n  line = \"x\";\n  for (i = 0; i < 3; i++) { twice(i); }\n  switch (T) { case \"a\": x = 1; default: x = 2; }\n}\n"
        "// the end\n";
    auto model = readText(text);
    ASSERT_TRUE(model);
    ASSERT_EQ(model->blocks.size(), 3u);
    EXPECT_EQ(model->blocks[0]->name, "twice");
    EXPECT_EQ(model->blocks[1]->name, "blob");
    EXPECT_EQ(model->blocks[1]->kind, SB_PROTOTYPE);
    ASSERT_EQ(model->blocks[1]->params.size(), 2u);
    EXPECT_EQ(model->blocks[1]->params[0].kind, 4);
    EXPECT_EQ(model->blocks[1]->params[1].kind, 1);
    EXPECT_EQ(model->blocks[2]->name, "main");
    EXPECT_EQ(writeModelText(*model), text);
}

TEST(SourceModel, ConstantsAndExpressionsOfAnObject) {
    auto model = readText("main()\n{\n  line points = ((10, 20), (x, 30)), color = 255;\n}\n");
    ASSERT_TRUE(model);
    SourceObject* obj = objectAt(*model, 0, 0);
    EXPECT_EQ(obj->kind, "line");
    EXPECT_EQ(obj->name, "Ziridadod");
    ASSERT_EQ(obj->points.size(), 2u);
    EXPECT_EQ(obj->points[0].x, 10);
    EXPECT_EQ(obj->points[0].xFlag, VF_SOURCE);
    EXPECT_EQ(obj->points[0].yFlag, VF_SOURCE);
    EXPECT_EQ(obj->points[1].xFlag, VF_NONE);
    EXPECT_EQ(obj->points[1].xText, "x");
    EXPECT_EQ(obj->points[1].y, 30);
    EXPECT_EQ(obj->points[1].yFlag, VF_SOURCE);
    EXPECT_EQ(obj->ints[MA_COLOR], 255);
    EXPECT_EQ(obj->flags[MA_COLOR], VF_SOURCE);
    // Defaults fill what the statement does not give.
    EXPECT_EQ(obj->ints[MA_ACTIVE], 1);
    EXPECT_EQ(obj->ints[MA_ENDANGLE], 360);
    EXPECT_EQ(obj->texts[MA_FONT - kIntAttrs], "-*-*-bold-*-*-*-14-*-*-*-*-*-iso8859-1");
    EXPECT_EQ(obj->texts[MA_OUTTEXT - kIntAttrs], "0");

    EXPECT_EQ(writeModelText(*model),
              "main()\n{\n  line points = ((10,20),(x,30)), color = 255;\n"
              "  // FALLBACK points = ((10,20)(0,30))\n}\n");
}

TEST(SourceModel, FallbackCommentFillsOnlyWhatIsNotConstant) {
    const std::string text =
        "main()\n{\n  line points = ((10, 20), (x, 30)), color = c, level = 4;\n"
        "  // FALLBACK color = 255, level = 9, points = ((1,2)(5,3))\n}\n";
    auto model = readText(text);
    ASSERT_TRUE(model);
    SourceObject* obj = objectAt(*model, 0, 0);
    EXPECT_EQ(obj->points[0].x, 10);
    EXPECT_EQ(obj->points[0].xFlag, VF_SOURCE);
    EXPECT_EQ(obj->points[1].x, 5);
    EXPECT_EQ(obj->points[1].xFlag, VF_FALLBACK);
    EXPECT_EQ(obj->points[1].y, 30);
    EXPECT_EQ(obj->ints[MA_COLOR], 255);
    EXPECT_EQ(obj->flags[MA_COLOR], VF_FALLBACK);
    EXPECT_EQ(obj->ints[MA_LEVEL], 4);  // a constant in the source wins
    EXPECT_EQ(obj->flags[MA_LEVEL], VF_SOURCE);

    const std::string expected =
        "main()\n{\n  line points = ((10,20),(x,30)), color = c, level = 4;\n"
        "  // FALLBACK color = 255, points = ((10,20)(5,30))\n}\n";
    std::string written = writeModelText(*model);
    EXPECT_EQ(written, expected);
    // Reading the written text again gives the same values and the same text.
    auto again = readText(written);
    ASSERT_TRUE(again);
    EXPECT_EQ(objectAt(*again, 0, 0)->flags[MA_COLOR], VF_FALLBACK);
    EXPECT_EQ(objectAt(*again, 0, 0)->points[1].xFlag, VF_FALLBACK);
    EXPECT_EQ(writeModelText(*again), expected);
}

TEST(SourceModel, NormalisedFormOfEveryKind) {
    const std::string text =
        "object knob(points p, translation t, expr size, expr col)\n{\n  box points = p, fill = 1;\n}\n"
        "main()\n{\n"
        "  arc points = ((0,0),(-5, 8.6)), sa = 90, ea = 180, col = 0xff0000, fn = \"x\";\n"
        "  textobj points = ((1,1)), ot = \"say \\\"hi\\\"\", oi = score, font = \"fixed\";\n"
        "  inputarea points = ((0,0),(9,9)), tr = (Button1: x = 1;);\n"
        "  while (x) {\n    knob points = ((1,1)), t = (Button1: y = 2;), size = 3, col = 4;\n  }\n"
        "  window points = ((0,0),(50,50));\n  endwindow;\n"
        "}\n";
    auto model = readText(text);
    ASSERT_TRUE(model);
    EXPECT_EQ(writeModelText(*model),
              "object knob(points p, translation t, expr size, expr col)\n{\n  box points = p, fill = 1;\n}\n"
              "main()\n{\n"
              "  arc points = ((0,0),(-5,9)), color = 0xff0000, endangle = 180, startangle = 90;\n"
              "  textobj points = ((1,1)), font = \"fixed\", outtext = \"say \\\"hi\\\"\", oi = score;\n"
              "  inputarea points = ((0,0),(9,9)), translation = (Button1: x = 1;);\n"
              "  while (x) {\n    knob points = ((1,1)), t = (Button1: y = 2;), size = 3, col = 4;\n  }\n"
              "  window points = ((0,0),(50,50));\n  endwindow;\n"
              "}\n");
    SourceObject* arc = objectAt(*model, 1, 0);
    EXPECT_EQ(arc->points[1].x, -5);
    EXPECT_EQ(arc->points[1].y, 9);
    EXPECT_EQ(arc->ints[MA_COLOR], 0xff0000);
    SourceObject* knob = objectAt(*model, 1, 3);
    ASSERT_EQ(knob->translationParams.size(), 1u);
    EXPECT_EQ(knob->translationParams[0], "t");
    EXPECT_EQ(objectAt(*model, 0, 0)->kind, "box");
}

TEST(SourceModel, ReaderErrorsNameFileAndLine) {
    EXPECT_EQ(readError("main()\n{\n  x = 1 @ 2;\n}\n"),
              "\"prog.kiv\", at line 3:\n   Illegal character in input.\n");
    EXPECT_EQ(readError("5;\n"), "\"prog.kiv\", at line 1:\n   Function or variable identifier expected.\n");
    EXPECT_EQ(readError("object 5 {}\n"), "\"prog.kiv\", at line 1:\n   Object identifier expected.\n");
    EXPECT_EQ(readError("main()\n{\n  if x) y = 1;\n}\n"),
              "\"prog.kiv\", at line 3:\n   Opening parenthesis '(' expected.\n");
    EXPECT_EQ(readError("main()\n{\n  while (x"), "\"prog.kiv\", at line 3:\n   Closing parenthesis ')' expected.\n");
    EXPECT_EQ(readError("main()\n{\n  x = (1];\n}\n"), "\"prog.kiv\", at line 3:\n   ')' or ']' expected.\n");
    EXPECT_EQ(readError("main()\n{\n  line points = (1,2);\n}\n"),
              "\"prog.kiv\", at line 3:\n   Missing opening parenthesis in points attribute.\n");
    EXPECT_EQ(readError("main()\n{\n  line points = ((1 2));\n}\n"),
              "\"prog.kiv\", at line 3:\n   Missing  between x and y point in pointlist.\n");
    EXPECT_EQ(readError("main()\n{\n  line points = ((1,2) 3);\n}\n"),
              "\"prog.kiv\", at line 3:\n   Missing closing parenthesis in points attribute.\n");
    EXPECT_EQ(readError("object k(expr a)\n{\n}\nmain()\n{\n  k a = 1, tr = (Button1: x = 1;);\n}\n"),
              "\"prog.kiv\", at line 6:\n   tr is not a legal translation attribute.\n");
    EXPECT_EQ(readError("main()\n{\n  line points = ((x,2));\n  // FALLBACK points = 3\n}\n"),
              "\"prog.kiv\", at line 4:\n   points attribute does not start with '('.\n");
    EXPECT_EQ(readError("main()\n{\n  line points = ((x,2));\n  // FALLBACK points = ((1,2)(3,4))\n}\n"),
              "\"prog.kiv\", at line 4:\n   More points in fallback-comment than in the object itself.\n");
}

TEST(SourceModel, DeepNestingIsRefusedNotRecursedInto) {
    std::string deep = "int main()\n{\n" + std::string(200000, '{') + std::string(200000, '}') + "}\n";
    EXPECT_EQ(readError(deep), "\"prog.kiv\", at line 3:\n   Statements nested too deeply.\n");
    std::string parens = "int main()\n{\n  x = " + std::string(200000, '(') + std::string(200000, ')') + ";\n}\n";
    EXPECT_TRUE(readText(parens));
}

TEST(SourceModel, MalformedInputEndsWithAMessage) {
    // Cut at every length, a program must either read or fail with a
    // message, never hang or read out of bounds.
    const std::string text =
        "int a[3];\nobject k(points p, translation t)\n{\n  line points = p;\n}\nmain()\n{\n"
        "  k points = ((1,2)), t = (Button1: a[0] = \"x\";);\n  /* c */ textobj points = ((1,2)), ot = \"a\\\"b\";\n"
        "  // FALLBACK points = ((1,2)), color = 3\n}\n";
    for (std::size_t n = 0; n <= text.size(); ++n) {
        std::unique_ptr<SourceModel> model;
        std::string error;
        bool ok = readSourceText("cut.kiv", text.data(), n, &model, &error);
        EXPECT_TRUE(ok || !error.empty()) << n;
    }
}

class EditedModel : public ::testing::Test {
protected:
    void SetUp() override { ctx = new UnitContext; }
    void TearDown() override {
        kivthor_free(ctx);
        delete ctx;
        std::remove(path.c_str());
    }
    std::string writeAndRead() {
        EXPECT_EQ(kivthor_write(ctx, path.c_str()), 1);
        std::ifstream in(path, std::ios::binary);
        std::stringstream all;
        all << in.rdbuf();
        return all.str();
    }
    void writeFile(const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }
    UnitContext* ctx = nullptr;
    std::string path = testing::TempDir() + "edited.kiv";
};

TEST_F(EditedModel, AddingToAnEmptyModelGeneratesMain) {
    SourceObject* line = add_kiv_object(ctx, "line");
    line->points.resize(2);
    line->points[1].x = 30;
    line->points[1].y = 40;
    line->ints[MA_COLOR] = 255;
    EXPECT_EQ(writeAndRead(),
              "int main ()\n{\nline points = ((0,0),(30,40)), color = 255;\n"
              "  // FALLBACK color = 255, points = ((0,0)(30,40))\n"
              "\nwhile (1) {\ninput; \noutput;\n}\n}\n");
    delete_kiv_object(ctx, 0);
    EXPECT_EQ(writeAndRead(), "int main ()\n{\n\nwhile (1) {\ninput; \noutput;\n}\n}\n");
    delete_kiv_object(ctx, 0);  // an emptied entry stays empty
}

TEST_F(EditedModel, AddedObjectsKeepTheFileAndFollowTheEditedBlock) {
    writeFile("int f()\n{\n  box points = ((1,1),(2,2));\n}\nmain()\n{\n  f();\n}\n");
    ASSERT_EQ(kivthor_parse(ctx, path.c_str()), 1);
    std::vector<std::string> names;
    EXPECT_EQ(get_kiv_blocks(ctx, &names), 2);
    EXPECT_EQ(names, (std::vector<std::string>{"f", "main"}));
    ASSERT_EQ(set_current_block(ctx, "f"), 1);
    EXPECT_EQ(set_current_block(ctx, "g"), 0);
    add_kiv_object(ctx, "point")->points.resize(1);
    EXPECT_EQ(writeAndRead(),
              "int f()\n{\n  box points = ((1,1),(2,2));\n  point points = ((0,0));\n"
              "  // FALLBACK points = ((0,0))\n}\nmain()\n{\n  f();\n}\n");
    delete_kiv_object(ctx, 0);  // the file's own object can go too
    EXPECT_EQ(writeAndRead(),
              "int f()\n{\n  point points = ((0,0));\n  // FALLBACK points = ((0,0))\n}\nmain()\n{\n  f();\n}\n");
}

TEST_F(EditedModel, FailedLoadKeepsTheModel) {
    writeFile("main()\n{\n  box points = ((1,1),(2,2));\n}\n");
    ASSERT_EQ(kivthor_parse(ctx, path.c_str()), 1);
    EXPECT_EQ(kivthor_parse(ctx, (path + ".missing").c_str()), 0);
    std::vector<std::string> names;
    EXPECT_EQ(get_kiv_blocks(ctx, &names), 1);
    EXPECT_EQ(kivthor_write(ctx, "/nonexistent-dir/x.kiv"), 0);
}

}  // namespace

namespace {

const char* const kSeeds[] = {
    "int shift = 0;\nobject knob(points p, translation t, expr size)\n{\n  box points = p, fill = size;\n"
    "  inputarea points = p, tr = t;\n}\nint main()\n{\n"
    "  box points = ((10, 10), (110, 60)), color = 0xff0000, fill = 1;\n"
    "  line points = ((0, 100), (shift + 50, 150)), lw = 3;\n  // FALLBACK points = ((0,100)(60,150))\n"
    "  knob p = ((1,1),(5,5)), t = (Button1 Press: shift = 1;), size = 2;\n"
    "  if (shift) { textobj points = ((20, 200)), ot = \"hi \\\"there\\\"\"; } else arc points = ((0,0),(9,9)), sa = 5;\n"
    "  window points = ((0,0),(50,50)); polygon points = ((1,1),(2,2),(3,1)); endwindow;\n"
    "  while (1) { input(); output(); }\n}\n",
    "text t[2] = {\"a\", \"b\"};\nvoid f(ref int a[]) { a[0] = 1; /* } */ }\n"
    "int main()\n{\n  int i;\n  for (i = 0; i < 2; i++) point points = ((i, -i));\n"
    "  switch (t[0]) { case \"a\": image points = ((1,2)), img = \"x.gif\"; default: i = 2; }\n}\n",
};

const char* const kPieces[] = {"(", ")", "((", "))", ",", ";", "{", "}", "[", "]", "\"", "//", "/*", "*/",
                               "\n", "line", "points", "=", "// FALLBACK points = ((1,2))\n", "object",
                               "int", "main", "0x", "-", "FALLBACK", "color = 5", "\\", "\0", "@"};

// Mutates the text in place: flips, deletions, duplications and inserted
// pieces of the language.
std::string mutated(const std::string& seed, unsigned& state) {
    auto next = [&state](unsigned bound) {
        state = state * 1103515245u + 12345u;
        return bound ? (state >> 8) % bound : 0u;
    };
    std::string text = seed;
    int edits = 1 + static_cast<int>(next(4));
    for (int e = 0; e < edits && !text.empty(); ++e) {
        std::size_t at = next(static_cast<unsigned>(text.size()));
        switch (next(4)) {
        case 0: text[at] = static_cast<char>(next(256)); break;
        case 1: text.erase(at, 1 + next(12)); break;
        case 2: text.insert(at, text.substr(next(static_cast<unsigned>(text.size())), next(40))); break;
        default: {
            const char* piece = kPieces[next(sizeof kPieces / sizeof kPieces[0])];
            text.insert(at, piece, std::max<std::size_t>(1, std::strlen(piece)));
        }
        }
    }
    return text;
}

// Thousands of damaged programs: each is read or refused with a message,
// and what is read writes back into text that reads again.
TEST(SourceModel, MutatedProgramsAreReadOrRefused) {
    unsigned state = 7;
    int read = 0, refused = 0;
    for (int round = 0; round < 4000; ++round) {
        std::string text = mutated(kSeeds[round % 2], state);
        std::unique_ptr<SourceModel> model;
        std::string error;
        if (!readSourceText("m.kiv", text.data(), text.size(), &model, &error)) {
            ASSERT_EQ(error.rfind("\"m.kiv\", at line ", 0), 0u) << error;
            ++refused;
            continue;
        }
        ++read;
        // A second round normalises what the first kept verbatim (an empty
        // coordinate, say); from then on the text stays the same.
        std::string written = writeModelText(*model);
        std::string second, third;
        for (std::string* out : {&second, &third}) {
            std::unique_ptr<SourceModel> again;
            const std::string& from = out == &second ? written : second;
            ASSERT_TRUE(readSourceText("m.kiv", from.data(), from.size(), &again, &error))
                << error << "\n--- from\n" << text << "\n--- written\n" << from;
            *out = writeModelText(*again);
        }
        EXPECT_EQ(third, second) << text;
    }
    EXPECT_GT(read, 100);
    EXPECT_GT(refused, 100);
}

}  // namespace
