#pragma once
// The print dialog's section of the user's settings file: the window state
// and the two percentages, kept from one run to the next. Every value is a
// string. A missing, unreadable or garbled file reads as "nothing stored".

#include <QString>

#include <memory>
#include <optional>

class QSettings;

// The settings file of the program: INI format in the user's configuration
// folder ($XDG_CONFIG_HOME/Stillwise/Stillwise.ini).
std::unique_ptr<QSettings> OpenUserSettings();

inline constexpr const char* kPrintFormSection = "TPrintForm";

// What a restore applies. Values not stored stay empty; a stored text that
// is no whole number reads as 0.
struct StoredPrintForm {
    bool applies = true; // "FormVersion" is 0 or more (absent counts as 0)
    std::optional<int> showCmd;
    std::optional<int> breitValue;
    std::optional<int> hochValue;
};

// Everything written when the dialog closes.
struct PrintFormPlacement {
    int flags = 0;
    int showCmd = 1;
    int pixelsPerInch = 96;
    int minPos[2] = {-1, -1};
    int maxPos[2] = {-1, -1};
    int normPos[4] = {0, 0, 0, 0}; // left, top, right, bottom
    bool visible = false;
    int breitValue = 50;
    int hochValue = 50;
};

StoredPrintForm ReadPrintFormSettings();
void WritePrintFormSettings(const PrintFormPlacement& placement);

// The text of a stored integer as it is restored: trimmed, a whole number in
// decimal with an optional sign, else 0.
int StoredInteger(const QString& text);

// Window placement show commands.
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_SHOWMINIMIZED = 2;
inline constexpr int SW_SHOWMAXIMIZED = 3;
