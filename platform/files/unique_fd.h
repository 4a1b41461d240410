#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillory {

// Owns one file descriptor and closes it when it goes out of scope (releasing any flock on it).
class UniqueFd {
  public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) noexcept : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { reset(); }

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int release() noexcept;
    void reset(int fd = -1) noexcept;
    // Closes now and says whether close succeeded: for a file just written, close may report the
    // write's error. errno tells why when it did not.
    bool close() noexcept;

  private:
    int fd_ = -1;
};

// Writes all of `data`, resuming after interruptions and short writes; false with errno set.
bool writeAll(int fd, std::string_view data);

// Reads to the end of the file; nothing with errno set when a read fails.
std::optional<std::string> readAll(int fd);

}  // namespace quillory
