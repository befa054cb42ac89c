#include "dib/RenderDIB.h"

// The renderer is being written; until then it draws nothing.
void RenderDIB(HDC, int, int, int, int, const DIB&, int, int, int, int, bool, DWORD, bool, HPALETTE) {}
