// Draws the launcher window's pictures and writes them beside this file:
//   face_131.bmp      the window's face, 980 x 650, 24 bits per pixel
//   mask_132.bmp      the window's shape, 980 x 650, 24 bits: pure black lies outside the window
//   bar_back_133.bmp  the progress bar's empty track, 488 x 12, 24 bits
//   bar_fore_134.bmp  the progress bar's filled track, 488 x 12, 24 bits
//   icon_128.png      the application icon, 256 x 256 with transparency
//   icon_128.ico      the same icon for the Windows executable: 16, 20, 24, 32, 40, 48 and 64
//                     pixels as 32-bit bitmaps, 256 pixels as PNG
// Run through ./generate (it builds this file against Qt and runs it off screen). Everything is
// drawn from code, so a change of artwork is a change of this file plus a regeneration.

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int kWindowWidth = 980;
constexpr int kWindowHeight = 650;
constexpr int kStripWidth = 488;
constexpr int kStripHeight = 12;
constexpr int kIconSize = 256;

// Where the window's controls end up on the face (pixels, after the window's layout): the bar
// sits on a dark plate, the status line and the percentage label below and beside it.
const QRectF kBarPlate(334, 516, 496, 25);
constexpr int kPanelTop = 500;

// Colours shared by the face and the strips, so that the bar blends into its plate.
const QColor kPlate(13, 17, 36);
const QColor kTrackBorder(138, 116, 64);
const QColor kTrackInside(26, 32, 56);
const QColor kNight(11, 15, 30);
const QColor kGold(236, 190, 96);

// A small fixed pseudo-random sequence, so that the stars land in the same places every time.
class Sequence {
public:
    double Next() {
        m_state = m_state * 1103515245u + 12345u;
        return static_cast<double>((m_state >> 8) & 0xFFFF) / 65535.0;
    }

private:
    unsigned m_state = 20260411u;
};

// The window's outline: a body with rounded corners and a raised crest in the middle of the top
// edge that carries the title.
QPainterPath WindowOutline() {
    QPainterPath body;
    body.addRoundedRect(QRectF(0, 56, kWindowWidth, kWindowHeight - 56), 26, 26);

    QPainterPath crest;
    crest.moveTo(282, 57);
    crest.cubicTo(330, 57, 338, 16, 384, 14);
    crest.lineTo(440, 14);
    crest.quadTo(490, -14, 540, 14);
    crest.lineTo(596, 14);
    crest.cubicTo(642, 16, 650, 57, 698, 57);
    crest.closeSubpath();

    return body.united(crest);
}

QImage MakeMask() {
    QImage mask(kWindowWidth, kWindowHeight, QImage::Format_RGB888);
    mask.fill(Qt::black);
    QPainter p(&mask);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillPath(WindowOutline(), Qt::white);
    return mask;
}

void DrawSky(QPainter& p) {
    QLinearGradient sky(0, 0, 0, 430);
    sky.setColorAt(0.0, QColor(16, 26, 62));
    sky.setColorAt(0.45, QColor(58, 63, 122));
    sky.setColorAt(0.78, QColor(192, 96, 122));
    sky.setColorAt(1.0, QColor(244, 165, 90));
    p.fillRect(QRectF(0, 0, kWindowWidth, 430), sky);

    Sequence random;
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 90; ++i) {
        const double x = random.Next() * kWindowWidth;
        const double y = random.Next() * 200;
        const double size = 0.8 + random.Next() * 1.6;
        p.setBrush(QColor(255, 250, 230, 120 + static_cast<int>(random.Next() * 135)));
        p.drawEllipse(QPointF(x, y), size, size);
    }

    QRadialGradient glow(QPointF(690, 318), 190);
    glow.setColorAt(0.0, QColor(255, 243, 192, 255));
    glow.setColorAt(0.25, QColor(255, 176, 96, 140));
    glow.setColorAt(1.0, QColor(255, 140, 80, 0));
    p.setBrush(glow);
    p.drawEllipse(QPointF(690, 318), 190, 190);
    p.setBrush(QColor(255, 231, 160));
    p.drawEllipse(QPointF(690, 318), 44, 44);
}

void DrawMountains(QPainter& p) {
    QPainterPath far;
    far.moveTo(0, 330);
    const QPointF peaks[] = {{70, 250},  {140, 300}, {230, 210}, {330, 290}, {420, 232}, {520, 300},
                             {600, 250}, {700, 320}, {800, 228}, {900, 290}, {980, 250}};
    for (const QPointF& peak : peaks) {
        far.lineTo(peak);
    }
    far.lineTo(980, 430);
    far.lineTo(0, 430);
    far.closeSubpath();
    QLinearGradient farShade(0, 210, 0, 430);
    farShade.setColorAt(0.0, QColor(92, 86, 146));
    farShade.setColorAt(1.0, QColor(60, 58, 110));
    p.setPen(Qt::NoPen);
    p.fillPath(far, farShade);

    // Snow on the highest peaks.
    p.setBrush(QColor(236, 232, 250, 220));
    for (const QPointF& peak : peaks) {
        if (peak.y() > 240) {
            continue;
        }
        QPolygonF cap;
        cap << peak << QPointF(peak.x() + 24, peak.y() + 26) << QPointF(peak.x() + 8, peak.y() + 20)
            << QPointF(peak.x() - 6, peak.y() + 28) << QPointF(peak.x() - 22, peak.y() + 24);
        p.drawPolygon(cap);
    }

    QPainterPath hills;
    hills.moveTo(0, 380);
    hills.quadTo(160, 300, 330, 372);
    hills.quadTo(470, 420, 600, 380);
    hills.quadTo(790, 320, 980, 372);
    hills.lineTo(980, 460);
    hills.lineTo(0, 460);
    hills.closeSubpath();
    QLinearGradient hillShade(0, 320, 0, 460);
    hillShade.setColorAt(0.0, QColor(52, 104, 92));
    hillShade.setColorAt(1.0, QColor(30, 66, 66));
    p.fillPath(hills, hillShade);
}

void DrawLake(QPainter& p) {
    QLinearGradient water(0, 420, 0, 520);
    water.setColorAt(0.0, QColor(70, 92, 150));
    water.setColorAt(1.0, QColor(24, 36, 78));
    p.fillRect(QRectF(0, 420, kWindowWidth, 100), water);

    // The sun's reflection: short bright strokes that thin out towards the shore.
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 9; ++i) {
        const double y = 428 + i * 9;
        const double half = 46 - i * 4;
        p.setBrush(QColor(255, 214, 140, 200 - i * 18));
        p.drawRoundedRect(QRectF(690 - half, y, half * 2, 3), 1.5, 1.5);
    }
}

void DrawPine(QPainter& p, double x, double baseY, double height) {
    const QColor needles(18, 52, 36);
    p.setBrush(needles);
    for (int tier = 0; tier < 3; ++tier) {
        const double top = baseY - height + tier * height * 0.25;
        const double half = height * (0.18 + tier * 0.08);
        QPolygonF layer;
        layer << QPointF(x, top) << QPointF(x + half, top + height * 0.45)
              << QPointF(x - half, top + height * 0.45);
        p.drawPolygon(layer);
    }
    p.fillRect(QRectF(x - 2, baseY - height * 0.1, 4, height * 0.12), QColor(58, 38, 26));
}

void DrawShores(QPainter& p) {
    p.setPen(Qt::NoPen);
    QPainterPath left;
    left.moveTo(0, 400);
    left.quadTo(180, 372, 330, 440);
    left.quadTo(390, 470, 420, 520);
    left.lineTo(0, 520);
    left.closeSubpath();
    p.fillPath(left, QColor(34, 78, 52));

    QPainterPath right;
    right.moveTo(980, 420);
    right.quadTo(860, 410, 800, 470);
    right.quadTo(770, 500, 760, 520);
    right.lineTo(980, 520);
    right.closeSubpath();
    p.fillPath(right, QColor(30, 70, 48));

    const double pines[][3] = {{300, 446, 46}, {334, 462, 38}, {362, 480, 34}, {40, 412, 50},
                               {12, 420, 40},  {836, 470, 44}, {870, 452, 52}, {910, 446, 48},
                               {950, 440, 56}, {812, 492, 34}};
    for (const auto& pine : pines) {
        DrawPine(p, pine[0], pine[1], pine[2]);
    }
}

void DrawCastle(QPainter& p) {
    const QColor wall(59, 54, 80);
    const QColor shadow(44, 40, 62);
    const QColor roof(122, 43, 53);
    const QColor light(255, 211, 107);
    p.setPen(Qt::NoPen);

    // Curtain wall with battlements.
    p.fillRect(QRectF(96, 330, 170, 62), wall);
    for (double x = 96; x < 266; x += 14) {
        p.fillRect(QRectF(x, 322, 8, 9), wall);
    }
    // Towers: x, top, width.
    const double towers[][3] = {{84, 286, 34}, {150, 250, 42}, {244, 296, 32}};
    for (const auto& tower : towers) {
        const double x = tower[0], top = tower[1], width = tower[2];
        p.fillRect(QRectF(x, top, width, 392 - top), wall);
        p.fillRect(QRectF(x + width * 0.62, top, width * 0.38, 392 - top), shadow);
        QPolygonF cone;
        cone << QPointF(x - 5, top) << QPointF(x + width / 2, top - width * 1.1)
             << QPointF(x + width + 5, top);
        p.setBrush(roof);
        p.drawPolygon(cone);
        p.fillRect(QRectF(x + width / 2 - 1, top - width * 1.1 - 16, 2, 16), QColor(70, 60, 60));
        QPolygonF flag;
        flag << QPointF(x + width / 2 + 1, top - width * 1.1 - 16)
             << QPointF(x + width / 2 + 15, top - width * 1.1 - 12)
             << QPointF(x + width / 2 + 1, top - width * 1.1 - 8);
        p.setBrush(kGold);
        p.drawPolygon(flag);
        for (double y = top + 14; y < 372; y += 24) {
            p.fillRect(QRectF(x + width / 2 - 4, y, 7, 10), light);
        }
    }
    // Gate.
    QPainterPath gate;
    gate.moveTo(196, 392);
    gate.lineTo(196, 366);
    gate.quadTo(208, 350, 220, 366);
    gate.lineTo(220, 392);
    gate.closeSubpath();
    p.fillPath(gate, QColor(30, 24, 30));
}

void DrawBirds(QPainter& p) {
    QPen pen(QColor(40, 30, 50), 2);
    pen.setCapStyle(Qt::RoundCap);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    const QPointF birds[] = {{600, 270}, {622, 282}, {584, 290}, {760, 250}};
    for (const QPointF& b : birds) {
        QPainterPath wing;
        wing.moveTo(b.x() - 8, b.y() - 3);
        wing.quadTo(b.x() - 3, b.y() - 5, b.x(), b.y());
        wing.quadTo(b.x() + 3, b.y() - 5, b.x() + 8, b.y() - 3);
        p.drawPath(wing);
    }
}

void DrawTitle(QPainter& p) {
    QFont titleFont("DejaVu Serif");
    titleFont.setPixelSize(70);
    titleFont.setBold(true);
    titleFont.setLetterSpacing(QFont::AbsoluteSpacing, 10);
    QPainterPath title;
    title.addText(0, 0, titleFont, "TOLBE");
    const QRectF bounds = title.boundingRect();
    title.translate(kWindowWidth / 2.0 - bounds.center().x(), 128 - bounds.bottom());

    p.setPen(Qt::NoPen);
    p.fillPath(title.translated(3, 4), QColor(10, 6, 20, 150));
    QLinearGradient gold(0, 128 - bounds.height(), 0, 128);
    gold.setColorAt(0.0, QColor(255, 241, 184));
    gold.setColorAt(0.55, QColor(224, 162, 58));
    gold.setColorAt(1.0, QColor(168, 102, 28));
    p.setPen(QPen(QColor(42, 26, 8), 2.5));
    p.setBrush(gold);
    p.drawPath(title);

    QFont subtitleFont("WenQuanYi Micro Hei");
    subtitleFont.setPixelSize(24);
    subtitleFont.setLetterSpacing(QFont::AbsoluteSpacing, 4);
    const QString subtitle = QString::fromUtf8("托贝 · 开拓者的大陆");
    p.setFont(subtitleFont);
    const QRectF line(0, 142, kWindowWidth, 34);
    p.setPen(QColor(20, 12, 30, 170));
    p.drawText(line.translated(2, 2), Qt::AlignCenter, subtitle);
    p.setPen(QColor(255, 240, 214));
    p.drawText(line, Qt::AlignCenter, subtitle);
}

// The dark band at the bottom that carries the bar, the percentage and the status line.
void DrawPanel(QPainter& p) {
    QLinearGradient fade(0, kPanelTop - 34, 0, kPanelTop + 14);
    fade.setColorAt(0.0, QColor(kNight.red(), kNight.green(), kNight.blue(), 0));
    fade.setColorAt(1.0, QColor(kNight.red(), kNight.green(), kNight.blue(), 240));
    p.fillRect(QRectF(0, kPanelTop - 34, kWindowWidth, 48), fade);
    p.fillRect(QRectF(0, kPanelTop + 14, kWindowWidth, kWindowHeight), kNight);

    p.setPen(QPen(QColor(kGold.red(), kGold.green(), kGold.blue(), 150), 1));
    p.drawLine(QPointF(120, kPanelTop + 6.5), QPointF(860, kPanelTop + 6.5));

    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(kTrackBorder, 1));
    p.setBrush(kPlate);
    p.drawRect(kBarPlate);
    p.setRenderHint(QPainter::Antialiasing, true);

    // Two small diamonds at the ends of the gold line.
    p.setPen(Qt::NoPen);
    p.setBrush(kGold);
    for (double x : {120.0, 860.0}) {
        QPolygonF diamond;
        diamond << QPointF(x, kPanelTop + 1) << QPointF(x + 6, kPanelTop + 6.5)
                << QPointF(x, kPanelTop + 12) << QPointF(x - 6, kPanelTop + 6.5);
        p.drawPolygon(diamond);
    }

    QFont footerFont("WenQuanYi Micro Hei");
    footerFont.setPixelSize(13);
    p.setFont(footerFont);
    p.setPen(QColor(150, 140, 120));
    p.drawText(QRectF(0, kWindowHeight - 34, kWindowWidth - 40, 20),
               Qt::AlignRight | Qt::AlignVCenter, QString::fromUtf8("Tolbe 启动器"));
}

QImage MakeFace() {
    QImage face(kWindowWidth, kWindowHeight, QImage::Format_RGB888);
    face.fill(kNight);
    QPainter p(&face);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);

    const QPainterPath outline = WindowOutline();
    p.setClipPath(outline);
    DrawSky(p);
    DrawMountains(p);
    DrawLake(p);
    DrawShores(p);
    DrawCastle(p);
    DrawBirds(p);
    DrawTitle(p);
    DrawPanel(p);

    // A gold frame just inside the outline, a dark line inside that.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kGold, 6));
    p.drawPath(outline);
    return face;
}

// The empty track: a border row pair at the top and the bottom, a dark inside.
QImage MakeBarBack() {
    QImage strip(kStripWidth, kStripHeight, QImage::Format_RGB888);
    for (int y = 0; y < kStripHeight; ++y) {
        const bool border = y < 2 || y >= kStripHeight - 2;
        const QColor row = border ? kTrackBorder : (y == 2 ? kPlate : kTrackInside);
        for (int x = 0; x < kStripWidth; ++x) {
            strip.setPixelColor(x, y, row);
        }
    }
    return strip;
}

// The filled track. The bar draws it two pixels right of and below the empty track, so its rows
// 0-7 fill the track's inside, rows 8-9 repeat the track's bottom border and rows 10-11 match the
// plate under the bar.
QImage MakeBarFore() {
    const QColor rows[] = {{255, 242, 176}, {255, 227, 138}, {255, 209, 102}, {246, 187, 69},
                           {238, 167, 58},  {224, 149, 48},  {204, 130, 40},  {184, 112, 34}};
    QImage strip(kStripWidth, kStripHeight, QImage::Format_RGB888);
    for (int y = 0; y < kStripHeight; ++y) {
        for (int x = 0; x < kStripWidth; ++x) {
            QColor colour;
            if (y < 8) {
                // Slanted light bands every 16 pixels give the fill some movement.
                const bool sheen = ((x + y) / 8) % 2 == 0;
                colour = sheen ? rows[y].lighter(108) : rows[y];
            } else if (y < 10) {
                colour = kTrackBorder;
            } else {
                colour = kPlate;
            }
            strip.setPixelColor(x, y, colour);
        }
    }
    return strip;
}

QImage MakeIcon() {
    QImage icon(kIconSize, kIconSize, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    QPainter p(&icon);
    p.setRenderHint(QPainter::Antialiasing, true);

    const QRectF tile(12, 12, kIconSize - 24, kIconSize - 24);
    QLinearGradient blue(0, tile.top(), 0, tile.bottom());
    blue.setColorAt(0.0, QColor(58, 80, 160));
    blue.setColorAt(1.0, QColor(18, 28, 72));
    p.setPen(QPen(kGold, 10));
    p.setBrush(blue);
    p.drawRoundedRect(tile, 40, 40);

    QPainterPath hills;
    hills.moveTo(tile.left() + 6, 196);
    hills.lineTo(86, 150);
    hills.lineTo(124, 182);
    hills.lineTo(170, 136);
    hills.lineTo(tile.right() - 6, 190);
    hills.lineTo(tile.right() - 6, 212);
    hills.quadTo(tile.right() - 6, tile.bottom() - 6, tile.right() - 40, tile.bottom() - 6);
    hills.lineTo(tile.left() + 40, tile.bottom() - 6);
    hills.quadTo(tile.left() + 6, tile.bottom() - 6, tile.left() + 6, 212);
    hills.closeSubpath();
    p.setPen(Qt::NoPen);
    p.fillPath(hills, QColor(40, 96, 84));

    QFont letterFont("DejaVu Serif");
    letterFont.setPixelSize(170);
    letterFont.setBold(true);
    QPainterPath letter;
    letter.addText(0, 0, letterFont, "T");
    const QRectF bounds = letter.boundingRect();
    letter.translate(kIconSize / 2.0 - bounds.center().x(), 118 - bounds.center().y());
    QLinearGradient gold(0, 40, 0, 200);
    gold.setColorAt(0.0, QColor(255, 241, 184));
    gold.setColorAt(1.0, QColor(200, 130, 40));
    p.fillPath(letter.translated(4, 5), QColor(8, 10, 30, 140));
    p.setPen(QPen(QColor(42, 26, 8), 4));
    p.setBrush(gold);
    p.drawPath(letter);
    return icon;
}

// The sizes of the Windows icon: what the shell and the window's title bar and task bar ask for
// at 100 % to 200 % scale, and 256 for large views.
constexpr int kIcoSizes[] = {16, 20, 24, 32, 40, 48, 64, 256};
// Sizes from this one up are stored as PNG, as Windows has read them since Vista.
constexpr int kIcoPngFrom = 256;

void AppendLittleEndian(QByteArray& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.append(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

// One image of an ICO file as a device-independent bitmap: the header with the doubled height
// of the colour and mask planes, the colour rows (BGRA, bottom row first), then the 1-bit mask
// rows, each padded to 4 bytes, set where the picture is fully transparent.
QByteArray IcoBitmap(const QImage& picture) {
    const QImage argb = picture.convertToFormat(QImage::Format_ARGB32);
    const int size = argb.width();
    QByteArray out;
    AppendLittleEndian(out, 40, 4);  // BITMAPINFOHEADER
    AppendLittleEndian(out, static_cast<uint32_t>(size), 4);
    AppendLittleEndian(out, static_cast<uint32_t>(size * 2), 4);
    AppendLittleEndian(out, 1, 2);   // planes
    AppendLittleEndian(out, 32, 2);  // bits per pixel
    for (int field = 0; field < 6; ++field) {
        AppendLittleEndian(out, 0, 4);  // BI_RGB, no size, resolution or palette
    }
    for (int y = size - 1; y >= 0; --y) {
        const auto* row = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < size; ++x) {
            AppendLittleEndian(out, row[x], 4);  // 0xAARRGGBB is B, G, R, A in memory order
        }
    }
    const int maskRowBytes = ((size + 31) / 32) * 4;
    for (int y = size - 1; y >= 0; --y) {
        QByteArray maskRow(maskRowBytes, '\0');
        for (int x = 0; x < size; ++x) {
            if (qAlpha(argb.pixel(x, y)) == 0) {
                maskRow[x / 8] = static_cast<char>(maskRow[x / 8] | (0x80 >> (x % 8)));
            }
        }
        out.append(maskRow);
    }
    return out;
}

QByteArray IcoPng(const QImage& picture) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    return png;
}

// An ICO file holding `icon` at every size of kIcoSizes.
QByteArray MakeIco(const QImage& icon) {
    std::vector<QByteArray> images;
    for (const int size : kIcoSizes) {
        const QImage scaled =
            icon.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        images.push_back(size >= kIcoPngFrom ? IcoPng(scaled) : IcoBitmap(scaled));
    }
    constexpr int kDirectoryBytes = 6;
    constexpr int kEntryBytes = 16;
    QByteArray out;
    AppendLittleEndian(out, 0, 2);  // reserved
    AppendLittleEndian(out, 1, 2);  // an icon, not a cursor
    AppendLittleEndian(out, static_cast<uint32_t>(images.size()), 2);
    uint32_t offset = kDirectoryBytes + kEntryBytes * static_cast<uint32_t>(images.size());
    for (size_t i = 0; i < images.size(); ++i) {
        const int size = kIcoSizes[i];
        AppendLittleEndian(out, size >= 256 ? 0 : static_cast<uint32_t>(size), 1);  // 0 is 256
        AppendLittleEndian(out, size >= 256 ? 0 : static_cast<uint32_t>(size), 1);
        AppendLittleEndian(out, 0, 1);   // no palette
        AppendLittleEndian(out, 0, 1);   // reserved
        AppendLittleEndian(out, 1, 2);   // planes
        AppendLittleEndian(out, 32, 2);  // bits per pixel
        AppendLittleEndian(out, static_cast<uint32_t>(images[i].size()), 4);
        AppendLittleEndian(out, offset, 4);
        offset += static_cast<uint32_t>(images[i].size());
    }
    for (const QByteArray& image : images) {
        out.append(image);
    }
    return out;
}

bool SaveBytes(const QByteArray& bytes, const QString& folder, const char* name) {
    const QString path = folder + "/" + name;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "make_resources: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("wrote %s (%lld bytes)\n", qPrintable(path), static_cast<long long>(bytes.size()));
    return true;
}

bool Save(const QImage& image, const QString& folder, const char* name, const char* format) {
    const QString path = folder + "/" + name;
    if (!image.save(path, format)) {
        std::fprintf(stderr, "make_resources: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("wrote %s (%d x %d)\n", qPrintable(path), image.width(), image.height());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_resources <output folder>\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const bool ok = Save(MakeFace(), folder, "face_131.bmp", "BMP") &&
                    Save(MakeMask(), folder, "mask_132.bmp", "BMP") &&
                    Save(MakeBarBack(), folder, "bar_back_133.bmp", "BMP") &&
                    Save(MakeBarFore(), folder, "bar_fore_134.bmp", "BMP") &&
                    Save(MakeIcon(), folder, "icon_128.png", "PNG") &&
                    SaveBytes(MakeIco(MakeIcon()), folder, "icon_128.ico");
    return ok ? EXIT_SUCCESS : EXIT_FAILURE;
}
