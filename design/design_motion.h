#pragma once

#include <vector>

namespace quillory {

// A spring as the design defines it: unit mass, natural period `response` seconds and the
// fraction of critical damping.
struct DesignSpring {
    double response = 0;
    double dampingFraction = 0;
};

// The parameters of Qt Quick's SpringAnimation that reproduce a DesignSpring.
struct QtSpringParameters {
    double spring = 0;
    double damping = 0;
    double mass = 1;
};

namespace DesignMotion {

inline constexpr DesignSpring standard{0.32, 0.88};
inline constexpr DesignSpring press{0.22, 0.72};
inline constexpr DesignSpring quick{0.18, 0.85};
inline constexpr DesignSpring snappy{0.24, 0.85};
inline constexpr DesignSpring smooth{0.32, 1.0};
inline constexpr DesignSpring gentle{0.42, 0.78};
inline constexpr DesignSpring bouncy{0.36, 0.70};

// SpringAnimation advances in fixed steps of this many seconds.
inline constexpr double qtStep = 0.016;

// Qt steps with a semi-implicit Euler rule, which damps far more than the continuous spring
// when fed the textbook coefficients. Instead its per-step poles are matched to the continuous
// spring's poles sampled at the step, so overshoot and timing survive the conversion.
QtSpringParameters qtSpring(double response, double dampingFraction);
inline QtSpringParameters qtSpring(DesignSpring spring) {
    return qtSpring(spring.response, spring.dampingFraction);
}

// Positions after each step of SpringAnimation's rule, moving from `from` to `to`.
std::vector<double> simulateQtSpring(const QtSpringParameters& parameters, double from, double to,
                                     int steps);

}  // namespace DesignMotion

}  // namespace quillory
