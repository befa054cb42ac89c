#pragma once
// Whether buttons that draw themselves follow the desktop's style (the
// themed look) or draw the classic three-dimensional frame. The classic
// frame belongs to the plain "Windows" style; every other style is themed.

#include <optional>

namespace visual_styles {

// Asked anew for every drawing, so a change of the application's style
// takes effect with the next repaint.
bool InUse();

// Fixes the answer (tests, or a user who wants the classic look);
// std::nullopt returns to following the application's style.
void SetOverride(std::optional<bool> inUse);

} // namespace visual_styles
