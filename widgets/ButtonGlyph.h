#pragma once
// The glyph of a button that draws itself: a bitmap of one to four images
// side by side (up, disabled, down, exclusive), and the images derived from
// it for each button state, kept in the shared glyph image lists.

#include <QImage>
#include <QPoint>

#include <array>
#include <functional>

class GlyphImageList;
class QPainter;

enum TButtonState : int { bsUp, bsDisabled, bsDown, bsExclusive };

// The desktop colours the derived images are made with.
struct GlyphColours {
    QRgb face;      // button face
    QRgb highlight; // lit edge of a raised button
    QRgb shadow;    // shaded edge of a raised button
};

class TButtonGlyph {
public:
    TButtonGlyph();
    ~TButtonGlyph();
    TButtonGlyph(const TButtonGlyph&) = delete;
    TButtonGlyph& operator=(const TButtonGlyph&) = delete;

    const QImage& Glyph() const { return glyph_; }
    // Takes a copy. A bitmap whose width is a whole multiple of its height
    // holds that many images (more than four count as one); otherwise the
    // number of images stays.
    void SetGlyph(const QImage& glyph);

    int NumGlyphs() const { return numGlyphs_; }
    // Brought into 1..4.
    void SetNumGlyphs(int value);

    // White for a one-bit bitmap, else the bitmap's bottom-left pixel.
    QRgb TransparentColor() const { return transparentColor_; }

    // The size of one image; empty without a bitmap.
    QSize ImageSize() const;

    // Slot of the derived image for a state in ImageList(), -1 = not made.
    int ImageIndex(TButtonState state) const { return indexes_[state]; }
    const GlyphImageList* ImageList() const { return imageList_; }

    // Makes the image for the state if it is not made yet; answers its slot,
    // -1 without a bitmap. A down image of a glyph with fewer than three
    // images is the up image.
    int CreateButtonGlyph(TButtonState state, const GlyphColours& colours);
    // Draws the state's image with its transparent pixels left out.
    void Draw(QPainter& painter, QPoint at, TButtonState state, const GlyphColours& colours);

    // Frees every derived image and gives the image list back.
    void Invalidate();

    // Called after the bitmap or the number of images changed.
    std::function<void()> OnChange;

private:
    void Changed();

    QImage glyph_;
    int numGlyphs_ = 1;
    QRgb transparentColor_ = qRgb(128, 128, 0);
    std::array<int, 4> indexes_{-1, -1, -1, -1};
    GlyphImageList* imageList_ = nullptr;
};
