#include "app/desktop-control/named_keys.h"

#include <gtest/gtest.h>

namespace quillory {
namespace {

TEST(NamedKeys, KeysymNamesReadBackToTheirKeys) {
    for (const NamedKey& entry : namedKeys()) {
        EXPECT_EQ(desktopKeyForKeysymName(entry.keysymName), entry.key) << entry.keysymName;
    }
    EXPECT_EQ(desktopKeyForKeysymName("A"), DesktopKey::a);
}

}  // namespace
}  // namespace quillory
