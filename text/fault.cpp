#include <vocelle/text/fault.h>

#include <cstring>
#include <utility>

namespace vocelle {

std::string Fault::message() const {
    return what + ": " + path;
}

std::string Fault::line() const {
    std::string text = message();
    if (!where.empty()) text += " (" + where + ")";
    if (reason != 0) text += std::string(": ") + std::strerror(reason);
    return text;
}

FaultError::FaultError(Fault fault)
    : std::runtime_error(fault.message()), fault_(std::move(fault)) {}

void notePartlyRead(Fault& record, const std::string& why) {
    if (record.empty()) record.what = "Read only partly (" + why + ")";
}

} // namespace vocelle
