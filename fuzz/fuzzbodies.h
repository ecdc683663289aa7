#pragma once
// The bodies of the fuzz targets, one per reader plus the job list and the conversion. Each
// feeds the bytes to the code as a file would, through an in-memory stream, accepts only the
// failures that code documents, and checks a few invariants that must hold for any input.
// libFuzzer drives them from fuzz/target.cpp; the normal test suite replays the seed corpora
// and every input that ever failed (fuzz/regressions) through the same bodies.

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>

// Thrown when a body finds a broken invariant: not a reader failure, a bug.
class BrokenInvariant : public std::exception {
  public:
    explicit BrokenInvariant(std::string what) : what_(std::move(what)) {}
    const char* what() const noexcept override { return what_.c_str(); }

  private:
    std::string what_;
};

using FuzzBody = void (*)(const std::uint8_t* data, std::size_t size);

struct FuzzTarget {
    const char* name; // also the folder name of its corpus, regressions and dictionary
    FuzzBody body;
};

// Every target, in a fixed order; ends with {nullptr, nullptr}.
extern const FuzzTarget fuzzTargets[];

// The body of the named target, or nullptr.
FuzzBody findFuzzBody(const std::string& name);

// Multi-document inputs (STC, conversion) are split at this line.
constexpr const char* fuzzDocumentSeparator = "\n%%%%\n";
