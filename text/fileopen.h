#pragma once
// The one way a document is opened for reading.

#include <fstream>
#include <ios>
#include <string>

namespace vocelle {

// Opens a regular file (links followed). Anything else, or a file that cannot be opened, throws
// std::runtime_error(errorPrefix + path); a folder, device, pipe or socket is refused without
// being opened, since opening it can block or give a stream that never ends.
std::ifstream openForReading(const std::string& path,
                             const std::string& errorPrefix = "Failed opening for reading: ",
                             std::ios::openmode mode = std::ios::in);

} // namespace vocelle
