#include "app/Background.h"

#include "app/Autostart.h"
#include "app/MainUnit.h"
#include "app/TrayIcon.h"
#include "viewer/DesktopShell.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMenu>

namespace {

// A tray that is not there at start is looked for this often, this many
// times: at login the panel may come up after the programs it starts.
constexpr int TrayLookMs = 2000;
constexpr int TrayLooks = 15;
// While the webcam output is on, the tray's icon follows whether anyone
// reads it at this pace; while it is off, or without a tray, nothing is
// looked at.
constexpr int StateLookMs = 1000;

} // namespace

Background::Background(TMainForm& window, AutostartEntry& autostart, std::function<bool()> trayAvailable,
                       Quit quit, QObject* parent)
    : QObject(parent), window_(window), autostart_(autostart), trayAvailable_(std::move(trayAvailable)),
      quit_(quit ? std::move(quit) : Quit([] { QCoreApplication::quit(); }))
{
    window_.OnCloseQuery = [this](bool leaving) { return closeQuery(leaving); };
    stateLook_.setInterval(StateLookMs);
    connect(&stateLook_, &QTimer::timeout, this, &Background::refresh);
    connect(window_.WebcamBox, &QCheckBox::toggled, this, [this](bool on) {
        if (on && tray_)
            stateLook_.start();
        else
            stateLook_.stop();
        refresh();
    });
    trayLook_.setInterval(TrayLookMs);
    connect(&trayLook_, &QTimer::timeout, this, &Background::lookForTray);
    if (trayAvailable_())
        makeTray();
    else
        trayLook_.start();
}

Background::~Background()
{
    window_.OnCloseQuery = nullptr;
    if (tray_)
        QGuiApplication::setQuitOnLastWindowClosed(true);
}

void Background::makeTray()
{
    tray_ = std::make_unique<TrayIcon>();
    // Dialogs opened from the tray while the window is hidden must not end
    // the program when they close; the program ends through quit().
    QGuiApplication::setQuitOnLastWindowClosed(false);
    connect(tray_->windowAction, &QAction::triggered, this, &Background::toggleWindow);
    connect(tray_.get(), &TrayIcon::clicked, this, &Background::toggleWindow);
    connect(tray_->webcamAction, &QAction::triggered, this, [this](bool on) {
        if (window_.WebcamBox->isChecked() != on) {
            if (on)
                switchWebcamOn();
            else
                window_.WebcamBox->click();
        }
        refresh();
    });
    connect(tray_->autoAction, &QAction::triggered, this, [this](bool on) {
        if (window_.AutoBox->isChecked() != on && window_.AutoBox->isEnabled())
            window_.AutoBox->click();
        refresh();
    });
    connect(tray_->loginAction, &QAction::triggered, this, [this](bool on) {
        if (!autostart_.setEnabled(on))
            desktop::CurrentShell().message(window_.isVisible() ? &window_ : nullptr, QMessageBox::Warning,
                                            tray_->loginAction->text(), autostart_.error());
        refresh();
    });
    connect(tray_->quitAction, &QAction::triggered, this, &Background::quit);
    connect(tray_->menu(), &QMenu::aboutToShow, this, &Background::refresh);
    if (window_.WebcamBox->isChecked())
        stateLook_.start();
    refresh();
    tray_->show();
}

void Background::lookForTray()
{
    if (!trayAvailable_()) {
        if (++trayLooks_ >= TrayLooks)
            trayLook_.stop();
        return;
    }
    trayLook_.stop();
    makeTray();
    // Started for the tray and minimised meanwhile: into the tray now.
    if (startedForTray_ && window_.isMinimized())
        hideWindow();
}

void Background::start(const StartOptions& options)
{
    startedForTray_ = options.tray;
    if (!options.tray)
        window_.show();
    else if (!tray_)
        window_.showMinimized();
    if (options.webcam)
        switchWebcamOn();
}

void Background::apply(const StartOptions& options)
{
    if (!options.tray)
        showWindow();
    if (options.webcam)
        switchWebcamOn();
}

void Background::quit()
{
    quitting_ = true;
    window_.close();
    quit_();
}

void Background::showWindow()
{
    window_.setWindowState(window_.windowState() & ~Qt::WindowMinimized);
    window_.show();
    window_.raise();
    window_.activateWindow();
    refresh();
}

void Background::hideWindow()
{
    window_.hide();
    refresh();
}

void Background::toggleWindow()
{
    if (window_.isVisible() && !window_.isMinimized())
        hideWindow();
    else
        showWindow();
}

void Background::switchWebcamOn()
{
    QCheckBox* box = window_.WebcamBox;
    if (box->isChecked())
        return;
    if (box->isEnabled()) {
        box->click();
        return;
    }
    // No way out exists; the box's tooltip says how to get one.
    desktop::CurrentShell().message(window_.isVisible() ? &window_ : nullptr, QMessageBox::Warning, box->text(),
                                    box->toolTip());
}

bool Background::closeQuery(bool leaving)
{
    if (quitting_)
        return true;
    if (!leaving && tray_ && window_.WebcamBox->isChecked()) {
        hideWindow();
        if (!told_) {
            told_ = true;
            tray_->say(tr("Stillwise läuft im Systembereich weiter und gibt sein Bild weiter als Webcam aus. Ein "
                          "Klick auf das Symbol holt das Fenster zurück, „Beenden“ in seinem Menü beendet "
                          "Stillwise."));
        }
        return false;
    }
    // Closing for good. Without a tray the last window's closing ends the
    // program as it always has; with one, that is switched off (makeTray).
    if (tray_) {
        quitting_ = true;
        QTimer::singleShot(0, this, [this] { quit_(); });
    }
    return true;
}

void Background::refresh()
{
    if (!tray_)
        return;
    QCheckBox* webcam = window_.WebcamBox;
    const WebcamState state = !webcam->isChecked() ? WebcamState::Off
                              : window_.WebcamRead() ? WebcamState::Read
                                                     : WebcamState::Waiting;
    tray_->setState(state);
    const bool shown = window_.isVisible() && !window_.isMinimized();
    tray_->windowAction->setText(shown ? TrayIcon::tr("Fenster verbergen") : TrayIcon::tr("Fenster zeigen"));
    tray_->webcamAction->setChecked(webcam->isChecked());
    tray_->webcamAction->setToolTip(webcam->toolTip());
    tray_->autoAction->setChecked(window_.AutoBox->isChecked());
    tray_->autoAction->setEnabled(window_.AutoBox->isEnabled());
    tray_->loginAction->setChecked(autostart_.enabled());
}
