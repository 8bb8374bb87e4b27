// The source-model writer and its edits: regenerating an object's
// statement (with its fallback comment) from the record, writing every
// block's chunks back to a file, adding objects made by the editor and
// deleting them again.
#include <cstdio>

#include "app/context.h"
#include "authoring/display.h"
#include "authoring/model.h"
#include "core/messages.h"

namespace {

constexpr int kWrittenInts[] = {MA_ACTIVE,    MA_COLOR,     MA_DASHES,         MA_ENDANGLE,   MA_FILL,
                                MA_LEVEL,     MA_LINEWIDTH, MA_SAVEBACKGROUND, MA_STARTANGLE, MA_TEXTURE};
constexpr int kWrittenTexts[] = {MA_FONT, MA_OUTTEXT, MA_IMAGE};

// The language wants a result type before a function name.
constexpr const char* kMainHead = "int main ()\n{\n";
constexpr const char* kMainTail = "\nwhile (1) {\ninput; \noutput;\n}\n}\n";

bool kindTakes(const std::string& kind, int attr) {
    switch (attr) {
    case MA_FONT:
    case MA_OUTTEXT: return kind == "textobj";
    case MA_STARTANGLE:
    case MA_ENDANGLE: return kind == "arc";
    case MA_TRANSLATION: return kind == "inputarea";
    default: return true;
    }
}

// A text literal that reads back as the same value.
std::string quoted(const std::string& value) {
    std::string out = "\"";
    for (char c : value) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
    return out + "\"";
}

std::string coordinate(std::int32_t value, const std::string& text, std::uint8_t flag) {
    // Objects the editor made have no source text: their values stand.
    if (flag == VF_SOURCE || text.empty()) return std::to_string(value);
    return text;
}

std::string valueText(const SourceObject* obj, int attr) {
    return isIntAttr(attr) ? std::to_string(obj->ints[attr]) : quoted(obj->texts[attr - kIntAttrs]);
}

bool isDefault(const SourceObject* obj, int attr) {
    return isIntAttr(attr) ? obj->ints[attr] == intDefault(attr) : obj->texts[attr - kIntAttrs] == textDefault(attr);
}

class StatementText {
public:
    explicit StatementText(const SourceObject* obj) : obj_(obj) { text_.reserve(1024); }

    std::string build() {
        text_ = obj_->kind;
        writePoints();
        for (int attr : kWrittenInts) writeAttribute(attr);
        for (int attr : kWrittenTexts) writeAttribute(attr);
        if (kindTakes(obj_->kind, MA_TRANSLATION) && !obj_->texts[MA_TRANSLATION - kIntAttrs].empty())
            item(modelAttrName(MA_TRANSLATION), obj_->texts[MA_TRANSLATION - kIntAttrs]);
        for (const KeptAttr& kept : obj_->kept)
            if (kept.name != "points") item(kept.name, kept.text);
        // The language wants at least one attribute in an object statement.
        if (first_) item(modelAttrName(MA_ACTIVE), std::to_string(obj_->ints[MA_ACTIVE]));
        text_ += ";\n";
        writeFallback();
        return text_;
    }

private:
    void item(const std::string& name, const std::string& value) {
        text_ += first_ ? " " : ", ";
        first_ = false;
        text_ += name + " = " + value;
    }

    // "(x,y)", appended piece by piece: GCC 12 warns falsely (-Wrestrict)
    // about a literal put in front of a temporary string at -O3.
    static void appendPoint(std::string& list, const std::string& x, const std::string& y) {
        list += '(';
        list += x;
        list += ',';
        list += y;
        list += ')';
    }
    // Points are separated by commas, as the language requires.
    void writePoints() {
        for (const KeptAttr& kept : obj_->kept)
            if (kept.name == "points") item(kept.name, kept.text);
        if (obj_->points.empty()) return;
        std::string list = "(";
        for (std::size_t i = 0; i < obj_->points.size(); ++i) {
            const SourcePoint& p = obj_->points[i];
            if (i) list += ",";
            appendPoint(list, coordinate(p.x, p.xText, p.xFlag), coordinate(p.y, p.yText, p.yFlag));
        }
        item("points", list + ")");
    }

    // Objects of a prototype take only the prototype's parameters, so only
    // what the source gave them is written.
    void writeAttribute(int attr) {
        if (!kindTakes(obj_->kind, attr)) return;
        if (!obj_->raw[attr].empty())
            item(modelAttrName(attr), obj_->raw[attr]);
        else if (!isDefault(obj_, attr) && !obj_->ofPrototype)
            item(modelAttrName(attr), valueText(obj_, attr));
    }

    void fallbackItem(const std::string& text) {
        text_ += fallbackOpen_ ? ", " : "  // FALLBACK ";
        fallbackOpen_ = true;
        text_ += text;
    }

    bool pointsNeedFallback() const {
        for (const SourcePoint& p : obj_->points)
            if (p.xFlag != VF_SOURCE || p.yFlag != VF_SOURCE) return true;
        return false;
    }

    void writeFallback() {
        for (int attr : kWrittenInts) fallbackAttribute(attr);
        for (int attr : kWrittenTexts) fallbackAttribute(attr);
        if (pointsNeedFallback()) {
            std::string list = "points = (";
            for (const SourcePoint& p : obj_->points)
                appendPoint(list, std::to_string(p.x), std::to_string(p.y));
            fallbackItem(list + ")");
        }
        if (fallbackOpen_) text_ += "\n";
    }

    void fallbackAttribute(int attr) {
        if (!kindTakes(obj_->kind, attr)) return;
        std::uint8_t flag = obj_->flags[attr];
        if (flag == VF_FALLBACK || (flag == VF_NONE && !isDefault(obj_, attr)))
            fallbackItem(std::string(modelAttrName(attr)) + " = " + valueText(obj_, attr));
    }

    const SourceObject* obj_;
    std::string text_;
    bool first_ = true;
    bool fallbackOpen_ = false;
};

SourceBlock* generatedMain(SourceModel& model) {
    for (const auto& block : model.blocks)
        if (block->kind == SB_GENERATED_MAIN) return block.get();
    return nullptr;
}

// A generated main joins the blocks of the file instead of replacing
// them, so that adding an object never loses the file's own functions.
SourceBlock* create_init_func(SourceModel& model) {
    auto block = std::make_unique<SourceBlock>();
    block->kind = SB_GENERATED_MAIN;
    block->name = "main";
    block->chunks.push_back(TextChunk{kMainHead});
    block->chunks.push_back(TextChunk{kMainTail});
    model.blocks.push_back(std::move(block));
    return model.blocks.back().get();
}

// New objects go to the block being edited; without one, to the program's
// main function, generated when there is none.
SourceBlock* blockForNewObjects(AuthoringState& state) {
    if (state.current) return state.current;
    if (SourceBlock* generated = generatedMain(*state.model)) return generated;
    for (const auto& block : state.model->blocks)
        if (block->name == "main") return block.get();
    return create_init_func(*state.model);
}

ChunkList::iterator insertionPoint(SourceBlock* block) {
    if (!block->objects.empty() && block->objects.back()->hasChunk) return std::next(block->objects.back()->chunk);
    if (block->chunks.empty()) return block->chunks.end();
    return std::prev(block->chunks.end());
}

void f_kiv_object(SourceObject* obj) {
    SourceBlock* block = obj->block;
    if (obj->hasChunk) block->chunks.erase(obj->chunk);
    for (auto it = block->objects.begin(); it != block->objects.end(); ++it) {
        if (it->get() == obj) {
            block->objects.erase(it);
            return;
        }
    }
}

}  // namespace

void update_object(SourceObject* obj) {
    std::string text = obj->indent + (obj->kind == "endwindow" ? std::string("endwindow;\n") : StatementText(obj).build());
    if (!obj->hasChunk) {
        obj->chunk = obj->block->chunks.insert(obj->block->chunks.end(), TextChunk{});
        obj->hasChunk = true;
    }
    obj->chunk->text = std::move(text);
}

std::string writeModelText(SourceModel& model) {
    std::string out;
    for (const auto& block : model.blocks) {
        for (const auto& obj : block->objects) update_object(obj.get());
        for (const TextChunk& chunk : block->chunks) out += chunk.text;
    }
    return out + model.trailing;
}

int kivthor_write(UnitContext* ctx, const char* fileName) {
    AuthoringState& state = authoringState(ctx);
    if (!state.model || !fileName) return 0;
    std::FILE* file = std::fopen(fileName, "wb");
    if (!file) return 0;
    std::string text = writeModelText(*state.model);
    bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    written = std::fclose(file) == 0 && written;
    return written ? 1 : 0;
}

SourceObject* add_kiv_object(UnitContext* ctx, const char* kind) {
    AuthoringState& state = authoringState(ctx);
    if (!state.model) state.model = std::make_unique<SourceModel>();
    SourceBlock* block = blockForNewObjects(state);
    auto owned = std::make_unique<SourceObject>();
    SourceObject* obj = owned.get();
    obj->kind = kind;
    obj->block = block;
    if (!block->objects.empty()) obj->indent = block->objects.back()->indent;
    initialize_object(obj);
    state.table.push_back(TableEntry{obj, {}});
    obj->chunk = block->chunks.insert(insertionPoint(block), TextChunk{});
    obj->hasChunk = true;
    update_object(obj);
    block->objects.push_back(std::move(owned));
    return obj;
}

void delete_kiv_object(UnitContext* ctx, int index) {
    AuthoringState& state = authoringState(ctx);
    if (index < 0 || static_cast<std::size_t>(index) >= state.table.size()) {
        errorMsg(ctx, MSG_FATAL, formatMsg("Internal error: Trying to kill non-existant object with index %d", index).c_str());
        return;
    }
    SourceObject* obj = state.table[index].object;
    if (!obj) return;
    state.table[index].object = nullptr;
    f_kiv_object(obj);
}

void kivthor_free(UnitContext* ctx) {
    freeRetiredStatements(ctx);
    delete ctx->authoring;
    ctx->authoring = nullptr;
}
