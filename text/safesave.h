#pragma once
// The one way the tools write a file, so that a failed or interrupted save never destroys what
// was there.
//
//     saveReplacing(fileName, [&](std::ostream& out) { PrintTo(out, true); });
//     saveReplacing(stcPath, writeSlices, faulttext::openStcForWriting, std::ios::binary);
//
//     PendingSave table(tablePath), image(imagePath); // both written, then put in place in order
//     table.out() << text;
//     writeCompressed(image.fd());
//     table.commit();
//     image.commit();
//
// The rules (the README says the same):
// - The content goes to a new file in the target's folder that has no name until it is complete
//   and on disk (O_TMPFILE); it then takes the target's place in one step, so a process killed at
//   any moment leaves the old file or the new one and nothing else. Where the file system cannot
//   make unnamed files, the new file has a short hidden name `.vocelle-XXXXXX` beside the target,
//   removed on failure and on SIGINT or SIGTERM.
// - A symbolic link keeps pointing where it did: the file it names is replaced.
// - The new file gets the old one's mode, owner and group. A file that the saver may not write,
//   or whose owner or group a new file cannot be given (another user's file, also in a sticky
//   folder), or that lies in a folder which takes no new file, is refused and left as it was:
//   writing into it in place could leave it neither old nor new.
// - A file with other hard links is replaced like any other: the name saved to gets the new
//   content, the other names keep the old.
// - Character devices and pipes (/dev/null, a FIFO), and the process's own descriptors
//   (/dev/stdout, /dev/fd/N, /proc/self/fd/N), are written directly, as they come.
//
// Every refusal and failure is a FaultError: `what`, the path, why when the system's reason alone
// does not say it, and the system's reason. An exception thrown by a writer passes on after the
// clean-up.

#include <vocelle/text/fault.h>

#include <functional>
#include <ios>
#include <memory>
#include <ostream>
#include <string>

namespace vocelle {

using StreamWriter = std::function<void(std::ostream& out)>;

// One file being saved: made ready by the constructor (which throws what the save would refuse),
// written through out() or fd(), put in place by commit(). Dropped without commit (an exception,
// an early return), it leaves the target as it was.
class PendingSave {
  public:
    explicit PendingSave(const std::string& path, const char* what = faulttext::createFile);
    ~PendingSave();
    PendingSave(const PendingSave&) = delete;
    PendingSave& operator=(const PendingSave&) = delete;

    std::ostream& out();
    // For writers of their own; they report their write failures through fail().
    int fd() const;
    // Throws when anything written failed, or the new content cannot take the target's place.
    void commit();
    [[noreturn]] void fail(int reason) const;

  private:
    struct State;
    std::unique_ptr<State> state_;
    friend void checkSavable(const std::string& path, const char* what);
};

void saveReplacing(const std::string& path, const StreamWriter& write,
                   const char* what = faulttext::createFile,
                   std::ios::openmode extraMode = std::ios::openmode());

// Throws what a save of `path` would refuse before writing anything; writes nothing.
void checkSavable(const std::string& path, const char* what = faulttext::createFile);

// The file a save of `path` replaces: the end of its chain of symbolic links (which may not
// exist yet).
std::string saveTarget(const std::string& path);

// For tests: false makes every save use a named temporary, as on a file system without unnamed
// files.
void allowUnnamedTemporaries(bool allowed);

} // namespace vocelle
