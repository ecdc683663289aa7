#pragma once
// A document's FileVersion before any FileVersion line was read. A TRF or TAL that still holds it
// (built empty, or read from a file without a FileVersion line) counts as absent: the conversion
// leaves that step out.

namespace vocelle {

constexpr int absentFileVersion = -1;

template <typename Document> bool countsAsAbsent(const Document& document) {
    return document.FileVersion.value() == absentFileVersion;
}

} // namespace vocelle
