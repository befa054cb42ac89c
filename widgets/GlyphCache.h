#pragma once
// Derived glyph images shared by every button glyph of the same image size.
// A glyph image list holds masked images in slots; a bit set marks the slots
// in use, and a freed slot is reused by the next image instead of shrinking
// the list. The cache keeps one list per image size, for the whole process.

#include <QImage>
#include <QPoint>
#include <QSize>

#include <memory>
#include <vector>

class QPainter;

class GlyphImageList {
public:
    explicit GlyphImageList(QSize imageSize);

    QSize ImageSize() const { return imageSize_; }

    // Stores the image in the first free slot (a new slot when none is
    // free), with every pixel of maskColour made transparent; marks the slot
    // used. Answers the slot.
    int Add(const QImage& image, QRgb maskColour);
    // Marks a slot free. Its image stays until the slot is reused.
    void Delete(int slot);
    void Draw(QPainter& painter, int slot, QPoint at) const;

    int Count() const { return count_; } // used slots
    int SlotCount() const { return static_cast<int>(slots_.size()); }
    bool IsUsed(int slot) const;
    const QImage& Image(int slot) const { return slots_.at(static_cast<std::size_t>(slot)); }

private:
    QSize imageSize_;
    std::vector<QImage> slots_;
    std::vector<bool> used_;
    int count_ = 0;
};

class GlyphCache {
public:
    // The process's cache; made on first use.
    static GlyphCache& Get();
    // The process's cache if it exists, else null.
    static GlyphCache* Existing();
    // Destroys the process's cache if it holds no lists.
    static void DropIfEmpty();

    // The list for this image size; searched from the last added to the
    // first, made and appended when none matches.
    GlyphImageList* GetList(QSize imageSize);
    // A glyph gives its list back; a list without used slots is destroyed.
    void ReturnList(GlyphImageList* list);

    bool Empty() const { return lists_.empty(); }
    int ListCount() const { return static_cast<int>(lists_.size()); }

private:
    std::vector<std::unique_ptr<GlyphImageList>> lists_;
};
