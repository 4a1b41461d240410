#include "protocol/link_latency.h"

#include <iomanip>
#include <sstream>
#include <stdexcept>

namespace quillory {
namespace {

std::locale userLocale() {
    try {
        return std::locale("");
    } catch (const std::runtime_error&) {
        // An environment naming a locale the system lacks.
        return std::locale::classic();
    }
}

}  // namespace

std::string LinkLatency::statusText() const {
    static const std::locale locale = userLocale();
    return statusText(locale);
}

std::string LinkLatency::statusText(const std::locale& locale) const {
    switch (case_) {
        case Case::measured: {
            std::ostringstream text;
            text.imbue(locale);
            text << std::fixed << std::setprecision(1) << milliseconds_ << " ms";
            return text.str();
        }
        case Case::measuring:
            return "Measuring…";
        case Case::timedOut:
            return "No reply";
        case Case::unsupported:
            return "Update companion";
    }
    return {};
}

}  // namespace quillory
