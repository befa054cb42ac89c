#include "widgets/BevelPanel.h"

#include <QPainter>

namespace {

void DrawBevel(QPainter& p, QRect& r, BevelPanel::Bevel bevel, const QPalette& pal)
{
    if (bevel == BevelPanel::Bevel::None)
        return;
    const QColor light = pal.color(QPalette::Active, QPalette::Light);
    const QColor dark = pal.color(QPalette::Active, QPalette::Dark);
    const QColor topLeft = bevel == BevelPanel::Bevel::Raised ? light : dark;
    const QColor bottomRight = bevel == BevelPanel::Bevel::Raised ? dark : light;
    p.setPen(topLeft);
    p.drawLine(r.topLeft(), r.topRight());
    p.drawLine(r.topLeft(), r.bottomLeft());
    p.setPen(bottomRight);
    p.drawLine(r.bottomLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomRight());
    r.adjust(1, 1, -1, -1);
}

} // namespace

BevelPanel::BevelPanel(QWidget* parent, Bevel outer, Bevel inner, const QColor& colour)
    : QWidget(parent), outer_(outer), inner_(inner), colour_(colour)
{
}

void BevelPanel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), colour_);
    QRect r = rect();
    DrawBevel(p, r, outer_, palette());
    DrawBevel(p, r, inner_, palette());
}
