#pragma once

#include <string>

namespace quillory {

// The shortest decimal text that reads back as the same double, in the form the reports have
// always used: positional from 0.0001 up to 2^54 (100000.0, 0.0001, 3.0), with an exponent
// outside that range (1e-05, 1.5e+20), and inf, -inf or nan for the rest.
std::string shortestDecimal(double value);

}  // namespace quillory
