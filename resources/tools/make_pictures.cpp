// Paints every picture the program ships with and writes them into the
// resources folder. Run once after changing a picture; the outputs are kept
// in the repository, so a normal build does not need this tool.
//
//   stillwise-make-pictures <resources folder>
//
// Button glyphs are 16-colour bitmaps whose bottom-left pixel is the olive
// background that buttons treat as transparent. Two-image glyphs hold the
// normal image and, beside it, the disabled image derived from it here.

#include <QDir>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygon>
#include <QRadialGradient>
#include <QRandomGenerator>

#include <cstdio>
#include <functional>
#include <utility>
#include <vector>

namespace {

// The sixteen colours of the classic display palette.
const QRgb kBlack = qRgb(0, 0, 0);
const QRgb kMaroon = qRgb(128, 0, 0);
const QRgb kGreen = qRgb(0, 128, 0);
const QRgb kOlive = qRgb(128, 128, 0);
const QRgb kNavy = qRgb(0, 0, 128);
const QRgb kPurple = qRgb(128, 0, 128);
const QRgb kTeal = qRgb(0, 128, 128);
const QRgb kSilver = qRgb(192, 192, 192);
const QRgb kGrey = qRgb(128, 128, 128);
const QRgb kRed = qRgb(255, 0, 0);
const QRgb kLime = qRgb(0, 255, 0);
const QRgb kYellow = qRgb(255, 255, 0);
const QRgb kBlue = qRgb(0, 0, 255);
const QRgb kFuchsia = qRgb(255, 0, 255);
const QRgb kAqua = qRgb(0, 255, 255);
const QRgb kWhite = qRgb(255, 255, 255);

const QList<QRgb> kPalette16 = {kBlack, kMaroon, kGreen, kOlive, kNavy, kPurple, kTeal, kSilver,
                                kGrey,  kRed,    kLime,  kYellow, kBlue, kFuchsia, kAqua, kWhite};

using Painting = std::function<void(QPainter&)>;

bool failed = false;

void Save(const QImage& image, const QString& path, const char* format = nullptr)
{
    if (!image.save(path, format)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        failed = true;
    }
}

// One glyph image: olive background, crisp pixels (no smoothing), colours
// from the 16-colour palette only.
QImage PaintCell(QSize size, const Painting& paint)
{
    QImage cell(size, QImage::Format_RGB32);
    cell.fill(kOlive);
    QPainter p(&cell);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::TextAntialiasing, false);
    paint(p);
    return cell;
}

int Luma(QRgb c)
{
    return (qRed(c) * 30 + qGreen(c) * 59 + qBlue(c) * 11) / 100;
}

// The disabled image: the darker pixels of the normal image in grey with a
// white relief one pixel right and down, on the olive background.
QImage DisabledCell(const QImage& up)
{
    QImage cell(up.size(), QImage::Format_RGB32);
    cell.fill(kOlive);
    std::vector<QPoint> dark;
    for (int y = 0; y < up.height(); ++y)
        for (int x = 0; x < up.width(); ++x) {
            const QRgb c = up.pixel(x, y);
            if (c != kOlive && Luma(c) < 170)
                dark.emplace_back(x, y);
        }
    for (const QPoint& d : dark)
        if (cell.rect().contains(d + QPoint(1, 1)))
            cell.setPixel(d + QPoint(1, 1), kWhite);
    for (const QPoint& d : dark)
        cell.setPixel(d, kGrey);
    return cell;
}

QImage To16Colours(const QImage& rgb)
{
    QImage out(rgb.size(), QImage::Format_Indexed8);
    out.setColorTable(kPalette16);
    for (int y = 0; y < rgb.height(); ++y)
        for (int x = 0; x < rgb.width(); ++x) {
            const QRgb c = rgb.pixel(x, y);
            int best = 0;
            int bestDistance = INT_MAX;
            for (int i = 0; i < kPalette16.size(); ++i) {
                const QRgb q = kPalette16[i];
                const int dr = qRed(c) - qRed(q), dg = qGreen(c) - qGreen(q), db = qBlue(c) - qBlue(q);
                const int distance = dr * dr + dg * dg + db * db;
                if (distance < bestDistance) {
                    bestDistance = distance;
                    best = i;
                }
            }
            out.setPixel(x, y, best);
        }
    return out;
}

// A two-image glyph: normal image, then the disabled one.
QImage TwoImageGlyph(QSize cell, const Painting& paint)
{
    const QImage up = PaintCell(cell, paint);
    const QImage disabled = DisabledCell(up);
    QImage both(cell.width() * 2, cell.height(), QImage::Format_RGB32);
    QPainter p(&both);
    p.drawImage(0, 0, up);
    p.drawImage(cell.width(), 0, disabled);
    p.end();
    return To16Colours(both);
}

void Polygon(QPainter& p, std::initializer_list<QPoint> points, QRgb fill, QRgb outline)
{
    p.setPen(QColor(outline));
    p.setBrush(QColor(fill));
    p.drawPolygon(QPolygon(QList<QPoint>(points)));
}

void ThickLine(QPainter& p, std::initializer_list<QPoint> points, QRgb colour, int width)
{
    p.setPen(QPen(QColor(colour), width, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygon(QList<QPoint>(points)));
}

// ---- the five command buttons of the main window, 16 x 16 per image ----

void CameraSettings(QPainter& p)
{
    // Ball webcam on its foot, with a small cog wheel for its settings.
    p.fillRect(2, 13, 8, 2, QColor(kBlack));
    p.fillRect(5, 11, 2, 2, QColor(kGrey));
    p.setPen(QColor(kBlack));
    p.setBrush(QColor(kSilver));
    p.drawEllipse(QRect(0, 0, 11, 11));
    p.setBrush(QColor(kNavy));
    p.drawEllipse(QRect(3, 3, 5, 5));
    p.fillRect(4, 4, 1, 1, QColor(kAqua));
    // cog
    p.fillRect(12, 8, 2, 8, QColor(kBlack));
    p.fillRect(9, 11, 7, 2, QColor(kBlack));
    p.setBrush(QColor(kYellow));
    p.drawEllipse(QRect(10, 9, 5, 5));
    p.fillRect(12, 11, 1, 1, QColor(kBlack));
}

void CameraFormat(QPainter& p)
{
    // A picture with a double arrow across its corner: the picture's size.
    p.fillRect(1, 2, 11, 9, QColor(kAqua));
    Polygon(p, {{1, 10}, {4, 6}, {7, 9}, {9, 7}, {11, 10}}, kGreen, kGreen);
    p.fillRect(8, 3, 2, 2, QColor(kYellow));
    p.setPen(QColor(kBlack));
    p.setBrush(Qt::NoBrush);
    p.drawRect(0, 1, 12, 10);
    p.setPen(QPen(QColor(kRed), 1));
    p.drawLine(9, 9, 15, 15);
    p.drawLine(15, 11, 15, 15);
    p.drawLine(11, 15, 15, 15);
    p.drawLine(9, 9, 9, 12);
    p.drawLine(9, 9, 12, 9);
}

void SaveSnapshot(QPainter& p)
{
    // Floppy disk.
    p.fillRect(1, 1, 14, 14, QColor(kNavy));
    p.fillRect(3, 1, 10, 6, QColor(kWhite));
    p.fillRect(4, 3, 8, 1, QColor(kSilver));
    p.fillRect(4, 5, 8, 1, QColor(kSilver));
    p.fillRect(4, 10, 8, 5, QColor(kSilver));
    p.fillRect(9, 11, 2, 3, QColor(kNavy));
    p.setPen(QColor(kBlack));
    p.setBrush(Qt::NoBrush);
    p.drawRect(1, 1, 13, 13);
    p.fillRect(14, 1, 1, 1, QColor(kOlive));
}

void ChangeDriver(QPainter& p)
{
    // Two arrows in opposite directions: swap one source for another.
    p.fillRect(1, 3, 8, 3, QColor(kGreen));
    Polygon(p, {{8, 1}, {12, 4}, {8, 7}}, kGreen, kGreen);
    p.setPen(QColor(kBlack));
    p.drawLine(1, 2, 8, 2);
    p.drawLine(1, 6, 8, 6);
    p.fillRect(6, 10, 8, 3, QColor(kRed));
    Polygon(p, {{6, 8}, {2, 11}, {6, 14}}, kRed, kRed);
    p.setPen(QColor(kBlack));
    p.drawLine(6, 9, 14, 9);
    p.drawLine(6, 13, 14, 13);
}

void Snapshot(QPainter& p)
{
    // Photo camera with flash.
    p.fillRect(4, 3, 6, 2, QColor(kGrey));
    p.fillRect(1, 5, 14, 9, QColor(kGrey));
    p.setPen(QColor(kBlack));
    p.setBrush(Qt::NoBrush);
    p.drawRect(1, 5, 13, 8);
    p.drawLine(4, 2, 9, 2);
    p.drawLine(3, 3, 3, 4);
    p.drawLine(10, 3, 10, 4);
    p.fillRect(11, 6, 2, 2, QColor(kYellow));
    p.setBrush(QColor(kBlack));
    p.drawEllipse(QRect(4, 6, 6, 6));
    p.setPen(QColor(kNavy));
    p.setBrush(QColor(kBlue));
    p.drawEllipse(QRect(5, 7, 4, 4));
    p.fillRect(6, 8, 1, 1, QColor(kAqua));
}

void Web(QPainter& p)
{
    // Globe.
    p.setPen(QColor(kNavy));
    p.setBrush(QColor(kBlue));
    p.drawEllipse(QRect(1, 1, 13, 13));
    Polygon(p, {{4, 3}, {7, 3}, {8, 6}, {5, 8}, {4, 6}}, kLime, kGreen);
    Polygon(p, {{9, 8}, {12, 8}, {11, 12}, {9, 11}}, kLime, kGreen);
    p.setPen(QColor(kAqua));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRect(5, 1, 5, 13));
    p.drawLine(2, 7, 13, 7);
    p.setPen(QColor(kNavy));
    p.drawEllipse(QRect(1, 1, 13, 13));
}

// ---- stock glyphs of the button kinds, 18 x 18 per image (All: 18 x 19) ----

void StockOk(QPainter& p)
{
    ThickLine(p, {{3, 9}, {7, 13}, {14, 4}}, kGreen, 3);
}

void StockCancel(QPainter& p)
{
    p.setPen(QPen(QColor(kRed), 3, Qt::SolidLine, Qt::SquareCap));
    p.drawLine(4, 4, 13, 13);
    p.drawLine(13, 4, 4, 13);
}

void StockHelp(QPainter& p)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setBold(true);
    f.setPixelSize(16);
    f.setStyleStrategy(QFont::NoAntialias);
    p.setFont(f);
    p.setPen(QColor(kNavy));
    p.drawText(QRect(0, 0, 18, 18), Qt::AlignCenter, QStringLiteral("?"));
}

void StockYes(QPainter& p)
{
    ThickLine(p, {{3, 9}, {7, 13}, {14, 4}}, kGreen, 3);
    ThickLine(p, {{3, 9}, {7, 13}, {14, 4}}, kLime, 1);
}

void StockNo(QPainter& p)
{
    p.setPen(QPen(QColor(kRed), 2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRect(2, 2, 13, 13));
    p.drawLine(5, 5, 12, 12);
}

void StockClose(QPainter& p)
{
    // Open door with an arrow leading out.
    p.fillRect(2, 2, 8, 14, QColor(kMaroon));
    p.setPen(QColor(kBlack));
    p.setBrush(Qt::NoBrush);
    p.drawRect(2, 2, 7, 13);
    p.fillRect(7, 9, 1, 1, QColor(kYellow));
    p.fillRect(10, 8, 4, 3, QColor(kGreen));
    Polygon(p, {{13, 6}, {16, 9}, {13, 12}}, kGreen, kGreen);
}

void StockAbort(QPainter& p)
{
    Polygon(p, {{6, 1}, {11, 1}, {16, 6}, {16, 11}, {11, 16}, {6, 16}, {1, 11}, {1, 6}}, kRed, kMaroon);
    p.fillRect(4, 8, 10, 2, QColor(kWhite));
}

void StockRetry(QPainter& p)
{
    p.setPen(QPen(QColor(kTeal), 2));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRect(3, 3, 11, 11), 90 * 16, 270 * 16);
    Polygon(p, {{9, 1}, {13, 4}, {9, 7}}, kTeal, kTeal);
}

void StockIgnore(QPainter& p)
{
    p.fillRect(7, 8, 4, 8, QColor(kSilver));
    p.setPen(QColor(kGrey));
    p.setBrush(Qt::NoBrush);
    p.drawRect(7, 8, 3, 7);
    p.setPen(QPen(QColor(kBlue), 2));
    p.drawArc(QRect(2, 4, 13, 20), 20 * 16, 140 * 16);
    Polygon(p, {{12, 9}, {17, 9}, {16, 14}}, kBlue, kBlue);
}

void StockAll(QPainter& p)
{
    ThickLine(p, {{1, 9}, {4, 12}, {9, 5}}, kGreen, 2);
    ThickLine(p, {{6, 12}, {9, 15}, {16, 6}}, kGreen, 3);
}

// ---- picture buttons of the bottom bar, 101 x 30, normal and pressed ----

enum class Emblem { Info, Exit };

QImage PictureButton(const QString& caption, Emblem emblem, bool pressed)
{
    QImage image(101, 30, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient face(0, 0, 0, 30);
    face.setColorAt(0, pressed ? QColor(0xd8, 0xa2, 0x72) : QColor(0xfc, 0xe6, 0xd0));
    face.setColorAt(1, pressed ? QColor(0xf0, 0xca, 0xa6) : QColor(0xe6, 0xb4, 0x86));
    p.setPen(QPen(QColor(pressed ? 0x5a : 0x8a, pressed ? 0x40 : 0x6a, pressed ? 0x28 : 0x4a), 1));
    p.setBrush(face);
    p.drawRoundedRect(QRectF(0.5, 0.5, 100, 29), 6, 6);
    if (pressed) {
        p.setPen(QPen(QColor(0, 0, 0, 60), 2));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(2, 2, 97, 26), 5, 5);
    }
    const QPointF shift = pressed ? QPointF(1, 1) : QPointF(0, 0);
    const QPointF centre = QPointF(17, 15) + shift;
    p.setPen(QPen(QColor(255, 255, 255), 1.5));
    p.setBrush(emblem == Emblem::Info ? QColor(0x1d, 0x5f, 0xa8) : QColor(0xb8, 0x2a, 0x1e));
    p.drawEllipse(centre, 9, 9);
    p.setPen(QPen(Qt::white, 2.4, Qt::SolidLine, Qt::RoundCap));
    if (emblem == Emblem::Info) {
        p.drawLine(centre + QPointF(0, -1), centre + QPointF(0, 5));
        p.setBrush(Qt::white);
        p.setPen(Qt::NoPen);
        p.drawEllipse(centre + QPointF(0, -5), 1.5, 1.5);
    } else {
        p.drawLine(centre + QPointF(-4, -4), centre + QPointF(4, 4));
        p.drawLine(centre + QPointF(4, -4), centre + QPointF(-4, 4));
    }
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setBold(true);
    f.setPixelSize(13);
    p.setFont(f);
    p.setPen(QColor(0x3a, 0x26, 0x14));
    p.drawText(QRectF(30, 0, 68, 30).translated(shift), Qt::AlignVCenter | Qt::AlignLeft, caption);
    p.end();
    return image;
}

// ---- the about picture, 306 x 322 ----

QImage AboutPicture(const QString& subtitle)
{
    QImage image(306, 322, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 322);
    sky.setColorAt(0, QColor(0x0f, 0x27, 0x40));
    sky.setColorAt(1, QColor(0x1f, 0x5f, 0x7a));
    p.fillRect(image.rect(), sky);

    // A fan of frames: noisy ones at the back, a calm one in front; the
    // program blends the first into the last.
    QRandomGenerator noise(20031);
    const int frames = 5;
    for (int i = 0; i < frames; ++i) {
        const qreal t = qreal(i) / (frames - 1);
        const QRectF r(30 + i * 14, 22 + i * 13, 190, 140);
        p.save();
        p.translate(r.center());
        p.rotate(-12 + i * 3);
        p.translate(-r.center());
        p.setPen(QPen(QColor(255, 255, 255, 120 + int(135 * t)), 3));
        QLinearGradient land(r.topLeft(), r.bottomLeft());
        land.setColorAt(0, QColor(0x8c, 0xc8, 0xe8));
        land.setColorAt(0.62, QColor(0xf0, 0xca, 0xa6));
        land.setColorAt(0.63, QColor(0x3f, 0x8f, 0x5a));
        land.setColorAt(1, QColor(0x2b, 0x6a, 0x40));
        p.setBrush(land);
        p.setOpacity(0.35 + 0.65 * t);
        p.drawRect(r);
        // hills and sun
        QPainterPath hills;
        hills.moveTo(r.left(), r.top() + 100);
        hills.cubicTo(r.left() + 50, r.top() + 70, r.left() + 90, r.top() + 120, r.left() + 130, r.top() + 88);
        hills.cubicTo(r.left() + 160, r.top() + 66, r.left() + 180, r.top() + 92, r.right(), r.top() + 96);
        hills.lineTo(r.right(), r.bottom());
        hills.lineTo(r.left(), r.bottom());
        hills.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x2f, 0x7a, 0x4a));
        p.drawPath(hills);
        p.setBrush(QColor(0xff, 0xd3, 0x4d));
        p.drawEllipse(QPointF(r.right() - 40, r.top() + 36), 15, 15);
        // noise that fades from frame to frame
        const int dots = int(900 * (1 - t));
        for (int d = 0; d < dots; ++d) {
            const int v = noise.bounded(256);
            p.setPen(QColor(v, v, v, 150));
            p.drawRect(QRectF(r.left() + noise.bounded(r.width() - 2), r.top() + noise.bounded(r.height() - 2), 1.5, 1.5));
        }
        p.restore();
    }
    p.setOpacity(1);

    QFont title(QStringLiteral("DejaVu Sans"));
    title.setBold(true);
    title.setPixelSize(38);
    p.setFont(title);
    p.setPen(QColor(255, 255, 255));
    p.drawText(QRect(0, 236, 306, 46), Qt::AlignCenter, QStringLiteral("Stillwise"));
    QFont sub(QStringLiteral("DejaVu Sans"));
    sub.setPixelSize(15);
    p.setFont(sub);
    p.setPen(QColor(0xf0, 0xca, 0xa6));
    p.drawText(QRect(0, 280, 306, 24), Qt::AlignCenter, subtitle);
    p.end();
    return image;
}

// ---- the program icon: scalable drawing and pictures of it in every size ----

// Both outputs follow this one description (48 x 48 units).
const char* const kIconSvg = R"(<?xml version="1.0" encoding="UTF-8"?>
<svg xmlns="http://www.w3.org/2000/svg" width="48" height="48" viewBox="0 0 48 48">
  <rect x="2" y="2" width="44" height="44" rx="9" fill="#1d4e6e"/>
  <rect x="7" y="9" width="24" height="18" fill="#ffffff" fill-opacity="0.25"/>
  <rect x="12" y="14" width="24" height="18" fill="#ffffff" fill-opacity="0.45"/>
  <rect x="17" y="19" width="24" height="18" fill="#f0caa6" stroke="#ffffff" stroke-width="1.5"/>
  <circle cx="34" cy="25" r="2.5" fill="#ffd34d"/>
  <polygon points="17.75,36.25 25,28 30,33 34,29.5 40.25,36.25" fill="#2e7d4f"/>
</svg>
)";

QImage Icon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 48.0, size / 48.0);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1d, 0x4e, 0x6e));
    p.drawRoundedRect(QRectF(2, 2, 44, 44), 9, 9);
    p.setBrush(QColor(255, 255, 255, 64));
    p.drawRect(QRectF(7, 9, 24, 18));
    p.setBrush(QColor(255, 255, 255, 115));
    p.drawRect(QRectF(12, 14, 24, 18));
    p.setPen(QPen(Qt::white, 1.5));
    p.setBrush(QColor(0xf0, 0xca, 0xa6));
    p.drawRect(QRectF(17, 19, 24, 18));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xff, 0xd3, 0x4d));
    p.drawEllipse(QPointF(34, 25), 2.5, 2.5);
    p.setBrush(QColor(0x2e, 0x7d, 0x4f));
    p.drawPolygon(QPolygonF({{17.75, 36.25}, {25, 28}, {30, 33}, {34, 29.5}, {40.25, 36.25}}));
    p.end();
    return image;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <resources folder>\n", argv[0]);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    for (const char* sub : {"glyphs/stock", "buttons/en", "pictures/en", "icons"})
        out.mkpath(QString::fromLatin1(sub));

    const QSize cell(16, 16);
    Save(TwoImageGlyph(cell, CameraSettings), out.filePath("glyphs/camera_settings.bmp"));
    Save(TwoImageGlyph(cell, CameraFormat), out.filePath("glyphs/camera_format.bmp"));
    Save(TwoImageGlyph(cell, SaveSnapshot), out.filePath("glyphs/save_snapshot.bmp"));
    Save(TwoImageGlyph(cell, ChangeDriver), out.filePath("glyphs/change_driver.bmp"));
    Save(TwoImageGlyph(cell, Snapshot), out.filePath("glyphs/snapshot.bmp"));
    Save(TwoImageGlyph(cell, Web), out.filePath("glyphs/web.bmp"));
    Save(To16Colours(PaintCell(cell, Web)), out.filePath("glyphs/web_single.bmp"));

    const QSize stock(18, 18);
    Save(TwoImageGlyph(stock, StockOk), out.filePath("glyphs/stock/BBOKX.bmp"));
    Save(TwoImageGlyph(stock, StockCancel), out.filePath("glyphs/stock/BBCANCELX.bmp"));
    Save(TwoImageGlyph(stock, StockHelp), out.filePath("glyphs/stock/BBHELPX.bmp"));
    Save(TwoImageGlyph(stock, StockYes), out.filePath("glyphs/stock/BBYESX.bmp"));
    Save(TwoImageGlyph(stock, StockNo), out.filePath("glyphs/stock/BBNOX.bmp"));
    Save(TwoImageGlyph(stock, StockClose), out.filePath("glyphs/stock/BBCLOSEX.bmp"));
    Save(TwoImageGlyph(stock, StockAbort), out.filePath("glyphs/stock/BBABORTX.bmp"));
    Save(TwoImageGlyph(stock, StockRetry), out.filePath("glyphs/stock/BBRETRYX.bmp"));
    Save(TwoImageGlyph(stock, StockIgnore), out.filePath("glyphs/stock/BBIGNOREX.bmp"));
    Save(TwoImageGlyph(QSize(18, 19), StockAll), out.filePath("glyphs/stock/BBALLX.bmp"));

    Save(PictureButton(QStringLiteral("Info"), Emblem::Info, false), out.filePath("buttons/about.png"));
    Save(PictureButton(QStringLiteral("Info"), Emblem::Info, true), out.filePath("buttons/about_pressed.png"));
    Save(PictureButton(QStringLiteral("Beenden"), Emblem::Exit, false), out.filePath("buttons/exit.png"));
    Save(PictureButton(QStringLiteral("Beenden"), Emblem::Exit, true), out.filePath("buttons/exit_pressed.png"));

    // The pictures with words come once more in English, in en/ beside the
    // German ones; the resource file gives them to an English program under
    // the German ones' names.
    Save(PictureButton(QStringLiteral("About"), Emblem::Info, false), out.filePath("buttons/en/about.png"));
    Save(PictureButton(QStringLiteral("About"), Emblem::Info, true), out.filePath("buttons/en/about_pressed.png"));
    Save(PictureButton(QStringLiteral("Quit"), Emblem::Exit, false), out.filePath("buttons/en/exit.png"));
    Save(PictureButton(QStringLiteral("Quit"), Emblem::Exit, true), out.filePath("buttons/en/exit_pressed.png"));

    const std::pair<const char*, QString> aboutPictures[] = {
        {"pictures/about.jpg", QStringLiteral("ruhige Bilder aus jeder Webcam")},
        {"pictures/en/about.jpg", QStringLiteral("calm pictures from any webcam")}};
    for (const auto& [path, subtitle] : aboutPictures) {
        QImageWriter jpeg(out.filePath(path), "jpeg");
        jpeg.setQuality(90);
        jpeg.setProgressiveScanWrite(true);
        if (!jpeg.write(AboutPicture(subtitle).convertToFormat(QImage::Format_RGB888))) {
            std::fprintf(stderr, "cannot write the about picture: %s\n", qPrintable(jpeg.errorString()));
            failed = true;
        }
    }

    QFile svg(out.filePath("icons/stillwise.svg"));
    if (!svg.open(QIODevice::WriteOnly | QIODevice::Truncate) || svg.write(kIconSvg) < 0) {
        std::fprintf(stderr, "cannot write the icon drawing\n");
        failed = true;
    }
    svg.close();
    // Every size of the desktop's hicolor theme; the program itself compiles
    // in 16 to 256 (stillwise.qrc), the others are only installed.
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256, 512})
        Save(Icon(size), out.filePath(QStringLiteral("icons/stillwise-%1.png").arg(size)));
    return failed ? 1 : 0;
}
