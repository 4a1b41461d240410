#include "platform/video/pixel_buffer.h"

#include <cstdlib>
#include <cstring>

namespace quillory {
namespace {

constexpr int maximumEdge = 16384;
constexpr int rowAlignment = 64;

int alignedStride(int width) {
    return (width + rowAlignment - 1) / rowAlignment * rowAlignment;
}

}  // namespace

bool PixelBuffer::validSize(int width, int height) {
    return width > 0 && height > 0 && width % 2 == 0 && height % 2 == 0 && width <= maximumEdge &&
           height <= maximumEdge;
}

void PixelBuffer::FreeStorage::operator()(std::uint8_t* data) const {
    std::free(data);
}

PixelBuffer::PixelBuffer(int width, int height)
    : width_(width), height_(height), stride_(alignedStride(width)) {
    // Luma plus half-height chroma; aligned for the SIMD rows of libyuv and the encoders.
    const auto bytes = static_cast<std::size_t>(stride_) * static_cast<std::size_t>(height) * 3 / 2;
    storage_.reset(static_cast<std::uint8_t*>(std::aligned_alloc(rowAlignment, bytes)));
    if (!storage_) {
        throw std::bad_alloc();
    }
}

std::shared_ptr<PixelBuffer> PixelBuffer::allocate(int width, int height) {
    if (!validSize(width, height)) {
        return nullptr;
    }
    return std::shared_ptr<PixelBuffer>(new PixelBuffer(width, height));
}

std::shared_ptr<PixelBufferPool> PixelBufferPool::create(int width, int height,
                                                         std::size_t capacity) {
    if (!PixelBuffer::validSize(width, height) || capacity == 0) {
        return nullptr;
    }
    return std::shared_ptr<PixelBufferPool>(new PixelBufferPool(width, height, capacity));
}

PixelBufferPool::PixelBufferPool(int width, int height, std::size_t capacity)
    : width_(width), height_(height), capacity_(capacity) {
    // Returning a buffer must never allocate.
    free_.reserve(capacity);
}

std::shared_ptr<PixelBuffer> PixelBufferPool::take() {
    std::unique_ptr<PixelBuffer> buffer;
    {
        std::lock_guard lock(mutex_);
        if (!free_.empty()) {
            buffer = std::move(free_.back());
            free_.pop_back();
        } else if (allocated_ < capacity_) {
            ++allocated_;
        } else {
            return nullptr;
        }
    }
    if (!buffer) {
        try {
            buffer.reset(new PixelBuffer(width_, height_));
        } catch (...) {
            std::lock_guard lock(mutex_);
            --allocated_;  // the slot stays free for a later try
            throw;
        }
    }
    std::weak_ptr<PixelBufferPool> pool = weak_from_this();
    return std::shared_ptr<PixelBuffer>(buffer.release(), [pool](PixelBuffer* released) {
        if (auto owner = pool.lock()) {
            owner->giveBack(released);
        } else {
            delete released;
        }
    });
}

void PixelBufferPool::giveBack(PixelBuffer* buffer) {
    std::lock_guard lock(mutex_);
    free_.emplace_back(buffer);
}

std::size_t PixelBufferPool::outstanding() const {
    std::lock_guard lock(mutex_);
    return allocated_ - free_.size();
}

}  // namespace quillory
