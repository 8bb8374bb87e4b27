// Fuzz target: the source-model reader on arbitrary program text, and the
// writer on whatever it reads. A text the reader accepts must be written
// as a text it accepts again, and from the second writing on the text
// must stay the same: otherwise saving in an editor would lose or garble
// the program a little more each time.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "authoring/model.h"

namespace {

std::string readAndWrite(const std::string& text, bool mustRead) {
    std::unique_ptr<SourceModel> model;
    std::string error;
    if (!readSourceText("f.kiv", text.data(), text.size(), &model, &error)) {
        if (mustRead) {
            std::fprintf(stderr, "Written text does not read back: %s\n--- text\n%s\n", error.c_str(), text.c_str());
            std::abort();
        }
        return {};
    }
    return writeModelText(*model);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    std::unique_ptr<SourceModel> model;
    std::string error;
    if (!readSourceText("f.kiv", text.data(), text.size(), &model, &error)) return 0;
    std::string written = writeModelText(*model);
    std::string second = readAndWrite(written, true);
    std::string third = readAndWrite(second, true);
    if (third != second) std::abort();
    return 0;
}
