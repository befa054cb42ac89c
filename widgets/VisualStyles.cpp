#include "widgets/VisualStyles.h"

#include <QApplication>
#include <QStyle>

namespace visual_styles {

namespace {
std::optional<bool> overrideInUse;
}

bool InUse()
{
    if (overrideInUse)
        return *overrideInUse;
    const QStyle* style = QApplication::style();
    return style && style->name().compare(QLatin1String("windows"), Qt::CaseInsensitive) != 0;
}

void SetOverride(std::optional<bool> inUse)
{
    overrideInUse = inUse;
}

} // namespace visual_styles
