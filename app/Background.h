#pragma once
// Stillwise running in the background: the start options of the first
// start and of later ones, the tray icon where the desktop has a tray,
// closing the window while the webcam output is on, and quitting.
//
// Where a tray exists, closing the window while the webcam output is on
// hides it and says so once; the icon brings it back, and "Beenden" in its
// menu or the window's exit button ends the program. Where none exists,
// --tray starts with the window minimised and closing the window ends the
// program, as it always has. Without --tray a first start looks exactly
// as before.

#include "app/CommandLine.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

class AutostartEntry;
class TMainForm;
class TrayIcon;

class Background : public QObject {
    Q_OBJECT
public:
    using Quit = std::function<void()>;
    // `trayAvailable`: whether the desktop offers a system tray (asked
    // again a few times when not, as a tray may come up after programs
    // started at login). `quit` ends the event loop (QCoreApplication::quit
    // when empty). The window, the entry and the tray question outlive this.
    Background(TMainForm& window, AutostartEntry& autostart, std::function<bool()> trayAvailable,
               Quit quit = Quit(), QObject* parent = nullptr);
    ~Background() override;

    // The first start's options: shows the window or not, switches the
    // webcam output on.
    void start(const StartOptions& options);
    // A later start's options: shows the window unless it asked for the
    // tray, switches the webcam output on.
    void apply(const StartOptions& options);

    // Ends the program: the window closes for good, the event loop ends.
    void quit();

    // Null where no tray exists (yet).
    TrayIcon* tray() const { return tray_.get(); }

private:
    void makeTray();
    void lookForTray();
    void showWindow();
    void hideWindow();
    void toggleWindow();
    void switchWebcamOn();
    // The window's close button (or exit button, `leaving`); false keeps
    // the program running.
    bool closeQuery(bool leaving);
    // Brings the menu's ticks and the icon's state up to date.
    void refresh();

    TMainForm& window_;
    AutostartEntry& autostart_;
    std::function<bool()> trayAvailable_;
    Quit quit_;
    std::unique_ptr<TrayIcon> tray_;
    QTimer trayLook_;
    int trayLooks_ = 0;
    QTimer stateLook_;
    bool told_ = false;
    bool startedForTray_ = false;
    bool quitting_ = false;
};
