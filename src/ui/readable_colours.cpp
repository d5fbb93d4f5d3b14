#include "ui/readable_colours.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {
double Luminance(const QColor& c) {
    const auto channel = [](int v) {
        const double x = v / 255.0;
        return x <= 0.03928 ? x / 12.92 : std::pow((x + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.red()) + 0.7152 * channel(c.green()) + 0.0722 * channel(c.blue());
}
}  // namespace

double ContrastRatio(const QColor& a, const QColor& b) {
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor ReadableBackground(QColor background, const QColor& text) {
    const QColor towards = Luminance(text) > 0.5 ? QColor(Qt::black) : QColor(Qt::white);
    for (int step = 0; step < 16 && ContrastRatio(background, text) < 4.5; ++step) {
        const auto mix = [](int a, int b) { return (a * 5 + b) / 6; };
        background = QColor(mix(background.red(), towards.red()), mix(background.green(), towards.green()),
                            mix(background.blue(), towards.blue()));
    }
    return background;
}

QImage WithRim(const QImage& image, const QColor& colour) {
    QImage shape = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    {
        QPainter p(&shape);
        p.setCompositionMode(QPainter::CompositionMode_SourceIn);
        p.fillRect(shape.rect(), colour);
    }
    QImage result(image.size(), QImage::Format_ARGB32_Premultiplied);
    result.setDevicePixelRatio(image.devicePixelRatio());
    result.fill(Qt::transparent);
    QPainter p(&result);
    const int r = std::max(1, image.width() / 24);
    for (int dx = -r; dx <= r; ++dx)
        for (int dy = -r; dy <= r; ++dy)
            if (dx || dy) p.drawImage(QPoint(dx, dy), shape);
    p.drawImage(QPoint(0, 0), image);
    return result;
}
