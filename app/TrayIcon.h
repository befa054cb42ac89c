#pragma once
// The icon in the desktop's system tray and its menu. The icon is the
// program's own with a mark in its corner for the webcam output: none while
// it is off, a grey dot while it is on and nobody reads it, a red dot while
// a program reads it. What the menu's entries do is wired by Background.

#include <QObject>
#include <QSystemTrayIcon>

#include <memory>

class QAction;
class QMenu;

enum class WebcamState { Off, Waiting, Read };

class TrayIcon : public QObject {
    Q_OBJECT
public:
    explicit TrayIcon(QObject* parent = nullptr);
    ~TrayIcon() override;

    QMenu* menu() const { return menu_.get(); }
    QAction* windowAction = nullptr; // "Fenster zeigen" / "Fenster verbergen"
    QAction* webcamAction = nullptr; // "Als Webcam ausgeben", checkable
    QAction* autoAction = nullptr;   // "Auto-Glättung", checkable
    QAction* loginAction = nullptr;  // "Beim Anmelden starten", checkable
    QAction* quitAction = nullptr;   // "Beenden"

    void show();
    bool visible() const;
    void setState(WebcamState state);
    WebcamState state() const { return state_; }
    // A note from the tray, shown for a few seconds.
    void say(const QString& text);
    int notesSaid() const { return notes_; }

    // The icon for a state, as drawn (for tests and the README's picture).
    static QIcon Picture(WebcamState state);
    static QString ToolTip(WebcamState state);

signals:
    // The icon itself was clicked.
    void clicked();

private:
    std::unique_ptr<QMenu> menu_;
    QSystemTrayIcon* icon_ = nullptr;
    WebcamState state_ = WebcamState::Off;
    int notes_ = 0;
};
