#include <gtest/gtest.h>

#include "app/studio/studio_media_module.h"

namespace quillory {
namespace {

// No media module lies beside this test or where an installed one would: the host of a missing or
// broken module, which must refuse the stream rather than crash.
TEST(StudioMediaModuleLoaderTest, WithoutTheModuleTransportsAreRefusedAndCodecsDoNotOpen) {
    const auto factory = StudioMediaModuleLoader::transportFactory();
    factory->setUp({});
    EXPECT_FALSE(factory->createTransport(PeerTransportConfiguration{}, nullptr, nullptr));
    EXPECT_FALSE(factory->createTransport(PeerTransportConfiguration{}, nullptr, nullptr));

    const StudioCodecOpened opened = StudioMediaModuleLoader::codecOpener()(H264CodecConfig{});
    EXPECT_FALSE(opened.codec);
    EXPECT_TRUE(opened.error);
}

}  // namespace
}  // namespace quillory
