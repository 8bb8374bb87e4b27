// The source-model reader: finds the functions and object prototypes of a
// program, and inside them the object statements with their attributes
// and fallback comments. It knows only as much of the language as it needs
// to find them; every other character goes into the blocks' text chunks.
// A syntax error is fatal to the player, so a half-read file never becomes
// the model.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <unordered_map>

#include "app/context.h"
#include "app/shutdown.h"
#include "authoring/model.h"
#include "authoring/scanner.h"
#include "core/messages.h"

namespace {

constexpr const char* kDefaultFont = "-*-*-bold-*-*-*-14-*-*-*-*-*-iso8859-1";
// Larger files are refused as if they could not be opened.
constexpr long kMaxSourceBytes = 64L << 20;
// Statements nest at most this deep, so that a hostile file cannot
// exhaust the stack.
constexpr int kMaxNesting = 1000;

struct AttrName {
    const char* longName;
    const char* shortName;
};
const AttrName kAttrNames[MA_COUNT] = {
    {"active", "act"},     {"color", "col"},         {"dashes", "dsh"}, {"startangle", "sa"},
    {"endangle", "ea"},    {"fill", "f"},            {"level", "lev"},  {"linewidth", "lw"},
    {"savebackground", "sb"}, {"texture", "tex"},    {"font", "fn"},    {"outtext", "ot"},
    {"image", "img"},      {"translation", "tr"},
};

const char* const kObjectKeywords[] = {"arc",  "box",   "endwindow", "image",   "inputarea",
                                       "line", "point", "polygon",   "textobj", "window"};

bool isWord(const Token& t, const char* word) { return t.kind == TK_WORD && t.text == word; }
bool isPunct(const Token& t, const char* text) { return t.kind == TK_PUNCT && t.text == text; }
bool isNumber(const Token& t) { return t.kind == TK_INT || t.kind == TK_FLOAT; }

std::string trimmed(const std::string& text) {
    std::size_t begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string::npos) return "";
    std::size_t end = text.find_last_not_of(" \t\r\n");
    return text.substr(begin, end - begin + 1);
}

// An expression's source text without its line comments (block comments
// and texts are kept as they are): the writer puts the text back inside a
// statement, where a line comment would swallow the rest of the line, the
// statement's end with it.
std::string withoutLineComments(const std::string& text) {
    std::string out;
    bool inText = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (inText) {
            out += c;
            if (c == '\\' && i + 1 < text.size()) out += text[++i];
            else if (c == '"') inText = false;
        } else if (c == '/' && i + 1 < text.size() && text[i + 1] == '*') {
            std::size_t close = text.find("*/", i + 2);
            std::size_t stop = close == std::string::npos ? text.size() : close + 2;
            out.append(text, i, stop - i);
            i = stop - 1;
        } else if (c == '/' && i + 1 < text.size() && text[i + 1] == '/') {
            i = text.find('\n', i);
            if (i == std::string::npos) break;
            out += '\n';
        } else {
            out += c;
            inText = c == '"';
        }
    }
    return out;
}

std::int32_t roundedValue(const Token& t) {
    if (t.kind == TK_INT) return t.ival;
    double v = std::nearbyint(t.fval);
    if (!(v > -2147483648.0)) return INT32_MIN;
    if (!(v < 2147483647.0)) return INT32_MAX;
    return static_cast<std::int32_t>(std::lround(t.fval));
}

std::int32_t negated(std::int32_t v) { return static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(v)); }

int generatorParamKind(const std::string& word) {
    if (word == "expr") return 1;
    if (word == "translation") return 2;
    if (word == "points") return 4;
    return -1;
}

// Brackets opened and not closed yet, innermost last.
class Brackets {
public:
    bool empty() const { return expected_.empty(); }
    // Takes note of an opening or closing bracket; false for a closing
    // bracket that does not close the innermost one.
    bool take(const Token& t) {
        if (t.kind != TK_PUNCT || t.text.size() != 1) return true;
        char c = t.text[0];
        if (c == '(' || c == '[' || c == '{') {
            expected_.push_back(c == '(' ? ')' : c == '[' ? ']' : '}');
            return true;
        }
        if (c != ')' && c != ']' && c != '}') return true;
        if (expected_.empty() || expected_.back() != c) return false;
        expected_.pop_back();
        return true;
    }

private:
    std::vector<char> expected_;
};

// An expression read up to a terminator at bracket depth 0: its text, and
// its value when it is a single literal (a number, maybe negative, or a
// text).
struct Expr {
    std::string text;
    Token end;
    bool literal = false;
    std::int32_t value = 0;
    std::string literalText;
};

class Reader {
public:
    Reader(SourceScanner& scanner, SourceModel& model) : sc_(scanner), model_(model) {}
    void globalParse();

private:
    [[noreturn]] void fail(const std::string& message) const { throw SyntaxError{message, sc_.line()}; }
    Token next() { return sc_.next(); }
    void addChunk(std::string text) {
        if (!text.empty()) block_->chunks.push_back(TextChunk{std::move(text)});
    }

    void skipDeclaration();
    void skipParenthesised(const char* unclosed);
    void readFunc(const std::string& name, SourceBlockKind kind, std::vector<ProtoParam> params);
    void readObjDecl();
    void readStatementList();
    void readStatement(const Token& first);
    void readNested(const Token& first);
    void readParenthesised();
    void readExpr();
    bool isObjectStart(const Token& t) const;
    void readObjectStat(const Token& keyword);
    void readAttribute(SourceObject* obj, const Token& name);
    void readPoints(SourceObject* obj, Token* end);
    Expr readUntil(const char* stop1, const char* stop2);
    void readDefaults(SourceObject* obj);
    const ProtoParam* protoParam(const std::string& proto, const std::string& name) const;

    bool isPrototype(const std::string& name) const { return prototypes_.count(name) != 0; }

    SourceScanner& sc_;
    SourceModel& model_;
    SourceBlock* block_ = nullptr;
    int depth_ = 0;
    std::unordered_map<std::string, const SourceBlock*> prototypes_;
};

// Declarations are skipped up to their ";"; a nested function ends with
// the "}" that closes its body (a "{" right after its parameter list),
// whereas the braces of an array's initializer do not end anything.
void Reader::skipDeclaration() {
    Brackets brackets;
    bool functionBody = false;
    Token previous;
    for (;;) {
        Token t = next();
        if (t.kind == TK_EOF) fail("Unexpected end of input");
        if (brackets.empty() && isPunct(t, ";")) return;
        if (brackets.empty() && isPunct(t, "{")) functionBody = isPunct(previous, ")");
        if (!brackets.take(t)) fail("')' or ']' expected");
        if (brackets.empty() && functionBody && isPunct(t, "}")) return;
        previous = t;
    }
}

// Reads up to and including the ")" that closes a "(" already read.
void Reader::skipParenthesised(const char* unclosed) {
    Brackets brackets;
    brackets.take(Token{TK_PUNCT, "("});
    while (!brackets.empty()) {
        Token t = next();
        if (t.kind == TK_EOF) fail(unclosed);
        if (!brackets.take(t)) fail("')' or ']' expected");
    }
}

void Reader::globalParse() {
    for (;;) {
        Token t = next();
        if (t.kind == TK_EOF) {
            model_.trailing = sc_.cut();
            return;
        }
        if (isWord(t, "object")) {
            readObjDecl();
        } else if (isWord(t, "const") || isWord(t, "include")) {
            skipDeclaration();
        } else if (isWord(t, "int") || isWord(t, "float") || isWord(t, "text") || isWord(t, "void")) {
            Token name = next();
            if (name.kind != TK_WORD) fail("Function or variable identifier expected");
            Token after = next();
            if (isPunct(after, "(")) {
                readFunc(name.text, SB_FUNCTION, {});
            } else {
                sc_.pushBack(after);
                skipDeclaration();
            }
        } else if (t.kind == TK_WORD) {
            // A function without result type, or the program's name
            // declaration (two identifiers).
            Token after = next();
            if (isPunct(after, "(")) {
                readFunc(t.text, SB_FUNCTION, {});
            } else if (after.kind == TK_WORD) {
                skipDeclaration();
            } else {
                fail("Function or variable identifier expected");
            }
        } else {
            fail("Function or variable identifier expected");
        }
    }
}

void Reader::readObjDecl() {
    Token name = next();
    if (name.kind != TK_WORD) fail("Object identifier expected");
    std::vector<ProtoParam> params;
    Token t = next();
    if (isPunct(t, "(")) {
        for (t = next(); !isPunct(t, ")"); t = next()) {
            if (t.kind == TK_EOF) fail("Closing parenthesis ')' expected");
            if (t.kind != TK_WORD) continue;
            Token param = next();
            if (param.kind != TK_WORD) fail("Closing parenthesis ')' expected");
            params.push_back(ProtoParam{param.text, generatorParamKind(t.text)});
        }
        readFunc(name.text, SB_PROTOTYPE, std::move(params));
    } else {
        sc_.pushBack(t);
        readFunc(name.text, SB_PROTOTYPE, {});
    }
}

// After the name (and for a function its "("): the header up to the body,
// the body's leading declarations, then its statements.
void Reader::readFunc(const std::string& name, SourceBlockKind kind, std::vector<ProtoParam> params) {
    if (kind == SB_FUNCTION) skipParenthesised("Closing parenthesis ')' expected");
    for (Token t = next(); !isPunct(t, "{"); t = next())
        if (t.kind == TK_EOF) fail("Unexpected end of input");
    for (;;) {
        Token t = next();
        bool declaration = isWord(t, "const") || isWord(t, "int") || isWord(t, "float") ||
                           isWord(t, "text") || isWord(t, "void");
        if (!declaration) {
            sc_.pushBack(t);
            break;
        }
        skipDeclaration();
    }
    auto block = std::make_unique<SourceBlock>();
    // The header and declarations are the first chunk, so that objects
    // added to a block without objects go in front of its statements.
    block->chunks.push_back(TextChunk{sc_.cutBeforePending()});
    block->name = name;
    block->kind = kind;
    block->params = std::move(params);
    block_ = block.get();
    if (kind == SB_PROTOTYPE) prototypes_.emplace(name, block.get());
    model_.blocks.push_back(std::move(block));
    readStatementList();
    addChunk(sc_.cut());
    block_ = nullptr;
}

void Reader::readStatementList() {
    for (;;) {
        Token t = next();
        if (isPunct(t, "}")) return;
        if (t.kind == TK_EOF) fail("Unexpected end of input");
        readStatement(t);
    }
}

bool Reader::isObjectStart(const Token& t) const {
    if (t.kind != TK_WORD) return false;
    for (const char* keyword : kObjectKeywords)
        if (t.text == keyword) return true;
    return isPrototype(t.text);
}

void Reader::readParenthesised() {
    if (!isPunct(next(), "(")) fail("Opening parenthesis '(' expected");
    skipParenthesised("Closing parenthesis ')' expected");
}

void Reader::readStatement(const Token& first) {
    if (++depth_ > kMaxNesting) fail("Statements nested too deeply");
    readNested(first);
    --depth_;
}

void Reader::readNested(const Token& first) {
    if (isPunct(first, "{")) {
        readStatementList();
    } else if (isObjectStart(first)) {
        // An object keyword followed by an operator is a variable of that
        // name ("line = 5;").
        Token after = next();
        sc_.pushBack(after);
        if (after.kind == TK_WORD || isPunct(after, ";"))
            readObjectStat(first);
        else
            readExpr();
    } else if (isWord(first, "if") || isWord(first, "while") || isWord(first, "for") ||
               isWord(first, "switch")) {
        readParenthesised();
        Token body = next();
        if (body.kind == TK_EOF) fail("Unexpected end of input");
        readStatement(body);
        if (isWord(first, "if")) {
            Token t = next();
            if (isWord(t, "else")) {
                Token alternative = next();
                if (alternative.kind == TK_EOF) fail("Unexpected end of input");
                readStatement(alternative);
            } else {
                sc_.pushBack(t);
            }
        }
    } else if (isWord(first, "case") || isWord(first, "default")) {
        for (Token t = next(); !isPunct(t, ":"); t = next())
            if (t.kind == TK_EOF) fail("Unexpected end of input");
    } else if (!isPunct(first, ";")) {
        sc_.pushBack(first);
        readExpr();
    }
}

// An expression statement up to its ";". A "}" at depth 0 ends a statement
// whose ";" is missing and is left for the enclosing list.
void Reader::readExpr() {
    Brackets brackets;
    for (;;) {
        Token t = next();
        if (t.kind == TK_EOF) fail(brackets.empty() ? "Unexpected end of input" : "')' or ']' expected");
        if (brackets.empty() && isPunct(t, ";")) return;
        if (brackets.empty() && isPunct(t, "}")) {
            sc_.pushBack(t);
            return;
        }
        if (!brackets.take(t)) fail("')' or ']' expected");
    }
}

// Reads an expression up to a stop token at depth 0 (also ";" and end of
// input, which the caller judges).
Expr Reader::readUntil(const char* stop1, const char* stop2) {
    Expr e;
    std::size_t start = sc_.raw().size();
    Brackets brackets;
    std::vector<Token> tokens;
    for (;;) {
        Token t = next();
        bool stop = t.kind == TK_EOF ||
                    (brackets.empty() && t.kind == TK_PUNCT &&
                     (t.text == stop1 || (stop2 && t.text == stop2) || t.text == ";" || t.text == "}"));
        if (stop) {
            e.end = t;
            std::size_t end = std::max(start, std::min(t.start, sc_.raw().size()));
            e.text = trimmed(withoutLineComments(sc_.raw().substr(start, end - start)));
            break;
        }
        if (!brackets.take(t)) fail("')' or ']' expected");
        if (tokens.size() < 3) tokens.push_back(t);
    }
    if (tokens.size() == 1 && (isNumber(tokens[0]) || tokens[0].kind == TK_STRING)) {
        e.literal = true;
        e.value = tokens[0].kind == TK_STRING ? 0 : roundedValue(tokens[0]);
        e.literalText = tokens[0].kind == TK_STRING ? tokens[0].text : e.text;
    } else if (tokens.size() == 2 && isPunct(tokens[0], "-") && isNumber(tokens[1])) {
        e.literal = true;
        e.value = negated(roundedValue(tokens[1]));
        e.literalText = e.text;
    }
    return e;
}

const ProtoParam* Reader::protoParam(const std::string& proto, const std::string& name) const {
    auto found = prototypes_.find(proto);
    if (found == prototypes_.end()) return nullptr;
    for (const ProtoParam& p : found->second->params)
        if (p.name == name) return &p;
    return nullptr;
}

void Reader::readPoints(SourceObject* obj, Token* end) {
    Token t = next();
    if (!isPunct(t, "(")) {
        // Inside a prototype a point list may be the prototype's parameter.
        const ProtoParam* passed = t.kind == TK_WORD && block_->kind == SB_PROTOTYPE
                                       ? protoParam(block_->name, t.text)
                                       : nullptr;
        if (!passed || passed->kind != 4) fail("Missing opening parenthesis in points attribute");
        obj->kept.push_back(KeptAttr{"points", t.text});
        *end = next();
        return;
    }
    for (;;) {
        if (!isPunct(next(), "(")) fail("Missing opening parenthesis in points attribute");
        SourcePoint point;
        Expr x = readUntil(",", ")");
        if (!isPunct(x.end, ",")) fail("Missing  between x and y point in pointlist");
        Expr y = readUntil(")", ",");
        if (!isPunct(y.end, ")")) fail("Missing closing parenthesis in points attribute");
        point.xText = x.text;
        point.yText = y.text;
        bool xNumber = x.literal && !x.text.empty() && x.text[0] != '"';
        bool yNumber = y.literal && !y.text.empty() && y.text[0] != '"';
        if (xNumber) point.x = x.value, point.xFlag = VF_SOURCE;
        if (yNumber) point.y = y.value, point.yFlag = VF_SOURCE;
        obj->points.push_back(std::move(point));
        t = next();
        if (isPunct(t, ",")) t = next();
        if (isPunct(t, ")")) break;
        if (!isPunct(t, "(")) fail("Missing closing parenthesis in points attribute");
        sc_.pushBack(t);
    }
    *end = next();
}

// A prototype's object takes the prototype's own parameters, kept as
// written (only a point list named points is edited); other objects take
// the attributes of the model, and keep those the model does not edit.
void Reader::readAttribute(SourceObject* obj, const Token& name) {
    if (!isPunct(next(), "=")) fail("'=' expected");
    Token end;
    const ProtoParam* param = obj->ofPrototype ? protoParam(obj->kind, name.text) : nullptr;
    int attr = modelAttrOf(name.text);
    bool pointList = name.text == "points" && (!obj->ofPrototype || (param && param->kind == 4));
    if (pointList) {
        readPoints(obj, &end);
    } else {
        Expr e = readUntil(",", nullptr);
        end = e.end;
        bool translationParam = param && param->kind == 2;
        if (obj->ofPrototype && attr == MA_TRANSLATION && !translationParam)
            fail(name.text + " is not a legal translation attribute");
        if (translationParam) obj->translationParams.push_back(name.text);
        if (obj->ofPrototype || attr < 0) {
            obj->kept.push_back(KeptAttr{name.text, e.text});
        } else {
            if (e.literal) set_attrval(obj, name.text, e.literalText, e.value, VF_SOURCE);
            set_attrraw(obj, name.text, e.text);
        }
    }
    if (end.kind == TK_EOF) fail("Unexpected end of input");
    if (isPunct(end, "}")) fail("';' expected");
    if (isPunct(end, ";")) sc_.pushBack(end);
}

void Reader::readObjectStat(const Token& keyword) {
    std::string before = sc_.cutAround(keyword);
    // The statement's indentation goes with it, so that deleting it
    // leaves no blanks behind.
    std::size_t lineStart = before.find_last_not_of(" \t");
    lineStart = lineStart == std::string::npos ? 0 : lineStart + 1;
    bool ownLine = lineStart == 0 || before[lineStart - 1] == '\n';
    auto owned = std::make_unique<SourceObject>();
    SourceObject* obj = owned.get();
    if (ownLine) {
        obj->indent = before.substr(lineStart);
        before.resize(lineStart);
    }
    addChunk(std::move(before));
    obj->block = block_;
    obj->kind = keyword.text;
    obj->ofPrototype = isPrototype(obj->kind);
    for (;;) {
        Token t = next();
        if (isPunct(t, ";")) break;
        if (t.kind == TK_EOF) fail("Unexpected end of input");
        if (t.kind != TK_WORD) fail("Attribute name expected");
        readAttribute(obj, t);
    }
    // The statement's line end belongs to it: the regenerated text ends
    // with one, so writing the model again does not add blank lines.
    sc_.takeNewline();
    block_->chunks.push_back(TextChunk{sc_.cut()});
    obj->chunk = std::prev(block_->chunks.end());
    obj->hasChunk = true;
    readDefaults(obj);
    initialize_object(obj);
    block_->objects.push_back(std::move(owned));
}

// A fallback comment: "// FALLBACK name = value, ..., points = ((x,y)...)".
class FallbackReader {
public:
    FallbackReader(const std::string& body, SourceObject* obj, int line)
        : sc_(body.data(), body.size()), obj_(obj), line_(line) {}

    void read() {
        try {
            readItems();
        } catch (SyntaxError& e) {
            e.line = line_;
            throw;
        }
    }

private:
    [[noreturn]] void fail(const char* message) { throw SyntaxError{message, line_}; }

    void readItems() {
        for (;;) {
            Token name = sc_.next();
            if (name.kind != TK_WORD || !isPunct(sc_.next(), "=")) return;
            if (name.text == "points") readPoints();
            else if (!readValue(name.text)) return;
            if (!isPunct(sc_.next(), ",")) return;
        }
    }

    bool readNumber(std::int32_t* value) {
        Token t = sc_.next();
        bool negative = isPunct(t, "-");
        if (negative) t = sc_.next();
        if (!isNumber(t)) return false;
        *value = negative ? negated(roundedValue(t)) : roundedValue(t);
        return true;
    }

    bool readValue(const std::string& name) {
        Token t = sc_.next();
        if (t.kind == TK_STRING) {
            set_attrval(obj_, name, t.text, 0, VF_FALLBACK);
            return true;
        }
        sc_.pushBack(t);
        std::int32_t value = 0;
        if (!readNumber(&value)) return false;
        set_attrval(obj_, name, std::to_string(value), value, VF_FALLBACK);
        return true;
    }

    void readPoints() {
        if (!isPunct(sc_.next(), "(")) fail("points attribute does not start with '('");
        std::size_t index = 0;
        for (Token t = sc_.next(); isPunct(t, "("); t = sc_.next()) {
            std::int32_t x = 0, y = 0;
            if (!readNumber(&x) || !isPunct(sc_.next(), ",") || !readNumber(&y) || !isPunct(sc_.next(), ")"))
                return;
            if (index >= obj_->points.size()) fail("More points in fallback-comment than in the object itself");
            SourcePoint& p = obj_->points[index++];
            if (p.xFlag == VF_NONE) p.x = x, p.xFlag = VF_FALLBACK;
            if (p.yFlag == VF_NONE) p.y = y, p.yFlag = VF_FALLBACK;
            Token sep = sc_.next();
            if (!isPunct(sep, ",")) sc_.pushBack(sep);
        }
    }

    SourceScanner sc_;
    SourceObject* obj_;
    int line_;
};

void Reader::readDefaults(SourceObject* obj) {
    sc_.commentMode = true;
    Token t = next();
    sc_.commentMode = false;
    if (t.kind != TK_COMMENT) {
        sc_.pushBack(t);
        return;
    }
    std::string body = t.text;
    std::size_t begin = body.find_first_not_of(" \t");
    if (begin == std::string::npos || body.compare(begin, 8, "FALLBACK") != 0) return;
    std::size_t after = begin + 8;
    if (after < body.size() && (std::isalnum(static_cast<unsigned char>(body[after])) || body[after] == '_'))
        return;
    FallbackReader(body.substr(after), obj, t.line).read();
    // The comment is regenerated with the object: drop it and its line end.
    sc_.takeNewline();
    sc_.cut();
}

std::string readWholeFile(std::FILE* file, bool* tooLarge) {
    std::string data;
    char buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        data.append(buffer, n);
        if (static_cast<long>(data.size()) > kMaxSourceBytes) {
            *tooLarge = true;
            break;
        }
    }
    return data;
}

}  // namespace

int modelAttrOf(const std::string& name) {
    for (int i = 0; i < MA_COUNT; ++i)
        if (name == kAttrNames[i].longName || name == kAttrNames[i].shortName) return i;
    return -1;
}

const char* modelAttrName(int attr) { return kAttrNames[attr].longName; }

std::int32_t intDefault(int attr) {
    switch (attr) {
    case MA_ACTIVE: return 1;
    case MA_COLOR: return 0xBEBEBE;
    case MA_ENDANGLE: return 360;
    case MA_LINEWIDTH: return 1;
    case MA_SAVEBACKGROUND: return 1;
    default: return 0;
    }
}

const char* textDefault(int attr) {
    switch (attr) {
    case MA_FONT: return kDefaultFont;
    case MA_OUTTEXT: return "0";
    default: return "";
    }
}

void set_attrval(SourceObject* obj, const std::string& name, const std::string& text, std::int32_t value,
                 std::uint8_t flag) {
    int attr = modelAttrOf(name);
    if (attr < 0 || obj->flags[attr] == VF_SOURCE) return;
    if (isIntAttr(attr))
        obj->ints[attr] = value;
    else
        obj->texts[attr - kIntAttrs] = text;
    obj->flags[attr] = flag;
}

void set_attrraw(SourceObject* obj, const std::string& name, const std::string& text) {
    int attr = modelAttrOf(name);
    if (attr >= 0) obj->raw[attr] = text;
}

// A translation has no value apart from its text, so the text is its value.
void initialize_object(SourceObject* obj) {
    for (int attr = 0; attr < MA_COUNT; ++attr) {
        if (obj->flags[attr] != VF_NONE) continue;
        if (isIntAttr(attr))
            obj->ints[attr] = intDefault(attr);
        else if (attr == MA_TRANSLATION)
            obj->texts[attr - kIntAttrs] = obj->raw[attr];
        else
            obj->texts[attr - kIntAttrs] = textDefault(attr);
    }
}

bool readSourceText(const char* name, const char* data, std::size_t length, std::unique_ptr<SourceModel>* out,
                    std::string* error) {
    auto model = std::make_unique<SourceModel>();
    model->fileName = name ? name : "";
    SourceScanner scanner(data, length);
    try {
        Reader(scanner, *model).globalParse();
    } catch (const SyntaxError& e) {
        char line[32];
        std::snprintf(line, sizeof line, "%d", e.line);
        *error = "\"" + model->fileName + "\", at line " + line + ":\n   " + e.message + ".\n";
        out->reset();
        return false;
    }
    *out = std::move(model);
    return true;
}

AuthoringState& authoringState(UnitContext* ctx) {
    if (!ctx->authoring) ctx->authoring = new AuthoringState;
    return *ctx->authoring;
}

int kivthor_parse(UnitContext* ctx, const char* fileName) {
    if (!fileName) return 0;
    std::FILE* file = std::fopen(fileName, "rb");
    if (!file) return 0;
    bool tooLarge = false;
    std::string data = readWholeFile(file, &tooLarge);
    bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed || tooLarge) return 0;
    std::unique_ptr<SourceModel> model;
    std::string error;
    if (!readSourceText(fileName, data.data(), data.size(), &model, &error)) {
        errorMsg(ctx, MSG_FATAL, error.c_str());
        return 0;
    }
    kivthor_free(ctx);
    AuthoringState& state = authoringState(ctx);
    state.model = std::move(model);
    return 1;
}

int get_kiv_blocks(UnitContext* ctx, std::vector<std::string>* names) {
    names->clear();
    AuthoringState& state = authoringState(ctx);
    if (!state.model) return 0;
    for (const auto& block : state.model->blocks) names->push_back(block->name);
    return static_cast<int>(names->size());
}

int set_current_block(UnitContext* ctx, const char* name) {
    AuthoringState& state = authoringState(ctx);
    if (!state.model || !name) return 0;
    for (const auto& block : state.model->blocks) {
        if (block->name != name) continue;
        state.current = block.get();
        state.table.clear();
        for (const auto& obj : block->objects) state.table.push_back(TableEntry{obj.get(), {}});
        return 1;
    }
    return 0;
}
