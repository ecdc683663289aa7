#pragma once
// The ordinary least-squares fit of a design to a time course.
//
// The design's columns are its predictors, its rows the run's volumes. The fit goes through a
// Householder QR decomposition in double precision; standard errors come from the inverse of
// its R factor, t against Student's t with volumes - predictors degrees of freedom, p two-sided.
// R² is 1 - RSS / TSS, TSS taken about the time course's mean.

#include <glm/vec3.hpp>

#include <string>
#include <vector>

namespace vocelle {

class SDM;

struct Design {
    std::vector<std::string> names;
    std::vector<glm::tvec3<int>> colours;
    std::vector<std::vector<double>> columns; // columns[p][t]
    long long volumes() const { return columns.empty() ? 0 : static_cast<long long>(columns[0].size()); }
};

struct Contrast {
    std::string name;
    std::vector<double> weights; // one per predictor
};

// One estimate of a fit: a predictor's or a contrast's.
struct Term {
    std::string name;
    double estimate = 0, se = 0, t = 0, p = 0;
};

struct Fit {
    std::vector<Term> terms; // the predictors in design order, then the contrasts
    long long dof = 0;
    double r2 = 0;
    std::vector<double> fitted; // per volume
};

// The design of sdm for a run of `volumes` volumes. Refused (FaultError naming the SDM): a file
// read only partly; NrOfDataPoints other than `volumes`; a design of full rank not reached (the
// message names the predictors involved); no degrees of freedom left. `warnings` receives one
// line when no predictor is constant.
Design designFromSDM(const SDM& sdm, long long volumes, std::vector<std::string>& warnings);

// Refuses (FaultError naming the SDM) a contrast whose weights do not match the predictors.
void checkContrasts(const Design& design, const std::vector<Contrast>& contrasts,
                    const std::string& sdmPath);

// "NAME=w1,w2,..." as a contrast; false when it is not of that form.
bool parseContrast(const std::string& text, Contrast& contrast);

// The fit of a design that designFromSDM accepted to one time course (one value per volume).
Fit fitDesign(const Design& design, const std::vector<double>& course,
              const std::vector<Contrast>& contrasts);

} // namespace vocelle
