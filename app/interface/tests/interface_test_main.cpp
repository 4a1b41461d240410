#include <gtest/gtest.h>

#include <QApplication>

// The tray icon lives in QtWidgets, which needs a QApplication.
int main(int argc, char** argv) {
    QApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
