// Hostile input through the readers: the fuzz seeds and every input that ever failed a fuzz
// target, replayed through the same bodies.

#include "fuzz/fuzzbodies.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path fuzzDir = VOCELLE_FUZZ_DIR;

std::string readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(FuzzReplay, SeedsAndRegressionsRunClean) {
    for (const FuzzTarget* target = fuzzTargets; target->name != nullptr; ++target) {
        int seeds = 0;
        for (const char* folder : {"corpus", "regressions"}) {
            const fs::path dir = fuzzDir / folder / target->name;
            if (!fs::is_directory(dir)) continue;
            for (const auto& entry : fs::directory_iterator(dir)) {
                const std::string bytes = readBytes(entry.path());
                const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
                try {
                    target->body(data, bytes.size());
                } catch (const std::exception& e) {
                    ADD_FAILURE() << entry.path() << ": " << e.what();
                }
                if (std::string(folder) == "corpus") ++seeds;
            }
        }
        EXPECT_GT(seeds, 0) << "no seed corpus for " << target->name;
    }
}

} // namespace
