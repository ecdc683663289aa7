#pragma once
// The one way a document is opened for reading.

#include <vocelle/text/fault.h>

#include <fstream>
#include <ios>
#include <string>

namespace vocelle {

// Opens a regular file (links followed). Anything else, or a file that cannot be opened, throws
// a FaultError (`what`, the path and the system's reason); a folder, device, pipe or socket is
// refused without being opened, since opening it can block or give a stream that never ends.
std::ifstream openForReading(const std::string& path, std::ios::openmode mode = std::ios::in,
                             const char* what = faulttext::openForReading);

} // namespace vocelle
