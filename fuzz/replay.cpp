// Runs a fuzz target over files and folders of inputs named on the
// command line, the way libFuzzer runs it on a corpus, for the ordinary
// test suite. A sanitizer report ends the run and fails the test; a
// missing folder is skipped, so a target without regressions still runs.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

void runFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
    int count = 0;
    for (int i = 1; i < argc; ++i) {
        std::filesystem::path path(argv[i]);
        if (std::filesystem::is_regular_file(path)) {
            runFile(path);
            ++count;
        } else if (std::filesystem::is_directory(path)) {
            for (const auto& entry : std::filesystem::directory_iterator(path)) {
                if (!entry.is_regular_file()) continue;
                runFile(entry.path());
                ++count;
            }
        }
    }
    std::printf("%d inputs run\n", count);
    return count > 0 ? 0 : 1;
}
