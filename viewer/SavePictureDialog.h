#pragma once
// Saving a picture where the user chooses.

#include "dib/Pixmill.h"

#include <QString>

class QWidget;

// Asks for a file in a save dialog (PNG, JPEG or BMP; PNG proposed) and
// writes the picture to it. A file that cannot be written is reported with
// its name and the reason, and the dialog comes back so the user can choose
// again; cancelling ends it. Answers the file written, empty when nothing
// was. The folder and the type chosen last are proposed next time.
QString SavePictureAs(QWidget* owner, const DIB& picture);
