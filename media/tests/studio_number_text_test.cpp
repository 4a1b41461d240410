#include <gtest/gtest.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <string>

#include "media/shortest_decimal.h"
#include "media/studio_performance.h"

namespace quillory {
namespace {

TEST(ShortestDecimalTest, WritesTheReportsNumberForm) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    const std::pair<double, const char*> cases[] = {
        {3.0, "3.0"},
        {12.5, "12.5"},
        {0.8, "0.8"},
        {-0.0, "-0.0"},
        {100000.0, "100000.0"},
        {123456789.0, "123456789.0"},
        {0.0001, "0.0001"},
        {0.00012345, "0.00012345"},
        {-0.25, "-0.25"},
        {1234.5678, "1234.5678"},
        {0.1 + 0.2, "0.30000000000000004"},
        {1e16, "10000000000000000.0"},
        {0x1.0p54, "18014398509481984.0"},
        {0x1.0p54 + 4.0, "1.8014398509481988e+16"},
        {0.00001, "1e-05"},
        {-2.5e-7, "-2.5e-07"},
        {1.5e300, "1.5e+300"},
        {std::numeric_limits<double>::denorm_min(), "5e-324"},
        {inf, "inf"},
        {-inf, "-inf"},
        {std::numeric_limits<double>::quiet_NaN(), "nan"},
    };
    for (const auto& [value, expected] : cases) {
        EXPECT_EQ(shortestDecimal(value), expected);
    }
}

// Switches LC_NUMERIC to German for the test's life, generating the locale beside the test when
// the system lacks it.
class CommaLocale {
  public:
    CommaLocale() : previous_(std::setlocale(LC_NUMERIC, nullptr)) {
        if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr) {
            return;
        }
        const auto folder = std::filesystem::temp_directory_path() /
                            ("quillory-locale-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
        const std::string command =
            "localedef -i de_DE -f UTF-8 '" + folder.string() + "/de_DE.UTF-8' >/dev/null 2>&1";
        if (std::system(command.c_str()) == 0) {
            ::setenv("LOCPATH", folder.c_str(), 1);
            std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
            ::unsetenv("LOCPATH");
        }
        std::filesystem::remove_all(folder);
    }
    ~CommaLocale() { std::setlocale(LC_NUMERIC, previous_.c_str()); }
    CommaLocale(const CommaLocale&) = delete;
    CommaLocale& operator=(const CommaLocale&) = delete;

    bool active() const { return std::localeconv()->decimal_point == std::string(","); }

  private:
    std::string previous_;
};

TEST(StudioPerformanceSummaryTest, MeasuresReadTheSameUnderACommaLocale) {
    const CommaLocale locale;
    if (!locale.active()) {
        GTEST_SKIP() << "no de_DE locale and localedef could not build one (package locales)";
    }
    const std::map<std::string, double> values{{"fps", 59.94}, {"encodeMS", 1234567.25}};
    EXPECT_EQ(StudioPerformance::formatMeasure("fps", "fps", values), "59.9 fps");
    EXPECT_EQ(StudioPerformance::formatMeasure("encodeMS", "ms", values), "1234567.2 ms");
    EXPECT_EQ(shortestDecimal(12.5), "12.5");
}

}  // namespace
}  // namespace quillory
