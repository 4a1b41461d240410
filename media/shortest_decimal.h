#pragma once

#include <string>

namespace quillory {

// The shortest decimal text that reads back as the same double, always with a fraction or an
// exponent so that it reads as a floating-point number: 3.0, 12.5, 1e+16, inf, nan.
std::string shortestDecimal(double value);

}  // namespace quillory
