#include "viewer/PictureFile.h"

#include "viewer/WholeFile.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageWriter>

#include <cerrno>
#include <cstring>

namespace {

struct FileType {
    PictureFormat format;
    const char* writerFormat;
    const char* suffix;
    const char* filter;
};

constexpr FileType kFileTypes[] = {
    {PictureFormat::Png, "png", "png", "PNG-Bild (*.png)"},
    {PictureFormat::Jpeg, "jpeg", "jpg", "JPEG-Bild (*.jpg *.jpeg)"},
    {PictureFormat::Bmp, "bmp", "bmp", "BMP-Bild (*.bmp)"},
};

const FileType& typeOf(PictureFormat format)
{
    for (const FileType& t : kFileTypes)
        if (t.format == format)
            return t;
    return kFileTypes[0];
}

QImage indexedImage(const DIB& picture, int width, int height)
{
    QImage image(width, height, QImage::Format_Indexed8);
    if (image.isNull())
        return image;
    // The picture library makes exactly biClrUsed table entries, also 0;
    // an implied full table would be read past the end of the header.
    const DWORD entries = picture.info->bmiHeader.biClrUsed;
    const RGBQUAD* table = ColorTable(picture.info);
    QList<QRgb> colours;
    colours.reserve(256);
    for (DWORD i = 0; i < entries && i < 256; ++i)
        colours.append(qRgb(table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue));
    // Indices past the table show black rather than reading beyond it.
    while (colours.size() < 256)
        colours.append(qRgb(0, 0, 0));
    image.setColorTable(colours);
    for (int y = 0; y < height; ++y) {
        uchar* line = image.scanLine(height - 1 - y);
        for (int x = 0; x < width; ++x)
            line[x] = static_cast<uchar>(getpixel(picture, x, y));
    }
    return image;
}

// What the system's error number means, in German.
QString errorText(int error)
{
    switch (error) {
    case ENOSPC:
        return QStringLiteral("Auf dem Datenträger ist kein Platz mehr frei");
    case EDQUOT:
        return QStringLiteral("Ihr Speicherplatz-Kontingent auf dem Datenträger ist ausgeschöpft");
    case EFBIG:
        return QStringLiteral("Die Datei ist zu groß für diesen Datenträger");
    case ENAMETOOLONG:
        return QStringLiteral("Der Dateiname ist zu lang");
    case ELOOP:
        return QStringLiteral("Der Name führt über zu viele Verknüpfungen (oder eine Verknüpfung auf sich selbst)");
    case EROFS:
        return QStringLiteral("Der Datenträger lässt sich nur lesen");
    case EACCES:
    case EPERM:
        return QStringLiteral("Zugriff verweigert");
    case EIO:
        return QStringLiteral("Ein- und Ausgabefehler des Datenträgers");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("Zu viele offene Dateien");
    default:
        return QString::fromLocal8Bit(std::strerror(error));
    }
}

// Why fileName could not be written, given the failed step's errno (0 when
// the failure was found before writing). The folder and the name are looked
// at first, since they say more than the bare error number; a full disk is
// only suspected where the error allows it.
QString germanReason(const QString& fileName, int error)
{
    const QFileInfo file(fileName);
    if (error != ELOOP && file.isSymLink() && !file.exists())
        return QStringLiteral("„%1“ ist eine Verknüpfung auf „%2“, das es nicht gibt.")
            .arg(file.filePath(), file.symLinkTarget());
    const QFileInfo folder(file.absolutePath());
    if (error != ENAMETOOLONG && error != ELOOP) {
        if (!folder.exists())
            return QStringLiteral("Der Ordner „%1“ existiert nicht.").arg(folder.filePath());
        if (!folder.isDir())
            return QStringLiteral("„%1“ ist kein Ordner.").arg(folder.filePath());
        if (file.isDir())
            return QStringLiteral("Unter diesem Namen gibt es schon einen Ordner.");
        if (file.exists() && !file.isFile())
            return QStringLiteral("Unter diesem Namen gibt es schon etwas, das keine gewöhnliche Datei ist.");
        if (file.exists() && !file.isWritable())
            return QStringLiteral("Die Datei ist schreibgeschützt.");
        if (!folder.isWritable())
            return QStringLiteral("Im Ordner „%1“ dürfen Sie keine Dateien anlegen.").arg(folder.filePath());
    }
    if (error == ENOSPC || error == EDQUOT || error == EFBIG)
        return QStringLiteral("%1. Ist der Datenträger voll?").arg(errorText(error));
    return QStringLiteral("%1.").arg(errorText(error));
}

} // namespace

QStringList PictureFileFilters()
{
    QStringList filters;
    for (const FileType& t : kFileTypes)
        filters.append(QString::fromUtf8(t.filter));
    return filters;
}

QString FilterFor(PictureFormat format)
{
    return QString::fromUtf8(typeOf(format).filter);
}

QString SuffixFor(PictureFormat format)
{
    return QString::fromLatin1(typeOf(format).suffix);
}

PictureFormat FormatForFile(const QString& fileName, const QString& selectedFilter)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == QLatin1String("png"))
        return PictureFormat::Png;
    if (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg"))
        return PictureFormat::Jpeg;
    if (suffix == QLatin1String("bmp"))
        return PictureFormat::Bmp;
    for (const FileType& t : kFileTypes)
        if (selectedFilter == QString::fromUtf8(t.filter))
            return t.format;
    return PictureFormat::Png;
}

QImage ImageFromDIB(const DIB& picture)
{
    if (!DIBHoldsPicture(picture))
        return {};
    const BITMAPINFOHEADER& h = picture.info->bmiHeader;
    const int width = h.biWidth;
    const int height = h.biHeight;
    if (width <= 0 || height <= 0 || h.biCompression != BI_RGB)
        return {};

    QImage::Format format = QImage::Format_Invalid;
    int bytesPerPixel = 0;
    switch (h.biBitCount) {
    case 1:
    case 4:
    case 8:
        return indexedImage(picture, width, height);
    case 16:
        format = QImage::Format_RGB555;
        bytesPerPixel = 2;
        break;
    case 24:
        format = QImage::Format_BGR888;
        bytesPerPixel = 3;
        break;
    case 32:
        format = QImage::Format_RGB32;
        bytesPerPixel = 4;
        break;
    default:
        return {};
    }
    QImage image(width, height, format);
    if (image.isNull())
        return image;
    // Picture rows are stored bottom row first; an image's top row first.
    const std::size_t rowBytes = std::size_t(width) * bytesPerPixel;
    for (int y = 0; y < height; ++y)
        std::memcpy(image.scanLine(height - 1 - y), picture.bits + std::size_t(y) * picture.rowbytes, rowBytes);
    return image;
}

bool WritePictureFile(const DIB& picture, const QString& fileName, PictureFormat format, QString* reason)
{
    auto fail = [reason](const QString& text) {
        if (reason != nullptr)
            *reason = text;
        return false;
    };
    const QImage image = ImageFromDIB(picture);
    if (image.isNull())
        return fail(QStringLiteral("Dieses Bild kann nicht als Datei gespeichert werden."));

    const QFileInfo target(fileName);
    // A temporary file renamed over a device or a pipe would replace it
    // instead of writing into it.
    if (target.exists() && !target.isFile())
        return fail(germanReason(fileName, 0));

    // Encoding in memory first: a failure there is the picture's, and what
    // goes wrong on the disk afterwards keeps its own error number.
    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, typeOf(format).writerFormat);
    if (format == PictureFormat::Jpeg)
        writer.setQuality(90);
    if (!writer.write(image))
        return fail(QStringLiteral("Das Bild ließ sich nicht umwandeln (%1).").arg(writer.errorString()));
    buffer.close();

    if (const int error = WriteWholeFile(fileName, encoded))
        return fail(germanReason(fileName, error));
    return true;
}
