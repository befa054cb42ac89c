#pragma once
// The program's pictures live in a static library, so their registration
// must be pulled in explicitly. Call once before the first picture is
// loaded; further calls do nothing.
void StillwiseInitResources();
