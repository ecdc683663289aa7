#include <vocelle/host/outcome.h>

#include <vocelle/plugin/logtexts.h>

namespace vocelle {

namespace {

bool startsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

} // namespace

void RunOutcome::logEntry(const std::string& text) {
    if (startsWith(text, logtexts::converted)) ++convertedJobs;
    else if (startsWith(text, logtexts::notEnoughFiles) || startsWith(text, logtexts::conversionFailed))
        ++notConvertedJobs;
    else if (startsWith(text, logtexts::listLineTooLong))
        unreadableList = true;
}

int RunOutcome::exitStatus() const {
    if (failedStart || unreadableList) return 2;
    return notConvertedJobs > 0 ? 1 : 0;
}

std::string RunOutcome::summary() const {
    return std::to_string(convertedJobs) + " converted, " + std::to_string(notConvertedJobs) +
           " not converted";
}

} // namespace vocelle
