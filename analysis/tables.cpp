#include <vocelle/analysis/tables.h>

#include <charconv>
#include <cmath>

namespace vocelle {

namespace {

std::string number(double v) {
    if (std::isnan(v)) return "";
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, v, std::chars_format::general, 9);
    return std::string(text, end.ptr);
}

// A name as one cell: tabs and line ends would break the table.
std::string cellText(std::string name) {
    for (char& c : name)
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    return name;
}

} // namespace

void writeTimeCourses(std::ostream& out, const std::vector<Region>& regions,
                      const TimeCourses& courses) {
    out << "volume";
    for (const Region& r : regions) out << '\t' << cellText(r.name);
    out << '\n';
    for (long long t = 0; t < courses.volumes; ++t) {
        out << t + 1;
        for (const auto& course : courses.means)
            out << '\t' << (course.empty() ? std::string() : number(course[size_t(t)]));
        out << '\n';
    }
}

std::string voxelCounts(const std::vector<Region>& regions) {
    std::string line;
    for (const Region& r : regions)
        line += (line.empty() ? "" : ", ") + r.name + ": " + std::to_string(r.voxels.size()) +
                " voxels";
    return line;
}

void writeFitHeader(std::ostream& out, bool job) {
    out << (job ? "roi\t" : "") << "region\tvoxels\tterm\testimate\tse\tt\tdof\tp\tr2\n";
}

void writeFits(std::ostream& out, const std::string& job, const std::vector<Region>& regions,
               const std::vector<Fit>& fits, const Design& design,
               const std::vector<Contrast>& contrasts) {
    std::vector<std::string> terms = design.names;
    for (const Contrast& c : contrasts) terms.push_back(c.name);
    for (size_t r = 0; r < regions.size(); ++r) {
        const Fit& fit = fits[r];
        for (size_t k = 0; k < terms.size(); ++k) {
            if (!job.empty()) out << cellText(job) << '\t';
            out << cellText(regions[r].name) << '\t' << regions[r].voxels.size() << '\t'
                << cellText(terms[k]);
            if (fit.terms.empty()) {
                out << "\t\t\t\t\t\t\n";
                continue;
            }
            const Term& t = fit.terms[k];
            out << '\t' << number(t.estimate) << '\t' << number(t.se) << '\t' << number(t.t)
                << '\t' << fit.dof << '\t' << number(t.p) << '\t' << number(fit.r2) << '\n';
        }
    }
}

} // namespace vocelle
