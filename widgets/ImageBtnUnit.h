#pragma once
// TImageBtn: a button drawn entirely by two pictures. It shows Picture, and
// Picture2 while a mouse button is held down over it; dragging off brings the
// normal picture back, dragging on shows the pressed one again. It always
// takes the size of the picture it shows.

#include <QPixmap>
#include <QWidget>

class TImageBtn : public QWidget {
    Q_OBJECT

public:
    explicit TImageBtn(QWidget* parent = nullptr);

    // The picture shown now: the normal one, or Picture2 while pressed.
    const QPixmap& Picture() const { return picture_; }
    // Sets the normal picture (shown at once, unless the pressed picture
    // is up: then it is shown when the press ends).
    void SetPicture(const QPixmap& picture);

    const QPixmap& Picture2() const { return picture2_; }
    // Takes a copy; the caller keeps its own picture.
    void SetPicture2(const QPixmap& picture);

signals:
    // A left button pressed and released on the control. The normal picture
    // is back on screen before this is raised.
    void OnClick();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void ShowPressed();
    void ShowNormal();
    void Show(const QPixmap& picture);

    QPixmap picture_;
    QPixmap picture2_;
    QPixmap saved_;
    bool mouseHeld_ = false;
    bool pressedShown_ = false;
    bool leftPressed_ = false;
};
