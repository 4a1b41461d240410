#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace quillory {

// An RFC 4122 identifier. Written upper-case ("E621E1F8-C36C-495A-93FC-0C247A3E6E5F") and read
// in either case; the bytes are in RFC 4122 order.
class Uuid {
  public:
    using Bytes = std::array<std::uint8_t, 16>;

    constexpr Uuid() = default;
    constexpr explicit Uuid(const Bytes& bytes) : bytes_(bytes) {}

    // A random version 4 identifier from the system's random source.
    static Uuid random();
    static std::optional<Uuid> parse(std::string_view text);

    std::string text() const;
    const Bytes& bytes() const { return bytes_; }

    friend bool operator==(const Uuid&, const Uuid&) = default;
    friend auto operator<=>(const Uuid&, const Uuid&) = default;

  private:
    Bytes bytes_{};
};

}  // namespace quillory

template <>
struct std::hash<quillory::Uuid> {
    std::size_t operator()(const quillory::Uuid& uuid) const noexcept;
};
