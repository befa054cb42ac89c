#pragma once
// The size of the capture window inside the capture control: the image's own
// size, the control's size, or, with proportions kept, as large as the
// control allows with the image's aspect, anchored at the top-left corner.

#include <QSize>

// control and image are the capture control's and the image's sizes.
//   scaleToWindow false: the image size.
//   scaleToWindow true, proportional false: the control size.
//   both true: the two ratios width / height are each held as 32-bit floats.
//   When the control's is the greater, the height is the control's and the
//   width Round(control height x image ratio); otherwise the width is the
//   control's and the height Round(control width / image ratio). Product and
//   quotient are formed in extended precision from the float ratios and
//   rounded to the nearest integer, halves to the even neighbour.
// Without a control or image height there are no ratios: the window then
// fills the control. Never negative.
QSize FitPreview(QSize control, QSize image, bool scaleToWindow, bool proportional);
