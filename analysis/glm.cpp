#include <vocelle/analysis/glm.h>

#include <vocelle/formats/mySDM.h>
#include <vocelle/text/fault.h>

#include <Eigen/Dense>
#include <boost/math/distributions/students_t.hpp>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <sstream>

namespace vocelle {

namespace {

using Matrix = Eigen::MatrixXd;
using Vector = Eigen::VectorXd;

Matrix matrixOf(const Design& design) {
    const Eigen::Index rows = design.volumes();
    const Eigen::Index cols = static_cast<Eigen::Index>(design.columns.size());
    Matrix x(rows, cols);
    for (Eigen::Index p = 0; p < cols; ++p)
        for (Eigen::Index t = 0; t < rows; ++t) x(t, p) = design.columns[size_t(p)][size_t(t)];
    return x;
}

// The predictors of a rank-deficient design that take part in a linear dependence: those with a
// weight in the null space of the design whose columns are scaled to unit length. A column of
// zeros is such a dependence by itself.
std::vector<size_t> dependentPredictors(const Matrix& x, long long& rank) {
    Matrix scaled = x;
    std::vector<size_t> involved;
    for (Eigen::Index p = 0; p < x.cols(); ++p) {
        const double norm = x.col(p).norm();
        if (norm > 0) scaled.col(p) /= norm;
    }
    Eigen::JacobiSVD<Matrix> svd(scaled, Eigen::ComputeFullV);
    const auto& s = svd.singularValues();
    const double tolerance = std::max(x.rows(), x.cols()) * std::numeric_limits<double>::epsilon() *
                             (s.size() ? s(0) : 0.0) * 16;
    rank = 0;
    for (Eigen::Index k = 0; k < s.size(); ++k)
        if (s(k) > tolerance) ++rank;
    const Matrix& v = svd.matrixV();
    for (Eigen::Index p = 0; p < x.cols(); ++p) {
        bool part = x.col(p).norm() == 0;
        for (Eigen::Index k = rank; k < v.cols() && !part; ++k) part = std::abs(v(p, k)) > 1e-6;
        if (part) involved.push_back(size_t(p));
    }
    return involved;
}

bool constantColumn(const std::vector<double>& c) {
    if (c.empty() || c[0] == 0) return false;
    for (double v : c)
        if (v != c[0]) return false;
    return true;
}

// Two-sided p of t; a t that is not finite (a perfect fit) gives 0, or NaN for NaN.
double twoSidedP(double t, long long dof) {
    if (std::isnan(t)) return t;
    if (std::isinf(t)) return 0.0;
    boost::math::students_t dist(static_cast<double>(dof));
    return 2.0 * boost::math::cdf(boost::math::complement(dist, std::abs(t)));
}

} // namespace

Design designFromSDM(const SDM& sdm, long long volumes, std::vector<std::string>& warnings) {
    if (!sdm.readFault.empty()) throw FaultError(sdm.readFault);
    const long long predictors = sdm.NrOfPredictors.value();
    const long long points = sdm.NrOfDataPoints.value();
    if (points != volumes)
        throw FaultError({"Design has " + std::to_string(points) + " data points, the run " +
                              std::to_string(volumes) + " volumes",
                          sdm.fileName});
    if (predictors < 1 || static_cast<long long>(sdm.values.size()) != predictors)
        throw FaultError({"Design has no predictors", sdm.fileName});
    for (const auto& column : sdm.values)
        if (static_cast<long long>(column.size()) != points)
            throw FaultError({"Design holds fewer values than its data points", sdm.fileName});
    Design design;
    for (long long p = 0; p < predictors; ++p) {
        const size_t i = size_t(p);
        design.names.push_back(i < sdm.predictorNames.size() ? sdm.predictorNames[i] : "NoName");
        design.colours.emplace_back(i < sdm.red.size() ? sdm.red[i] : 0,
                                    i < sdm.green.size() ? sdm.green[i] : 0,
                                    i < sdm.blue.size() ? sdm.blue[i] : 0);
        design.columns.emplace_back(sdm.values[i].begin(), sdm.values[i].end());
    }
    if (volumes <= predictors)
        throw FaultError({"Design leaves no degrees of freedom (" + std::to_string(volumes) +
                              " volumes, " + std::to_string(predictors) + " predictors)",
                          sdm.fileName});
    long long rank = 0;
    const std::vector<size_t> involved = dependentPredictors(matrixOf(design), rank);
    if (rank < predictors) {
        std::string names;
        for (size_t p : involved) names += (names.empty() ? "" : ", ") + design.names[p];
        throw FaultError({"Design is rank-deficient (rank " + std::to_string(rank) + " of " +
                              std::to_string(predictors) + "): " + names,
                          sdm.fileName});
    }
    bool constant = false;
    for (const auto& c : design.columns) constant = constant || constantColumn(c);
    if (!constant)
        warnings.push_back(sdm.fileName + ": design has no constant predictor; fitted as given");
    return design;
}

void checkContrasts(const Design& design, const std::vector<Contrast>& contrasts,
                    const std::string& sdmPath) {
    for (const Contrast& c : contrasts)
        if (c.weights.size() != design.columns.size())
            throw FaultError({"Contrast " + c.name + " has " + std::to_string(c.weights.size()) +
                                  " weights for " + std::to_string(design.columns.size()) +
                                  " predictors",
                              sdmPath});
}

bool parseContrast(const std::string& text, Contrast& contrast) {
    const auto eq = text.find('=');
    if (eq == std::string::npos || eq == 0) return false;
    contrast.name = text.substr(0, eq);
    contrast.weights.clear();
    std::stringstream rest(text.substr(eq + 1));
    std::string item;
    while (std::getline(rest, item, ',')) {
        char* end = nullptr;
        const double w = std::strtod(item.c_str(), &end);
        if (item.empty() || *end != '\0' || !std::isfinite(w)) return false;
        contrast.weights.push_back(w);
    }
    return !contrast.weights.empty();
}

Fit fitDesign(const Design& design, const std::vector<double>& course,
              const std::vector<Contrast>& contrasts) {
    const Matrix x = matrixOf(design);
    const Eigen::Index n = x.rows(), k = x.cols();
    const Vector y = Eigen::Map<const Vector>(course.data(), Eigen::Index(course.size()));
    const Eigen::HouseholderQR<Matrix> qr(x);
    const Vector beta = qr.solve(y);
    const Matrix r = qr.matrixQR().topLeftCorner(k, k).triangularView<Eigen::Upper>();
    const Matrix rInverse = r.triangularView<Eigen::Upper>().solve(Matrix::Identity(k, k));

    Fit fit;
    fit.dof = n - k;
    const Vector fitted = x * beta;
    const double rss = (y - fitted).squaredNorm();
    const double tss = (y.array() - y.mean()).square().sum();
    fit.r2 = 1.0 - rss / tss;
    fit.fitted.assign(fitted.data(), fitted.data() + n);
    const double sigma = std::sqrt(rss / static_cast<double>(fit.dof));

    // var(c'b) = sigma^2 |R^-T c|^2, since X'X = R'R.
    const auto term = [&](const std::string& name, const Vector& c) {
        Term t;
        t.name = name;
        t.estimate = c.dot(beta);
        t.se = sigma * (rInverse.transpose() * c).norm();
        t.t = t.estimate / t.se;
        t.p = twoSidedP(t.t, fit.dof);
        return t;
    };
    for (Eigen::Index p = 0; p < k; ++p)
        fit.terms.push_back(term(design.names[size_t(p)], Vector::Unit(k, p)));
    for (const Contrast& c : contrasts)
        fit.terms.push_back(term(c.name, Eigen::Map<const Vector>(c.weights.data(), k)));
    return fit;
}

} // namespace vocelle
