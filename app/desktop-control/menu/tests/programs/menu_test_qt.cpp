// A Qt Widgets window with the menus of the GTK test program. Prints "ready <pid>" once shown.
#include <unistd.h>

#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QTimer>
#include <cstdio>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QMainWindow window;
    QMenu* file = window.menuBar()->addMenu("&File");
    file->addAction("&New", QKeySequence("Ctrl+N"));
    file->addAction("&Open…", QKeySequence("Ctrl+O"));
    file->addSeparator();
    file->addAction("&Save", QKeySequence("Ctrl+S"));
    file->addAction("Save &As…", QKeySequence("Ctrl+Shift+S"));
    QMenu* exportMenu = file->addMenu("&Export");
    exportMenu->addAction("PNG", QKeySequence("Ctrl+Alt+E"));
    QMenu* level3 = exportMenu->addMenu("Deep")->addMenu("Level 3");
    level3->addAction("Deepest read", QKeySequence("F7"));
    level3->addMenu("Level 4")->addAction("Too deep");
    file->addAction("&Quit", QKeySequence("Ctrl+Q"));
    QMenu* edit = window.menuBar()->addMenu("&Edit");
    edit->addAction("&Undo", QKeySequence("Ctrl+Z"));
    edit->addAction("&Redo", QKeySequence("Ctrl+Shift+Z"));
    edit->addAction("Undo");
    edit->addAction("Delete", QKeySequence("Del"));
    edit->addAction("Zoom In", QKeySequence("Ctrl++"));
    edit->addAction("Next Page", QKeySequence("PgDown"));
    edit->addAction("Settings", QKeySequence("Ctrl+Meta+,"));
    edit->addAction("Snap", QKeySequence("Ctrl+["))->setCheckable(true);
    window.show();
    QTimer::singleShot(0, [] {
        std::printf("ready %d\n", getpid());
        std::fflush(stdout);
    });
    return application.exec();
}
