// Replays a fuzz target's seed corpus without libFuzzer: every file named on the
// command line (or found in a named folder) is fed once to LLVMFuzzerTestOneInput.
// Built with the sanitizers in the ordinary test build, so CI catches any seed
// that crashes, leaks or trips undefined behaviour.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

static int replay_file(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot open %s\n", p.c_str());
        return 1;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    return 0;
}

int main(int argc, char** argv) {
    int files = 0, failures = 0;
    for (int i = 1; i < argc; ++i) {
        std::filesystem::path p(argv[i]);
        if (std::filesystem::is_directory(p)) {
            for (const auto& e : std::filesystem::recursive_directory_iterator(p)) {
                if (e.is_regular_file()) {
                    failures += replay_file(e.path());
                    ++files;
                }
            }
        } else {
            failures += replay_file(p);
            ++files;
        }
    }
    std::printf("replayed %d inputs\n", files);
    return (files == 0 || failures) ? 1 : 0;
}
