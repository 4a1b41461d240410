#include "platform/process/process_info.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

namespace quillory {
namespace {

namespace fs = std::filesystem;

class ThermalZonesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root = fs::path(::testing::TempDir()) / "thermal-zones";
        fs::remove_all(root);
        fs::create_directories(root);
    }
    void TearDown() override { fs::remove_all(root); }

    // A zone at `temperature` millidegrees with trip points given as (type, millidegrees).
    void zone(int index, long temperature,
              std::initializer_list<std::pair<const char*, long>> trips) {
        const fs::path path = root / ("thermal_zone" + std::to_string(index));
        fs::create_directories(path);
        std::ofstream(path / "temp") << temperature << "\n";
        int trip = 0;
        for (const auto& [type, limit] : trips) {
            const std::string prefix = "trip_point_" + std::to_string(trip++) + "_";
            std::ofstream(path / (prefix + "type")) << type << "\n";
            std::ofstream(path / (prefix + "temp")) << limit << "\n";
        }
    }

    fs::path root;
};

TEST_F(ThermalZonesTest, WorstZoneDecidesByTheTripPointsItPassed) {
    EXPECT_EQ(thermalStateOfZones(root / "missing"), ThermalState::nominal);
    zone(0, 45000, {{"active", 50000}, {"passive", 80000}, {"critical", 100000}});
    EXPECT_EQ(thermalStateOfZones(root), ThermalState::nominal);
    zone(1, 55000, {{"active", 50000}, {"passive", 80000}});
    EXPECT_EQ(thermalStateOfZones(root), ThermalState::fair);
    // Trip points of 0 belong to zones without a sensor of their own and mean nothing.
    zone(2, 30000, {{"critical", 0}});
    EXPECT_EQ(thermalStateOfZones(root), ThermalState::fair);
    zone(3, 85000, {{"passive", 80000}, {"hot", 95000}});
    EXPECT_EQ(thermalStateOfZones(root), ThermalState::serious);
    zone(4, 101000, {{"critical", 100000}});
    EXPECT_EQ(thermalStateOfZones(root), ThermalState::critical);
}

TEST(ProcessInfoTest, NamesTheOperatingSystem) {
    EXPECT_NE(operatingSystemVersion().find("Linux"), std::string::npos);
}

}  // namespace
}  // namespace quillory

namespace quillory {
namespace {

TEST(ProcessReadingsTest, StartTimeIsFieldTwentyTwoEvenWhenTheNameHoldsParentheses) {
    const fs::path proc = fs::path(::testing::TempDir()) / "proc-readings";
    fs::remove_all(proc);
    const auto stat = [&](int pid, const std::string& line) {
        fs::create_directories(proc / std::to_string(pid));
        std::ofstream(proc / std::to_string(pid) / "stat") << line << "\n";
    };
    // Fields 3 to 21 are "S" and eighteen numbers; 22 is the start time.
    const std::string middle = "S 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 ";
    stat(10, "10 (plain) " + middle + "123456 99 100");
    stat(11, "11 (a) b (c)) " + middle + "777 1");
    stat(12, "12 (short) S 1 2");
    stat(13, "13 (bad) " + middle + "12x4 1");
    EXPECT_EQ(processStartTime(10, proc), 123456u);
    EXPECT_EQ(processStartTime(11, proc), 777u);
    EXPECT_EQ(processStartTime(12, proc), std::nullopt);
    EXPECT_EQ(processStartTime(13, proc), std::nullopt);
    EXPECT_EQ(processStartTime(14, proc), std::nullopt);
    EXPECT_EQ(processStartTime(0, proc), std::nullopt);
    fs::remove_all(proc);
}

TEST(ProcessReadingsTest, OwnProcessHasAStartTimeAndItsExecutable) {
    const auto self = static_cast<std::int32_t>(getpid());
    EXPECT_TRUE(processStartTime(self).has_value());
    EXPECT_EQ(processExecutablePath(self), fs::read_symlink("/proc/self/exe").string());
    EXPECT_EQ(processExecutablePath(-1), std::nullopt);
}

}  // namespace
}  // namespace quillory
