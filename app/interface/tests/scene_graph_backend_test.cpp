#include "app/interface/scene_graph_backend.h"

#include <gtest/gtest.h>

#include <QQuickWindow>
#include <fstream>

namespace quillory {
namespace {

class SceneGraphBackendTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ =
            std::filesystem::temp_directory_path() /
            ("scene-graph-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(root_);
        std::filesystem::create_directories(root_);
    }
    void TearDown() override { std::filesystem::remove_all(root_); }

    void touch(const std::filesystem::path& relative) {
        std::filesystem::create_directories((root_ / relative).parent_path());
        std::ofstream(root_ / relative).put('\0');
    }

    std::filesystem::path root_;
};

TEST_F(SceneGraphBackendTest, OnlyADrmOrNvidiaDeviceCountsAsGraphicsHardware) {
    struct Case {
        const char* name;
        std::vector<const char*> files;
        bool expected;
    };
    const Case cases[] = {
        {"nothing", {}, false},
        {"an empty dri folder", {"dri/.keep"}, false},
        {"other devices only", {"fb0", "input/event0", "dri/by-path/x"}, false},
        {"a render node", {"dri/renderD128"}, true},
        {"a card node", {"dri/card0"}, true},
        {"an NVIDIA device", {"nvidia0"}, true},
    };
    for (const Case& c : cases) {
        std::filesystem::remove_all(root_);
        std::filesystem::create_directories(root_);
        for (const char* file : c.files) {
            touch(file);
        }
        EXPECT_EQ(hasGraphicsDevice(root_), c.expected) << c.name;
    }
}

TEST_F(SceneGraphBackendTest, ChoosesTheSoftwareRendererOnlyWithoutHardwareOrAChoiceOfTheUser) {
    const QString before = QQuickWindow::sceneGraphBackend();
    touch("dri/renderD128");
    EXPECT_FALSE(chooseSceneGraphBackend(root_));
    EXPECT_EQ(QQuickWindow::sceneGraphBackend(), before);

    std::filesystem::remove_all(root_ / "dri");
    qputenv("QT_QUICK_BACKEND", "rhi");
    EXPECT_FALSE(chooseSceneGraphBackend(root_));
    qunsetenv("QT_QUICK_BACKEND");

    EXPECT_TRUE(chooseSceneGraphBackend(root_));
    EXPECT_EQ(QQuickWindow::sceneGraphBackend(), QStringLiteral("software"));
    QQuickWindow::setSceneGraphBackend(before);
}

}  // namespace
}  // namespace quillory
