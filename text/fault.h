#pragma once
// The one record of a failure, and the one exception that carries it.
//
// A fault says what went wrong, in which file, where in it when that is known (a line, a key, a
// byte offset) and the system's reason when there is one. Its message is the text followed by
// the path, the form every document error has ("Failed opening for reading: a.roi"); the host
// prints each fault in one line, adding where and the system's reason:
//
//     throw FaultError({faulttext::createFile, path, "", errno});
//     vocelle: Cannot Create file: out.voi: No space left on device
//
// A document that was read only partly keeps its fault as a record (readFault) instead of
// throwing: what it holds is still worth printing.

#include <stdexcept>
#include <string>
#include <utility>

namespace vocelle {

struct Fault {
    Fault() = default;
    Fault(std::string what, std::string path, std::string where = {}, int reason = 0)
        : what(std::move(what)), path(std::move(path)), where(std::move(where)), reason(reason) {}

    std::string what;  // what went wrong, without the path
    std::string path;  // the file it concerns
    std::string where; // where in the file, when known: "line 4", "byte 352"
    int reason = 0;    // the system's errno value behind it; 0 when the system gave none

    bool empty() const { return what.empty(); }
    // what, ": " and the path: the message of the exception that carries the fault.
    std::string message() const;
    // message(), then " (where)" and ": " with the system's reason, each when known: the line the
    // host prints.
    std::string line() const;
};

class FaultError : public std::runtime_error {
  public:
    explicit FaultError(Fault fault);
    const Fault& fault() const noexcept { return fault_; }

  private:
    Fault fault_;
};

// Notes in a document's record, unless it holds a fault already, that reading stopped early and
// why: "Read only partly (why)". The document gives the record its path when reading is done.
void notePartlyRead(Fault& record, const std::string& why);

// The fixed texts of the documents' errors.
namespace faulttext {
constexpr const char* openForReading = "Failed opening for reading";
constexpr const char* createFile = "Cannot Create file";
constexpr const char* openStcForReading = "Failed opening STC for reading";
constexpr const char* openStcForWriting = "Failed opening STC for writing";
constexpr const char* openSdmForReading = "Failed opening SDM for reading";
} // namespace faulttext

} // namespace vocelle
