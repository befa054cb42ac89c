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

// Reads the stored values. After a write that failed during this run, the
// values that could not be written are answered instead, so the next dialog
// of the run still gets them.
StoredPrintForm ReadPrintFormSettings();
// Writes all values and makes sure they reached the file. When they did not
// (a folder that cannot be written, a full disk, a file in the way) the
// values are kept for the rest of the run and *file names the settings file.
enum class SettingsWrite {
    Written,
    Failed,      // the first failure since the start or the last good write
    FailedAgain, // values were already waiting from an earlier failure
};
SettingsWrite WritePrintFormSettings(const PrintFormPlacement& placement, QString* file = nullptr);
// Forgets values kept after a failed write (tests).
void ForgetUnsavedPrintFormSettings();

// The text of a stored integer as it is restored: trimmed, a whole number in
// decimal with an optional sign, else 0.
int StoredInteger(const QString& text);

// Window placement show commands.
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_SHOWMINIMIZED = 2;
inline constexpr int SW_SHOWMAXIMIZED = 3;
