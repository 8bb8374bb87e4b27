// The image cache: the context's image list, the default picture first
// and permanent, then loaded pictures in order of last use. At most 64
// entries are kept; a new picture replaces the least recently used entry
// that no object is showing, so no object is ever left with a picture
// that was freed or replaced under it. Also the loading of one picture:
// fetching by URL and choosing the decoder by content type.
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "app/context.h"
#include "core/alloc.h"
#include "core/messages.h"
#include "core/strings.h"
#include "net/sandbox.h"
#include "net/url.h"
#include "present/gifdecode.h"
#include "present/hooks.h"
#include "present/image.h"
#include "present/objects.h"
#include "present/shell.h"

namespace {

Picture* cacheHead(UnitContext* ctx) { return ctx->images ? ctx->images : initDefImg(ctx); }

void moveBehindHead(Picture* head, Picture* entry) {
    if (nextOf(head) == entry) return;
    remove_at(entry);
    place_next(head, entry);
}

Picture* findEntry(Picture* head, const char* name) {
    for (Picture* e = nextOf(head); e; e = nextOf(e))
        if (e->name && std::strcmp(e->name, name) == 0) return e;
    return nullptr;
}

// The least recently used entry that no object shows, or null.
Picture* reusableEntry(Picture* head) {
    Picture* found = nullptr;
    for (Picture* e = nextOf(head); e; e = nextOf(e))
        if (e->uses == 0) found = e;
    return found;
}

Picture* newEntry(UnitContext* ctx) {
    auto* pic = mustNew<Picture>(ctx);
    new (pic) Picture();
    return pic;
}

void addEntry(UnitContext* ctx, Picture* head, Picture* entry, const char* name) {
    if (ctx->imageCount >= kImageCacheSize)
        if (Picture* old = reusableEntry(head)) freeImage(ctx, old);
    entry->name = safestrdup(name);
    if (!entry->name) outOfMemory(ctx);
    entry->owner = ctx->learnUnit;
    place_next(head, entry);
    ++ctx->imageCount;
}

}  // namespace

Picture* initDefImg(UnitContext* ctx) {
    Picture* head = defaultPicture(ctx);
    ctx->images = head;
    ctx->imageCount = head ? 1 : 0;
    if (head && !isLinked(head)) init_list(head);
    return head;
}

bool isDefaultImage(UnitContext* ctx, const Picture* pic) { return !pic || pic == cacheHead(ctx); }

Picture* getImage(UnitContext* ctx, const char* name) {
    Picture* head = cacheHead(ctx);
    if (!head || !name || !*name) return head;
    // Checked before the cache, which may hold a local picture that a
    // trusted program loaded.
    if (!mayReadURL(ctx, name, "load local image")) return head;
    // Entries are keyed by the URL the name stands for, not by the name as
    // written: a relative name means another picture in a program loaded
    // from elsewhere, and two spellings of one URL share the picture.
    char* canonical = simplifyURL(ctx, name);
    const std::string key = canonical ? canonical : name;
    TamFree(canonical);
    if (Picture* hit = findEntry(head, key.c_str())) {
        moveBehindHead(head, hit);
        return hit;
    }
    Picture* fresh = newEntry(ctx);
    ImageLoad result = createImage(fresh, ctx, name);
    if (result == ImageLoad::Loaded && fresh->width > 0) {
        addEntry(ctx, head, fresh, key.c_str());
        return fresh;
    }
    killImage(ctx, fresh);
    if (result != ImageLoad::UnknownType)
        errorMsg(ctx, MSG_WARNING, formatMsg("Warning: Could not open image %s, using default.\n", name).c_str());
    return head;
}

Picture* holdImage(UnitContext* ctx, const char* name) {
    Picture* pic = getImage(ctx, name);
    if (!isDefaultImage(ctx, pic)) ++pic->uses;
    return pic;
}

void releaseObjectImage(UnitContext* ctx, Picture* pic) {
    if (!isDefaultImage(ctx, pic) && pic->uses > 0) --pic->uses;
}

void freeImage(UnitContext* ctx, Picture* entry) {
    if (isDefaultImage(ctx, entry)) return;
    remove_at(entry);
    killImage(ctx, entry);
    --ctx->imageCount;
}

// An entry still shown by an object of a unit beneath passes to that
// unit instead of being freed under it.
void freeUnitImages(UnitContext* ctx, LearnUnit* unit) {
    Picture* head = ctx->images;
    if (!head || !isLinked(head)) return;
    LearnUnit* beneath = nextOf(unit);
    for (Picture* e = nextOf(head); e;) {
        Picture* next = nextOf(e);
        if (e->owner == unit) {
            if (e->uses > 0 && beneath) e->owner = beneath;
            else freeImage(ctx, e);
        }
        e = next;
    }
}

void freeImageCache(UnitContext* ctx) {
    Picture* head = ctx->images;
    if (!head || !isLinked(head)) return;
    while (Picture* e = nextOf(head)) freeImage(ctx, e);
}

ImageLoad createImage(Picture* out, UnitContext* ctx, const char* name) {
    out->width = 0;
    setStatus(ctx, "Getting remote image");
    KivStream* in = KivOpen(ctx, name);
    if (!in) return ImageLoad::Failed;
    setStatus(ctx, "Creating image");
    std::string type = ContentType(ctx, name);
    ImageLoad result = ImageLoad::Failed;
    if (type == "image/gif") {
        if (ReadGIF(ctx, in, 1, out)) result = ImageLoad::Loaded;
    } else if (type == "image/jpeg") {
        if (readJPEG(ctx, in, out)) result = ImageLoad::Loaded;
    } else if (std::strchr(name, '.')) {
        std::fputs(formatMsg("Warning: Unknown extension for image %s.\nUsing default image\n", name).c_str(), stderr);
    } else {
        result = ImageLoad::UnknownType;
    }
    KivClose(in);
    setStatus(ctx, "OK");
    if (result != ImageLoad::Loaded) out->width = 0;
    return result;
}

bool ReadGIF(UnitContext* ctx, KivStream* in, int imageNumber, Picture* out) {
    GifImage gif;
    if (!decodeGif(ctx, in, imageNumber, &gif)) return false;
    gifSendData(ctx, gif, out);
    return true;
}
