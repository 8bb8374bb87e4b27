// The source model: an Orvex program held as the text chunks of its
// functions and object prototypes, with the object statements found in
// them parsed into editable records. Everything that is not an object
// statement stays verbatim in the chunks, so writing the chunks back
// reproduces the file except for the objects, which are regenerated from
// their records (authoring/writer.cpp). The reader is authoring/reader.cpp.
//
// One model exists at a time; it hangs off the unit context together with
// the editor's object table, the objects of the block being edited.
#pragma once
#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <vector>

struct UnitContext;
struct GraphObj;
struct InpObj;
struct Frame;
struct LearnUnit;

struct TextChunk {
    std::string text;
};
using ChunkList = std::list<TextChunk>;

// Where a value came from.
enum ValueFlag : std::uint8_t {
    VF_NONE = 0,      // not a constant in the source (or not given)
    VF_SOURCE = 1,    // a constant in the source
    VF_FALLBACK = 2,  // taken from the object's fallback comment
};

// The attributes the model keeps, ints first. The order is the record's.
enum ModelAttr : int {
    MA_ACTIVE,
    MA_COLOR,
    MA_DASHES,
    MA_STARTANGLE,
    MA_ENDANGLE,
    MA_FILL,
    MA_LEVEL,
    MA_LINEWIDTH,
    MA_SAVEBACKGROUND,
    MA_TEXTURE,
    MA_FONT,
    MA_OUTTEXT,
    MA_IMAGE,
    MA_TRANSLATION,
    MA_COUNT
};
inline constexpr int kIntAttrs = 10;
inline bool isIntAttr(int attr) { return attr < kIntAttrs; }

struct SourcePoint {
    std::int32_t x = 0, y = 0;
    std::string xText, yText;
    std::uint8_t xFlag = VF_NONE, yFlag = VF_NONE;
};

// An attribute written in the source that the model does not edit
// (outint, decimals, a prototype's own parameters): kept as written.
struct KeptAttr {
    std::string name;
    std::string text;
};

enum SourceBlockKind : std::uint8_t { SB_FUNCTION = 0, SB_GENERATED_MAIN = 1, SB_PROTOTYPE = 2 };

struct SourceBlock;

struct SourceObject {
    SourceBlock* block = nullptr;
    ChunkList::iterator chunk{};  // the statement's own text
    bool hasChunk = false;
    std::vector<std::string> translationParams;  // of a prototype object
    std::string indent;  // blanks before the statement on its line
    std::string kind;
    std::string name = "Ziridadod";
    std::vector<SourcePoint> points;
    std::int32_t ints[kIntAttrs] = {};
    std::string texts[MA_COUNT - kIntAttrs];
    std::string raw[MA_COUNT];
    std::uint8_t flags[MA_COUNT] = {};
    std::vector<KeptAttr> kept;
    bool ofPrototype = false;  // its kind names a prototype of the file
};

struct ProtoParam {
    std::string name;
    int kind = 0;  // 1 expr, 2 translation, 4 points
};

struct SourceBlock {
    ChunkList chunks;
    std::string name;
    std::vector<ProtoParam> params;
    std::vector<std::unique_ptr<SourceObject>> objects;
    std::uint8_t kind = SB_FUNCTION;
};

// The two display objects generateObject made for a table entry, and the
// activation and learn unit they belong to (they die with it).
struct DisplayPair {
    GraphObj* graph = nullptr;
    InpObj* input = nullptr;
    LearnUnit* unit = nullptr;
    Frame* frame = nullptr;
    std::uint64_t serial = 0;
};

struct TableEntry {
    SourceObject* object = nullptr;  // null after deletion
    DisplayPair display;
};

struct SourceModel {
    std::vector<std::unique_ptr<SourceBlock>> blocks;
    std::string trailing;  // text after the last block
    std::string fileName;
};

struct AuthoringState {
    std::unique_ptr<SourceModel> model;
    SourceBlock* current = nullptr;
    std::vector<TableEntry> table;
};

AuthoringState& authoringState(UnitContext* ctx);

// Reading (authoring/reader.cpp). kivthor_parse: 1 after reading the file
// into a fresh model, 0 when it cannot be opened (the old model stays).
// A syntax error is fatal: its message is printed and the player ends.
int kivthor_parse(UnitContext* ctx, const char* fileName);
// The same on bytes in memory; a syntax error returns false with the
// message, leaving *out empty.
bool readSourceText(const char* name, const char* data, std::size_t length, std::unique_ptr<SourceModel>* out,
                    std::string* error);
int get_kiv_blocks(UnitContext* ctx, std::vector<std::string>* names);
int set_current_block(UnitContext* ctx, const char* name);

// Attribute names, long or short; -1 for others.
int modelAttrOf(const std::string& name);
const char* modelAttrName(int attr);
// Stores a value unless the attribute is a source constant already.
void set_attrval(SourceObject* obj, const std::string& name, const std::string& text, std::int32_t value,
                 std::uint8_t flag);
void set_attrraw(SourceObject* obj, const std::string& name, const std::string& text);
// The defaults of every attribute whose flag is 0.
void initialize_object(SourceObject* obj);
std::int32_t intDefault(int attr);
const char* textDefault(int attr);

// Writing and edits (authoring/writer.cpp).
void update_object(SourceObject* obj);
std::string writeModelText(SourceModel& model);
int kivthor_write(UnitContext* ctx, const char* fileName);
SourceObject* add_kiv_object(UnitContext* ctx, const char* kind);
void delete_kiv_object(UnitContext* ctx, int index);
void kivthor_free(UnitContext* ctx);
