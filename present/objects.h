// Records that make a program visible: learn units, level nodes, windows,
// graphic objects, input areas, their attributes, and the input events and
// translations of input areas.
#pragma once
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdint>

#include "interp/records.h"

struct Picture;
struct TextLayout;
class RecordArena;

// Object kinds: the codes of the object keywords.
enum ObjKind : std::uint8_t {
    K_ARC = 5,
    K_BOX = 12,
    K_ENDWINDOW = 28,
    K_IMAGE = 40,
    K_INPUTAREA = 41,
    K_LINE = 47,
    K_POINT = 63,
    K_POLYGON = 65,
    K_TEXTOBJ = 79,
    K_WINDOW = 85,
};

// Attribute ids: the codes of the attribute keywords.
enum AttrId : std::uint8_t {
    S_ACTIVE = 1,
    S_COLOR = 15,
    S_DASHES = 18,
    S_DECIMALS = 19,
    S_ENDANGLE = 27,
    S_FILL = 32,
    S_FONT = 33,
    S_IMAGE = 40,
    S_LEVEL = 46,
    S_LINEWIDTH = 48,
    S_OUTFLOAT = 59,
    S_OUTINT = 60,
    S_OUTTEXT = 61,
    S_POINTS = 64,
    S_SAVEBACKGROUND = 72,
    S_STARTANGLE = 74,
    S_TEXTURE = 80,
    S_TRANSLATION = 81,
};

// Parent kind of an attribute.
enum ParentKind : std::uint8_t { PK_WINDOW = 0, PK_GRAPHIC = 1, PK_INPUT = 2 };

struct LevNode;
struct event;
struct translation;

// Point of a declared point list.
struct pointdecl : ListNode {
    op* x = nullptr;
    op* y = nullptr;
};

// One attribute of one object.
struct Attrib : ListNode {
    std::uint8_t parentKind = 0;  // ParentKind
    std::uint8_t computed = 0;
    std::uint8_t id = 0;          // AttrId
    std::uint8_t varFlag = 0;     // points/translation given through a variable
    void* parent = nullptr;       // WinObj, GraphObj or InpObj
    union {
        std::int32_t i;
        double f;
        char* t;
        std::int32_t* coords;  // point-list instance: count pairs x, y
        void* p;
    } value{};
    union {
        std::int32_t i;
        LevNode* level;
        XFontStruct* font;
        Picture* image;
        TextLayout* text;
        std::int32_t* coords;
        void* p;
    } shown{};
    union {
        op* expr;           // scalar attributes
        pointdecl* points;  // declared point list
        op** pointExprs;    // instantiated point list: count pairs
        translation* trans; // translation list
        void* p;
    } expr{};
    srclink* sources = nullptr;
};

// Fields shared by windows, graphic objects and input areas.
struct ObjHeader : ListNode, ListNode2 {
    std::uint8_t kind = 0;        // ObjKind
    std::uint8_t isInstance = 0;
    std::uint8_t isDecl = 0;
    int npoints = 0;
    Frame* frame = nullptr;       // owning activation of an instance
    Attrib* points = nullptr;
    int updateStatus = 0;
    std::uint8_t staticFlag = 0;  // 1 all constant, 2 frozen into background
    std::uint8_t flag2 = 0;
    int bbox[4] = {0, 0, 0, 0};
};

struct GraphObj;
struct InpObj;

struct WinObj : ObjHeader {
    Attrib* active = nullptr;
    Attrib* savebackground = nullptr;
    Attrib* level = nullptr;
    GraphObj* graphs = nullptr;  // through their second links
    InpObj* inputs = nullptr;    // through their second links
    LevNode* levels = nullptr;   // instances: the window's own level list
};

struct GraphObj : ObjHeader {
    WinObj* parent = nullptr;
    Attrib* active = nullptr;
    Attrib* savebackground = nullptr;
    Attrib* level = nullptr;
    Attrib* color = nullptr;
    Attrib* dashes = nullptr;
    Attrib* linewidth = nullptr;
    Attrib* fill = nullptr;
    Attrib* image = nullptr;
    Attrib* texture = nullptr;
    Attrib* startangle = nullptr;
    Attrib* endangle = nullptr;
    Attrib* font = nullptr;
    Attrib* decimals = nullptr;
    Attrib* outint = nullptr;
    Attrib* outfloat = nullptr;
    Attrib* outtext = nullptr;
};

struct InpObj : ObjHeader {
    WinObj* parent = nullptr;
    Region region = nullptr;  // hit region built from the points
    Attrib* level = nullptr;
    Attrib* active = nullptr;
    Attrib* translation = nullptr;
};

// Level node: the objects standing on one level of a level list, kept in
// ascending level order; level 0 is never removed.
struct LevNode : ListNode {
    int level = 0;
    Picture* background = nullptr;  // frozen background, maybe shared
    std::uint8_t ownsBackground = 0;
    WinObj* windows = nullptr;      // through the objects' first links
    GraphObj* graphs = nullptr;
    InpObj* inputs = nullptr;
};

// Input event, and the same record as an event pattern of a translation.
enum EventKind : std::uint8_t {
    EV_BUTTON_PRESS = 0,
    EV_BUTTON_RELEASE = 1,
    EV_KEY_PRESS = 3,
    EV_KEY_RELEASE = 4,
    EV_MOTION = 5,
    EV_RESIZE = 6,
};

struct event : ListNode {
    std::uint8_t kind = 0;     // EventKind
    std::uint8_t detail = 0;   // button number, or the character of a key
    std::int32_t keycode = 0;
    std::uint8_t mask = 0;
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::uint8_t transparent = 0;
};

struct translation : ListNode {
    event* events = nullptr;        // alternative patterns
    simaction* actions = nullptr;   // statements to run
};

// One loaded program; learn units form a stack through their links. The
// learn unit is also the root block of the program's names.
struct LearnUnit : Block {
    // Root-only symbol-table fields.
    objectproto* generators = nullptr;
    notdecl* forwardCalls = nullptr;
    char* programName = nullptr;
    int version = 0;
    char* url = nullptr;
    // Expression nodes, statements, calls, arguments, array accesses and
    // initializers read with the program; they go with the unit.
    RecordArena* records = nullptr;

    // Interpreter state.
    vinst* globals = nullptr;          // global instances
    Frame* currentFrame = nullptr;
    Frame* objectContext = nullptr;
    Frame* returningFrame = nullptr;
    std::uint64_t returningSerial = 0; // serial of returningFrame when set
    Attrib* changedHead = nullptr;
    Attrib* changedTail = nullptr;
    Attrib* callAttrs = nullptr;       // attributes containing calls
    long long startTime = 0;           // milliseconds
    int freezeCount = 0;

    // Presentation.
    LevNode* levels = nullptr;         // top-level objects, level 0 first
    Picture* background = nullptr;     // frozen background image
    Picture* screen = nullptr;         // screen image
    int defaultColor = 0x888888;
    std::uint8_t outputDone = 0;       // the first output() has run
    std::uint8_t pictureShown = 0;     // its screen image has reached the window
    Attrib* instAttrs = nullptr;
    Attrib* instAttrsTail = nullptr;
    event* eventHead = nullptr;
    event* eventTail = nullptr;
    int eventCount = 0;                // events in the queue
    std::uint32_t eventSerial = 0;     // events ever queued
    std::uint32_t seenSerial = 0;      // eventSerial when the program last took note
    event* currentEvent = nullptr;
};
