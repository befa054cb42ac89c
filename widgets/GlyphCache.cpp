#include "widgets/GlyphCache.h"

#include <QPainter>

#include <algorithm>

GlyphImageList::GlyphImageList(QSize imageSize) : imageSize_(imageSize) {}

int GlyphImageList::Add(const QImage& image, QRgb maskColour)
{
    QImage masked = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < masked.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(masked.scanLine(y));
        for (int x = 0; x < masked.width(); ++x)
            if (row[x] == maskColour)
                row[x] = 0;
    }
    masked = masked.convertToFormat(QImage::Format_ARGB32_Premultiplied);

    const auto freeSlot = std::find(used_.begin(), used_.end(), false);
    int slot;
    if (freeSlot == used_.end()) {
        slot = static_cast<int>(slots_.size());
        slots_.push_back(std::move(masked));
        used_.push_back(true);
    } else {
        slot = static_cast<int>(freeSlot - used_.begin());
        slots_[static_cast<std::size_t>(slot)] = std::move(masked);
        *freeSlot = true;
    }
    ++count_;
    return slot;
}

void GlyphImageList::Delete(int slot)
{
    if (!IsUsed(slot))
        return;
    used_[static_cast<std::size_t>(slot)] = false;
    --count_;
}

bool GlyphImageList::IsUsed(int slot) const
{
    return slot >= 0 && slot < SlotCount() && used_[static_cast<std::size_t>(slot)];
}

void GlyphImageList::Draw(QPainter& painter, int slot, QPoint at) const
{
    if (slot >= 0 && slot < SlotCount())
        painter.drawImage(at, slots_[static_cast<std::size_t>(slot)]);
}

namespace {
std::unique_ptr<GlyphCache> processCache;
}

GlyphCache& GlyphCache::Get()
{
    if (!processCache)
        processCache = std::make_unique<GlyphCache>();
    return *processCache;
}

GlyphCache* GlyphCache::Existing()
{
    return processCache.get();
}

void GlyphCache::DropIfEmpty()
{
    if (processCache && processCache->Empty())
        processCache.reset();
}

GlyphImageList* GlyphCache::GetList(QSize imageSize)
{
    for (auto it = lists_.rbegin(); it != lists_.rend(); ++it)
        if ((*it)->ImageSize() == imageSize)
            return it->get();
    lists_.push_back(std::make_unique<GlyphImageList>(imageSize));
    return lists_.back().get();
}

void GlyphCache::ReturnList(GlyphImageList* list)
{
    if (!list || list->Count() != 0)
        return;
    const auto it = std::find_if(lists_.begin(), lists_.end(), [list](const auto& l) { return l.get() == list; });
    if (it != lists_.end())
        lists_.erase(it);
}
