#include "viewer/PictureFile.h"

#include "viewer/WholeFile.h"

#include <QBuffer>
#include <QCoreApplication>
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
    {PictureFormat::Png, "png", "png", QT_TRANSLATE_NOOP("PictureFile", "PNG-Bild (*.png)")},
    {PictureFormat::Jpeg, "jpeg", "jpg", QT_TRANSLATE_NOOP("PictureFile", "JPEG-Bild (*.jpg *.jpeg)")},
    {PictureFormat::Bmp, "bmp", "bmp", QT_TRANSLATE_NOOP("PictureFile", "BMP-Bild (*.bmp)")},
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
        return QCoreApplication::translate("PictureFile", "Auf dem Datenträger ist kein Platz mehr frei");
    case EDQUOT:
        return QCoreApplication::translate("PictureFile",
                                           "Ihr Speicherplatz-Kontingent auf dem Datenträger ist ausgeschöpft");
    case EFBIG:
        return QCoreApplication::translate("PictureFile", "Die Datei ist zu groß für diesen Datenträger");
    case ENAMETOOLONG:
        return QCoreApplication::translate("PictureFile", "Der Dateiname ist zu lang");
    case ELOOP:
        return QCoreApplication::translate(
            "PictureFile", "Der Name führt über zu viele Verknüpfungen (oder eine Verknüpfung auf sich selbst)");
    case EROFS:
        return QCoreApplication::translate("PictureFile", "Der Datenträger lässt sich nur lesen");
    case EACCES:
    case EPERM:
        return QCoreApplication::translate("PictureFile", "Zugriff verweigert");
    case EIO:
        return QCoreApplication::translate("PictureFile", "Ein- und Ausgabefehler des Datenträgers");
    case EMFILE:
    case ENFILE:
        return QCoreApplication::translate("PictureFile", "Zu viele offene Dateien");
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
        return QCoreApplication::translate("PictureFile", "„%1“ ist eine Verknüpfung auf „%2“, das es nicht gibt.")
            .arg(file.filePath(), file.symLinkTarget());
    const QFileInfo folder(file.absolutePath());
    if (error != ENAMETOOLONG && error != ELOOP) {
        if (!folder.exists())
            return QCoreApplication::translate("PictureFile", "Der Ordner „%1“ existiert nicht.")
                .arg(folder.filePath());
        if (!folder.isDir())
            return QCoreApplication::translate("PictureFile", "„%1“ ist kein Ordner.").arg(folder.filePath());
        if (file.isDir())
            return QCoreApplication::translate("PictureFile", "Unter diesem Namen gibt es schon einen Ordner.");
        if (file.exists() && !file.isFile())
            return QCoreApplication::translate(
                "PictureFile", "Unter diesem Namen gibt es schon etwas, das keine gewöhnliche Datei ist.");
        if (file.exists() && !file.isWritable())
            return QCoreApplication::translate("PictureFile", "Die Datei ist schreibgeschützt.");
        if (!folder.isWritable())
            return QCoreApplication::translate("PictureFile", "Im Ordner „%1“ dürfen Sie keine Dateien anlegen.")
                .arg(folder.filePath());
    }
    if (error == ENOSPC || error == EDQUOT || error == EFBIG)
        return QCoreApplication::translate("PictureFile", "%1. Ist der Datenträger voll?").arg(errorText(error));
    return QStringLiteral("%1.").arg(errorText(error));
}

} // namespace

QStringList PictureFileFilters()
{
    QStringList filters;
    for (const FileType& t : kFileTypes)
        filters.append(QCoreApplication::translate("PictureFile", t.filter));
    return filters;
}

QString FilterFor(PictureFormat format)
{
    return QCoreApplication::translate("PictureFile", typeOf(format).filter);
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
        if (selectedFilter == QCoreApplication::translate("PictureFile", t.filter))
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
        return fail(QCoreApplication::translate("PictureFile", "Dieses Bild kann nicht als Datei gespeichert werden."));

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
        return fail(QCoreApplication::translate("PictureFile", "Das Bild ließ sich nicht umwandeln (%1).")
                        .arg(writer.errorString()));
    buffer.close();

    if (const int error = WriteWholeFile(fileName, encoded))
        return fail(germanReason(fileName, error));
    return true;
}
