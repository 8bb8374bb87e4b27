// The shell's popup windows. Each lives until its own button destroys it;
// the text editor is modal: it keeps serving events until the user has
// answered, with the rest of the player's window locked out meanwhile.
#include "present/popups.h"

#include <X11/Shell.h>
#include <X11/StringDefs.h>
#include <X11/Xaw/AsciiText.h>
#include <X11/Xaw/Command.h>
#include <X11/Xaw/Dialog.h>
#include <X11/Xaw/Form.h>

#include "app/context.h"
#include "app/driver.h"
#include "core/alloc.h"
#include "core/strings.h"
#include "present/kivwidget.h"
#include "present/objects.h"

namespace {

const char kAboutText[] =
    "Talvix 1.0\n\n"
    "A player for interactive simulation programs\n"
    "written in the Orvex language.\n\n"
    "File menu: Back stops the running program, Reload loads it afresh,\n"
    "View Source shows its text, Print sends the window to the printer.\n"
    "Type a URL into the field below the menus and press Return to run it.";

const char kAcknowledgementsText[] =
    "Talvix is built on the work of others:\n\n"
    "the X Toolkit Intrinsics and the Athena widget set,\n"
    "libcurl for fetching programs and data over the network,\n"
    "and the Independent JPEG Group's libjpeg for JPEG images.\n\n"
    "Thanks to everyone who wrote and maintains them.";

constexpr Dimension kSourceWidth = 560;
constexpr Dimension kSourceHeight = 400;
constexpr Dimension kEditorSide = 400;
constexpr Position kEditorOffsetX = 20;
constexpr Position kEditorOffsetY = 100;

Widget topShellOf(Widget w) {
    while (w && XtParent(w)) w = XtParent(w);
    return w;
}

void onCloseRequest(Widget shell, XtPointer, XEvent* event, Boolean*) {
    Display* display = XtDisplay(shell);
    if (event->type == ClientMessage &&
        event->xclient.message_type == XInternAtom(display, "WM_PROTOCOLS", False) &&
        Atom(event->xclient.data.l[0]) == XInternAtom(display, "WM_DELETE_WINDOW", False)) {
        XtPopdown(shell);
        XtDestroyWidget(shell);
    }
}

// Shows a popup whose window manager close button destroys it, as its Ok
// (for the text editor: Cancel) button does; without taking part in the
// protocol the window manager would end the player's connection instead.
void popUp(Widget shell, XtGrabKind grab) {
    XtPopup(shell, grab);
    Atom deleteWindow = XInternAtom(XtDisplay(shell), "WM_DELETE_WINDOW", False);
    XSetWMProtocols(XtDisplay(shell), XtWindow(shell), &deleteWindow, 1);
    XtAddEventHandler(shell, NoEventMask, True, onCloseRequest, nullptr);
}

void showDialog(Widget w, const char* text) {
    Widget shell = XtVaCreatePopupShell("About", transientShellWidgetClass, topShellOf(w), nullptr);
    Widget dialog = XtVaCreateManagedWidget("dialog", dialogWidgetClass, shell, XtNlabel, text, nullptr);
    XawDialogAddButton(dialog, const_cast<String>("Ok"), DestroyShell, shell);
    popUp(shell, XtGrabNone);
}

// State of one modal edit, on the stack of textEditPopup.
struct EditSession {
    Widget shell = nullptr;
    Widget editor = nullptr;
    char* edited = nullptr;
    bool answered = false;
};

void closeEditor(EditSession* session) {
    XtPopdown(session->shell);
    XtDestroyWidget(session->shell);
}

// However the editor goes away, the modal loop must end with it.
void onEditorDestroyed(Widget, XtPointer client, XtPointer) {
    static_cast<EditSession*>(client)->answered = true;
}

void TEPOKcallback(Widget, XtPointer client, XtPointer) {
    auto* session = static_cast<EditSession*>(client);
    String text = nullptr;
    XtVaGetValues(session->editor, XtNstring, &text, nullptr);
    session->edited = safestrdup(text ? text : "");
    closeEditor(session);
}

void TEPCancelcallback(Widget, XtPointer client, XtPointer) {
    closeEditor(static_cast<EditSession*>(client));
}

// The text widgets draw each line they show in one request: long lines are
// wrapped at the widget's width, so no line of a program's text can make a
// request longer than the server takes.
void buildEditor(UnitContext* ctx, EditSession& session, const char* text) {
    Position x = 0, y = 0;
    XtVaGetValues(ctx->toplevel, XtNx, &x, XtNy, &y, nullptr);
    session.shell = XtVaCreatePopupShell("shell", transientShellWidgetClass, ctx->toplevel, XtNx,
                                         Position(x + kEditorOffsetX), XtNy,
                                         Position(y + kEditorOffsetY), nullptr);
    Widget form = XtVaCreateManagedWidget("form", formWidgetClass, session.shell, nullptr);
    session.editor = XtVaCreateManagedWidget(
        "text editor", asciiTextWidgetClass, form, XtNstring, text ? text : "", XtNwidth, kEditorSide,
        XtNheight, kEditorSide, XtNeditType, XawtextEdit, XtNscrollVertical, XawtextScrollAlways,
        XtNwrap, XawtextWrapLine, XtNresizable, True, nullptr);
    Widget ok = XtVaCreateManagedWidget("Ok", commandWidgetClass, form, XtNfromVert, session.editor,
                                        nullptr);
    Widget cancel = XtVaCreateManagedWidget("Cancel", commandWidgetClass, form, XtNfromVert,
                                            session.editor, XtNfromHoriz, ok, nullptr);
    XtAddCallback(ok, XtNcallback, TEPOKcallback, &session);
    XtAddCallback(cancel, XtNcallback, TEPCancelcallback, &session);
    XtAddCallback(session.shell, XtNdestroyCallback, onEditorDestroyed, &session);
}

}  // namespace

void DestroyShell(Widget, XtPointer client, XtPointer) { XtDestroyWidget(static_cast<Widget>(client)); }

void view_source(Widget w) {
    UnitContext* ctx = contextOfWidget(w);
    if (!ctx) return;
    char* source = get_source(ctx);
    // Only a program's own file that has gone meanwhile gives no text.
    if (!source) reportUnopenable(ctx, ctx->learnUnit->url);
    Widget shell = XtVaCreatePopupShell("About", transientShellWidgetClass, topShellOf(w), nullptr);
    Widget form = XtVaCreateManagedWidget("dialog", formWidgetClass, shell, nullptr);
    Widget text = XtVaCreateManagedWidget(
        "view source", asciiTextWidgetClass, form, XtNstring, source ? source : "", XtNwidth,
        kSourceWidth, XtNheight, kSourceHeight, XtNscrollVertical, XawtextScrollAlways, XtNwrap,
        XawtextWrapLine, XtNresizable, True, nullptr);
    TamFree(source);
    Widget ok = XtVaCreateManagedWidget("Ok", commandWidgetClass, form, XtNfromVert, text, nullptr);
    XtAddCallback(ok, XtNcallback, DestroyShell, shell);
    popUp(shell, XtGrabNone);
}

void showAbout(Widget w) { showDialog(w, kAboutText); }
void showAcknowledgements(Widget w) { showDialog(w, kAcknowledgementsText); }

char* textEditPopup(UnitContext* ctx, char* text) {
    if (!ctx->appContext || !ctx->toplevel) return text;
    EditSession session;
    buildEditor(ctx, session, text);
    popUp(session.shell, XtGrabExclusive);
    while (!session.answered) XtAppProcessEvent(ctx->appContext, XtIMAll);
    if (!session.edited) return text;
    TamFree(text);
    return session.edited;
}
