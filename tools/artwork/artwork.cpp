// Draws Kavrilo's artwork: the main window background, the four picture buttons in their normal
// and pressed forms, the two marks, the decoration GIF and the program icon.
//   kavrilo-artwork <output folder>
// Every window picture is drawn three times, at its size (NAME.EXT) and at two and three times
// it (NAME@2x.EXT, NAME@3x.EXT) for dense screens; each is drawn afresh from the same shapes,
// never scaled from another. The icon comes at 48, 128 and 256 pixels and as SVG.
// Everything is drawn by code so the pictures can be remade exactly; the window layout below
// places each picture over the part of the background it will sit on, so soft edges blend in.
#include <QDir>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>
#include <cstdio>

#include "gif_file.h"

namespace {

constexpr int kWidth = 468;
constexpr int kHeight = 347;

// A transparent picture of w x h logical pixels drawn at `scale`, and a painter set up for it.
QImage blank(int w, int h, int scale = 1) {
    QImage img(w * scale, h * scale, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    return img;
}

void begin(QPainter& p, double scale) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.scale(scale, scale);
}

QFont uiFont(int pixels, bool bold) {
    QFont f;
    f.setFamilies({QStringLiteral("Noto Sans CJK SC"), QStringLiteral("WenQuanYi Zen Hei")});
    f.setPixelSize(pixels);
    f.setWeight(bold ? QFont::Bold : QFont::Normal);
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

QPainterPath star(QPointF centre, double outer, double inner, double turn = -90) {
    QPainterPath path;
    for (int i = 0; i < 10; ++i) {
        const double r = (i % 2) ? inner : outer;
        const double a = qDegreesToRadians(turn + i * 36.0);
        const QPointF p(centre.x() + r * std::cos(a), centre.y() + r * std::sin(a));
        if (i == 0)
            path.moveTo(p);
        else
            path.lineTo(p);
    }
    path.closeSubpath();
    return path;
}

void cloud(QPainter& p, QPointF at, double s) {
    // One path, so the overlapping puffs show no seams.
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    path.addEllipse(QPointF(at.x(), at.y()), 22 * s, 14 * s);
    path.addEllipse(QPointF(at.x() + 20 * s, at.y() - 8 * s), 18 * s, 15 * s);
    path.addEllipse(QPointF(at.x() + 38 * s, at.y() + 1 * s), 20 * s, 12 * s);
    path.addRoundedRect(QRectF(at.x() - 16 * s, at.y(), 72 * s, 12 * s), 6 * s, 6 * s);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255));
    p.drawPath(path);
}

void flower(QPainter& p, QPointF at, QColor petal, double r) {
    p.setPen(Qt::NoPen);
    p.setBrush(petal);
    for (int i = 0; i < 5; ++i) {
        const double a = qDegreesToRadians(i * 72.0 - 90);
        p.drawEllipse(QPointF(at.x() + r * std::cos(a), at.y() + r * std::sin(a)), r * 0.75,
                      r * 0.75);
    }
    p.setBrush(QColor(255, 214, 90));
    p.drawEllipse(at, r * 0.65, r * 0.65);
}

// The main window background: a calm sky, a soft panel behind the numbers, a smiling sun, a
// tree with apples on a hill at the right, and grass under the button row.
QImage background(int scale) {
    QImage img(kWidth * scale, kHeight * scale, QImage::Format_RGB32);
    QPainter p(&img);
    begin(p, scale);
    QLinearGradient sky(0, 0, 0, 282);
    sky.setColorAt(0, QColor(214, 238, 255));
    sky.setColorAt(1, QColor(253, 248, 234));
    p.fillRect(QRect(0, 0, kWidth, kHeight), sky);

    cloud(p, QPointF(346, 26), 0.9);
    cloud(p, QPointF(336, 118), 0.7);

    // Sun with a friendly face.
    const QPointF sun(428, 44);
    p.setPen(QPen(QColor(255, 200, 80), 4, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 12; ++i) {
        const double a = qDegreesToRadians(i * 30.0 + 15);
        p.drawLine(QPointF(sun.x() + 30 * std::cos(a), sun.y() + 30 * std::sin(a)),
                   QPointF(sun.x() + 38 * std::cos(a), sun.y() + 38 * std::sin(a)));
    }
    QRadialGradient sunFill(sun - QPointF(6, 6), 28);
    sunFill.setColorAt(0, QColor(255, 243, 170));
    sunFill.setColorAt(1, QColor(255, 214, 92));
    p.setPen(Qt::NoPen);
    p.setBrush(sunFill);
    p.drawEllipse(sun, 24, 24);
    p.setBrush(QColor(150, 95, 40));
    p.drawEllipse(sun + QPointF(-8, -4), 2.6, 3.2);
    p.drawEllipse(sun + QPointF(8, -4), 2.6, 3.2);
    p.setBrush(QColor(255, 160, 150, 160));
    p.drawEllipse(sun + QPointF(-13, 5), 4, 2.5);
    p.drawEllipse(sun + QPointF(13, 5), 4, 2.5);
    p.setPen(QPen(QColor(150, 95, 40), 2.2, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(sun.x() - 9, sun.y() - 5, 18, 16), -20 * 16, -140 * 16);

    // Hill and tree at the right.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 234, 186));
    p.drawEllipse(QPointF(420, 300), 130, 52);
    p.setBrush(QColor(150, 105, 70));
    QPainterPath trunk;
    trunk.moveTo(393, 262);
    trunk.cubicTo(397, 230, 396, 205, 398, 178);
    trunk.lineTo(410, 178);
    trunk.cubicTo(410, 205, 409, 232, 417, 262);
    trunk.closeSubpath();
    p.drawPath(trunk);
    for (const auto& [c, r, col] : {std::tuple{QPointF(384, 168), 28.0, QColor(126, 196, 112)},
                                    std::tuple{QPointF(428, 166), 27.0, QColor(126, 196, 112)},
                                    std::tuple{QPointF(405, 142), 34.0, QColor(142, 208, 124)},
                                    std::tuple{QPointF(404, 176), 26.0, QColor(134, 202, 118)}}) {
        p.setBrush(col);
        p.drawEllipse(c, r, r);
    }
    for (const QPointF& apple : {QPointF(385, 150), QPointF(407, 128), QPointF(428, 152),
                                 QPointF(398, 174), QPointF(420, 181)}) {
        p.setBrush(QColor(238, 92, 82));
        p.drawEllipse(apple, 6, 6);
        p.setBrush(QColor(255, 255, 255, 150));
        p.drawEllipse(apple + QPointF(-2, -2), 1.6, 1.6);
    }

    // The soft panel that keeps the numbers readable.
    p.setBrush(QColor(255, 255, 255, 120));
    p.setPen(QPen(QColor(255, 255, 255, 210), 2));
    p.drawRoundedRect(QRectF(8, 12, 318, 262), 22, 22);

    // Grass under the button row.
    QLinearGradient grass(0, 282, 0, kHeight);
    grass.setColorAt(0, QColor(214, 240, 200));
    grass.setColorAt(1, QColor(184, 226, 168));
    p.setPen(Qt::NoPen);
    p.fillRect(QRectF(0, 282, kWidth, kHeight - 282), grass);
    flower(p, QPointF(420, 330), QColor(255, 170, 190), 5);
    flower(p, QPointF(448, 306), QColor(190, 170, 255), 4.5);
    flower(p, QPointF(456, 336), QColor(255, 200, 120), 4);
    flower(p, QPointF(200, 336), QColor(255, 170, 190), 3.5);
    flower(p, QPointF(300, 337), QColor(190, 170, 255), 3.5);
    return img;
}

// Makes a picture with soft edges ready for a one-colour-transparent GIF: pixels that are
// mostly covered become opaque, blended with the background they will sit on; the rest
// become transparent.
QImage flatten(const QImage& art, const QImage& under, QPoint at) {
    QImage out(art.size(), QImage::Format_ARGB32);
    for (int y = 0; y < art.height(); ++y) {
        for (int x = 0; x < art.width(); ++x) {
            const QRgb s = art.pixel(x, y);  // premultiplied image; pixel() unpremultiplies
            const int a = qAlpha(s);
            if (a < 110) {
                out.setPixel(x, y, qRgba(0, 0, 0, 0));
                continue;
            }
            const QPoint u(at.x() + x, at.y() + y);
            const QRgb b = under.rect().contains(u) ? under.pixel(u) : qRgb(255, 255, 255);
            auto mix = [a](int fg, int bg) { return (fg * a + bg * (255 - a) + 127) / 255; };
            out.setPixel(
                x, y,
                qRgb(mix(qRed(s), qRed(b)), mix(qGreen(s), qGreen(b)), mix(qBlue(s), qBlue(b))));
        }
    }
    return out;
}

enum class Glyph { None, Arrow, Star, Pencil, Door };

QImage button(QSize size, QColor light, QColor dark, const QString& text, Glyph glyph, bool pressed,
              int scale) {
    QImage img = blank(size.width(), size.height(), scale);
    QPainter p(&img);
    begin(p, scale);
    const double w = size.width(), h = size.height();
    const double drop = pressed ? 2.5 : 0.5;
    const QRectF body(1, drop, w - 2, h - 4);
    const double radius = body.height() / 2 - 1;
    if (!pressed) {  // the shadow it lifts off
        p.setPen(Qt::NoPen);
        p.setBrush(dark.darker(150));
        p.drawRoundedRect(body.translated(0, 2.5), radius, radius);
    }
    QLinearGradient fill(0, body.top(), 0, body.bottom());
    fill.setColorAt(0, pressed ? dark.darker(112) : light);
    fill.setColorAt(1, pressed ? light.darker(104) : dark);
    p.setPen(QPen(dark.darker(135), 1.2));
    p.setBrush(fill);
    p.drawRoundedRect(body, radius, radius);
    if (!pressed) {  // a gloss on the upper half
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, 70));
        p.drawRoundedRect(
            QRectF(body.left() + 5, body.top() + 2, body.width() - 10, body.height() / 2 - 2),
            radius / 2, radius / 2);
    }

    const QFont font = uiFont(int(h * 0.47), true);
    p.setFont(font);
    const QFontMetricsF metrics(font);
    const double textWidth = metrics.horizontalAdvance(text);
    const double glyphSize = glyph == Glyph::None ? 0 : h * 0.36;
    const double gap = glyph == Glyph::None ? 0 : 4;
    const double total = textWidth + gap + glyphSize;
    double x = body.left() + (body.width() - total) / 2;
    const double cy = body.center().y();
    const bool glyphAfter = glyph == Glyph::Arrow;
    double textX = glyphAfter ? x : x + glyphSize + gap;
    double glyphX = glyphAfter ? x + textWidth + gap : x;
    const double baseline = cy + (metrics.ascent() - metrics.descent()) / 2;
    p.setPen(dark.darker(170));
    p.drawText(QPointF(textX + 0.8, baseline + 1), text);
    p.setPen(Qt::white);
    p.drawText(QPointF(textX, baseline), text);

    const QRectF g(glyphX, cy - glyphSize / 2, glyphSize, glyphSize);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    switch (glyph) {
        case Glyph::Arrow: {
            QPainterPath tri;
            tri.moveTo(g.left(), g.top());
            tri.lineTo(g.right(), g.center().y());
            tri.lineTo(g.left(), g.bottom());
            tri.closeSubpath();
            p.drawPath(tri);
            break;
        }
        case Glyph::Star:
            p.drawPath(star(g.center(), glyphSize * 0.62, glyphSize * 0.27));
            break;
        case Glyph::Pencil: {
            p.save();
            p.translate(g.center());
            p.rotate(45);
            p.drawRoundedRect(
                QRectF(-glyphSize * 0.18, -glyphSize * 0.6, glyphSize * 0.36, glyphSize * 0.9), 1,
                1);
            QPainterPath tip;
            tip.moveTo(-glyphSize * 0.18, glyphSize * 0.34);
            tip.lineTo(glyphSize * 0.18, glyphSize * 0.34);
            tip.lineTo(0, glyphSize * 0.62);
            tip.closeSubpath();
            p.drawPath(tip);
            p.restore();
            break;
        }
        case Glyph::Door: {
            p.setPen(QPen(Qt::white, 1.8));
            p.setBrush(Qt::NoBrush);
            p.drawRoundedRect(g.adjusted(1, 0, -3, 0), 1.5, 1.5);
            p.setPen(Qt::NoPen);
            p.setBrush(Qt::white);
            p.drawEllipse(QPointF(g.right() - 5.5, g.center().y()), 1.4, 1.4);
            break;
        }
        case Glyph::None:
            break;
    }
    return img;
}

// The marks sit at 192, 190 with the answer box over their top-left corner: draw them to the
// right and below it.
QImage mark(bool correct, int scale) {
    QImage img = blank(120, 100, scale);
    QPainter p(&img);
    begin(p, scale);
    const QPointF c(80, 50);
    const double r = 29;
    const QColor light = correct ? QColor(132, 220, 112) : QColor(255, 160, 132);
    const QColor dark = correct ? QColor(56, 168, 76) : QColor(236, 96, 80);
    p.setPen(Qt::NoPen);
    p.setBrush(dark.darker(130));
    p.drawEllipse(c + QPointF(0, 2.5), r + 3, r + 3);
    p.setBrush(Qt::white);
    p.drawEllipse(c, r + 3, r + 3);
    QRadialGradient fill(c - QPointF(9, 11), r * 1.5);
    fill.setColorAt(0, light);
    fill.setColorAt(1, dark);
    p.setBrush(fill);
    p.drawEllipse(c, r, r);
    p.setPen(QPen(Qt::white, 7.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    if (correct) {
        QPainterPath tick;
        tick.moveTo(c + QPointF(-14, 1));
        tick.lineTo(c + QPointF(-4, 12));
        tick.lineTo(c + QPointF(15, -11));
        p.drawPath(tick);
        p.setPen(QPen(QColor(230, 160, 30), 1));
        p.setBrush(QColor(255, 214, 70));
        p.drawPath(star(QPointF(34, 40), 9, 4));
        p.drawPath(star(QPointF(27, 64), 6, 2.7, -70));
        p.drawPath(star(QPointF(112, 14), 6, 2.7, -100));
    } else {
        p.drawLine(c + QPointF(-10, -10), c + QPointF(10, 10));
        p.drawLine(c + QPointF(10, -10), c + QPointF(-10, 10));
        // A small "try again" swirl rather than anything stern.
        p.setPen(QPen(dark, 2.2, Qt::SolidLine, Qt::RoundCap));
        p.drawArc(QRectF(26, 38, 16, 16), 30 * 16, 270 * 16);
        p.drawLine(QPointF(41, 41), QPointF(43.5, 36));
        p.drawLine(QPointF(41, 41), QPointF(36, 40));
    }
    return img;
}

// The decoration: a smiling flower in a pot, swaying over six frames.
std::vector<artwork::GifFrame> decoration() {
    std::vector<artwork::GifFrame> frames;
    const double angles[] = {-9, -4, 2, 9, 4, -2};
    for (double angle : angles) {
        QImage img = blank(200, 200);
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        // Pot.
        QPainterPath pot;
        pot.moveTo(62, 150);
        pot.lineTo(138, 150);
        pot.lineTo(128, 194);
        pot.lineTo(72, 194);
        pot.closeSubpath();
        p.setPen(QPen(QColor(170, 90, 50), 2));
        p.setBrush(QColor(226, 128, 80));
        p.drawPath(pot);
        p.drawRoundedRect(QRectF(56, 140, 88, 16), 5, 5);
        // Stem and leaves, swaying from the pot.
        p.translate(100, 146);
        p.rotate(angle);
        p.setPen(QPen(QColor(70, 150, 70), 6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(0, 0), QPointF(0, -70));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(110, 190, 100));
        p.save();
        p.translate(0, -30);
        p.rotate(-35);
        p.drawEllipse(QPointF(-18, 0), 18, 8);
        p.restore();
        p.save();
        p.translate(0, -44);
        p.rotate(35);
        p.drawEllipse(QPointF(18, 0), 16, 7);
        p.restore();
        // Head.
        p.translate(0, -92);
        p.rotate(angle * 0.8);
        for (int i = 0; i < 8; ++i) {
            p.save();
            p.rotate(i * 45 + angle);
            p.setBrush(i % 2 ? QColor(255, 150, 170) : QColor(255, 180, 195));
            p.drawEllipse(QPointF(0, -31), 13, 19);
            p.restore();
        }
        p.setPen(QPen(QColor(230, 160, 40), 2));
        p.setBrush(QColor(255, 218, 90));
        p.drawEllipse(QPointF(0, 0), 24, 24);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(110, 70, 40));
        p.drawEllipse(QPointF(-8, -5), 3, 3.8);
        p.drawEllipse(QPointF(8, -5), 3, 3.8);
        p.setBrush(QColor(255, 140, 130, 170));
        p.drawEllipse(QPointF(-14, 5), 4, 2.6);
        p.drawEllipse(QPointF(14, 5), 4, 2.6);
        p.setPen(QPen(QColor(110, 70, 40), 2.4, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(-9, -4, 18, 16), -25 * 16, -130 * 16);
        p.end();
        frames.push_back({flatten(img, QImage(), QPoint()), 120});
    }
    return frames;
}

// The program icon: the decomposition diagram, 5 split into 2 and 3.
QImage icon(int pixels) {
    QImage img(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    begin(p, pixels / 128.0);
    QLinearGradient bg(0, 0, 0, 128);
    bg.setColorAt(0, QColor(120, 190, 255));
    bg.setColorAt(1, QColor(70, 140, 230));
    p.setPen(Qt::NoPen);
    p.setBrush(bg);
    p.drawRoundedRect(QRectF(4, 4, 120, 120), 26, 26);
    p.setPen(QPen(Qt::white, 5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(56, 52), QPointF(38, 78));
    p.drawLine(QPointF(72, 52), QPointF(90, 78));
    auto bubble = [&p](QPointF c, double r, QColor colour, const QString& text) {
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawEllipse(c, r, r);
        p.setBrush(colour);
        p.drawEllipse(c, r - 3.5, r - 3.5);
        QFont f = uiFont(int(r * 1.35), true);
        p.setFont(f);
        p.setPen(Qt::white);
        p.drawText(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r), Qt::AlignCenter, text);
    };
    bubble(QPointF(64, 36), 23, QColor(255, 150, 60), QStringLiteral("5"));
    bubble(QPointF(36, 90), 19, QColor(90, 190, 90), QStringLiteral("2"));
    bubble(QPointF(92, 90), 19, QColor(240, 100, 110), QStringLiteral("3"));
    return img;
}

// The same icon as SVG, for the scalable icon theme folder.
QByteArray iconSvg() {
    return QByteArray(R"svg(<?xml version="1.0" encoding="UTF-8"?>
<svg xmlns="http://www.w3.org/2000/svg" width="128" height="128" viewBox="0 0 128 128">
  <defs>
    <linearGradient id="bg" x1="0" y1="0" x2="0" y2="1">
      <stop offset="0" stop-color="#78beff"/>
      <stop offset="1" stop-color="#468ce6"/>
    </linearGradient>
  </defs>
  <rect x="4" y="4" width="120" height="120" rx="26" fill="url(#bg)"/>
  <g stroke="#fff" stroke-width="5" stroke-linecap="round">
    <line x1="56" y1="52" x2="38" y2="78"/>
    <line x1="72" y1="52" x2="90" y2="78"/>
  </g>
  <g font-family="Noto Sans CJK SC, WenQuanYi Zen Hei, sans-serif" font-weight="bold"
     fill="#fff" text-anchor="middle" dominant-baseline="central">
    <circle cx="64" cy="36" r="23" fill="#fff"/>
    <circle cx="64" cy="36" r="19.5" fill="#ff963c"/>
    <text x="64" y="37" font-size="31">5</text>
    <circle cx="36" cy="90" r="19" fill="#fff"/>
    <circle cx="36" cy="90" r="15.5" fill="#5abe5a"/>
    <text x="36" y="91" font-size="25">2</text>
    <circle cx="92" cy="90" r="19" fill="#fff"/>
    <circle cx="92" cy="90" r="15.5" fill="#f0646e"/>
    <text x="92" y="91" font-size="25">3</text>
  </g>
</svg>
)svg");
}

// NAME.EXT at scale 1, NAME@<scale>x.EXT above it.
QString scaledName(const char* name, int scale) {
    const QString file = QString::fromLatin1(name);
    if (scale == 1) return file;
    const qsizetype dot = file.lastIndexOf(u'.');
    return file.left(dot) + QStringLiteral("@%1x").arg(scale) + file.mid(dot);
}

bool saveGif(const QDir& dir, const QString& name, const QImage& image) {
    return artwork::writeGif(dir.filePath(name), {{image, 0}});
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: kavrilo-artwork <output folder>\n");
        return 2;
    }
    QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    bool ok = true;
    struct ButtonArt {
        const char* normal;
        const char* pressed;
        QRect place;
        QColor light, dark;
        const char* text;
        Glyph glyph;
    };
    const ButtonArt buttons[] = {
        {"b1.gif", "b2.gif", QRect(89, 214, 80, 32), QColor(255, 184, 92), QColor(244, 128, 24),
         "下一题", Glyph::Arrow},
        {"b3.gif", "b4.gif", QRect(111, 283, 70, 34), QColor(110, 180, 255), QColor(40, 120, 220),
         "出题", Glyph::Pencil},
        {"b5.gif", "b6.gif", QRect(210, 282, 82, 36), QColor(120, 214, 120), QColor(44, 158, 72),
         "发现", Glyph::Star},
        {"b7.gif", "b8.gif", QRect(309, 282, 86, 36), QColor(255, 140, 150), QColor(222, 72, 90),
         "退出", Glyph::Door},
    };
    for (int scale : {1, 2, 3}) {
        const QImage bg = background(scale);
        QImageWriter jpeg(out.filePath(scaledName("bj3.jpg", scale)), "jpg");
        jpeg.setQuality(92);
        jpeg.setOptimizedWrite(true);
        ok = jpeg.write(bg) && ok;
        for (const ButtonArt& b : buttons) {
            const QString text = QString::fromUtf8(b.text);
            for (bool pressed : {false, true}) {
                const QImage art =
                    button(b.place.size(), b.light, b.dark, text, b.glyph, pressed, scale);
                ok = saveGif(out, scaledName(pressed ? b.pressed : b.normal, scale),
                             flatten(art, bg, b.place.topLeft() * scale)) &&
                     ok;
            }
        }
        const QPoint markAt = QPoint(192, 190) * scale;
        ok = saveGif(out, scaledName("dui.gif", scale), flatten(mark(true, scale), bg, markAt)) &&
             ok;
        ok = saveGif(out, scaledName("cha.gif", scale), flatten(mark(false, scale), bg, markAt)) &&
             ok;
    }
    ok = artwork::writeGif(out.filePath(QStringLiteral("fc.gif")), decoration()) && ok;
    ok = icon(128).save(out.filePath(QStringLiteral("kavrilo.png")), "png") && ok;
    ok = icon(256).save(out.filePath(QStringLiteral("kavrilo@2x.png")), "png") && ok;
    ok = icon(48).save(out.filePath(QStringLiteral("kavrilo-48.png")), "png") && ok;
    QFile svg(out.filePath(QStringLiteral("kavrilo.svg")));
    ok = svg.open(QIODevice::WriteOnly) && svg.write(iconSvg()) == iconSvg().size() && ok;
    if (!ok) {
        std::fprintf(stderr, "writing the artwork failed\n");
        return 1;
    }
    return 0;
}
