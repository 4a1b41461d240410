#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace quillory {

// The operating system's name and version for reports, e.g. "Debian GNU/Linux 12 (bookworm);
// Linux 6.1.0-18-amd64".
std::string operatingSystemVersion();

// How many processors this process may run on (its affinity mask); at least 1.
int usableCores();

// How hot the machine runs, in rising order of concern.
enum class ThermalState { nominal = 0, fair = 1, serious = 2, critical = 3 };

// The worst state over the kernel's thermal zones: a zone past an active (fan) trip point is
// fair, past a passive (throttling) one serious, past a hot or critical one critical. A machine
// without readable zones is nominal.
ThermalState currentThermalState();
// The same reading of the zones below `root` (the kernel's is /sys/class/thermal), uncached.
ThermalState thermalStateOfZones(const std::filesystem::path& root);

// When the process started, in clock ticks after boot (field 22 of /proc/<pid>/stat); with the pid
// it names one launch, since pids are reused. Nothing when the process is gone.
std::optional<std::uint64_t> processStartTime(std::int32_t processID,
                                              const std::filesystem::path& proc = "/proc");
// The file /proc/<pid>/exe points to; nothing when it cannot be read (gone, or another user's).
std::optional<std::string> processExecutablePath(std::int32_t processID,
                                                 const std::filesystem::path& proc = "/proc");

}  // namespace quillory
