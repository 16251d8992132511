// sonavel-render-svg IN.svg OUT.png [SCALE]: renders an SVG at its own size (times SCALE) into
// a PNG with an alpha channel. Run at build time for the icons and theme backgrounds.
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: sonavel-render-svg IN.svg OUT.png [SCALE]\n");
        return 2;
    }
    // No application object: the drawings hold no text, so no fonts and no display are needed.
    const double scale = argc > 3 ? atof(argv[3]) : 1.0;
    QSvgRenderer svg(QString::fromLocal8Bit(argv[1]));
    if (!svg.isValid() || scale <= 0) {
        fprintf(stderr, "sonavel-render-svg: cannot read %s\n", argv[1]);
        return 1;
    }
    const QSize size = (svg.defaultSize() * scale);
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    svg.render(&painter);
    painter.end();
    if (!image.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        fprintf(stderr, "sonavel-render-svg: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
