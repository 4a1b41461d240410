#pragma once

#include <mutex>

namespace quillory {

// The frame rate the Studio session wants the encoder to run at; written on the main thread,
// read on the encoder's queue.
class StudioEncoderCadence {
  public:
    int framesPerSecond() const {
        std::lock_guard lock(lock_);
        return fps_;
    }
    void setFramesPerSecond(int fps) {
        std::lock_guard lock(lock_);
        fps_ = fps;
    }

  private:
    mutable std::mutex lock_;
    int fps_ = 60;
};

}  // namespace quillory
