// Uses the installed analysis library: a design of a ramp and a constant fitted to a time course.
#include <vocelle/analysis/glm.h>

#include <cmath>

int main() {
    vocelle::Design design;
    design.names = {"ramp", "constant"};
    design.columns = {{0, 1, 2, 3}, {1, 1, 1, 1}};
    const vocelle::Fit fit = vocelle::fitDesign(design, {5, 7, 9.5, 11}, {});
    return std::abs(fit.terms[0].estimate - 2.05) < 1e-9 && fit.dof == 2 ? 0 : 1;
}
