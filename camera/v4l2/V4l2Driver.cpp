#include "camera/v4l2/V4l2Driver.h"

#include "camera/BgrFormat.h"
#include "camera/v4l2/CameraIdentity.h"
#include "camera/v4l2/DeviceGone.h"
#include "camera/v4l2/NodeCatalog.h"
#include "camera/v4l2/V4l2Text.h"

#include <QCoreApplication>

#include <fcntl.h>
#include <sys/mman.h>

#include <QMetaObject>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

namespace camera {

namespace {

// Failed frames in a row before the stream counts as broken: about a second
// at 30 frames/s, which rides out a USB hiccup or a burst of damaged JPEGs
// while the exposure settles, yet does not leave a dead camera on screen
// for long.
constexpr int failureRunLimit = 30;
// After the device refuses a frame, the worker waits this long before it
// asks again, so that a run of failures spans real time and not a tight loop.
constexpr int failurePauseMs = 10;
// A buffer the device does not take back at once (EAGAIN, EINTR) is offered
// this often, a millisecond apart, before the stream counts as broken.
constexpr int queueTries = 5;
// Restarts of a stream that broke under us, in a row without a good frame
// between them, before the preview ends.
constexpr int restartLimit = 2;

// The record that names one of the capture queue's mapped buffers.
v4l2_buffer mappedBuffer(std::uint32_t index)
{
    v4l2_buffer buffer{};
    buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    buffer.memory = V4L2_MEMORY_MMAP;
    buffer.index = index;
    return buffer;
}

QString streamErrorText(int error)
{
    if (DeviceGone(error))
        return QCoreApplication::translate("camera::V4l2Driver",
                                           "Die Kamera ist nicht mehr erreichbar. Die Vorschau wurde beendet.");
    return QCoreApplication::translate("camera::V4l2Driver",
                                       "Die Kamera meldet einen Fehler (%1). Die Vorschau wurde beendet.")
        .arg(DeviceErrorText(error));
}

QString noFormatText(const std::string& node)
{
    return QCoreApplication::translate(
               "camera::V4l2Driver", "Die Kamera %1 liefert kein Bildformat, das sich in 24-Bit-Farbe umwandeln lässt.")
        .arg(QString::fromStdString(node));
}

} // namespace

QString ConnectErrorText(int error, const std::string& node)
{
    const QString where = QString::fromStdString(node);
    switch (error) {
    case EACCES:
    case EPERM:
        return QCoreApplication::translate(
                   "camera::V4l2Driver",
                   "Kein Zugriff auf die Kamera %1. Meist fehlt dem Benutzer die Mitgliedschaft in der "
                   "Gruppe „video“: ein Administrator nimmt ihn mit „sudo usermod -aG video "
                   "BENUTZERNAME“ auf, danach einmal ab- und wieder anmelden.")
            .arg(where);
    case EBUSY:
        return QCoreApplication::translate(
                   "camera::V4l2Driver",
                   "Die Kamera %1 wird gerade von einem anderen Programm benutzt. Bitte das andere "
                   "Programm beenden und es noch einmal versuchen.")
            .arg(where);
    default:
        if (DeviceGone(error))
            return QCoreApplication::translate("camera::V4l2Driver", "Die Kamera %1 ist nicht mehr erreichbar.")
                .arg(where);
        return QCoreApplication::translate("camera::V4l2Driver", "Die Kamera %1 lässt sich nicht öffnen (%2).")
            .arg(where, DeviceErrorText(error));
    }
}

bool StreamsVideo(const v4l2_capability& cap)
{
    // A node of a device with several nodes speaks for itself in device_caps.
    const std::uint32_t caps = (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
    return (caps & V4L2_CAP_VIDEO_CAPTURE) && (caps & V4L2_CAP_STREAMING);
}

V4l2Driver::V4l2Driver(V4l2System& system, std::string node) : system_(system), node_(std::move(node)) {}

V4l2Driver::~V4l2Driver()
{
    stop();
}

std::unique_ptr<Driver> V4l2Driver::open(V4l2System& system, const std::string& node, QString& error, int* cause)
{
    auto driver = std::make_unique<V4l2Driver>(system, node);
    const bool connected = driver->connect(error);
    if (cause != nullptr)
        *cause = connected ? 0 : driver->connectErrno_;
    if (!connected)
        return nullptr;
    return driver;
}

QString V4l2Driver::connectError(int error)
{
    connectErrno_ = error;
    return ConnectErrorText(error, node_);
}

// Opens the node and makes it ready to stream: the format it had (or the
// one it had when this driver last saw it), else 640 x 480, in whatever
// pixel format serves BGR best.
bool V4l2Driver::connect(QString& error)
{
    OpenedNode opened = OpenNode(system_, node_);
    if (!opened.fd) {
        error = connectError(opened.openError != 0 ? opened.openError : opened.queryError);
        return false;
    }
    fd_ = std::move(opened.fd);
    const int fd = fd_.get();
    const v4l2_capability& cap = opened.cap;
    if (!StreamsVideo(cap)) {
        error = QCoreApplication::translate("camera::V4l2Driver", "Das Gerät %1 liefert keine Videobilder.")
                    .arg(QString::fromStdString(node_));
        lose();
        return false;
    }
    identity_ = CameraIdentity(cap, system_.nodeAttribute(node_, "serial"));

    converter_ = std::make_unique<FrameConverter>(system_, fd);
    if (!*converter_) {
        error = noFormatText(node_);
        lose();
        return false;
    }

    v4l2_format wanted{};
    if (source_.type == V4L2_BUF_TYPE_VIDEO_CAPTURE) {
        wanted = source_;
    } else {
        int width = 640, height = 480;
        v4l2_format current{};
        current.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        if (ioctl(VIDIOC_G_FMT, &current) == 0 && current.fmt.pix.width > 0 && current.fmt.pix.height > 0) {
            width = static_cast<int>(current.fmt.pix.width);
            height = static_cast<int>(current.fmt.pix.height);
        }
        if (!converter_->choose(width, height, wanted)) {
            error = noFormatText(node_);
            lose();
            return false;
        }
    }
    if (!setFormat(wanted, error)) {
        lose();
        return false;
    }
    setInterval({1, 30});
    if (!allocateBuffers(error)) {
        lose();
        return false;
    }
    return true;
}

bool V4l2Driver::setFormat(const v4l2_format& wanted, QString& error, QString* refusal)
{
    v4l2_format format = wanted;
    format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (ioctl(VIDIOC_S_FMT, &format) < 0) {
        error = connectError(errno);
        return false;
    }
    const v4l2_pix_format& pix = format.fmt.pix;
    if (!converter_->setSource(format, error)) {
        if (refusal != nullptr)
            *refusal = error;
        return false;
    }
    source_ = format;
    format_ = BgrFormatBlock(static_cast<int>(pix.width), static_cast<int>(pix.height));
    return true;
}

void V4l2Driver::setInterval(const FrameInterval& interval)
{
    if (interval.numerator == 0 || interval.denominator == 0)
        return;
    v4l2_streamparm parm{};
    parm.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (ioctl(VIDIOC_G_PARM, &parm) < 0 || !(parm.parm.capture.capability & V4L2_CAP_TIMEPERFRAME))
        return;
    parm.parm.capture.timeperframe.numerator = interval.numerator;
    parm.parm.capture.timeperframe.denominator = interval.denominator;
    ioctl(VIDIOC_S_PARM, &parm); // the device picks the nearest rate it has
}

bool V4l2Driver::allocateBuffers(QString& error)
{
    v4l2_requestbuffers request{};
    request.count = BufferCount;
    request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    request.memory = V4L2_MEMORY_MMAP;
    if (ioctl(VIDIOC_REQBUFS, &request) < 0) {
        error = connectError(errno);
        return false;
    }
    if (request.count < 2) {
        error = connectError(ENOMEM);
        releaseBuffers();
        return false;
    }
    for (std::uint32_t i = 0; i < request.count; ++i) {
        v4l2_buffer buffer = mappedBuffer(i);
        if (ioctl(VIDIOC_QUERYBUF, &buffer) < 0) {
            error = connectError(errno);
            releaseBuffers();
            return false;
        }
        void* address = system_.mmap(buffer.length, PROT_READ | PROT_WRITE, MAP_SHARED, fd_.get(), buffer.m.offset);
        if (address == MAP_FAILED) {
            error = connectError(errno);
            releaseBuffers();
            return false;
        }
        buffers_.emplace_back(system_, address, buffer.length);
    }
    return true;
}

void V4l2Driver::releaseBuffers()
{
    const bool had = !buffers_.empty();
    buffers_.clear();
    if (had && fd_) {
        v4l2_requestbuffers request{};
        request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        request.memory = V4L2_MEMORY_MMAP;
        ioctl(VIDIOC_REQBUFS, &request);
    }
}

// Gives back everything the device lent: after a failure it may be gone.
void V4l2Driver::lose()
{
    buffers_.clear();
    converter_.reset();
    controls_.dropSubscription();
    fd_.reset();
    streamOn_ = false;
}

bool V4l2Driver::queueBuffer(v4l2_buffer& buffer)
{
    for (int tries = 1;; ++tries) {
        if (ioctl(VIDIOC_QBUF, &buffer) == 0)
            return true;
        const int error = errno;
        if ((error != EAGAIN && error != EINTR) || tries == queueTries)
            return false;
        if (error == EAGAIN)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        errno = error;
    }
}

bool V4l2Driver::startStream()
{
    for (std::uint32_t i = 0; i < buffers_.size(); ++i) {
        v4l2_buffer buffer = mappedBuffer(i);
        if (!queueBuffer(buffer)) {
            const int error = errno;
            stopStream();
            errno = error;
            return false;
        }
    }
    int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    streamOn_ = true;
    if (ioctl(VIDIOC_STREAMON, &type) < 0) {
        const int error = errno;
        stopStream();
        errno = error;
        return false;
    }
    return true;
}

// Worker side: starts a stream that broke under us anew. STREAMOFF takes
// back every buffer and ends a vb2 queue's error state, in which it answers
// EIO to everything. Each buffer is mapped again: v4l2loopback honours only
// buffers mapped since anyone last asked it for buffers, which another
// reader of the node does as it starts and as it lets go, and answers
// EINVAL for the others. Asking for buffers ourselves would do the same to
// the other readers.
bool V4l2Driver::restartStream()
{
    stopStream();
    std::vector<Mapping> remapped;
    remapped.reserve(buffers_.size());
    for (std::uint32_t i = 0; i < buffers_.size(); ++i) {
        v4l2_buffer buffer = mappedBuffer(i);
        if (ioctl(VIDIOC_QUERYBUF, &buffer) < 0)
            return false;
        void* address = system_.mmap(buffer.length, PROT_READ | PROT_WRITE, MAP_SHARED, fd_.get(), buffer.m.offset);
        if (address == MAP_FAILED)
            return false;
        remapped.emplace_back(system_, address, buffer.length);
    }
    buffers_.swap(remapped); // the old mappings go with `remapped`
    return startStream();
}

void V4l2Driver::stopStream()
{
    // Stopping also takes back every queued buffer.
    int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (fd_)
        ioctl(VIDIOC_STREAMOFF, &type);
    streamOn_ = false;
}

bool V4l2Driver::start(FrameSink* sink)
{
    if (streaming())
        return true;
    if (!fd_) {
        // The camera was lost; it may be back.
        QString error;
        if (!connect(error))
            return false;
    }
    sink_ = sink;
    exchange_.clear();
    if (!startStream()) {
        sink_ = nullptr;
        return false;
    }
    wake_ = std::make_unique<WakeFd>();
    if (!*wake_) {
        stopStream();
        sink_ = nullptr;
        return false;
    }
    failureSent_ = false;
    worker_ = std::thread(&V4l2Driver::run, this, ++session_);
    return true;
}

void V4l2Driver::stop()
{
    if (worker_.joinable()) {
        wake_->wake();
        worker_.join();
    }
    wake_.reset();
    if (streamOn_)
        stopStream();
    sink_ = nullptr;
    exchange_.clear();
}

bool V4l2Driver::takeFrame(Frame& frame)
{
    return exchange_.take(frame);
}

std::chrono::milliseconds V4l2Driver::streamingGrabTimeout() const
{
    v4l2_streamparm parm{};
    parm.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (ioctl(VIDIOC_G_PARM, &parm) < 0 || !(parm.parm.capture.capability & V4L2_CAP_TIMEPERFRAME))
        return FirstFrameWait;
    const v4l2_fract& t = parm.parm.capture.timeperframe;
    return NextFrameWait({t.numerator, t.denominator});
}

bool V4l2Driver::grab(Frame& frame)
{
    if (streaming())
        return exchange_.takeNext(frame, streamingGrabTimeout());
    if (!start(nullptr))
        return false;
    const bool ok = exchange_.takeNext(frame, FirstFrameWait);
    stop();
    return ok;
}

// The worker: waits for filled buffers, converts each into the next frame
// and gives the buffer back to the device, until woken to stop or the
// device fails.
void V4l2Driver::run(unsigned session)
{
    const auto began = std::chrono::steady_clock::now();
    Frame work;
    int failures = 0;
    int restarts = 0;
    int pauseMs = 0;
    // One more failed frame; true when the run is long enough to give up.
    auto failedFrame = [&] { return ++failures >= failureRunLimit; };
    // The stream broke under us with this error: a queue in error answers
    // EIO, one that is not streaming (or does not know our buffers) EINVAL.
    // Started anew it may go on. False when it cannot or did not, with
    // the failure told.
    auto restarted = [&](int error) {
        if (restarts < restartLimit && !DeviceGone(error)) {
            ++restarts;
            if (restartStream())
                return true;
            if (DeviceGone(errno))
                error = errno;
        }
        failed(session, streamErrorText(error));
        return false;
    };
    for (;;) {
        pollfd fds[2] = {{fd_.get(), POLLIN, 0}, {wake_->get(), POLLIN, 0}};
        const int ready = system_.poll(fds + (pauseMs > 0 ? 1 : 0), pauseMs > 0 ? 1 : 2, pauseMs > 0 ? pauseMs : 1000);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            failed(session, streamErrorText(errno));
            return;
        }
        if (fds[1].revents != 0)
            return;
        if (pauseMs > 0) {
            pauseMs = 0;
            continue;
        }
        if (ready == 0)
            continue;

        v4l2_buffer buffer = mappedBuffer(0); // the device says which one it fills
        if (ioctl(VIDIOC_DQBUF, &buffer) < 0) {
            const int error = errno;
            if ((error == EAGAIN || error == EINTR) && !(fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)))
                continue;
            if (error == EINVAL || error == EIO) {
                if (!restarted(error))
                    return;
                continue;
            }
            // A camera that is gone does not come back by asking again.
            if (DeviceGone(error) || failedFrame()) {
                failed(session, streamErrorText(error == EAGAIN ? EIO : error));
                return;
            }
            pauseMs = failurePauseMs;
            continue;
        }
        // An empty buffer, one the device marks as damaged, or one that does
        // not hold a whole frame of the format is dropped.
        bool good = false;
        if (buffer.index < buffers_.size() && !(buffer.flags & V4L2_BUF_FLAG_ERROR) && buffer.bytesused > 0 &&
            buffer.bytesused <= buffers_[buffer.index].size())
            good = converter_->convert(buffers_[buffer.index].data(), buffer.bytesused, work.bytes);
        if (!queueBuffer(buffer)) {
            const int error = errno;
            if (error != EINVAL && error != EIO) {
                failed(session, streamErrorText(error));
                return;
            }
            if (!restarted(error))
                return;
        }
        if (!good) {
            if (failedFrame()) {
                failed(session, QCoreApplication::translate(
                                    "camera::V4l2Driver",
                                    "Die Kamera liefert keine lesbaren Bilder. Die Vorschau wurde beendet."));
                return;
            }
            continue;
        }
        failures = 0;
        restarts = 0;
        work.timeMs = static_cast<std::uint32_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - began).count());
        if (exchange_.publish(work))
            QMetaObject::invokeMethod(
                &gui_,
                [this] {
                    if (sink_ != nullptr)
                        sink_->frameReady();
                },
                Qt::QueuedConnection);
    }
}

// Worker side of a failure: the GUI thread ends the stream, gives back the
// device and tells the sink, once.
void V4l2Driver::failed(unsigned session, const QString& message)
{
    if (failureSent_.exchange(true))
        return;
    QMetaObject::invokeMethod(
        &gui_,
        [this, session, message] {
            if (session != session_)
                return; // a stream since restarted
            FrameSink* sink = sink_;
            stop();
            lose();
            if (sink != nullptr)
                sink->streamFailed(message);
        },
        Qt::QueuedConnection);
}

} // namespace camera
