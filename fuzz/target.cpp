// One libFuzzer target; VOCELLE_FUZZ_TARGET names the body it runs.
#include "fuzz/fuzzbodies.h"

#include <cstdio>
#include <cstdlib>

using namespace vocelle;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const FuzzBody body = findFuzzBody(VOCELLE_FUZZ_TARGET);
    if (body == nullptr) {
        std::fprintf(stderr, "no fuzz body named %s\n", VOCELLE_FUZZ_TARGET);
        std::abort();
    }
    body(data, size); // a BrokenInvariant or an undocumented exception aborts: a finding
    return 0;
}
