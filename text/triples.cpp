#include <vocelle/text/triples.h>

#include <climits>
#include <locale>

namespace vocelle {

namespace {

using Traits = std::char_traits<char>;

bool isClassicSpace(int c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// `in >> value` for a stream in the classic locale with decimal, white-space-skipping input,
// without its per-number sentry and facet calls, which dominate reading large voxel lists. It
// takes the same characters and leaves the same state: white space, an optional sign, decimal
// digits; no digit, or a value beyond int, fails.
bool scanInt(std::istream& in, int& value) {
    if (!in.good()) {
        in.setstate(std::ios::failbit);
        return false;
    }
    std::streambuf& buf = *in.rdbuf();
    int c = buf.sgetc();
    while (c != Traits::eof() && isClassicSpace(c))
        c = buf.snextc();
    if (c == Traits::eof()) {
        in.setstate(std::ios::eofbit | std::ios::failbit);
        return false;
    }
    const bool negative = c == '-';
    if (negative || c == '+') c = buf.snextc();
    // Past this every value is out of range; the digits are still all taken, as `>>` does.
    constexpr long long kBeyondInt = 1LL << 32;
    long long magnitude = 0;
    bool digits = false;
    while (c >= '0' && c <= '9') {
        digits = true;
        if (magnitude < kBeyondInt) magnitude = magnitude * 10 + (c - '0');
        c = buf.snextc();
    }
    if (c == Traits::eof()) in.setstate(std::ios::eofbit);
    const long long signedValue = negative ? -magnitude : magnitude;
    if (!digits || signedValue < INT_MIN || signedValue > INT_MAX) {
        in.setstate(std::ios::failbit);
        return false;
    }
    value = static_cast<int>(signedValue);
    return true;
}

bool readsClassicDecimal(const std::istream& in) {
    return in.getloc() == std::locale::classic() && (in.flags() & std::ios::skipws) &&
           (in.flags() & std::ios::basefield) == std::ios::dec;
}

} // namespace

long long readTriples(std::istream& in, long long count, std::vector<glm::tvec3<int>>& triples) {
    const bool fast = readsClassicDecimal(in);
    const auto read = [&](int& v) { return fast ? scanInt(in, v) : static_cast<bool>(in >> v); };
    long long appended = 0;
    while (appended < count) {
        int x = 0, y = 0, z = 0;
        if (!(read(x) && read(y) && read(z))) break;
        triples.emplace_back(x, y, z);
        ++appended;
    }
    return appended;
}

} // namespace vocelle
