// Writes the program's icon as PNG files for the desktop's icon theme, drawn by the same code
// as the window icon: render_icons DIR SIZE... writes DIR/SIZExSIZE/apps/NAME.png.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/app_icon.h"

int main(int argc, char* argv[]) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: render_icons DIR NAME SIZE...\n");
        return 2;
    }
    // No display is needed to draw into a pixmap.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const QString dir = QString::fromLocal8Bit(argv[1]);
    const QString name = QString::fromLocal8Bit(argv[2]);
    for (int i = 3; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        if (size < 1 || size > 1024) {
            std::fprintf(stderr, "render_icons: bad size \"%s\"\n", argv[i]);
            return 2;
        }
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(dir).arg(size);
        // A PNG of the same pixels is the same file: no time or text chunks are written.
        const QImage image = pxr9::drawAppIcon(size).toImage();
        if (!QDir().mkpath(folder) || !image.save(folder + "/" + name + ".png", "PNG")) {
            std::fprintf(stderr, "render_icons: cannot write %s\n", qPrintable(folder));
            return 1;
        }
    }
    return 0;
}
