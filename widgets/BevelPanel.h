#pragma once
// A coloured panel with the classic bevels: an outer and an inner one-pixel
// edge, each raised (lit top-left) or lowered (lit bottom-right) or absent.

#include <QColor>
#include <QWidget>

class BevelPanel : public QWidget {
    Q_OBJECT

public:
    enum class Bevel { None, Lowered, Raised };

    BevelPanel(QWidget* parent, Bevel outer, Bevel inner, const QColor& colour);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Bevel outer_;
    Bevel inner_;
    QColor colour_;
};
