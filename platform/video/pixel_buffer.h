#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace quillory {

// One NV12 picture (video range BT.601, even width and height): a luma plane followed by an
// interleaved chroma plane at half size. Shared by std::shared_ptr, so a frame inside an encoder
// keeps its buffer alive; a pooled buffer goes back to its pool when the last reference drops.
class PixelBuffer {
  public:
    // Nothing for a zero, odd or oversized edge.
    static std::shared_ptr<PixelBuffer> allocate(int width, int height);

    PixelBuffer(const PixelBuffer&) = delete;
    PixelBuffer& operator=(const PixelBuffer&) = delete;

    int width() const { return width_; }
    int height() const { return height_; }
    std::uint8_t* dataY() { return storage_.get(); }
    const std::uint8_t* dataY() const { return storage_.get(); }
    int strideY() const { return stride_; }
    std::uint8_t* dataUV() { return storage_.get() + uvOffset(); }
    const std::uint8_t* dataUV() const { return storage_.get() + uvOffset(); }
    int strideUV() const { return stride_; }

    static bool validSize(int width, int height);

  private:
    struct FreeStorage {
        void operator()(std::uint8_t* data) const;
    };
    PixelBuffer(int width, int height);
    std::size_t uvOffset() const {
        return static_cast<std::size_t>(stride_) * static_cast<std::size_t>(height_);
    }

    int width_;
    int height_;
    int stride_;
    std::unique_ptr<std::uint8_t, FreeStorage> storage_;

    friend class PixelBufferPool;
};

// A bounded set of buffers of one size. `take` hands out a free buffer, allocating one only while
// fewer than `capacity` exist; an exhausted pool answers nothing and the caller skips the frame.
// Safe from any thread; buffers may outlive the pool (they are then freed, not returned).
class PixelBufferPool : public std::enable_shared_from_this<PixelBufferPool> {
  public:
    // Nothing for an invalid size or a capacity of 0.
    static std::shared_ptr<PixelBufferPool> create(int width, int height, std::size_t capacity);

    std::shared_ptr<PixelBuffer> take();

    int width() const { return width_; }
    int height() const { return height_; }
    std::size_t capacity() const { return capacity_; }
    // Buffers currently handed out.
    std::size_t outstanding() const;

  private:
    PixelBufferPool(int width, int height, std::size_t capacity);
    void giveBack(PixelBuffer* buffer);

    const int width_;
    const int height_;
    const std::size_t capacity_;
    mutable std::mutex mutex_;
    std::vector<std::unique_ptr<PixelBuffer>> free_;
    std::size_t allocated_ = 0;
};

}  // namespace quillory
