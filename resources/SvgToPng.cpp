// sonavel-render-svg IN.svg OUT.png [SCALE | WxH]: renders an SVG at its own size (times SCALE,
// or at exactly W x H pixels) into a PNG with an alpha channel. Run at build time for the icons,
// the theme backgrounds and the desktop's fixed-size application icons.
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: sonavel-render-svg IN.svg OUT.png [SCALE | WxH]\n");
        return 2;
    }
    // No application object: the drawings hold no text, so no fonts and no display are needed.
    QSvgRenderer svg(QString::fromLocal8Bit(argv[1]));
    if (!svg.isValid()) {
        fprintf(stderr, "sonavel-render-svg: cannot read %s\n", argv[1]);
        return 1;
    }
    QSize size = svg.defaultSize();
    int width = 0, height = 0;
    char rest = 0;
    if (argc > 3 && sscanf(argv[3], "%dx%d%c", &width, &height, &rest) == 2)
        size = QSize(width, height);
    else if (argc > 3)
        size = svg.defaultSize() * atof(argv[3]);
    if (size.isEmpty() || size.width() > 16384 || size.height() > 16384) {
        fprintf(stderr, "sonavel-render-svg: bad size for %s\n", argv[1]);
        return 2;
    }
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
