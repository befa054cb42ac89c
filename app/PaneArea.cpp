#include "app/PaneArea.h"

#include <QMouseEvent>

#include <algorithm>

TSplitter::TSplitter(TPaneArea* area) : QWidget(area), area_(area)
{
    setCursor(Qt::SplitVCursor);
}

void TSplitter::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    pressed_ = true;
    moved_ = false;
    pressY_ = int(event->globalPosition().y());
    pressTop_ = area_->topHeight();
}

void TSplitter::mouseMoveEvent(QMouseEvent* event)
{
    if (!pressed_)
        return;
    const int wanted = pressTop_ + int(event->globalPosition().y()) - pressY_;
    const int most = std::max(kMinPane, area_->height() - kThickness - kMinPane);
    const int top = std::clamp(wanted, kMinPane, most);
    if (top != area_->topHeight()) {
        area_->setTopHeight(top);
        moved_ = true;
    }
}

void TSplitter::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !pressed_)
        return;
    pressed_ = false;
    if (moved_ && OnMoved)
        OnMoved(this);
}

TPaneArea::TPaneArea(QWidget* parent) : QWidget(parent), splitter_(new TSplitter(this)) {}

void TPaneArea::setPanes(QWidget* top, QWidget* bottom)
{
    top_ = top;
    bottom_ = bottom;
    top_->setParent(this);
    bottom_->setParent(this);
    splitter_->raise();
    arrange();
}

void TPaneArea::setTopHeight(int height)
{
    topHeight_ = std::max(0, height);
    arrange();
}

void TPaneArea::resizeEvent(QResizeEvent* /*event*/)
{
    arrange();
}

void TPaneArea::arrange()
{
    const int w = width();
    const int splitterTop = std::min(topHeight_, height());
    const int bottomTop = std::min(splitterTop + TSplitter::kThickness, height());
    if (top_ != nullptr)
        top_->setGeometry(0, 0, w, topHeight_);
    splitter_->setGeometry(0, splitterTop, w, bottomTop - splitterTop);
    if (bottom_ != nullptr)
        bottom_->setGeometry(0, bottomTop, w, height() - bottomTop);
}
