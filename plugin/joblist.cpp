#include <vocelle/plugin/joblist.h>

#include <vocelle/plugin/TarnPluginInterface.h>
#include <vocelle/plugin/logtexts.h>
#include <vocelle/plugin/tarnlog.h>
#include <vocelle/text/stringmanipulation.h>

#include <fstream>

namespace vocelle {

namespace {

bool endsWith(const std::string& line, const char* ending, int count) {
    return getLastCharacters(line, count) == ending;
}

bool isRoiLine(const std::string& line) { return endsWith(line, "roi", 3); }

// Reads up to the next line feed and drops it, like std::getline, but gives up on a line that
// cannot be a file name: the stream is then put in the failed state, so the list ends there as
// it does on a read error.
std::string readLine(std::istream& list, bool& tooLong) {
    std::string line;
    for (;;) {
        const int c = list.get();
        if (c == std::char_traits<char>::eof() || c == '\n') break;
        if (line.size() == maxJobListLineLength) {
            tooLong = true;
            list.setstate(std::ios_base::failbit);
            return std::string(); // a cut-off piece could look like a file name of some kind
        }
        line.push_back(static_cast<char>(c));
    }
    return line;
}

// Fills the first still-empty field whose ending the line has; later lines of a kind are ignored.
void collect(ConversionJob& job, const std::string& basePath, const std::string& line) {
    const struct {
        const char* ending;
        int count;
        std::string& field;
    } kinds[] = {
        {"fmr", 3, job.fmrName},         {"IA.trf", 6, job.iaTrfName},
        {"FA.trf", 6, job.faTrfName},    {"ACPC.trf", 8, job.acpcTrfName},
        {"tal", 3, job.talName},
    };
    for (const auto& kind : kinds) {
        if (endsWith(line, kind.ending, kind.count)) {
            if (kind.field.empty()) kind.field = basePath + line;
            return;
        }
    }
}

} // namespace

JobListEnd readJobList(std::istream& list, const std::function<void(const ConversionJob&)>& runJob) {
    bool tooLong = false;
    const auto result = [&] { return tooLong ? JobListEnd::LineTooLong : JobListEnd::Finished; };

    std::string basePath = readLine(list, tooLong);
    // A list saved with CR LF line ends: the CR is not part of the folder name.
    if (!basePath.empty() && basePath.back() == '\r') basePath.pop_back();
    if (!list.good()) return result();

    std::string current = basePath;
    for (;;) {
        // Seek the next ROI line.
        while (!isRoiLine(current)) {
            if (!list.good()) return result();
            current = removeEnclosingWhiteSpaces(readLine(list, tooLong));
        }

        ConversionJob job;
        job.roiName = basePath + current;
        current.clear();
        while (list.good() && !isRoiLine(current)) {
            current = removeEnclosingWhiteSpaces(readLine(list, tooLong));
            collect(job, basePath, current);
        }
        runJob(job);

        // An ROI line that ended the list, with no line feed after it, still opens a job, so no
        // ROI line is passed over in silence.
        if (!list.good() && !isRoiLine(current)) return result();
    }
}

void runJobList() {
    // Zeroed, so a host that writes nothing leaves the empty text (a cancelled choice).
    char chosen[tarn::fileNameBufferSize] = {};
    if (tarn::hxGetOpenFileName != nullptr)
        tarn::hxGetOpenFileName(logtexts::chooserTitle, "", logtexts::chooserFilter, chosen);
    // A host that writes no terminator cannot make us read past the buffer.
    chosen[tarn::fileNameBufferSize - 1] = '\0';
    const std::string listPath(chosen);

    std::ifstream list;
    if (!listPath.empty()) list.open(listPath);
    // A folder opens like a file but cannot be read: that too is a list that cannot be read.
    if (list.is_open()) list.peek();
    if (!list.is_open() || list.bad()) {
        if (tarn::hxMessageBox != nullptr) tarn::hxMessageBox(logtexts::listUnreadable);
        return;
    }
    if (readJobList(list, runConversion) == JobListEnd::LineTooLong)
        logger << logtexts::listLineTooLong << listPath << std::flush;
}

} // namespace vocelle
