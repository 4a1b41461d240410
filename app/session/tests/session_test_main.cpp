#include <gtest/gtest.h>

#include <QGuiApplication>

// Desktop input's pen indicator is a window: the tests need a GUI application (offscreen).
int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
