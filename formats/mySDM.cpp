#include <vocelle/formats/mySDM.h>

#include <vocelle/formats/fileversion.h>
#include <vocelle/text/fileopen.h>
#include <vocelle/text/keyscan.h>
#include <vocelle/text/logsink.h>
#include <vocelle/text/safesave.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cerrno>
#include <cstdlib>
#include <iomanip>
#include <stdexcept>

namespace vocelle {

namespace {

const int headerWidth = 24;
const std::size_t fieldWidth = 12;
// More predictors than any design matrix has; their defaults still cost well under a megabyte.
const long long kPlausiblePredictors = 10000;

// Exactly `count` numbers separated by white space, each token a whole number; false otherwise.
bool splitAtWhiteSpace(const std::string& row, long long count, std::vector<float>& numbers) {
    numbers.clear();
    const char* next = row.c_str();
    for (;;) {
        while (std::isspace(static_cast<unsigned char>(*next))) ++next;
        if (*next == '\0') break;
        if (static_cast<long long>(numbers.size()) == count) return false;
        char* end = nullptr;
        errno = 0;
        const float number = std::strtof(next, &end);
        // Underflow still yields the nearest float (a tiny value or zero); only overflow is no number.
        const bool overflow = errno == ERANGE && std::isinf(number);
        if (end == next || overflow || (*end != '\0' && !std::isspace(static_cast<unsigned char>(*end))))
            return false;
        numbers.push_back(number);
        next = end;
    }
    return static_cast<long long>(numbers.size()) == count;
}

// The number in the 12 characters starting at 12 * index of data row `point` (from 0).
float fixedField(const std::string& row, long long index, const std::string& fileName, long long point) {
    const auto start = static_cast<std::size_t>(index) * fieldWidth;
    try {
        if (start <= row.size()) return std::stof(row.substr(start, fieldWidth));
    } catch (const std::logic_error&) {
    }
    throw FaultError({"Invalid data row in SDM file", fileName, "data point " + std::to_string(point + 1)});
}

// The header ends at FirstConfoundPredictor:.
const FieldTable<SDM>& headerFields() {
    static const FieldTable<SDM> fields = {
        {"FileVersion:", &SDM::FileVersion, 2},
        {"NrOfPredictors:", &SDM::NrOfPredictors, 1},
        {"NrOfDataPoints:", &SDM::NrOfDataPoints, 1},
        {"IncludesConstant:", &SDM::IncludesConstant, 1},
        {"FirstConfoundPredictor:", &SDM::FirstConfoundPredictor, 2}};
    return fields;
}

} // namespace

SDM::SDM() {
    FileVersion = 1;
    setLineNames(headerFields(), *this, headerWidth);
}

SDM::SDM(const std::string& fileName) : fileName(fileName) {
    std::ifstream in;
    try {
        in = openForReading(fileName, std::ios::in, faulttext::openSdmForReading);
    } catch (const FaultError& error) {
        readFault = error.fault();
        logMessage("!!!  " + readFault.message());
        FileVersion.value() = absentFileVersion;
        return;
    }
    read(in);
}

SDM::SDM(std::istream& in, const std::string& fileName) : fileName(fileName) { read(in); }

void SDM::read(std::istream& in) {
    readFault.path = fileName;
    if (!scanFields(in, headerFields(), *this, "FirstConfoundPredictor:", &readFault))
        notePartlyRead(readFault, "FirstConfoundPredictor: is missing");
    const long long predictors = std::max(0, NrOfPredictors.value());
    const long long dataPoints = std::max(0, NrOfDataPoints.value());

    // Colours: r g b per predictor. The read after the last one stops at the names' first quote;
    // fewer colours than predictors are allowed, a file that ends among them is cut.
    int r = 0, g = 0, b = 0;
    in >> r;
    while (in && static_cast<long long>(red.size()) < predictors) {
        if (!(in >> g >> b)) break;
        red.push_back(r);
        green.push_back(g);
        blue.push_back(b);
        in >> r;
    }
    if (static_cast<long long>(red.size()) < predictors && in.eof())
        notePartlyRead(readFault, "the file ends after " + std::to_string(red.size()) + " of the " +
                                      std::to_string(predictors) + " colours");
    in.clear();

    std::string text;
    std::getline(in, text);
    if (text.find('"') == std::string::npos) std::getline(in, text);
    if (predictors > 0 && !in) notePartlyRead(readFault, "the file ends before the names");
    for (std::size_t from = 0; static_cast<long long>(predictorNames.size()) < predictors;) {
        const auto open = text.find('"', from);
        if (open == std::string::npos) break;
        const auto close = text.find('"', open + 1);
        if (close == std::string::npos) break;
        predictorNames.push_back(text.substr(open + 1, close - open - 1));
        from = close + 1;
    }

    // Rows are stored as they are read; a row that lacks its numbers ends reading with an error
    // before the claimed count could cost anything.
    std::vector<float> row;
    for (long long t = 0; predictors > 0 && t < dataPoints; ++t) {
        if (!std::getline(in, text)) text.clear();
        if (!splitAtWhiteSpace(text, predictors, row)) {
            row.clear();
            for (long long p = 0; p < predictors; ++p) row.push_back(fixedField(text, p, fileName, t));
        }
        if (values.empty()) values.resize(static_cast<std::size_t>(predictors));
        for (long long p = 0; p < predictors; ++p) values[p].push_back(row[p]);
    }

    // Every predictor a design can have gets its colour, name and column, as many as claimed.
    // Beyond that a count is believed only as far as the file backs it: by data rows (each held a
    // number per predictor), else by colours or names.
    const long long kept =
        !values.empty() || predictors <= kPlausiblePredictors
            ? predictors
            : std::min<long long>(predictors, std::max(red.size(), predictorNames.size()));
    if (kept < predictors)
        notePartlyRead(readFault, "NrOfPredictors: " + std::to_string(predictors) +
                                      " is more than the file holds");
    const auto count = static_cast<std::size_t>(kept);
    red.resize(count, 0);
    green.resize(count, 0);
    blue.resize(count, 0);
    predictorNames.resize(count, "NoName");
    values.resize(count);
}

void SDM::PrintTo(std::ostream& out) const {
    printFields(out, headerFields(), *this);

    const auto colours = std::min({red.size(), green.size(), blue.size()});
    for (std::size_t p = 0; p < colours; ++p)
        out << (p > 0 ? "   " : "") << red[p] << ' ' << green[p] << ' ' << blue[p];
    out << '\n';
    for (std::size_t p = 0; p < predictorNames.size(); ++p)
        out << (p > 0 ? " " : "") << '"' << predictorNames[p] << '"';
    out << '\n';

    out << std::fixed << std::setprecision(6);
    std::size_t rows = values.empty() ? 0 : values[0].size();
    for (const auto& column : values) rows = std::min(rows, column.size());
    for (std::size_t t = 0; t < rows; ++t) {
        for (std::size_t p = 0; p < values.size(); ++p) {
            const float value = values[p][t];
            out << (p == 0 ? " " : "  ") << (value >= 0 ? " " : "") << value;
        }
        out << '\n';
    }
}

void SDM::Save() const {
    saveReplacing(fileName, [this](std::ostream& out) { PrintTo(out); });
}

void SDM::SaveAs(const std::string& newFileName) {
    fileName = newFileName;
    Save();
}

} // namespace vocelle
