#include "output/WebcamSwitch.h"

#include "camera/v4l2/LoopbackNode.h"
#include "camera/v4l2/V4l2Driver.h"
#include "camera/v4l2/V4l2System.h"
#include "output/PipeWireCamera.h"
#include "output/VirtualCamera.h"

#include <QCheckBox>
#include <QCoreApplication>

#include <algorithm>

namespace output {

namespace {

// How often an unticked box looks whether PipeWire came or went: a stat()
// of its socket, nothing more.
constexpr int WatchMilliseconds = 3000;

} // namespace

WebcamSwitch::WebcamSwitch(QCheckBox* box, Teller tell) : box_(box), tell_(std::move(tell))
{
    clicks_ = QObject::connect(box_, &QCheckBox::clicked, box_, [this] { clicked(); });
    watch_.setInterval(WatchMilliseconds);
    QObject::connect(&watch_, &QTimer::timeout, &watch_, [this] {
        if (outputs_.empty() && pipewire_ != nullptr && pipewire_->reachable() != pipewireSeen_)
            refresh();
    });
    watch_.start();
    setSystems(camera::LinuxV4l2System(), SessionPipeWire());
}

WebcamSwitch::~WebcamSwitch()
{
    QObject::disconnect(clicks_);
}

void WebcamSwitch::setSystems(camera::V4l2System& v4l2, PipeWireSystem& pipewire)
{
    outputs_.clear();
    v4l2_ = &v4l2;
    pipewire_ = &pipewire;
    box_->setChecked(false);
    refresh();
}

void WebcamSwitch::setSystem(camera::V4l2System& v4l2)
{
    setSystems(v4l2, pipewire_ != nullptr ? *pipewire_ : SessionPipeWire());
}

void WebcamSwitch::refresh()
{
    const camera::LoopbackNode found = camera::FindLoopbackNode(*v4l2_);
    pipewireSeen_ = pipewire_->reachable();
    const bool loopback = !found.node.empty();
    box_->setEnabled(loopback || pipewireSeen_);
    const QString node = QString::fromStdString(found.node);
    const QString pipewireName = QString::fromUtf8(PipeWireNodeDescription);
    const QString cardLabel = QString::fromUtf8(camera::LoopbackCardLabel);
    // Whole sentences with placeholders: the ways out are named in a
    // different order in other languages.
    if (loopback && found.openError != 0) {
        QString tip = camera::ConnectErrorText(found.openError, found.node);
        if (pipewireSeen_)
            tip += QLatin1Char('\n') + QCoreApplication::translate("output::WebcamSwitch",
                                                                   "Das Bild geht dennoch als PipeWire-Kamera „%1“ "
                                                                   "hinaus.")
                                           .arg(pipewireName);
        box_->setToolTip(tip);
    } else if (loopback && pipewireSeen_) {
        box_->setToolTip(QCoreApplication::translate("output::WebcamSwitch",
                                                     "Gibt das beruhigte Bild als PipeWire-Kamera „%1“ und als "
                                                     "virtuelle Webcam „%2“ (%3) aus, die Browser und "
                                                     "Videotelefonie-Programme auswählen können.")
                             .arg(pipewireName, cardLabel, node));
    } else if (pipewireSeen_) {
        box_->setToolTip(QCoreApplication::translate("output::WebcamSwitch",
                                                     "Gibt das beruhigte Bild als PipeWire-Kamera „%1“ aus, die Browser "
                                                     "und Videotelefonie-Programme auswählen können.\nFür Programme, "
                                                     "die Kameras nur als /dev/video-Gerät öffnen:\n%2")
                             .arg(pipewireName, NoLoopbackHint()));
    } else if (loopback) {
        box_->setToolTip(QCoreApplication::translate("output::WebcamSwitch",
                                                     "Gibt das beruhigte Bild als virtuelle Webcam „%1“ (%2) aus, die "
                                                     "Browser und Videotelefonie-Programme auswählen können.\nFür "
                                                     "Programme, die Kameras über PipeWire suchen (etwa Browser im "
                                                     "Flatpak oder Snap): %3")
                             .arg(cardLabel, node, NoPipeWireHint()));
    } else {
        box_->setToolTip(QCoreApplication::translate("output::WebcamSwitch", "%1\nOder: %2")
                             .arg(NoLoopbackHint(), NoPipeWireHint()));
    }
}

void WebcamSwitch::clicked()
{
    outputs_.clear();
    if (!box_->isChecked()) {
        refresh();
        return;
    }
    // Every way there is, each started on its own: a way that cannot start
    // stops them all, so that the user never believes a picture goes where
    // it does not.
    const camera::LoopbackNode found = camera::FindLoopbackNode(*v4l2_);
    const bool pipewire = pipewire_->reachable();
    // A loopback node the user may not open is left out while PipeWire
    // takes the picture (the tooltip says so); alone, it is tried, so that
    // its failure tells the user what to do.
    if (!found.node.empty() && (found.openError == 0 || !pipewire))
        outputs_.push_back(std::make_unique<VirtualCamera>(*v4l2_));
    if (pipewire)
        outputs_.push_back(std::make_unique<PipeWireCamera>(*pipewire_));
    if (outputs_.empty()) {
        box_->setChecked(false);
        refresh();
        tell_(box_->toolTip());
        return;
    }
    for (const auto& output : outputs_)
        if (!output->start()) {
            tell_(fail(*output));
            return;
        }
}

void WebcamSwitch::send(const BgrPicture& picture)
{
    hand(picture, false);
}

void WebcamSwitch::hold(const BgrPicture& placeholder)
{
    hand(placeholder, true);
}

void WebcamSwitch::hand(const BgrPicture& picture, bool placeholder)
{
    for (const auto& output : outputs_) {
        const auto result = placeholder ? output->hold(picture) : output->write(picture);
        if (result != WebcamOutput::Result::Stopped)
            continue;
        // Told once the frame step is over; the pictures keep coming meanwhile.
        QMetaObject::invokeMethod(
            box_, [tell = tell_, why = fail(*output)] { tell(why); }, Qt::QueuedConnection);
        return;
    }
}

bool WebcamSwitch::tellsReaders() const
{
    return !outputs_.empty() &&
           std::all_of(outputs_.begin(), outputs_.end(), [](const auto& output) { return output->tellsReaders(); });
}

bool WebcamSwitch::read() const
{
    return std::any_of(outputs_.begin(), outputs_.end(), [](const auto& output) { return output->read(); });
}

void WebcamSwitch::stop()
{
    outputs_.clear();
}

QString WebcamSwitch::fail(const WebcamOutput& failed)
{
    const QString why = failed.error();
    outputs_.clear();
    box_->setChecked(false);
    refresh();
    return why;
}

} // namespace output
