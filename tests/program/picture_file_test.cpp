#include "viewer/PictureFile.h"
#include "viewer/SavePictureDialog.h"

#include "program_test_support.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <sys/mount.h>

using namespace testing_program;

namespace {

struct Picture {
    DIB d;
    Picture(int w, int h, int bits = 24, int colors = 0) : d(newdib(w, h, bits, nullptr, colors)) {}
    ~Picture() { deldib(d); }
};

// Smooth ramps, different in each channel; 24 bits.
void Fill(const DIB& d)
{
    for (int y = 0; y < DIBHeight(d); ++y)
        for (int x = 0; x < DIBWidth(d); ++x)
            setpixel(d, x, y, std::uint32_t((x * 7) | ((y * 13) << 8) | ((200 - x * 3 - y * 2) << 16)));
}

// The colour the screen shows for pixel (x, y in memory order) of a 24-bit picture.
QRgb Shown(const DIB& d, int x, int y)
{
    const std::uint32_t v = getpixel(d, x, y);
    return qRgb((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

TEST(PictureFile, ImageIsTopRowFirstInScreenColours)
{
    Picture p(3, 2); // rows of 9 bytes padded to 12
    Fill(p.d);
    ASSERT_EQ(p.d.rowbytes, 12);
    const QImage image = ImageFromDIB(p.d).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(image.size(), QSize(3, 2));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(image.pixel(x, 1 - y), Shown(p.d, x, y)) << x << "," << y;
}

TEST(PictureFile, IndexedAndThirtyTwoBitPictures)
{
    Picture grey(2, 2, 8, 6);
    RGBQUAD* table = ColorTable(grey.d.info);
    table[5] = RGBQUAD{10, 20, 30, 0};
    setpixel(grey.d, 1, 0, 5);
    setpixel(grey.d, 0, 0, 200); // past the table
    const QImage gi = ImageFromDIB(grey.d);
    ASSERT_FALSE(gi.isNull());
    EXPECT_EQ(gi.pixel(1, 1), qRgb(30, 20, 10));
    EXPECT_EQ(gi.pixel(0, 1), qRgb(0, 0, 0));

    Picture tableless(2, 2, 8); // no colour table at all: nothing read past the header
    setpixel(tableless.d, 0, 0, 7);
    EXPECT_EQ(ImageFromDIB(tableless.d).pixel(0, 1), qRgb(0, 0, 0));

    Picture deep(2, 1, 32);
    setpixel(deep.d, 0, 0, 0x00112233);
    EXPECT_EQ(ImageFromDIB(deep.d).pixel(0, 0), qRgb(0x11, 0x22, 0x33));

    EXPECT_TRUE(ImageFromDIB(DIB{}).isNull());
}

TEST(PictureFile, FormatComesFromTheNameThenTheChosenType)
{
    EXPECT_EQ(FormatForFile("a.JPG", FilterFor(PictureFormat::Png)), PictureFormat::Jpeg);
    EXPECT_EQ(FormatForFile("a.jpeg", {}), PictureFormat::Jpeg);
    EXPECT_EQ(FormatForFile("a.Bmp", {}), PictureFormat::Bmp);
    EXPECT_EQ(FormatForFile("a.png", FilterFor(PictureFormat::Bmp)), PictureFormat::Png);
    EXPECT_EQ(FormatForFile("a", FilterFor(PictureFormat::Bmp)), PictureFormat::Bmp);
    EXPECT_EQ(FormatForFile("a.v2", FilterFor(PictureFormat::Jpeg)), PictureFormat::Jpeg);
    EXPECT_EQ(FormatForFile("a", {}), PictureFormat::Png);
    EXPECT_EQ(PictureFileFilters().first(), FilterFor(PictureFormat::Png));
}

TEST(PictureFile, RoundTripsInAllThreeFormats)
{
    QTemporaryDir dir;
    Picture p(33, 17);
    Fill(p.d);
    for (PictureFormat f : {PictureFormat::Png, PictureFormat::Bmp, PictureFormat::Jpeg}) {
        const QString name = dir.filePath("bild." + SuffixFor(f));
        QString reason;
        ASSERT_TRUE(WritePictureFile(p.d, name, f, &reason)) << reason.toStdString();
        QImageReader reader(name);
        EXPECT_EQ(reader.format(), f == PictureFormat::Jpeg ? QByteArray("jpeg") : SuffixFor(f).toLatin1());
        const QImage back = reader.read().convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(back.size(), QSize(33, 17));
        int worst = 0;
        long total = 0;
        for (int y = 0; y < 17; ++y)
            for (int x = 0; x < 33; ++x) {
                const QRgb a = back.pixel(x, 16 - y), b = Shown(p.d, x, y);
                for (int e : {std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                              std::abs(qBlue(a) - qBlue(b))}) {
                    worst = std::max(worst, e);
                    total += e;
                }
            }
        if (f == PictureFormat::Jpeg)
            EXPECT_LT(total / (33 * 17 * 3), 16) << "lossy, but the same picture";
        else
            EXPECT_EQ(worst, 0) << SuffixFor(f).toStdString();
    }
    // Nothing but the three files is left in the folder.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 3);
}

TEST(PictureFile, FailureSaysWhyAndKeepsWhatWasThere)
{
    QTemporaryDir dir;
    Picture p(4, 4);
    QString reason;
    const QString missing = dir.filePath("fehlt/bild.png");
    EXPECT_FALSE(WritePictureFile(p.d, missing, PictureFormat::Png, &reason));
    EXPECT_TRUE(reason.contains("existiert nicht")) << reason.toStdString();
    EXPECT_FALSE(QFile::exists(missing));

    QDir(dir.path()).mkdir("ordner.png");
    EXPECT_FALSE(WritePictureFile(p.d, dir.filePath("ordner.png"), PictureFormat::Png, &reason));
    EXPECT_TRUE(reason.contains("Ordner")) << reason.toStdString();

    // A picture that cannot become a file leaves an existing file untouched.
    const QString existing = dir.filePath("alt.png");
    {
        QFile f(existing);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("alt");
    }
    Picture packed(4, 4);
    packed.d.info->bmiHeader.biCompression = 1; // not plain rows
    EXPECT_FALSE(WritePictureFile(packed.d, existing, PictureFormat::Png, &reason));
    QFile f(existing);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("alt"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"alt.png"});
}

// A file system of 64 KiB of its own (tmpfs), so that a disk really runs
// full. Needs the right to mount; a test without it is skipped with a note.
class SmallDisk {
public:
    SmallDisk()
    {
        if (!folder_.isValid())
            return;
        const QByteArray path = QFile::encodeName(folder_.path());
        mounted_ = ::mount("stillwise-test", path.constData(), "tmpfs", 0, "size=64k") == 0;
        if (!mounted_)
            why_ = QString::fromLocal8Bit(std::strerror(errno));
    }
    ~SmallDisk()
    {
        if (mounted_)
            ::umount2(QFile::encodeName(folder_.path()).constData(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool mounted() const { return mounted_; }
    QString why() const { return why_; }
    QString filePath(const QString& name) const { return folder_.filePath(name); }
    QStringList entries() const
    {
        return QDir(folder_.path()).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    }

private:
    QTemporaryDir folder_;
    bool mounted_ = false;
    QString why_ = QStringLiteral("no temporary folder");
};

// Noise does not compress: every format needs far more than 64 KiB.
void FillWithNoise(const DIB& d)
{
    std::uint32_t state = 12345;
    for (int y = 0; y < DIBHeight(d); ++y)
        for (int x = 0; x < DIBWidth(d); ++x) {
            state = state * 1664525u + 1013904223u;
            setpixel(d, x, y, state >> 8);
        }
}

QByteArray Content(const QString& file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(PictureFile, AFullDiskIsSaidAsSuchAndLeavesNothingBehind)
{
    SmallDisk disk;
    if (!disk.mounted())
        GTEST_SKIP() << "cannot mount a small tmpfs here (" << disk.why().toStdString() << ")";
    const QString existing = disk.filePath("alt.png");
    {
        QFile f(existing);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("alt");
    }
    Picture big(300, 300);
    FillWithNoise(big.d);
    for (PictureFormat f : {PictureFormat::Png, PictureFormat::Jpeg, PictureFormat::Bmp}) {
        for (const QString& name : {disk.filePath("neu." + SuffixFor(f)), existing}) {
            QString reason;
            EXPECT_FALSE(WritePictureFile(big.d, name, f, &reason));
            EXPECT_EQ(reason, "Auf dem Datenträger ist kein Platz mehr frei. Ist der Datenträger voll?")
                << SuffixFor(f).toStdString() << ": " << reason.toStdString();
            EXPECT_EQ(disk.entries(), QStringList{"alt.png"}) << "no half file, no temporary file";
            EXPECT_EQ(Content(existing), QByteArray("alt"));
        }
    }
    // The room the failed attempts took is free again.
    Picture small(8, 8);
    Fill(small.d);
    QString reason;
    EXPECT_TRUE(WritePictureFile(small.d, disk.filePath("klein.png"), PictureFormat::Png, &reason))
        << reason.toStdString();
}

TEST(PictureFile, ReasonsThatAreNoFullDiskDoNotAskAboutOne)
{
    QTemporaryDir dir;
    Picture p(8, 8);
    Fill(p.d);
    QString reason;

    // A name longer than the file system allows; the temporary file's own
    // name is short, so it is the name that fails.
    const QString longName = dir.filePath(QString(300, QLatin1Char('a')) + ".png");
    EXPECT_FALSE(WritePictureFile(p.d, longName, PictureFormat::Png, &reason));
    EXPECT_EQ(reason, "Der Dateiname ist zu lang.");

    // A link whose target's folder is missing.
    const QString broken = dir.filePath("kaputt.png");
    ASSERT_TRUE(QFile::link(dir.filePath("fehlt/ziel.png"), broken));
    EXPECT_FALSE(WritePictureFile(p.d, broken, PictureFormat::Png, &reason));
    EXPECT_TRUE(reason.contains("Verknüpfung")) << reason.toStdString();
    EXPECT_FALSE(reason.contains("voll")) << reason.toStdString();

    // A link that goes round in a circle.
    ASSERT_TRUE(QFile::link(dir.filePath("kreis.png"), dir.filePath("kreis.png")));
    EXPECT_FALSE(WritePictureFile(p.d, dir.filePath("kreis.png"), PictureFormat::Png, &reason));
    EXPECT_EQ(reason, "Der Name führt über zu viele Verknüpfungen (oder eine Verknüpfung auf sich selbst).");
    EXPECT_TRUE(QFileInfo(dir.filePath("kreis.png")).isSymLink()) << "the link stays as it was";
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System),
              (QStringList{"kaputt.png", "kreis.png"}))
        << "nothing left behind";
}

TEST(PictureFile, ALinkIsWrittenThroughAndAFileKeepsItsPermissions)
{
    QTemporaryDir dir;
    Picture p(8, 8);
    Fill(p.d);
    const QString target = dir.filePath("ziel.png");
    {
        QFile f(target);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("alt");
    }
    ASSERT_TRUE(QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    const QString link = dir.filePath("verweis.png");
    ASSERT_TRUE(QFile::link(target, link));
    QString reason;
    ASSERT_TRUE(WritePictureFile(p.d, link, PictureFormat::Png, &reason)) << reason.toStdString();
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(QImageReader(target).format(), QByteArray("png"));
    EXPECT_EQ(QFile::permissions(target) & 0x7077, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
}

TEST(SavePictureDialog, UnwritablePlaceIsReportedAndTheDialogComesBack)
{
    QTemporaryDir dir;
    ScriptedShell shell;
    Picture p(8, 8);
    Fill(p.d);
    const QString bad = dir.filePath("fehlt/bild.png");
    const QString good = dir.filePath("bild");
    shell.answers = {bad, good};
    shell.filterAnswer = FilterFor(PictureFormat::Bmp);

    const QString written = SavePictureAs(nullptr, p.d);
    EXPECT_EQ(written, good + ".bmp") << "the chosen type's extension is added";
    ASSERT_EQ(shell.messages.size(), 1u);
    EXPECT_TRUE(shell.messages[0].contains(QDir::toNativeSeparators(bad)));
    EXPECT_TRUE(shell.messages[0].contains("existiert nicht"));
    ASSERT_EQ(shell.proposals.size(), 2u);
    EXPECT_EQ(shell.proposals[1], bad) << "the retry starts from the failed name";
    EXPECT_EQ(shell.offeredFilters, PictureFileFilters());
    EXPECT_EQ(QImageReader(written).format(), QByteArray("bmp"));

    // The next save proposes that folder and type; cancelling writes nothing.
    EXPECT_TRUE(SavePictureAs(nullptr, p.d).isEmpty());
    EXPECT_EQ(shell.proposals.back(), dir.filePath("Schnappschuss.bmp"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"bild.bmp"});
}

} // namespace
