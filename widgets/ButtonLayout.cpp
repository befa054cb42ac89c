#include "widgets/ButtonLayout.h"

ButtonLayoutResult CalcButtonLayout(const QRect& client, QSize glyph, QSize text, TButtonLayout layout, int margin,
                                    int spacing, bool rightToLeft)
{
    if (rightToLeft) {
        if (layout == blGlyphLeft)
            layout = blGlyphRight;
        else if (layout == blGlyphRight)
            layout = blGlyphLeft;
    }
    const QSize c = client.size();
    const bool horizontal = layout == blGlyphLeft || layout == blGlyphRight;

    QPoint glyphPos;
    QPoint textPos;
    if (horizontal) {
        glyphPos.setY((c.height() - glyph.height() + 1) / 2);
        textPos.setY((c.height() - text.height() + 1) / 2);
    } else {
        glyphPos.setX((c.width() - glyph.width() + 1) / 2);
        textPos.setX((c.width() - text.width() + 1) / 2);
    }

    if (text.width() == 0 || glyph.width() == 0)
        spacing = 0;

    const int room = horizontal ? c.width() : c.height();
    const int g = horizontal ? glyph.width() : glyph.height();
    const int t = horizontal ? text.width() : text.height();
    if (margin == -1) {
        if (spacing == -1) {
            margin = (room - (g + t)) / 3;
            spacing = margin;
        } else {
            margin = (room - (g + spacing + t) + 1) / 2;
        }
    } else if (spacing == -1) {
        spacing = ((room - (margin + g)) - t) / 2;
    }

    switch (layout) {
    case blGlyphLeft:
        glyphPos.setX(margin);
        textPos.setX(glyphPos.x() + glyph.width() + spacing);
        break;
    case blGlyphRight:
        glyphPos.setX(c.width() - margin - glyph.width());
        textPos.setX(glyphPos.x() - spacing - text.width());
        break;
    case blGlyphTop:
        glyphPos.setY(margin);
        textPos.setY(glyphPos.y() + glyph.height() + spacing);
        break;
    case blGlyphBottom:
        glyphPos.setY(c.height() - margin - glyph.height());
        textPos.setY(glyphPos.y() - spacing - text.height());
        break;
    }

    ButtonLayoutResult result;
    result.glyphPos = glyphPos + client.topLeft();
    result.textBounds = QRect(textPos + client.topLeft(), text);
    return result;
}
