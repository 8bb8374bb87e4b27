// X events becoming queued input events (characters, key codes, modifier
// masks, double clicks), the bounded queue, and the matching of events
// against the patterns of an input area's translations. The key tests
// need the suite's X server for the keyboard mapping.
#include <gtest/gtest.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <chrono>
#include <vector>

#include "app/context.h"
#include "app/events.h"
#include "core/alloc.h"
#include "present/events.h"
#include "test_display.h"

namespace {

class Queue : public testing::Test {
protected:
    UnitContext ctx{};
    LearnUnit unit{};

    void SetUp() override { ctx.learnUnit = &unit; }
    void TearDown() override { flushEvents(&unit); }

    std::vector<event> queued() {
        std::vector<event> copies;
        for (event* ev = unit.eventHead; ev; ev = nextOf(ev)) copies.push_back(*ev);
        return copies;
    }

    void press(unsigned button, Time time, unsigned state = 0) {
        XEvent xev{};
        xev.xbutton.type = ButtonPress;
        xev.xbutton.button = button;
        xev.xbutton.time = time;
        xev.xbutton.state = state;
        xev.xbutton.x = 7;
        xev.xbutton.y = 9;
        Input(&ctx, &xev);
    }
};

TEST_F(Queue, SecondPressWithin249msIsDoubleAndThirdStartsAgain) {
    press(Button1, 100000);
    press(Button1, 100249);
    press(Button1, 100260);
    press(Button1, 200000);
    press(Button1, 200250);
    std::vector<std::uint8_t> masks;
    for (const event& ev : queued()) masks.push_back(ev.mask);
    EXPECT_EQ(masks, (std::vector<std::uint8_t>{0, MM_DOUBLE, 0, 0, 0}));
}

TEST_F(Queue, ButtonsKeepTheirOwnClickTimes) {
    press(Button2, 300000);
    press(Button3, 300010);
    press(Button2, 300020, ShiftMask | ControlMask);
    auto events = queued();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[1].mask, 0);
    EXPECT_EQ(events[2].mask, MM_DOUBLE | MM_SHIFT | MM_CTRL);
    EXPECT_EQ(events[2].kind, EV_BUTTON_PRESS);
    EXPECT_EQ(events[2].detail, 2);
    EXPECT_EQ(events[2].x, 7);
    EXPECT_EQ(events[2].y, 9);
}

TEST_F(Queue, WheelButtonsAndForeignEventsAreDroppedWithAWarning) {
    testing::internal::CaptureStderr();
    press(4, 400000);
    XEvent expose{};
    expose.type = Expose;
    Input(&ctx, &expose);
    std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(unit.eventHead, nullptr);
    EXPECT_EQ(errors,
              "Warning: Received unknown event. Ignoring.\nWarning: Received unknown event. Ignoring.\n");
}

TEST_F(Queue, NothingIsQueuedWithoutALearnUnit) {
    ctx.learnUnit = nullptr;
    press(Button1, 500000);
    EXPECT_EQ(unit.eventHead, nullptr);
}

TEST_F(Queue, MotionRecordsThePointerAndResizeHasNoPosition) {
    XEvent motion{};
    motion.type = MotionNotify;
    motion.xmotion.x = 31;
    motion.xmotion.y = 41;
    motion.xmotion.state = Button1Mask | Mod1Mask;
    Input(&ctx, &motion);
    XEvent configure{};
    configure.type = ConfigureNotify;
    configure.xconfigure.x = 5;
    configure.xconfigure.width = 300;
    Input(&ctx, &configure);
    auto events = queued();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(ctx.mouseX, 31);
    EXPECT_EQ(ctx.mouseY, 41);
    EXPECT_EQ(events[0].kind, EV_MOTION);
    EXPECT_EQ(events[0].mask, MM_BUTTON1 | MM_ALT);
    EXPECT_EQ(events[1].kind, EV_RESIZE);
    EXPECT_EQ(events[1].x, 0);
    EXPECT_EQ(events[1].mask, 0);
}

TEST_F(Queue, AFullQueueDropsItsOldestEvent) {
    for (int i = 0; i < kMaxQueuedEvents + 3; ++i) {
        auto* ev = TamNew<event>();
        ev->x = i;
        queueEvent(&unit, ev);
    }
    EXPECT_EQ(unit.eventCount, kMaxQueuedEvents);
    EXPECT_EQ(unit.eventHead->x, 3);
    EXPECT_EQ(unit.eventTail->x, kMaxQueuedEvents + 2);
    event* first = takeEvent(&unit);
    TamFree(first);
    EXPECT_EQ(unit.eventCount, kMaxQueuedEvents - 1);
}

TEST_F(Queue, EventsStayUnseenUntilTheProgramEmptiesOrWaits) {
    EXPECT_FALSE(hasUnseenEvents(&unit));
    press(Button1, 600000);
    EXPECT_TRUE(hasUnseenEvents(&unit));
    flushEvents(&unit);
    EXPECT_FALSE(hasUnseenEvents(&unit));
    press(Button1, 700000);
    markEventsSeen(&unit);
    EXPECT_FALSE(hasUnseenEvents(&unit));
    EXPECT_EQ(unit.eventCount, 1);
}

class Keys : public Queue {
protected:
    Display* display = nullptr;

    void SetUp() override {
        Queue::SetUp();
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display";
        display = openTestDisplay();
        ASSERT_NE(display, nullptr);
    }
    void TearDown() override {
        Queue::TearDown();
        if (display) XCloseDisplay(display);
    }

    event key(KeySym sym, unsigned state, int type = KeyPress) {
        XEvent xev{};
        xev.xkey.type = type;
        xev.xkey.display = display;
        xev.xkey.keycode = XKeysymToKeycode(display, sym);
        xev.xkey.state = state;
        xev.xkey.x = 3;
        xev.xkey.y = 4;
        Input(&ctx, &xev);
        event ev = *unit.eventTail;
        flushEvents(&unit);
        return ev;
    }
};

TEST_F(Keys, CharacterKeysAreCodedByTheirPlainCharacter) {
    event plain = key(XK_a, 0);
    EXPECT_EQ(plain.kind, EV_KEY_PRESS);
    EXPECT_EQ(plain.detail, 'a');
    EXPECT_EQ(plain.keycode, 'a');
    EXPECT_EQ(plain.x, 3);

    event shifted = key(XK_a, ShiftMask, KeyRelease);
    EXPECT_EQ(shifted.kind, EV_KEY_RELEASE);
    EXPECT_EQ(shifted.detail, 'A');
    EXPECT_EQ(shifted.keycode, 'a');
    EXPECT_EQ(shifted.mask, MM_SHIFT);

    event control = key(XK_c, ControlMask);
    EXPECT_EQ(control.detail, 3);
    EXPECT_EQ(control.keycode, 'c');
    EXPECT_EQ(control.mask, MM_CTRL);
}

TEST_F(Keys, SpecialKeysUseTheKeyTable) {
    event backspace = key(XK_BackSpace, 0);
    EXPECT_EQ(backspace.keycode, KC_BACKSPACE);
    EXPECT_EQ(backspace.detail, 8);
    event enter = key(XK_Return, 0);
    EXPECT_EQ(enter.keycode, KC_RETURN);
    EXPECT_EQ(enter.detail, '\r');
    EXPECT_EQ(key(XK_Left, 0).keycode, KC_LEFT);
    EXPECT_EQ(key(XK_Left, 0).detail, 0);
    EXPECT_EQ(key(XK_F10, 0).keycode, 26);
    EXPECT_EQ(key(XK_Next, 0).keycode, KC_PAGEDOWN);
    event shift = key(XK_Shift_L, 0);
    EXPECT_EQ(shift.keycode, KC_SHIFT);
    EXPECT_EQ(shift.detail, 0);
}

// Input areas built by hand: a hit region and a list of translations.
class Matching : public testing::Test {
protected:
    InpObj area{};
    Attrib translations{};
    Attrib active{};
    std::vector<translation*> made;

    void SetUp() override {
        XPoint box[] = {{10, 10}, {50, 10}, {50, 30}, {10, 30}};
        area.region = XPolygonRegion(box, 4, WindingRule);
        area.translation = &translations;
    }
    void TearDown() override {
        XDestroyRegion(area.region);
        for (translation* trans : made) {
            while (event* pattern = trans->events) {
                trans->events = nextOf(pattern);
                TamFree(pattern);
            }
            TamFree(trans);
        }
    }

    // A translation with one pattern per entry, appended to the area's.
    translation* addTranslation(std::initializer_list<event> patterns) {
        auto* trans = TamNew<translation>();
        for (const event& pattern : patterns) {
            auto* copy = TamNew<event>();
            copy->kind = pattern.kind;
            copy->detail = pattern.detail;
            copy->keycode = pattern.keycode;
            copy->mask = pattern.mask;
            copy->transparent = pattern.transparent;
            appendTo(trans->events, copy);
        }
        appendTo(translations.expr.trans, trans);
        made.push_back(trans);
        return trans;
    }

    static event at(std::uint8_t kind, std::uint8_t detail, std::uint8_t mask, int x = 20, int y = 20) {
        event ev;
        ev.kind = kind;
        ev.detail = detail;
        ev.mask = mask;
        ev.x = x;
        ev.y = y;
        return ev;
    }
    static event keyPattern(std::uint8_t kind, std::int32_t keycode, std::uint8_t mask = 0) {
        event ev;
        ev.kind = kind;
        ev.keycode = keycode;
        ev.mask = mask;
        return ev;
    }
};

TEST_F(Matching, MasksNeedTheirBitsAndAcceptMore) {
    translation* ctrlClick = addTranslation({at(EV_BUTTON_PRESS, 1, MM_CTRL)});
    translation* anyClick = addTranslation({at(EV_BUTTON_PRESS, 1, 0)});
    event ctrlShift = at(EV_BUTTON_PRESS, 1, MM_CTRL | MM_SHIFT);
    event shiftOnly = at(EV_BUTTON_PRESS, 1, MM_SHIFT);
    event otherButton = at(EV_BUTTON_PRESS, 2, MM_CTRL);
    event release = at(EV_BUTTON_RELEASE, 1, MM_CTRL);
    EXPECT_EQ(matchingTranslation(&ctrlShift, &area), ctrlClick);
    EXPECT_EQ(matchingTranslation(&shiftOnly, &area), anyClick);
    EXPECT_EQ(matchingTranslation(&otherButton, &area), nullptr);
    EXPECT_EQ(matchingTranslation(&release, &area), nullptr);
}

TEST_F(Matching, ADetailOfZeroFitsAnyButton) {
    translation* anyButton = addTranslation({at(EV_BUTTON_PRESS, 0, 0)});
    event third = at(EV_BUTTON_PRESS, 3, MM_DOUBLE);
    EXPECT_EQ(matchingTranslation(&third, &area), anyButton);
}

TEST_F(Matching, KeysCompareByKeyCodeAndKind) {
    translation* quotedA = addTranslation({keyPattern(EV_KEY_PRESS, 'a')});
    translation* enter = addTranslation({keyPattern(EV_KEY_RELEASE, KC_RETURN), keyPattern(EV_KEY_PRESS, KC_TAB)});
    event shiftedA = at(EV_KEY_PRESS, 'A', MM_SHIFT);
    shiftedA.keycode = 'a';
    event capitalOnly = at(EV_KEY_PRESS, 'A', 0);
    capitalOnly.keycode = 'A';
    event enterPress = at(EV_KEY_PRESS, '\r', 0);
    enterPress.keycode = KC_RETURN;
    event enterRelease = enterPress;
    enterRelease.kind = EV_KEY_RELEASE;
    event tab = at(EV_KEY_PRESS, '\t', 0);
    tab.keycode = KC_TAB;
    EXPECT_EQ(matchingTranslation(&shiftedA, &area), quotedA);
    EXPECT_EQ(matchingTranslation(&capitalOnly, &area), nullptr);
    EXPECT_EQ(matchingTranslation(&enterPress, &area), nullptr);
    EXPECT_EQ(matchingTranslation(&enterRelease, &area), enter);
    EXPECT_EQ(matchingTranslation(&tab, &area), enter);
}

TEST_F(Matching, OnlyActiveAreasUnderThePointFitExceptForResize) {
    addTranslation({at(EV_MOTION, 0, 0)});
    translation* resize = addTranslation({at(EV_RESIZE, 0, 0)});
    event inside = at(EV_MOTION, 0, 0, 10, 10);
    event rightEdge = at(EV_MOTION, 0, 0, 50, 20);
    event resized = at(EV_RESIZE, 0, 0, 0, 0);
    EXPECT_NE(matchingTranslation(&inside, &area), nullptr);
    EXPECT_EQ(matchingTranslation(&rightEdge, &area), nullptr);
    EXPECT_EQ(matchingTranslation(&resized, &area), resize);

    area.active = &active;
    active.shown.i = 0;
    EXPECT_EQ(matchingTranslation(&inside, &area), nullptr);
    EXPECT_EQ(matchingTranslation(&resized, &area), nullptr);
    active.shown.i = 1;
    EXPECT_NE(matchingTranslation(&inside, &area), nullptr);
}

TEST_F(Matching, TheFirstFittingPatternDecides) {
    event transparentClick = at(EV_BUTTON_PRESS, 1, 0);
    transparentClick.transparent = 1;
    translation* first = addTranslation({at(EV_KEY_PRESS, 0, 0), transparentClick});
    addTranslation({at(EV_BUTTON_PRESS, 1, 0)});
    event click = at(EV_BUTTON_PRESS, 1, MM_BUTTON2);
    EXPECT_EQ(matchingTranslation(&click, &area), first);
}

// Back, reload or exit while a program waits must not leave it waiting.
TEST(TimedWait, EndsAtOnceWhenTheProgramIsStopped) {
    UnitContext ctx{};
    XtToolkitInitialize();
    ctx.appContext = XtCreateApplicationContext();
    auto stop = [](XtPointer client, XtIntervalId*) { static_cast<UnitContext*>(client)->runState |= RS_BACK; };
    XtAppAddTimeOut(ctx.appContext, 20, stop, &ctx);
    auto start = std::chrono::steady_clock::now();
    TamTimeOut(&ctx, 60000);
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_LT(waited, std::chrono::seconds(2));
    ctx.runState = 0;
    TamTimeOut(&ctx, 10);
    XtDestroyApplicationContext(ctx.appContext);
}

}  // namespace
