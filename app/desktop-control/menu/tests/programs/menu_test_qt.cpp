// A Qt Widgets window with a menu bar for the menu reader's tests. Prints "ready" once the window
// is shown.
#include <QApplication>
#include <QKeySequence>
#include <QMainWindow>
#include <QMenuBar>
#include <QTimer>
#include <cstdio>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QMainWindow window;
    window.setWindowTitle("Menu test");
    QMenu* file = window.menuBar()->addMenu("&File");
    file->addAction("&New")->setShortcut(QKeySequence("Ctrl+N"));
    file->addAction("&Open…")->setShortcut(QKeySequence("Ctrl+O"));
    file->addSeparator();
    file->addAction("&Save")->setShortcut(QKeySequence("Ctrl+S"));
    file->addAction("Save &As…")->setShortcut(QKeySequence("Ctrl+Shift+S"));
    QMenu* exportMenu = file->addMenu("&Export");
    exportMenu->addAction("PNG")->setShortcut(QKeySequence("Ctrl+Alt+E"));
    QMenu* deep = exportMenu->addMenu("Deep");
    QMenu* level3 = deep->addMenu("Level 3");
    level3->addAction("Deepest read")->setShortcut(QKeySequence("F7"));
    level3->addMenu("Level 4")->addAction("Too deep");
    file->addAction("&Quit")->setShortcut(QKeySequence("Ctrl+Q"));

    QMenu* edit = window.menuBar()->addMenu("&Edit");
    edit->addAction("&Undo")->setShortcut(QKeySequence("Ctrl+Z"));
    edit->addAction("&Redo")->setShortcut(QKeySequence("Ctrl+Shift+Z"));
    edit->addAction("Undo");
    edit->addAction("Delete")->setShortcut(QKeySequence("Del"));
    edit->addAction("Zoom In")->setShortcut(QKeySequence("Ctrl++"));
    edit->addAction("Next Page")->setShortcut(QKeySequence("PgDown"));
    edit->addAction("Settings")->setShortcut(QKeySequence("Ctrl+Meta+,"));
    QAction* snap = edit->addAction("Snap");
    snap->setCheckable(true);
    snap->setShortcut(QKeySequence("Ctrl+["));

    window.resize(400, 200);
    window.show();
    QTimer::singleShot(0, [] {
        std::printf("ready\n");
        std::fflush(stdout);
    });
    return application.exec();
}
