#include <vocelle/host/outcome.h>

#include <vocelle/plugin/logtexts.h>
#include <vocelle/text/stringmanipulation.h>

namespace vocelle {

void RunOutcome::logEntry(const std::string& text) {
    if (startsWith(text, logtexts::converted)) ++convertedJobs;
    else if (startsWith(text, logtexts::notEnoughFiles) || startsWith(text, logtexts::conversionFailed))
        ++notConvertedJobs;
    else if (startsWith(text, logtexts::listLineTooLong))
        unreadableList = true;
    else if (startsWith(text, logtexts::listHoldsNoJob))
        noJob = true;
}

int RunOutcome::exitStatus() const {
    if (failedStart || unreadableList || noJob) return 2;
    return notConvertedJobs > 0 ? 1 : 0;
}

std::string RunOutcome::summary() const {
    return std::to_string(convertedJobs) + " converted, " + std::to_string(notConvertedJobs) +
           " not converted";
}

} // namespace vocelle
