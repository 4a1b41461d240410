#include <cstdio>

#include "tools/icon-render/icon_render.h"

// quillory-icon-render <icon.svg> <small-icon.svg> <hicolor folder>: the application icon's
// pictures for the hicolor theme, at build time.
int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s <icon.svg> <small-icon.svg> <hicolor folder>\n", argv[0]);
        return 2;
    }
    QString error;
    if (!quillory::writeHicolorIcons(QString::fromLocal8Bit(argv[1]),
                                     QString::fromLocal8Bit(argv[2]),
                                     QString::fromLocal8Bit(argv[3]), error)) {
        std::fprintf(stderr, "%s: %s\n", argv[0], qPrintable(error));
        return 1;
    }
    return 0;
}
