#include "output/WebcamSwitch.h"

#include "camera/v4l2/LoopbackNode.h"
#include "camera/v4l2/V4l2Driver.h"
#include "camera/v4l2/V4l2System.h"

#include <QCheckBox>

namespace output {

WebcamSwitch::WebcamSwitch(QCheckBox* box, Teller tell) : box_(box), tell_(std::move(tell))
{
    clicks_ = QObject::connect(box_, &QCheckBox::clicked, box_, [this] { clicked(); });
    setSystem(camera::LinuxV4l2System());
}

WebcamSwitch::~WebcamSwitch()
{
    QObject::disconnect(clicks_);
}

void WebcamSwitch::setSystem(camera::V4l2System& system)
{
    camera_.reset();
    system_ = &system;
    box_->setChecked(false);
    const camera::LoopbackNode found = camera::FindLoopbackNode(system);
    box_->setEnabled(!found.node.empty());
    if (found.node.empty())
        box_->setToolTip(NoLoopbackHint());
    else if (found.openError != 0)
        box_->setToolTip(camera::ConnectErrorText(found.openError, found.node));
    else
        box_->setToolTip(QStringLiteral("Gibt das beruhigte Bild als Kamera „%1“ (%2) aus, die Browser und "
                                        "Videotelefonie-Programme auswählen können.")
                             .arg(QString::fromUtf8(camera::LoopbackCardLabel), QString::fromStdString(found.node)));
}

void WebcamSwitch::clicked()
{
    if (!box_->isChecked()) {
        camera_.reset();
        return;
    }
    camera_ = std::make_unique<VirtualCamera>(*system_);
    if (!camera_->start())
        tell_(fail());
}

void WebcamSwitch::send(const BgrPicture& picture)
{
    if (!camera_ || camera_->write(picture) != VirtualCamera::Result::Stopped)
        return;
    // Told once the frame step is over; the pictures keep coming meanwhile.
    QMetaObject::invokeMethod(
        box_, [tell = tell_, why = fail()] { tell(why); }, Qt::QueuedConnection);
}

void WebcamSwitch::stop()
{
    camera_.reset();
}

QString WebcamSwitch::fail()
{
    const QString why = camera_->error();
    camera_.reset();
    box_->setChecked(false);
    return why;
}

} // namespace output
