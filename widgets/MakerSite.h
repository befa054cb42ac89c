#pragma once
// The maker's web site, opened from the main window and the about dialog.

inline constexpr const char* kMakerSite = "https://stillwise.example/";
