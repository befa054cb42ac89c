// Drawing through painters: images with a transform and clip, other raster
// formats, scaled painters, widgets being painted (also scrolled), printers.

#include "gdi/picture_support.h"
#include "platform/gdi/Gdi.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QScrollArea>
#include <QScrollBar>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QWidget>

using testpic::compareDrawing;
using testpic::Picture;
using testpic::stretch;

namespace {

QApplication& app()
{
    static int argc = 1;
    static char name[] = "gdi_test";
    static char* argv[] = {name, nullptr};
    // Made once and never destroyed: Qt's own globals are gone by the time
    // static objects are destroyed at exit.
    static QApplication* a = new QApplication(argc, argv);
    return *a;
}

// Shows a picture stretched over the whole widget, drawn in paintEvent.
class PictureBox : public QWidget {
public:
    explicit PictureBox(const DIB& pic) : pic_(pic) {}

protected:
    void paintEvent(QPaintEvent*) override
    {
        gdi::WidgetDC dc(this);
        gdi::SetStretchBltMode(&dc, COLORONCOLOR);
        stretch(&dc, rect(), pic_, QRect(0, 0, DIBWidth(pic_), DIBHeight(pic_)));
    }

private:
    const DIB& pic_;
};

} // namespace

TEST(GdiPainter, APainterOnAnImageKeepsItsTranslationAndClip)
{
    Picture pic(testpic::makePicture(12, 10, 24));
    for (QImage::Format format : {QImage::Format_RGB32, QImage::Format_RGB888}) {
        QImage image = testpic::sentinelImage(30, 30, format);
        {
            QPainter painter(&image);
            painter.translate(5, 3);
            painter.setClipRect(QRect(0, 0, 20, 8));
            gdi::PainterDC dc(painter);
            EXPECT_EQ(gdi::GetDeviceCaps(&dc, RASTERCAPS), RC_STRETCHDIB | RC_DIBTODEV);
            EXPECT_EQ(stretch(&dc, QRect(1, 1, 24, 20), pic, QRect(0, 0, 12, 10)), 10);
        }
        // Drawn at (6, 4), 24 x 20, but only the 8 clipped rows 3..10 show.
        QImage expected = testpic::sentinelImage(30, 30);
        gdi::ImageDC full(expected);
        full.setClipRect(QRect(5, 3, 20, 8));
        stretch(&full, QRect(6, 4, 24, 20), pic, QRect(0, 0, 12, 10));
        EXPECT_EQ(image.convertToFormat(QImage::Format_RGB32), expected) << "format " << format;
        EXPECT_NE(expected.pixel(6, 4), testpic::kSentinel);
        EXPECT_EQ(expected.pixel(6, 11), testpic::kSentinel);
    }
}

TEST(GdiPainter, ATranslatedPainterReachesTheWholeDevice)
{
    Picture pic(testpic::makePicture(10, 8, 24));
    for (QImage::Format format : {QImage::Format_RGB32, QImage::Format_RGB888}) {
        QImage image = testpic::sentinelImage(20, 16, format);
        {
            QPainter painter(&image);
            painter.translate(5, 3);
            gdi::PainterDC dc(painter);
            // Logical (-5, -3) is the device's top left corner.
            stretch(&dc, QRect(-5, -3, 20, 16), pic, QRect(0, 0, 10, 8));
        }
        EXPECT_EQ(compareDrawing(image.convertToFormat(QImage::Format_RGB32), QRect(0, 0, 20, 16), pic,
                                 QRect(0, 0, 10, 8)),
                  "")
            << "format " << format;
    }
}

TEST(GdiPainter, AScalingPainterIsGivenThePictureUnsmoothed)
{
    Picture pic(testpic::makePicture(8, 6, 8));
    QImage image = testpic::sentinelImage(40, 30);
    {
        QPainter painter(&image);
        painter.scale(2, 2);
        gdi::PainterDC dc(painter);
        gdi::SetStretchBltMode(&dc, COLORONCOLOR);
        stretch(&dc, QRect(2, 1, 16, 12), pic, QRect(0, 0, 8, 6));
    }
    // Logical 16 x 12 at (2, 1) is device 32 x 24 at (4, 2): 4 x 4 blocks.
    EXPECT_EQ(compareDrawing(image, QRect(4, 2, 32, 24), pic, QRect(0, 0, 8, 6)), "");
}

TEST(GdiPainter, AWidgetShowsThePictureWhetherGrabbedWholeOrScrolled)
{
    app();
    Picture pic(testpic::makePicture(100, 75, 24));
    QScrollArea area;
    area.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area.resize(100, 80);
    auto* box = new PictureBox(pic);
    box->resize(400, 300);
    area.setWidget(box);
    area.show();
    area.horizontalScrollBar()->setValue(150);
    area.verticalScrollBar()->setValue(120);
    QApplication::processEvents();

    QImage whole = box->grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(whole.size(), QSize(400, 300));
    EXPECT_EQ(compareDrawing(whole, QRect(0, 0, 400, 300), pic, QRect(0, 0, 100, 75)), "");

    const QSize view = area.viewport()->size();
    QImage seen = area.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QImage want = whole.copy(QRect(QPoint(150, 120), view));
    EXPECT_EQ(seen, want);
}

TEST(GdiPainter, APrinterPageReportsItsPrintableAreaAndTakesThePicture)
{
    Picture pic(testpic::makePicture(64, 48, 24));
    QTemporaryDir dir;
    const QString file = dir.filePath("page.pdf");
    {
        QPdfWriter writer(file);
        writer.setResolution(300);
        writer.setPageSize(QPageSize(QPageSize::A4));
        QPainter painter(&writer);
        gdi::PrinterDC dc(painter);
        EXPECT_EQ(gdi::GetDeviceCaps(&dc, HORZRES), writer.width());
        EXPECT_EQ(gdi::GetDeviceCaps(&dc, VERTRES), writer.height());
        EXPECT_EQ(gdi::GetDeviceCaps(&dc, RASTERCAPS), RC_STRETCHDIB | RC_DIBTODEV);
        EXPECT_EQ(stretch(&dc, QRect(100, 100, 1280, 960), pic, QRect(0, 0, 64, 48)), 48);
        HBITMAP bitmap = gdi::CreateCompatibleBitmap(&dc, 64, 48);
        ASSERT_NE(bitmap, nullptr);
        EXPECT_EQ(bitmap->bitsPixel(), 24);
        gdi::DeleteObject(bitmap);
    }
    EXPECT_GT(QFileInfo(file).size(), 64 * 48);
}
