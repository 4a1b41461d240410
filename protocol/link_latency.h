#pragma once

#include <locale>
#include <string>

namespace quillory {

// The link's round-trip measurement.
class LinkLatency {
  public:
    enum class Case { measured, measuring, timedOut, unsupported };

    static LinkLatency measured(double milliseconds) {
        return LinkLatency(Case::measured, milliseconds);
    }
    static LinkLatency measuring() { return LinkLatency(Case::measuring, 0); }
    static LinkLatency timedOut() { return LinkLatency(Case::timedOut, 0); }
    static LinkLatency unsupported() { return LinkLatency(Case::unsupported, 0); }

    Case kind() const { return case_; }
    // The round trip of a measured latency; 0 otherwise.
    double milliseconds() const { return milliseconds_; }

    // "12.3 ms" (one fraction digit, in the user's locale), "Measuring…", "No reply" or
    // "Update companion".
    std::string statusText() const;
    std::string statusText(const std::locale& locale) const;

    friend bool operator==(const LinkLatency&, const LinkLatency&) = default;

  private:
    LinkLatency(Case kind, double milliseconds) : case_(kind), milliseconds_(milliseconds) {}
    Case case_;
    double milliseconds_;
};

}  // namespace quillory
