#pragma once
// The one way documents reach the disk, so that a failed save never destroys what was there.
//
//     saveReplacing(fileName, [&](std::ostream& out) { PrintTo(out, true); });
//     saveReplacing(stcPath, writeSlices, "Failed opening STC for writing: ", std::ios::binary);
//
// `write` fills a temporary file beside `path`; only when it returns and everything has been
// flushed to disk does the temporary replace `path` (a symbolic link is followed and its target
// replaced). On any failure (the temporary cannot be created, a write fails half way, the rename
// fails) the temporary is removed, `path` is left as it was, and std::runtime_error with the
// message `errorPrefix + path` is thrown. An exception thrown by `write` itself is passed on
// after the clean-up.

#include <functional>
#include <ios>
#include <ostream>
#include <string>

namespace vocelle {

using StreamWriter = std::function<void(std::ostream& out)>;

void saveReplacing(const std::string& path, const StreamWriter& write,
                   const std::string& errorPrefix = "Cannot Create file: ",
                   std::ios::openmode extraMode = std::ios::openmode());

} // namespace vocelle
