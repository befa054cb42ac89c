#include "viewer/PaintBox.h"

#include <QMouseEvent>

void TPaintBox::paintEvent(QPaintEvent* /*event*/)
{
    if (!OnPaint)
        return;
    painting_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{painting_};
    OnPaint(this);
}

void TPaintBox::mousePressEvent(QMouseEvent* event)
{
    if (OnMouseDown) {
        const QPoint p = event->position().toPoint();
        OnMouseDown(this, event->button(), p.x(), p.y());
    }
}

void TPaintBox::mouseMoveEvent(QMouseEvent* event)
{
    if (OnMouseMove) {
        const QPoint p = event->position().toPoint();
        OnMouseMove(this, event->button(), p.x(), p.y());
    }
}

void TPaintBox::mouseReleaseEvent(QMouseEvent* event)
{
    if (OnMouseUp) {
        const QPoint p = event->position().toPoint();
        OnMouseUp(this, event->button(), p.x(), p.y());
    }
}
