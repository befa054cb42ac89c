#pragma once
// The snapshot viewer's print action: the layout asked for in the print
// dialog, then the picture on one page of the current printer.

#include "dib/Pixmill.h"

class QWidget;

// The viewer's "&Drucken": asks for the layout with a fresh TPrintForm owned
// by owner and, after "&OK", prints picture on one page of the current
// printer as the job "Lumora Bild". Errors of the printer go to the
// application's general error handler; a job that fails half-way is ended
// on the way out. A record without a picture prints nothing.
void PrintPicture(QWidget* owner, const DIB& picture);
