// Writes the application icon as PNG files for the desktop's icon theme:
//   pellumar_icons DIR    (DIR/16.png, 32.png, 48.png, 256.png)
#include <QGuiApplication>
#include <QImage>
#include <cstdio>

#include "Artwork.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    for (const int size : {16, 32, 48, 256}) {
        const QString path = QString::fromLocal8Bit(argv[1]) + QStringLiteral("/%1.png").arg(size);
        if (!pellumar::res::ApplicationIconImage(size).save(path)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
