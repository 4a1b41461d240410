#include <gtest/gtest.h>

#include <QApplication>

#include "app/shell/quit_signals.h"

// The signals must be blocked before Qt starts any thread, as in the application; the tray menu
// needs QtWidgets.
int main(int argc, char** argv) {
    quillory::QuitSignals::blockQuitSignals();
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
