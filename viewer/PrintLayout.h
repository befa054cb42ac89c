#pragma once
// The page-layout rule shared by the print dialog's preview and by printing:
// where a picture lands on a page, and the percentages of a user-defined
// size that keep the picture's aspect.

#include "dib/Pixmill.h"

#include <cstdint>

// How the picture is to be laid out on the page.
struct PrintOptions {
    bool FullPage = true;   // "Seite voll nutzen"
    bool KeepAspect = true; // "Seitenverhältnis beibehalten"
    bool Centred = true;    // "Zentrierte Ausgabe"
    int Width = 50;         // "Breite in %:" (user-defined size only)
    int Height = 50;        // "Höhe in %:"
};

// A rectangle on a page, relative to the page's top-left corner.
struct PrintRect {
    int X = 0;
    int Y = 0;
    int Width = 0;
    int Height = 0;
    friend bool operator==(const PrintRect&, const PrintRect&) = default;
};

// Where a picture of IW x IH pixels lands on a page of PW x PH pixels.
// The whole page (with keep aspect: as wide or as high as the page allows,
// the other side in proportion, cut toward zero), or Width and Height
// percent of the page rounded to the nearest pixel (halves to even);
// centred or at the top-left corner.
PrintRect CalcPrintRect(int PW, int PH, int IW, int IH, const PrintOptions& options);

// Whether the record holds a picture with pixels to lay out.
bool hasPixels(const DIB& picture);

// v held to the range of int.
int saturated(std::int64_t v);

// The percentage of one side that keeps the picture's aspect on the page,
// given the percentage of the other side: a × p / b × c / d with the first
// product in integers and the rest in extended precision, kept as a double.
double coupled(int a, int p, int b, int c, int d);

// x cut toward zero, saturated to int (the field limits it further).
int truncated(double x);
