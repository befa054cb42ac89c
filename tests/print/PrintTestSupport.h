#pragma once
// Shared set-up of the print tests: one application object with the general
// error handler, settings in a folder of their own, and test pictures.

#include "app/ErrorHandlingApplication.h"
#include "dib/Pixmill.h"

#include <QColor>
#include <QImage>
#include <QString>
#include <QStringList>

#include <functional>

class TPrintForm;

// The application (made on first use) with its error sink collecting texts.
ErrorHandlingApplication& TestApp();
QStringList& ShownErrors();

// The settings file of this test run (in a temporary folder) and a way to
// start from nothing or from a given text.
QString SettingsFile();
void RemoveSettings();
void WriteSettingsText(const QByteArray& text);
// The stored value, or a null string when absent.
QString StoredValue(const char* name);

// A 24-bit picture of w x h: four quadrants in four colours, seen upright
// (top-left red, top-right green, bottom-left blue, bottom-right yellow).
DIB MakeQuadrantPicture(int w, int h);
inline const QColor kTopLeft{200, 30, 30};
inline const QColor kTopRight{30, 160, 40};
inline const QColor kBottomLeft{40, 50, 210};
inline const QColor kBottomRight{230, 210, 40};

bool SameColour(QColor a, QColor b, int tolerance);

// Runs answer on the print dialog as soon as the event loop finds it open;
// a test failure when none is.
void WhenPrintDialogOpens(std::function<void(TPrintForm&)> answer);

// The path of a picture for people to look at, in <build>/screenshots/
// (the folder is made when missing).
QString ScreenshotPath(const QString& name);
