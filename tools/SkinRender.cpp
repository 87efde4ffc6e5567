// Renders the skin's SVG drawings to the PNG files the layouts name, at 1x and 2x
// (name.png, name@2x.png), so images stay crisp on high-density screens.
//
//   examora_skin_render <output folder> <drawing.svg>...

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: examora_skin_render <output folder> <drawing.svg>...\n");
        return 2;
    }
    const QDir output(QString::fromLocal8Bit(argv[1]));
    if (!output.exists() && !QDir().mkpath(output.path())) {
        std::fprintf(stderr, "cannot make %s\n", argv[1]);
        return 1;
    }
    for (int i = 2; i < argc; ++i) {
        const QString source = QString::fromLocal8Bit(argv[i]);
        QSvgRenderer drawing(source);
        if (!drawing.isValid()) {
            std::fprintf(stderr, "%s is not a drawing\n", argv[i]);
            return 1;
        }
        const QString name = QFileInfo(source).completeBaseName();
        for (const int scale : {1, 2}) {
            QImage image(drawing.defaultSize() * scale, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::transparent);
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            drawing.render(&painter);
            painter.end();
            const QString target =
                output.filePath(name + (scale == 1 ? QString() : QStringLiteral("@2x")) + ".png");
            if (!image.save(target)) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(target));
                return 1;
            }
        }
    }
    return 0;
}
