#include "widgets/ImageBtnUnit.h"

#include <QApplication>
#include <QMouseEvent>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <vector>

namespace {

QPixmap Filled(QSize size, Qt::GlobalColor colour)
{
    QPixmap p(size);
    p.fill(colour);
    return p;
}

class ImageBtnTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        normal = Filled(QSize(101, 30), Qt::green);
        pressed = Filled(QSize(101, 30), Qt::red);
        btn.SetPicture(normal);
        btn.SetPicture2(pressed);
    }

    void Send(QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held)
    {
        QMouseEvent event(type, QPointF(at), QPointF(btn.mapToGlobal(at)), button, held, Qt::NoModifier);
        QApplication::sendEvent(&btn, &event);
        shown.push_back(Showing());
    }
    void Press(QPoint at, Qt::MouseButton button = Qt::LeftButton, Qt::MouseButtons held = Qt::LeftButton)
    {
        Send(QEvent::MouseButtonPress, at, button, held);
    }
    void Move(QPoint at, Qt::MouseButtons held = Qt::LeftButton) { Send(QEvent::MouseMove, at, Qt::NoButton, held); }
    void Release(QPoint at, Qt::MouseButton button = Qt::LeftButton)
    {
        Send(QEvent::MouseButtonRelease, at, button, Qt::NoButton);
    }

    char Showing() const
    {
        const qint64 key = btn.Picture().cacheKey();
        return key == normal.cacheKey() ? 'N' : key == pressed.cacheKey() ? 'P' : btn.Picture().isNull() ? '0' : '?';
    }

    TImageBtn btn;
    QPixmap normal;
    QPixmap pressed;
    std::string shown;
};

TEST_F(ImageBtnTest, TakesTheSizeOfItsPicture)
{
    EXPECT_EQ(btn.size(), QSize(101, 30));
    btn.SetPicture2(Filled(QSize(60, 20), Qt::blue));
    Press(QPoint(5, 5));
    EXPECT_EQ(btn.size(), QSize(60, 20)); // a pressed picture of another size resizes while shown
    Release(QPoint(5, 5));
    EXPECT_EQ(btn.size(), QSize(101, 30));
}

TEST_F(ImageBtnTest, DraggingOffAndBackOnSwitchesPicturesAndClicksOnce)
{
    QSignalSpy clicks(&btn, &TImageBtn::OnClick);
    Press(QPoint(10, 10));
    Move(QPoint(101, 10)); // x = width is already off
    Move(QPoint(100, 29)); // last pixel is on
    Move(QPoint(50, -1));
    Move(QPoint(50, 15));
    Release(QPoint(50, 15));
    EXPECT_EQ(shown, "PNPNPN");
    EXPECT_EQ(clicks.count(), 1);
}

TEST_F(ImageBtnTest, ReleasingOffTheControlRestoresWithoutClicking)
{
    QSignalSpy clicks(&btn, &TImageBtn::OnClick);
    Press(QPoint(10, 10));
    Move(QPoint(200, 10));
    Release(QPoint(200, 10));
    EXPECT_EQ(shown, "PNN");
    EXPECT_EQ(clicks.count(), 0);
    // Moves without a held button change nothing.
    Move(QPoint(10, 10), Qt::NoButton);
    EXPECT_EQ(Showing(), 'N');
}

TEST_F(ImageBtnTest, RightButtonShowsThePressedPictureButDoesNotClick)
{
    QSignalSpy clicks(&btn, &TImageBtn::OnClick);
    Press(QPoint(10, 10), Qt::RightButton, Qt::RightButton);
    Release(QPoint(10, 10), Qt::RightButton);
    EXPECT_EQ(shown, "PN");
    EXPECT_EQ(clicks.count(), 0);
}

TEST_F(ImageBtnTest, SecondButtonKeepsTheFirstNormalPicture)
{
    Press(QPoint(10, 10));
    Press(QPoint(10, 10), Qt::RightButton, Qt::LeftButton | Qt::RightButton);
    Release(QPoint(10, 10), Qt::RightButton);
    EXPECT_EQ(shown, "PPN"); // not the pressed picture saved as the normal one
    QSignalSpy clicks(&btn, &TImageBtn::OnClick);
    Release(QPoint(10, 10));
    EXPECT_EQ(Showing(), 'N');
    EXPECT_EQ(clicks.count(), 1); // the left button still completes its click
}

TEST_F(ImageBtnTest, ClickHandlerSeesTheNormalPicture)
{
    char seen = '?';
    QObject::connect(&btn, &TImageBtn::OnClick, [&] { seen = Showing(); });
    Press(QPoint(10, 10));
    Release(QPoint(10, 10));
    EXPECT_EQ(seen, 'N');
}

TEST_F(ImageBtnTest, EmptyPressedPictureShowsNothingUntilReleased)
{
    btn.SetPicture2(QPixmap());
    Press(QPoint(10, 10));
    Release(QPoint(10, 10));
    EXPECT_EQ(shown, "0N");
    EXPECT_EQ(btn.size(), QSize(101, 30));
}

TEST_F(ImageBtnTest, PicturesAreCopiesTheCallerKeeps)
{
    QPixmap mine = Filled(QSize(101, 30), Qt::yellow);
    btn.SetPicture2(mine);
    mine.fill(Qt::black);
    EXPECT_EQ(btn.Picture2().toImage().pixel(0, 0), QColor(Qt::yellow).rgb());
    // A new normal picture during a press is what the release brings back.
    Press(QPoint(10, 10));
    btn.SetPicture(pressed);
    Release(QPoint(10, 10));
    EXPECT_EQ(Showing(), 'P');
}

} // namespace
