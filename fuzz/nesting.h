// A cheap bound on how deep program text makes the parser's rules nest,
// for the targets that parse: brackets open at once, "else" branches
// (a chain of else-ifs nests each in the one before) and statements
// whose body is the next keyword statement ("if (a) while (b) ...").
// Conservative: text that passes stays well below the parser's limit;
// comments and strings count as code.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

inline bool nestsTooDeep(const std::uint8_t* data, std::size_t size) {
    constexpr int kMaxBrackets = 20;
    constexpr int kMaxElses = 60;
    constexpr int kMaxChain = 40;
    static const char* const kStatementWords[] = {"if", "while", "for", "switch"};
    int open = 0, elses = 0, chain = 0;
    auto wordAt = [&](std::size_t i, const char* word) {
        std::size_t n = std::strlen(word);
        return i + n <= size && std::memcmp(data + i, word, n) == 0;
    };
    for (std::size_t i = 0; i < size; ++i) {
        char c = static_cast<char>(data[i]);
        if (c == '(' || c == '[' || c == '{') ++open;
        if ((c == ')' || c == ']' || c == '}') && open > 0) --open;
        if (c == ';' || c == '{' || c == '}') chain = 0;
        if (wordAt(i, "else")) ++elses;
        for (const char* word : kStatementWords)
            if (wordAt(i, word)) ++chain;
        if (open > kMaxBrackets || elses > kMaxElses || chain > kMaxChain) return true;
    }
    return false;
}
