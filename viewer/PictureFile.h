#pragma once
// Pictures as image files: turning a picture into a QImage, and writing it
// as PNG, JPEG or BMP so that the file appears whole or not at all.

#include "dib/Pixmill.h"

#include <QImage>
#include <QString>
#include <QStringList>

enum class PictureFormat { Png, Jpeg, Bmp };

// The save dialog's file types, PNG first, in German: "PNG-Bild (*.png)", ...
QStringList PictureFileFilters();
QString FilterFor(PictureFormat format);
// The usual file-name extension, without the dot.
QString SuffixFor(PictureFormat format);

// The format a file is written in: the one its extension names (png, jpg,
// jpeg, bmp in any case); otherwise the one of the file type chosen in the
// dialog; otherwise PNG.
PictureFormat FormatForFile(const QString& fileName, const QString& selectedFilter);

// The picture as an image, top row first, colours as shown on the screen.
// Uncompressed pictures of 1, 4, 8, 16 (5-5-5), 24 and 32 bits are
// understood; anything else gives a null image.
QImage ImageFromDIB(const DIB& picture);

// Writes the picture to fileName in the given format, through a temporary
// file in the same folder that replaces fileName only once it is complete.
// On failure nothing is left behind (an existing file keeps its old
// content) and *reason, when given, says in German why.
bool WritePictureFile(const DIB& picture, const QString& fileName, PictureFormat format, QString* reason);
