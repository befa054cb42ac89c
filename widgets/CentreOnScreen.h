#pragma once
// Dialogs that appear in the middle of the desktop rather than over their
// owner: the window's frame is centred on the screen's usable area.

class QScreen;
class QWidget;

// screen null: the primary screen. Does nothing without a screen.
void CentreOnScreen(QWidget* window, const QScreen* screen = nullptr);
