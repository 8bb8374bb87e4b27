// The browser shell: a paned column of the menu bar and URL field (both
// only when the menu bar is on), the drawing area and the status line. The
// menu commands run nested inside whatever the interpreter is doing, so
// they act on a running program only through the run-state word.
#include "present/shell.h"

#include <X11/StringDefs.h>
#include <X11/Xaw/AsciiText.h>
#include <X11/Xaw/Form.h>
#include <X11/Xaw/Label.h>
#include <X11/Xaw/MenuButton.h>
#include <X11/Xaw/Paned.h>
#include <X11/Xaw/SimpleMenu.h>
#include <X11/Xaw/SmeBSB.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/context.h"
#include "app/driver.h"
#include "app/shutdown.h"
#include "core/alloc.h"
#include "core/messages.h"
#include "core/strings.h"
#include "present/kivwidget.h"
#include "present/popups.h"

namespace {

constexpr Dimension kDrawWidth = 640;
constexpr Dimension kDrawHeight = 400;
// The label and the text field draw their whole text in one request, which
// must stay within the server's request length; URLs and messages from a
// program are cut to what a line can show anyway.
constexpr std::size_t kMaxShownText = 4096;

std::string shownText(const char* text) {
    std::string shown = text ? text : "";
    if (shown.size() > kMaxShownText) shown.resize(kMaxShownText);
    return shown;
}

void quitCB(Widget w, XtPointer, XtPointer) {
    // The cleanup releases the display resources and then destroys the
    // application context, in that order, so nothing touches a closed
    // connection.
    if (UnitContext* ctx = contextOfWidget(w)) c_exit(ctx, 0);
    std::exit(0);
}

void viewSourceCB(Widget w, XtPointer, XtPointer) { view_source(w); }
void printCB(Widget w, XtPointer, XtPointer) {
    if (UnitContext* ctx = contextOfWidget(w)) print_window(ctx);
}
void aboutCB(Widget w, XtPointer, XtPointer) { showAbout(w); }
void acknowledgementsCB(Widget w, XtPointer, XtPointer) { showAcknowledgements(w); }

// One row of a menu table; the entry's widget is stored back in it.
struct MenuRow {
    int code;
    const char* label;
    XtCallbackProc command;
    Widget widget;
};

MenuRow fileMenu[] = {
    {102, "Back", BackCB, nullptr},          {103, "Reload", ReloadCB, nullptr},
    {104, "View Source", viewSourceCB, nullptr}, {105, "Print", printCB, nullptr},
    {110, "Quit", quitCB, nullptr},
};

MenuRow helpMenu[] = {
    {301, "About", aboutCB, nullptr},
    {302, "Acknowledgements", acknowledgementsCB, nullptr},
};

void TheCallback(Widget w, XtPointer client, XtPointer call) {
    auto* row = static_cast<MenuRow*>(client);
    row->command(w, client, call);
}

template <std::size_t N>
Widget makeMenu(Widget button, const char* name, MenuRow (&rows)[N]) {
    Widget menu = XtCreatePopupShell(name, simpleMenuWidgetClass, button, nullptr, 0);
    for (MenuRow& row : rows) {
        row.widget = XtVaCreateManagedWidget(row.label, smeBSBObjectClass, menu, XtNlabel, row.label,
                                             nullptr);
        XtAddCallback(row.widget, XtNcallback, TheCallback, &row);
    }
    return menu;
}

Widget makeMenuBar(Widget parent) {
    Widget bar = XtVaCreateManagedWidget("menubar", formWidgetClass, parent, XtNshowGrip, False,
                                         XtNskipAdjust, True, nullptr);
    Widget file = XtVaCreateManagedWidget("File", menuButtonWidgetClass, bar, XtNmenuName, "fileMenu",
                                          XtNleft, XawChainLeft, XtNright, XawChainLeft, nullptr);
    makeMenu(file, "fileMenu", fileMenu);
    Widget help = XtVaCreateManagedWidget("Help", menuButtonWidgetClass, bar, XtNmenuName, "helpMenu",
                                          XtNfromHoriz, file, XtNleft, XawChainLeft, XtNright,
                                          XawChainLeft, nullptr);
    makeMenu(help, "helpMenu", helpMenu);
    return bar;
}

// The "text-enter" action of the URL field.
void jumpURL(Widget w, XEvent*, String*, Cardinal*) {
    UnitContext* ctx = contextOfWidget(w);
    String typed = nullptr;
    XtVaGetValues(w, XtNstring, &typed, nullptr);
    if (!ctx || !typed) return;
    // The field's text changes when the program loaded sets its URL.
    char* url = safestrdup(typed);
    goto_url(ctx, url);
    TamFree(url);
}

// Keys reach the field when it holds the focus, and also while the pointer
// is inside it and the focus lies on the field's window or an ancestor (the
// crossing event's focus member), as it does when no window manager sets
// the focus explicitly.
void onFocusChange(Widget w, XtPointer client, XEvent* event, Boolean*) {
    auto* ctx = static_cast<UnitContext*>(client);
    switch (event->type) {
    case FocusIn: gainFocusURL(w, ctx); break;
    case FocusOut: lostFocusURL(w, ctx); break;
    case EnterNotify:
        if (event->xcrossing.focus) gainFocusURL(w, ctx);
        break;
    case LeaveNotify:
        if (event->xcrossing.focus) lostFocusURL(w, ctx);
        break;
    }
}

Widget makeURLField(UnitContext* ctx, Widget parent) {
    static XtActionsRec actions[] = {{const_cast<String>("text-enter"), jumpURL}};
    XtAppAddActions(ctx->appContext, actions, XtNumber(actions));
    Widget field = XtVaCreateManagedWidget("url", asciiTextWidgetClass, parent, XtNstring,
                                           ctx->defaultURL ? ctx->defaultURL : "", XtNeditType,
                                           XawtextEdit, XtNshowGrip, False, XtNskipAdjust, True,
                                           nullptr);
    XtOverrideTranslations(field, XtParseTranslationTable("<Key>Return: text-enter()"));
    XtAddEventHandler(field, FocusChangeMask | EnterWindowMask | LeaveWindowMask, False, onFocusChange, ctx);
    return field;
}

// A printer name goes into the command as it stands unless it holds
// characters the command shell would interpret; then it is quoted.
std::string printerArgument(const char* name) {
    std::string plain = name;
    if (plain.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789._-+@:/") ==
        std::string::npos)
        return plain;
    std::string quoted = "'";
    for (char c : plain) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

}  // namespace

void makeGUI(UnitContext* ctx) {
    auto* shell = mustNew<ShellState>(ctx);
    ctx->shell = shell;
    shell->paned = XtVaCreateManagedWidget("main_w", panedWidgetClass, ctx->toplevel, XtNallowResize,
                                           True, nullptr);
    if (ctx->menuBarOn) {
        shell->menubar = makeMenuBar(shell->paned);
        shell->urlField = makeURLField(ctx, shell->paned);
    }
    ctx->drawArea = XtVaCreateManagedWidget(
        "kiv", kivWidgetClass, shell->paned, kNkivInstance, ctx, XtNwidth, kDrawWidth, XtNheight,
        kDrawHeight, XtNbackground, BlackPixelOfScreen(XtScreen(ctx->toplevel)), XtNallowResize, True,
        XtNshowGrip, False, nullptr);
    shell->status = XtVaCreateManagedWidget("status", labelWidgetClass, shell->paned, XtNlabel,
                                            "Status : Initializing...", XtNresizeToPreferred, True,
                                            XtNskipAdjust, True, XtNshowGrip, False, nullptr);
}

void setStatus(UnitContext* ctx, const char* text) {
    if (!ctx->shell || !ctx->shell->status) return;
    std::string label = "Status : " + shownText(text);
    XtVaSetValues(ctx->shell->status, XtNlabel, label.c_str(), nullptr);
    TamSync(ctx);
}

void setURL(UnitContext* ctx, const char* url) {
    if (!ctx->shell) return;
    if (ctx->shell->urlField) XtVaSetValues(ctx->shell->urlField, XtNstring, shownText(url).c_str(), nullptr);
    TamSync(ctx);
}

void TamSync(UnitContext* ctx) {
    if (ctx->display) XSync(ctx->display, False);
}

void gainFocusURL(Widget, UnitContext* ctx) { ctx->urlFieldHasFocus = true; }
void lostFocusURL(Widget, UnitContext* ctx) { ctx->urlFieldHasFocus = false; }

void ReloadCB(Widget w, XtPointer, XtPointer) {
    if (UnitContext* ctx = contextOfWidget(w)) reload(ctx);
}

void BackCB(Widget w, XtPointer, XtPointer) {
    if (UnitContext* ctx = contextOfWidget(w)) back(ctx);
}

void print_window(UnitContext* ctx) {
    if (!ctx->toplevel || !XtIsRealized(ctx->toplevel)) return;
    std::string command = formatMsg("xwd -id 0x%x | xpr -device ps -gray 4 | lpr -u",
                                    static_cast<unsigned>(XtWindow(ctx->toplevel)));
    if (const char* printer = std::getenv("PRINTER"))
        command = formatMsg("%s -P %s", command.c_str(), printerArgument(printer).c_str());
    TamSync(ctx);
    std::fflush(stdout);
    if (std::system(command.c_str()) == -1) userMsg("Warning: Could not start the print command");
    std::printf("Printing: %s\n", command.c_str());
    std::fflush(stdout);
}
