#include <gtest/gtest.h>

#include "platform/video/pixel_buffer.h"

namespace quillory {
namespace {

TEST(PixelBuffer, RefusesZeroOddAndOversizedEdges) {
    const struct {
        int width, height;
    } cases[] = {{0, 2}, {2, 0}, {3, 2}, {2, 5}, {-2, 2}, {16386, 2}};
    for (const auto& c : cases) {
        EXPECT_EQ(PixelBuffer::allocate(c.width, c.height), nullptr) << c.width << "×" << c.height;
        EXPECT_EQ(PixelBufferPool::create(c.width, c.height, 2), nullptr);
    }
    EXPECT_EQ(PixelBufferPool::create(4, 4, 0), nullptr);
}

TEST(PixelBuffer, PlanesHoldTheirRowsApart) {
    auto buffer = PixelBuffer::allocate(6, 4);
    ASSERT_NE(buffer, nullptr);
    EXPECT_GE(buffer->strideY(), 6);
    EXPECT_GE(buffer->dataUV(), buffer->dataY() + buffer->strideY() * 4);
}

TEST(PixelBufferPool, NeverHandsOutMoreThanItsBound) {
    auto pool = PixelBufferPool::create(8, 8, 3);
    std::vector<std::shared_ptr<PixelBuffer>> held;
    for (int i = 0; i < 3; ++i) {
        held.push_back(pool->take());
        ASSERT_NE(held.back(), nullptr);
    }
    EXPECT_EQ(pool->take(), nullptr);
    EXPECT_EQ(pool->outstanding(), 3u);
}

TEST(PixelBufferPool, BufferReturnsWhenItsLastReferenceDrops) {
    auto pool = PixelBufferPool::create(8, 8, 1);
    auto first = pool->take();
    PixelBuffer* address = first.get();
    auto second = first;  // as a frame inside an encoder would hold it
    first.reset();
    EXPECT_EQ(pool->take(), nullptr);
    second.reset();
    auto again = pool->take();
    EXPECT_EQ(again.get(), address);
}

TEST(PixelBufferPool, BuffersMayOutliveThePool) {
    auto pool = PixelBufferPool::create(8, 8, 2);
    auto buffer = pool->take();
    pool.reset();
    buffer->dataY()[0] = 1;
    buffer.reset();  // freed, not returned; checked by the sanitizer builds
}

}  // namespace
}  // namespace quillory
