#include "widgets/ImageBtnUnit.h"

#include <QMouseEvent>
#include <QPainter>

TImageBtn::TImageBtn(QWidget* parent) : QWidget(parent) {}

void TImageBtn::Show(const QPixmap& picture)
{
    picture_ = picture;
    // Sized to the picture; an empty picture keeps the control's size.
    if (!picture_.isNull())
        resize(picture_.size());
    update();
}

void TImageBtn::SetPicture(const QPixmap& picture)
{
    if (pressedShown_)
        saved_ = picture;
    else
        Show(picture);
}

void TImageBtn::SetPicture2(const QPixmap& picture)
{
    picture2_ = picture;
    if (pressedShown_)
        Show(picture2_);
}

// A second press while the pressed picture is up must not save the pressed
// picture as the normal one.
void TImageBtn::ShowPressed()
{
    if (pressedShown_)
        return;
    pressedShown_ = true;
    saved_ = picture_;
    Show(picture2_);
}

void TImageBtn::ShowNormal()
{
    if (!pressedShown_)
        return;
    Show(saved_);
    saved_ = QPixmap();
    pressedShown_ = false;
}

// Shows the current picture; nothing is drawn without one.
void TImageBtn::paintEvent(QPaintEvent*)
{
    if (picture_.isNull())
        return;
    QPainter p(this);
    p.drawPixmap(0, 0, picture_);
}

// Any mouse button shows the pressed picture; only the left one can click.
void TImageBtn::mousePressEvent(QMouseEvent* event)
{
    ShowPressed();
    mouseHeld_ = true;
    if (event->button() == Qt::LeftButton)
        leftPressed_ = true;
    event->accept();
}

// While held, the pressed picture shows only with the pointer on the control.
void TImageBtn::mouseMoveEvent(QMouseEvent* event)
{
    if (!mouseHeld_) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    if (rect().contains(event->position().toPoint()))
        ShowPressed();
    else
        ShowNormal();
}

// Letting go shows the normal picture; a left press let go on it clicks.
void TImageBtn::mouseReleaseEvent(QMouseEvent* event)
{
    ShowNormal();
    mouseHeld_ = false;
    const bool click = leftPressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    if (event->button() == Qt::LeftButton)
        leftPressed_ = false;
    event->accept();
    if (click)
        emit OnClick();
}
