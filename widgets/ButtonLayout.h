#pragma once
// Where a button puts its glyph and its caption.

#include <QPoint>
#include <QRect>
#include <QSize>

enum TButtonLayout : int { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };

struct ButtonLayoutResult {
    QPoint glyphPos;  // top-left corner of the glyph image
    QRect textBounds; // the caption's measured rectangle, placed
};

// Lays out a glyph of `glyph` size and a caption measured as `text` in
// `client`. Along the layout's axis, margin is the gap from the edge to the
// glyph and spacing the gap between glyph and caption; -1 for either shares
// the free room (margin -1 alone centres glyph and caption as one block).
// Across the axis both are centred. Right-to-left reading swaps the left
// and right layouts. All divisions truncate toward zero.
ButtonLayoutResult CalcButtonLayout(const QRect& client, QSize glyph, QSize text, TButtonLayout layout, int margin,
                                    int spacing, bool rightToLeft);
