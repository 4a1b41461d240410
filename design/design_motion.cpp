#include "design/design_motion.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace quillory::DesignMotion {

QtSpringParameters qtSpring(double response, double dampingFraction) {
    const double h = qtStep;
    const double omega = 2 * std::numbers::pi / response;
    const double zeta = dampingFraction;
    const double decay = std::exp(-zeta * omega * h);
    double c = 1;
    if (zeta < 1) {
        c = std::cos(omega * std::sqrt(1 - zeta * zeta) * h);
    } else if (zeta > 1) {
        c = std::cosh(omega * std::sqrt(zeta * zeta - 1) * h);
    }
    QtSpringParameters parameters;
    parameters.damping = 1 - decay * decay;
    parameters.spring = (2 - parameters.damping - 2 * decay * c) / h;
    return parameters;
}

std::vector<double> simulateQtSpring(const QtSpringParameters& parameters, double from, double to,
                                     int steps) {
    // SpringAnimation clamps damping to 1 and divides by the mass only when it is not 1.
    const double damping = std::min(parameters.damping, 1.0);
    std::vector<double> positions;
    positions.reserve(static_cast<std::size_t>(std::max(steps, 0)));
    double x = from;
    double v = 0;
    for (int i = 0; i < steps; ++i) {
        const double force = parameters.spring * (to - x) - damping * v;
        v += parameters.mass == 1 ? force : force / parameters.mass;
        x += v * qtStep;
        positions.push_back(x);
    }
    return positions;
}

}  // namespace quillory::DesignMotion
