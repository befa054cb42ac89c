#include "output/VirtualCamera.h"

#include "camera/v4l2/DeviceGone.h"
#include "camera/v4l2/NodeCatalog.h"
#include "camera/v4l2/V4l2Driver.h"
#include "camera/v4l2/V4l2System.h"
#include "camera/v4l2/V4l2Text.h"

#include <QCoreApplication>

#include <linux/videodev2.h>
#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace output {

namespace {

// Until the arrival rate is known the readers are told this one.
constexpr int StartRate = 30;
// While another program keeps the node at an older size, this often the
// node is asked again whether it can take the new one.
constexpr auto RetryEvery = std::chrono::seconds(2);
// The largest format a node may answer with: no picture of ours is larger
// (the camera side converts at most this), and it keeps every size and
// product of sizes far inside int.
constexpr std::uint32_t MaxSide = 16384;
// Rows may be padded, but by less than a page.
constexpr std::uint32_t MaxRowPadding = 4096;

QString nodeText(const std::string& node)
{
    return QString::fromStdString(node);
}

QString vanishedText(const std::string& node)
{
    return QCoreApplication::translate(
               "output::VirtualCamera",
               "Die virtuelle Webcam %1 ist verschwunden. Die Ausgabe als Webcam wurde ausgeschaltet.")
        .arg(nodeText(node));
}

QString refusedText(const std::string& node, int error)
{
    return QCoreApplication::translate(
               "output::VirtualCamera",
               "Die virtuelle Webcam %1 nimmt keine Bilder an (%2). Die Ausgabe als Webcam wurde "
               "ausgeschaltet.")
        .arg(nodeText(node), camera::DeviceErrorText(error));
}

} // namespace

QString NoLoopbackHint()
{
    return QCoreApplication::translate(
        "output::VirtualCamera", "Für die Ausgabe als Webcam fehlt das Kernelmodul v4l2loopback. Einrichten mit:\n"
                                 "sudo apt install v4l2loopback-dkms\n"
                                 "sudo modprobe v4l2loopback exclusive_caps=1 max_buffers=4 card_label=Stillwise");
}

VirtualCamera::VirtualCamera(camera::V4l2System& system) : system_(system) {}

VirtualCamera::~VirtualCamera()
{
    stop();
}

bool VirtualCamera::start()
{
    stop();
    error_.clear();
    const camera::LoopbackNode found = camera::FindLoopbackNode(system_);
    if (found.node.empty()) {
        error_ = NoLoopbackHint();
        return false;
    }
    node_ = found.node;
    if (!open())
        return false;
    camera::SetOwnOutputNode(node_);
    return true;
}

void VirtualCamera::stop()
{
    if (!node_.empty() && camera::OwnOutputNode() == node_)
        camera::SetOwnOutputNode({});
    buffers_.clear();
    fd_.reset();
    tellsReaders_ = false;
    readers_ = 0;
    wantWidth_ = wantHeight_ = 0;
    nodeWidth_ = nodeHeight_ = stride_ = 0;
    rate_ = 0;
    frame_.clear();
    frame_.shrink_to_fit();
    meter_ = FrameRateMeter{};
}

bool VirtualCamera::open()
{
    // v4l2loopback decides which directions a node offers when it is asked
    // for its capabilities, and refuses an output format until then: the
    // node catalogue's open asks at once.
    camera::OpenedNode opened = camera::OpenNode(system_, node_);
    if (opened.openError != 0) {
        // The same words and the same advice as for a camera.
        fail(camera::ConnectErrorText(opened.openError, node_));
        return false;
    }
    if (!opened.fd) {
        fail(camera::DeviceGone(opened.queryError) ? vanishedText(node_) : refusedText(node_, opened.queryError));
        return false;
    }
    fd_ = std::move(opened.fd);
    subscribeToReaders();
    return true;
}

void VirtualCamera::subscribeToReaders()
{
    v4l2_event_subscription subscription{};
    subscription.type = ClientUsageEvent;
    tellsReaders_ = system_.ioctl(fd_.get(), VIDIOC_SUBSCRIBE_EVENT, &subscription) == 0;
    readers_ = 0;
}

bool VirtualCamera::read()
{
    if (!fd_ || !tellsReaders_)
        return false;
    // Every event that waits, without waiting for one: the last count holds.
    for (;;) {
        pollfd waiting{fd_.get(), POLLPRI, 0};
        if (system_.poll(&waiting, 1, 0) <= 0 || (waiting.revents & POLLPRI) == 0)
            break;
        v4l2_event event{};
        if (system_.ioctl(fd_.get(), VIDIOC_DQEVENT, &event) != 0)
            break;
        if (event.type == ClientUsageEvent)
            std::memcpy(&readers_, event.u.data, sizeof(readers_));
    }
    return readers_ > 0;
}

void VirtualCamera::fail(QString text)
{
    stop();
    error_ = std::move(text);
}

bool VirtualCamera::configure(int width, int height)
{
    // The module keeps a node's format while anyone has it open, so a new
    // size needs a fresh descriptor; the first format does not.
    if (wantWidth_ != 0) {
        buffers_.clear();
        fd_.reset();
        if (!open())
            return false;
    }
    wantWidth_ = width;
    wantHeight_ = height;
    rate_ = 0;

    v4l2_format format{};
    format.type = V4L2_BUF_TYPE_VIDEO_OUTPUT;
    v4l2_pix_format& pix = format.fmt.pix;
    pix.width = static_cast<std::uint32_t>(width);
    pix.height = static_cast<std::uint32_t>(height);
    pix.pixelformat = V4L2_PIX_FMT_YUYV;
    pix.field = V4L2_FIELD_NONE;
    pix.bytesperline = pix.width * 2;
    pix.sizeimage = pix.bytesperline * pix.height;
    // Said outright, so that readers do not have to guess.
    pix.colorspace = V4L2_COLORSPACE_SMPTE170M;
    pix.ycbcr_enc = V4L2_YCBCR_ENC_601;
    pix.quantization = V4L2_QUANTIZATION_LIM_RANGE;
    pix.xfer_func = V4L2_XFER_FUNC_709;
    if (system_.ioctl(fd_.get(), VIDIOC_S_FMT, &format) < 0) {
        const int error = errno;
        if (error == EINVAL || error == EBUSY)
            // The module offers a node for output only while no other
            // program writes into it, and not after a writer that never
            // started streaming has left.
            fail(QCoreApplication::translate(
                     "output::VirtualCamera",
                     "Die virtuelle Webcam %1 nimmt gerade keine Bilder an, weil ein anderes Programm "
                     "hineinschreibt oder zuletzt hineingeschrieben hat. Bitte das andere Programm "
                     "beenden; hilft das nicht, das Modul neu laden (sudo modprobe -r v4l2loopback, dann "
                     "sudo modprobe v4l2loopback exclusive_caps=1 max_buffers=4 card_label=Stillwise).")
                     .arg(nodeText(node_)));
        else
            fail(camera::DeviceGone(error) ? vanishedText(node_) : refusedText(node_, error));
        return false;
    }
    // A node that another program still reads keeps its size; the picture
    // is then centred in it until that program lets go.
    if (pix.pixelformat != V4L2_PIX_FMT_YUYV || pix.width < 2 || pix.height < 1) {
        fail(QCoreApplication::translate(
                 "output::VirtualCamera",
                 "Die virtuelle Webcam %1 nimmt das Bildformat YUYV nicht an. Die Ausgabe als Webcam "
                 "wurde ausgeschaltet.")
                 .arg(nodeText(node_)));
        return false;
    }
    // What the node answers sizes the memory we fill and hand it: an answer
    // no node could mean (a row of 2 GB, a width past int) is refused rather
    // than believed. A size other than the one asked for is no fault: a
    // reader may hold the node at an older one.
    const std::uint32_t row = (pix.width & ~1u) * 2;
    if (pix.width > MaxSide || pix.height > MaxSide ||
        (pix.bytesperline != 0 && (pix.bytesperline < row || pix.bytesperline > row + MaxRowPadding))) {
        fail(QCoreApplication::translate(
                 "output::VirtualCamera",
                 "Die virtuelle Webcam %1 meldet ein unbrauchbares Bildformat (%2 × %3 Bildpunkte, %4 "
                 "Bytes je Zeile). Die Ausgabe als Webcam wurde ausgeschaltet.")
                 .arg(nodeText(node_))
                 .arg(pix.width)
                 .arg(pix.height)
                 .arg(pix.bytesperline));
        return false;
    }
    nodeWidth_ = static_cast<int>(pix.width & ~1u);
    nodeHeight_ = static_cast<int>(pix.height);
    stride_ = static_cast<int>(std::max(pix.bytesperline, row));
    const std::size_t frameBytes = static_cast<std::size_t>(stride_) * static_cast<std::size_t>(nodeHeight_);
    frame_.clear();
    if (buffers_.map(system_, fd_.get(), frameBytes))
        frame_.shrink_to_fit();
    else
        frame_.resize(frameBytes);
    // Streaming on marks this descriptor as the node's writer: without it
    // the module does not offer the node for output again once we close it.
    int type = V4L2_BUF_TYPE_VIDEO_OUTPUT;
    if (system_.ioctl(fd_.get(), VIDIOC_STREAMON, &type) < 0) {
        const int error = errno;
        fail(camera::DeviceGone(error) ? vanishedText(node_) : refusedText(node_, error));
        return false;
    }
    // Black where the picture does not reach; the picture itself always
    // lands on the same bytes, so this lasts until the next size.
    static constexpr std::uint8_t black[4] = {16, 128, 16, 128};
    auto paintBlack = [](std::uint8_t* frame, std::size_t bytes) {
        for (std::size_t i = 0; i < bytes; ++i)
            frame[i] = black[i % 4];
    };
    for (std::size_t i = 0; i < buffers_.count(); ++i)
        paintBlack(buffers_.data(i), frameBytes);
    paintBlack(frame_.data(), frame_.size());
    return true;
}

void VirtualCamera::applyRate(int framesPerSecond)
{
    v4l2_streamparm parm{};
    parm.type = V4L2_BUF_TYPE_VIDEO_OUTPUT;
    parm.parm.output.timeperframe = {1, static_cast<std::uint32_t>(framesPerSecond)};
    // A node that ignores the rate still takes the pictures.
    system_.ioctl(fd_.get(), VIDIOC_S_PARM, &parm);
    rate_ = framesPerSecond;
}

void VirtualCamera::fillFrame(const BgrPicture& picture, int width, int height, std::uint8_t* frame)
{
    const int w = std::min(width, nodeWidth_), h = std::min(height, nodeHeight_);
    const int pictureX = ((width - w) / 2) & ~1, pictureY = (height - h) / 2;
    const int nodeX = ((nodeWidth_ - w) / 2) & ~1, nodeY = (nodeHeight_ - h) / 2;
    converter_.convert(picture.bits + static_cast<std::ptrdiff_t>(pictureX) * 3, picture.rowbytes,
                       picture.height - pictureY, w, h,
                       frame + static_cast<std::ptrdiff_t>(nodeY) * stride_ + nodeX * 2, stride_);
}

VirtualCamera::Result VirtualCamera::writeAt(const BgrPicture& picture, Clock::time_point when)
{
    if (!fd_)
        return Result::Stopped;
    meter_.tick(when);
    return deliver(picture, when);
}

VirtualCamera::Result VirtualCamera::hold(const BgrPicture& placeholder)
{
    if (!fd_)
        return Result::Stopped;
    return deliver(placeholder, Clock::now());
}

VirtualCamera::Result VirtualCamera::deliver(const BgrPicture& picture, Clock::time_point when)
{
    const int width = picture.width & ~1, height = picture.height;
    if (picture.bits == nullptr || width <= 0 || height <= 0 || picture.rowbytes < picture.width * 3) {
        ++dropped_;
        return Result::Dropped;
    }
    const bool resized = width != wantWidth_ || height != wantHeight_;
    const bool held = nodeWidth_ != wantWidth_ || nodeHeight_ != wantHeight_;
    if (resized || (held && when - lastRetry_ >= RetryEvery)) {
        lastRetry_ = when;
        if (!configure(width, height))
            return Result::Stopped;
    }
    const int measured = meter_.framesPerSecond();
    const int rate = measured > 0 ? measured : StartRate;
    if (rate_ == 0 || std::abs(rate - rate_) > std::max(1, rate_ / 10))
        applyRate(rate);
    return handOver(picture, width, height);
}

VirtualCamera::Result VirtualCamera::handOver(const BgrPicture& picture, int width, int height)
{
    if (buffers_.empty()) {
        fillFrame(picture, width, height, frame_.data());
        if (system_.write(fd_.get(), frame_.data(), frame_.size()) < 0)
            return refused(errno);
    } else {
        const int index = buffers_.acquire();
        if (index < 0)
            return refused(errno);
        fillFrame(picture, width, height, buffers_.data(static_cast<std::size_t>(index)));
        if (buffers_.queue(index) < 0)
            return refused(errno);
    }
    ++written_;
    return Result::Written;
}

VirtualCamera::Result VirtualCamera::refused(int error)
{
    if (error == EAGAIN || error == EWOULDBLOCK || error == EINTR) {
        ++dropped_;
        return Result::Dropped;
    }
    fail(camera::DeviceGone(error) ? vanishedText(node_) : refusedText(node_, error));
    return Result::Stopped;
}

} // namespace output
