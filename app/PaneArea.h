#pragma once
// Two panes one above the other with a splitter between them. The top pane
// keeps the height it is given and the bottom pane takes the rest. Dragging
// the splitter moves the boundary at once; releasing it after a drag reports
// the move.

#include <QWidget>

#include <functional>

class QMouseEvent;
class QResizeEvent;
class TPaneArea;

// The bar between the panes.
class TSplitter : public QWidget {
public:
    explicit TSplitter(TPaneArea* area);

    static constexpr int kThickness = 3;
    // Neither pane can be dragged smaller than this.
    static constexpr int kMinPane = 30;

    // Called with the splitter as sender when the user lets go after a drag.
    std::function<void(QObject* sender)> OnMoved;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    TPaneArea* area_;
    bool pressed_ = false;
    bool moved_ = false;
    int pressY_ = 0;
    int pressTop_ = 0;
};

class TPaneArea : public QWidget {
public:
    explicit TPaneArea(QWidget* parent = nullptr);

    // Puts the panes in place; the area becomes their parent.
    void setPanes(QWidget* top, QWidget* bottom);

    TSplitter* splitter() const { return splitter_; }
    int topHeight() const { return topHeight_; }
    // The top pane's height; it may exceed the area, then the bottom pane
    // and the splitter are pushed out of sight.
    void setTopHeight(int height);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void arrange();

    QWidget* top_ = nullptr;
    QWidget* bottom_ = nullptr;
    TSplitter* splitter_ = nullptr;
    int topHeight_ = 0;
};
