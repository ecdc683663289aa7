#pragma once
// The one way the tools write a file, so that a failed save never destroys what was there.
//
//     saveReplacing(fileName, [&](std::ostream& out) { PrintTo(out, true); });
//     saveReplacing(stcPath, writeSlices, faulttext::openStcForWriting, std::ios::binary);
//     saveReplacingFile(imagePath, [&](const std::string& file) { writeImage(file); }, ".nii.gz");
//
// The content is written to a temporary file beside the target (a short name of fixed length,
// so any target name the file system accepts can be saved); only when it is complete and on disk
// does the temporary replace the target, keeping its permissions. A target that is a symbolic
// link has the file it points to replaced; the link stays. Where the folder takes no new file
// but the target exists and may be written, the content is written to a temporary file in the
// system's temporary folder and then copied into the target in place.
//
// Refused with a FaultError (`what`, the path and the system's reason), leaving the target as it
// was: a path holding a NUL byte, a target that exists and that the user may not write, a folder
// that takes no file, and any failure while writing. The temporary is removed in every case. An
// exception thrown by the writer itself is passed on after the clean-up.

#include <vocelle/text/fault.h>

#include <functional>
#include <ios>
#include <ostream>
#include <string>

namespace vocelle {

using StreamWriter = std::function<void(std::ostream& out)>;
// Writes the whole content to the file it is given (which exists, empty); throws on failure.
using FileWriter = std::function<void(const std::string& file)>;

void saveReplacing(const std::string& path, const StreamWriter& write,
                   const char* what = faulttext::createFile,
                   std::ios::openmode extraMode = std::ios::openmode());

// For writers that must name the file themselves; the temporary's name ends in `suffix`, for
// writers that tell the format by the name.
void saveReplacingFile(const std::string& path, const FileWriter& write, const std::string& suffix,
                       const char* what = faulttext::createFile);

} // namespace vocelle
