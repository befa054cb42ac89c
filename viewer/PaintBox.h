#pragma once
// A surface whose owner draws it: paint and mouse events go to handlers that
// take the sender. A handler called outside the surface's paint event can
// ask whether it runs inside one, and if not, ask for an immediate repaint,
// which brings it back inside.

#include <QWidget>

#include <functional>

class QMouseEvent;
class QPaintEvent;

class TPaintBox : public QWidget {
public:
    using QWidget::QWidget;

    using PaintHandler = std::function<void(QObject* sender)>;
    // Mouse position in the surface's own coordinates.
    using MouseHandler = std::function<void(QObject* sender, Qt::MouseButton button, int x, int y)>;

    PaintHandler OnPaint;
    MouseHandler OnMouseDown;
    MouseHandler OnMouseMove;
    MouseHandler OnMouseUp;

    // True while the paint event runs: drawing onto the surface is only
    // possible then.
    bool isPainting() const { return painting_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool painting_ = false;
};
