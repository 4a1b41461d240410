#include "platform/process/process_info.h"

#include <gtest/gtest.h>

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
