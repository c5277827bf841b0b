// Renders the application's SVG icon into the PNG sizes of the freedesktop "hicolor" icon theme, at build
// time: velto-render-icons <icon.svg> <icon name> <hicolor folder> <size>...
// Writes <hicolor folder>/<size>x<size>/apps/<icon name>.png for each size.
#include <QtCore/QDir>
#include <QtGui/QImage>
#include <QtGui/QPainter>
#include <QtSvg/QSvgRenderer>

#include <cstdio>

int main(int argc, char **argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s <icon.svg> <icon name> <hicolor folder> <size>...\n", argv[0]);
        return 2;
    }
    QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
    if (!renderer.isValid()) {
        std::fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[1]);
        return 1;
    }
    const QString name = QString::fromLocal8Bit(argv[2]);
    const QDir hicolor(QString::fromLocal8Bit(argv[3]));
    for (int index = 4; index < argc; ++index) {
        const int pixels = QString::fromLocal8Bit(argv[index]).toInt();
        if (pixels <= 0) {
            std::fprintf(stderr, "%s: not a size: %s\n", argv[0], argv[index]);
            return 2;
        }
        QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            renderer.render(&painter);
        }
        const QString folder = QStringLiteral("%1x%1/apps").arg(pixels);
        const QString file = hicolor.filePath(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
        if (!hicolor.mkpath(folder) || !image.save(file, "PNG")) {
            std::fprintf(stderr, "%s: cannot write %s\n", argv[0], qPrintable(file));
            return 1;
        }
    }
    return 0;
}
