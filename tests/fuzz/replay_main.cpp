// Replays saved inputs through a harness without libFuzzer, so that the test run keeps every
// corpus file and every fixed crash's reproducer passing. Each argument is a file or a folder
// whose files (not starting with ".") are all replayed, in name order. A harness that finds a
// fault aborts, which fails the test; a run that found nothing to replay fails as well, so that
// a mistyped folder cannot pass unnoticed.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

bool Replay(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "replay: cannot read %s\n", file.c_str());
        return false;
    }
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // A heap block of exactly the input's size, as libFuzzer hands it: reads past the end are
    // caught by the sanitizers.
    std::vector<uint8_t> exact(bytes.begin(), bytes.end());
    LLVMFuzzerTestOneInput(exact.data(), exact.size());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    size_t replayed = 0;
    for (int i = 1; i < argc; ++i) {
        std::filesystem::path arg(argv[i]);
        std::error_code error;
        if (std::filesystem::is_directory(arg, error)) {
            std::vector<std::filesystem::path> files;
            for (const auto& entry : std::filesystem::directory_iterator(arg)) {
                if (entry.is_regular_file() && entry.path().filename().string()[0] != '.')
                    files.push_back(entry.path());
            }
            std::sort(files.begin(), files.end());
            for (const auto& f : files) replayed += Replay(f) ? 1 : 0;
        } else if (std::filesystem::exists(arg, error)) {
            replayed += Replay(arg) ? 1 : 0;
        } else {
            std::fprintf(stderr, "replay: %s does not exist\n", argv[i]);
            return 1;
        }
    }
    std::printf("replayed %zu inputs\n", replayed);
    return replayed > 0 ? 0 : 1;
}
