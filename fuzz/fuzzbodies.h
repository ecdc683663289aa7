#pragma once
// Fuzz bodies, one per reader (images, label tables, reports, manifests too), the job list and the
// conversion: each feeds bytes as a file would, accepts only documented failures, checks invariants.
// libFuzzer drives them (fuzz/target.cpp); the test suite replays the corpora and regressions.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace vocelle {

// A broken invariant: not a reader failure, a bug.
struct BrokenInvariant : std::runtime_error {
    using std::runtime_error::runtime_error;
};

using FuzzBody = void (*)(const std::uint8_t* data, std::size_t size);

struct FuzzTarget {
    const char* name; // also the folder name of its corpus, regressions and dictionary
    FuzzBody body;
};

extern const FuzzTarget fuzzTargets[]; // ends with {nullptr, nullptr}

FuzzBody findFuzzBody(const std::string& name); // nullptr when unknown

// Multi-document inputs (STC, conversion) are split at this line.
constexpr const char* fuzzDocumentSeparator = "\n%%%%\n";

} // namespace vocelle
