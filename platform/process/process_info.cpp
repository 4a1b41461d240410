#include "platform/process/process_info.h"

#include <sched.h>
#include <sys/utsname.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "platform/clock/clock.h"

namespace quillory {

namespace {

namespace fs = std::filesystem;

template <class T>
std::optional<T> readFile(const fs::path& path) {
    std::ifstream file(path);
    T value{};
    if (file >> value) {
        return value;
    }
    return std::nullopt;
}

ThermalState stateOfTrip(const std::string& type) {
    if (type == "critical" || type == "hot") {
        return ThermalState::critical;
    }
    if (type == "passive") {
        return ThermalState::serious;
    }
    return type == "active" ? ThermalState::fair : ThermalState::nominal;
}

ThermalState stateOfZone(const fs::path& zone) {
    const std::optional<long> temperature = readFile<long>(zone / "temp");
    ThermalState state = ThermalState::nominal;
    if (!temperature) {
        return state;
    }
    for (int trip = 0;; ++trip) {
        const std::string prefix = "trip_point_" + std::to_string(trip) + "_";
        const std::optional<long> limit = readFile<long>(zone / (prefix + "temp"));
        const std::optional<std::string> type = readFile<std::string>(zone / (prefix + "type"));
        if (!limit || !type) {
            return state;
        }
        // Zones without a sensor of their own report trip points of 0 or below.
        if (*limit > 0 && *temperature >= *limit) {
            state = std::max(state, stateOfTrip(*type));
        }
    }
}

}  // namespace

ThermalState thermalStateOfZones(const fs::path& root) {
    ThermalState state = ThermalState::nominal;
    std::error_code error;
    for (fs::directory_iterator entry(root, error); !error && entry != fs::directory_iterator();
         entry.increment(error)) {
        if (entry->path().filename().string().starts_with("thermal_zone")) {
            state = std::max(state, stateOfZone(entry->path()));
        }
    }
    return state;
}

ThermalState currentThermalState() {
    // Some zones answer slowly (firmware or device sensors), so the zones are read at most once
    // per interval, whoever asks.
    constexpr std::uint64_t refreshNanoseconds = 5'000'000'000;
    static std::atomic<std::uint64_t> readAt{0};
    static std::atomic<ThermalState> cached{ThermalState::nominal};
    const std::uint64_t now = uptimeNanoseconds();
    std::uint64_t last = readAt.load();
    if (last == 0 || now - last >= refreshNanoseconds) {
        if (readAt.compare_exchange_strong(last, now)) {
            cached = thermalStateOfZones("/sys/class/thermal");
        }
    }
    return cached.load();
}

int usableCores() {
    cpu_set_t set;
    CPU_ZERO(&set);
    return sched_getaffinity(0, sizeof set, &set) == 0 ? std::max(1, CPU_COUNT(&set)) : 1;
}

std::string operatingSystemVersion() {
    std::string name;
    std::ifstream release("/etc/os-release");
    for (std::string line; std::getline(release, line);) {
        if (line.starts_with("PRETTY_NAME=")) {
            name = line.substr(12);
            if (name.size() >= 2 && name.front() == '"' && name.back() == '"') {
                name = name.substr(1, name.size() - 2);
            }
        }
    }
    utsname system{};
    if (uname(&system) == 0) {
        const std::string kernel = std::string(system.sysname) + " " + system.release;
        name = name.empty() ? kernel : name + "; " + kernel;
    }
    return name.empty() ? "Linux" : name;
}

std::optional<std::uint64_t> processStartTime(std::int32_t processID, const fs::path& proc) {
    std::ifstream file(proc / std::to_string(processID) / "stat");
    std::string line;
    if (processID <= 0 || !std::getline(file, line)) {
        return std::nullopt;
    }
    // The command name in field 2 may hold spaces and parentheses; fields resume after the last
    // ')'.
    const std::size_t close = line.rfind(')');
    if (close == std::string::npos) {
        return std::nullopt;
    }
    std::istringstream fields(line.substr(close + 1));
    std::string field;
    for (int index = 3; fields >> field; ++index) {
        if (index == 22) {
            try {
                std::size_t used = 0;
                const unsigned long long ticks = std::stoull(field, &used);
                return used == field.size() ? std::optional<std::uint64_t>(ticks) : std::nullopt;
            } catch (const std::exception&) {
                return std::nullopt;
            }
        }
    }
    return std::nullopt;
}

std::optional<std::string> processExecutablePath(std::int32_t processID, const fs::path& proc) {
    if (processID <= 0) {
        return std::nullopt;
    }
    std::error_code error;
    const fs::path target = fs::read_symlink(proc / std::to_string(processID) / "exe", error);
    if (error || target.empty()) {
        return std::nullopt;
    }
    return target.string();
}

}  // namespace quillory
