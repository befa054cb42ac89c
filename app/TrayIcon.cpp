#include "app/TrayIcon.h"

#include <QAction>
#include <QCoreApplication>
#include <QIcon>
#include <QMenu>
#include <QPainter>
#include <QPixmap>

namespace {

// The mark: a dot in the lower right corner, a third of the icon wide,
// with a light ring so that it stands out on dark and light panels.
QPixmap Marked(int size, const QColor& dot)
{
    QPixmap picture = QPixmap(QStringLiteral(":/icons/stillwise-%1.png").arg(size));
    if (!dot.isValid() || picture.isNull())
        return picture;
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal d = size / 3.0 + 1.0;
    const QRectF spot(size - d, size - d, d, d);
    painter.setPen(QPen(Qt::white, std::max(1.0, size / 16.0)));
    painter.setBrush(dot);
    painter.drawEllipse(spot.adjusted(0.5, 0.5, -0.5, -0.5));
    return picture;
}

} // namespace

TrayIcon::TrayIcon(QObject* parent) : QObject(parent), menu_(std::make_unique<QMenu>())
{
    windowAction = menu_->addAction(tr("Fenster zeigen"));
    menu_->addSeparator();
    webcamAction = menu_->addAction(tr("Als Webcam ausgeben"));
    webcamAction->setCheckable(true);
    autoAction = menu_->addAction(tr("Auto-Glättung"));
    autoAction->setCheckable(true);
    loginAction = menu_->addAction(tr("Beim Anmelden starten"));
    loginAction->setCheckable(true);
    loginAction->setToolTip(tr("Startet Stillwise bei jeder Anmeldung im Systembereich, mit eingeschalteter "
                               "Ausgabe als Webcam"));
    menu_->addSeparator();
    quitAction = menu_->addAction(tr("Beenden"));
    menu_->setToolTipsVisible(true);

    icon_ = new QSystemTrayIcon(this);
    icon_->setContextMenu(menu_.get());
    setState(WebcamState::Off);
    connect(icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
            emit clicked();
    });
}

TrayIcon::~TrayIcon()
{
    // The icon goes before its menu.
    delete icon_;
}

void TrayIcon::show()
{
    icon_->show();
}

bool TrayIcon::visible() const
{
    return icon_->isVisible();
}

void TrayIcon::setState(WebcamState state)
{
    if (state == state_ && !icon_->icon().isNull())
        return;
    state_ = state;
    icon_->setIcon(Picture(state));
    icon_->setToolTip(ToolTip(state));
}

void TrayIcon::say(const QString& text)
{
    ++notes_;
    icon_->showMessage(QStringLiteral("Stillwise"), text, Picture(state_), 8000);
}

QIcon TrayIcon::Picture(WebcamState state)
{
    const QColor dot = state == WebcamState::Read      ? QColor(220, 30, 30)
                       : state == WebcamState::Waiting ? QColor(140, 140, 140)
                                                       : QColor();
    QIcon icon;
    for (int size : {16, 32, 48, 64})
        icon.addPixmap(Marked(size, dot));
    return icon;
}

QString TrayIcon::ToolTip(WebcamState state)
{
    switch (state) {
    case WebcamState::Off:
        break;
    case WebcamState::Waiting:
        return tr("Stillwise: Ausgabe als Webcam an, kein Programm liest sie");
    case WebcamState::Read:
        return tr("Stillwise: Ausgabe als Webcam an, ein Programm liest sie");
    }
    return tr("Stillwise: Ausgabe als Webcam aus");
}
