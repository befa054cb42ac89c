#include "camera/pipewire/PipeWireDriver.h"

#include "camera/BgrFormat.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <algorithm>
#include <cmath>
#include <limits>
#include <thread>

namespace camera {

namespace {

// Damaged frames in a row before the stream counts as broken: about a
// second at 30 frames/s.
constexpr int damagedRunLimit = 30;
constexpr std::chrono::milliseconds agreementPoll{5};

// The size most cameras start in, and the V4L2 driver's too.
constexpr int startWidth = 640, startHeight = 480;
constexpr double startRate = 30.0;

bool sameFrames(const FormatSetting& a, const FormatSetting& b)
{
    return a.fourcc == b.fourcc && a.width == b.width && a.height == b.height;
}

bool compressed(std::uint32_t fourcc)
{
    return fourcc == FourCC('M', 'J', 'P', 'G') || fourcc == FourCC('J', 'P', 'E', 'G');
}

// The format a camera starts in: the listed size nearest 640 x 480, an
// uncompressed format before MJPEG at the same size (no compression
// artefacts for the averaging to keep), the rate nearest 30 frames/s.
// Fourcc 0 when nothing listed can be converted.
FormatSetting defaultFormat(const std::vector<PixelFormatChoice>& listed)
{
    FormatSetting best;
    auto rank = [](const FormatSetting& f) {
        const long long area = static_cast<long long>(f.width) * f.height;
        return std::make_pair(std::llabs(area - static_cast<long long>(startWidth) * startHeight),
                              compressed(f.fourcc) ? 1 : 0);
    };
    for (const PixelFormatChoice& choice : listed) {
        if (!PipeWireFrameConverter::Convertible(choice.fourcc))
            continue;
        for (const FrameSizeChoice& size : choice.sizes) {
            FormatSetting candidate{choice.fourcc, size.width, size.height, {}};
            if (size.width <= 0 || size.height <= 0 || (best.fourcc != 0 && rank(candidate) >= rank(best)))
                continue;
            double nearest = std::numeric_limits<double>::max();
            for (const FrameInterval& interval : size.intervals) {
                if (interval.numerator == 0 || interval.denominator == 0)
                    continue;
                const double off = std::abs(static_cast<double>(interval.denominator) / interval.numerator - startRate);
                if (off < nearest) {
                    nearest = off;
                    candidate.interval = interval;
                }
            }
            best = candidate;
        }
    }
    return best;
}

QString cameraName(const PipeWireNode& node)
{
    return QString::fromStdString(node.description.empty() ? node.name : node.description);
}

} // namespace

PipeWireDriver::PipeWireDriver(PipeWireCameras& cameras, PipeWireNode node) : cameras_(cameras), node_(std::move(node))
{
    watch_.setSingleShot(true);
    watch_.setInterval(static_cast<int>(StallWait.count()));
    QObject::connect(&watch_, &QTimer::timeout, &gui_, [this] { stalled(); });
}

PipeWireDriver::~PipeWireDriver()
{
    // No frame may reach the driver while it goes.
    lose();
}

std::unique_ptr<Driver> PipeWireDriver::open(PipeWireCameras& cameras, const PipeWireNode& node, QString& error)
{
    auto driver = std::make_unique<PipeWireDriver>(cameras, node);
    if (!driver->connect({}, error))
        return nullptr;
    return driver;
}

// Opens a stream from the node in `wanted`, or (fourcc 0) in the format
// the node lists that serves best.
bool PipeWireDriver::connect(const FormatSetting& wanted, QString& error)
{
    const QString name = cameraName(node_);
    if (!cameras_.available()) {
        error = QCoreApplication::translate(
                    "camera::PipeWireDriver",
                    "Die Kamera %1 lässt sich nicht öffnen: PipeWire ist nicht erreichbar. Bitte prüfen, "
                    "ob PipeWire läuft, und es noch einmal versuchen.")
                    .arg(name);
        return false;
    }
    FormatSetting choice = wanted;
    if (choice.fourcc == 0) {
        const std::vector<PixelFormatChoice> listed = cameras_.formats(node_);
        if (listed.empty()) {
            error = QCoreApplication::translate(
                        "camera::PipeWireDriver",
                        "Die Kamera %1 meldet keine Bildformate. Bitte prüfen, ob sie noch angeschlossen "
                        "ist, und es noch einmal versuchen.")
                        .arg(name);
            return false;
        }
        choice = defaultFormat(listed);
        if (choice.fourcc == 0) {
            error = QCoreApplication::translate(
                        "camera::PipeWireDriver",
                        "Die Kamera %1 liefert kein Bildformat, das sich in 24-Bit-Farbe umwandeln lässt.")
                        .arg(name);
            return false;
        }
    }
    QString reason;
    if (!adopt(choice, reason)) {
        error = reason;
        return false;
    }
    ++serial_;
    endSent_ = false;
    formatNoticeSent_ = false;
    stream_ = cameras_.open(node_, choice, receiver_, error);
    if (!stream_)
        return false;
    // The node agrees shortly after the stream connects; until it does, the
    // format asked for stands. One it agrees on instead is taken up.
    const FormatSetting agreed = awaitAgreement({});
    if (agreed.fourcc != 0 && !(agreed == current_) && !adopt(agreed, reason)) {
        error = QCoreApplication::translate("camera::PipeWireDriver",
                                            "Die Kamera %1 liefert das Bildformat %2, das sich nicht umwandeln lässt.")
                    .arg(name, FormatText(agreed));
        lose();
        return false;
    }
    return true;
}

FormatSetting PipeWireDriver::awaitAgreement(const FormatSetting& wanted)
{
    const auto until = std::chrono::steady_clock::now() + AgreementWait;
    for (;;) {
        const FormatSetting agreed = stream_->format();
        if (agreed.fourcc != 0 && (wanted.fourcc == 0 || sameFrames(agreed, wanted)))
            return agreed;
        if (stream_->state() == PipeWireState::Failed || std::chrono::steady_clock::now() >= until)
            return {};
        std::this_thread::sleep_for(agreementPoll);
    }
}

bool PipeWireDriver::adopt(const FormatSetting& format, QString& reason)
{
    std::lock_guard lock(convertMutex_);
    if (!converter_.setFormat(format, reason))
        return false;
    current_ = format;
    format_ = BgrFormatBlock(format.width, format.height);
    damagedRun_ = 0;
    exchange_.clear(); // a frame of the old format no longer fits
    return true;
}

void PipeWireDriver::followFormat(unsigned serial)
{
    if (serial != serial_ || !stream_)
        return; // an older stream's
    // Frames of another format than the one the node names now are left
    // over from a renegotiation, or garbage: they go on being dropped.
    const FormatSetting agreed = stream_->format();
    if (agreed.fourcc == 0 || sameFrames(agreed, current_))
        return;
    QString reason;
    if (adopt(agreed, reason))
        return;
    fail(QCoreApplication::translate(
             "camera::PipeWireDriver",
             "Die Kamera hat auf das Bildformat %1 umgestellt, das sich nicht umwandeln lässt. Die "
             "Vorschau wurde beendet.")
             .arg(FormatText(agreed)));
}

void PipeWireDriver::watchForFrames()
{
    arrivedAtChange_ = arrived_;
    rebuilt_ = false;
    watch_.start();
}

// No frame since the change: the link is built anew once (what a publisher
// that fell silent needs to send again), then the preview ends.
void PipeWireDriver::stalled()
{
    if (!stream_ || stream_->state() == PipeWireState::Failed || arrived_ != arrivedAtChange_)
        return;
    if (!rebuilt_ && stream_->setFormat(current_)) {
        rebuilt_ = true;
        ++stallRebuilds_;
        watch_.start();
        return;
    }
    fail(QCoreApplication::translate("camera::PipeWireDriver",
                                     "Die Kamera %1 liefert seit dem Wechsel des Bildformats keine Bilder mehr, "
                                     "auch nicht nach einem neuen Verbindungsaufbau. Die Vorschau wurde beendet. "
                                     "Bitte die Kamera neu wählen oder das Programm neu starten, das sie anbietet.")
             .arg(cameraName(node_)));
}

void PipeWireDriver::fail(const QString& message)
{
    FrameSink* sink = running_ ? sink_ : nullptr;
    stop();
    lose();
    if (sink != nullptr)
        sink->streamFailed(message);
}

void PipeWireDriver::lose()
{
    watch_.stop();
    {
        std::lock_guard lock(convertMutex_);
        accepting_ = false;
    }
    // Not under the lock: the stream's end waits for a frame the loop
    // thread may be handing over.
    stream_.reset();
}

bool PipeWireDriver::start(FrameSink* sink)
{
    if (running_)
        return true;
    if (!stream_ || stream_->state() == PipeWireState::Failed) {
        // The stream ended; the camera may be back.
        lose();
        QString error;
        if (!connect(current_, error))
            return false;
    }
    sink_ = sink;
    exchange_.clear();
    {
        std::lock_guard lock(convertMutex_);
        accepting_ = true;
        began_ = std::chrono::steady_clock::now();
        damagedRun_ = 0;
    }
    running_ = true;
    return true;
}

void PipeWireDriver::stop()
{
    {
        std::lock_guard lock(convertMutex_);
        accepting_ = false;
    }
    running_ = false;
    sink_ = nullptr;
    exchange_.clear();
}

bool PipeWireDriver::takeFrame(Frame& frame)
{
    return exchange_.take(frame);
}

bool PipeWireDriver::grab(Frame& frame)
{
    if (streaming())
        return exchange_.takeNext(frame, NextFrameWait(current_.interval));
    if (!start(nullptr))
        return false;
    const bool ok = exchange_.takeNext(frame, FirstFrameWait);
    stop();
    return ok;
}

// Loop thread: converts the lent buffer straight into the next frame.
void PipeWireDriver::received(const PipeWireFrame& frame)
{
    std::lock_guard lock(convertMutex_);
    if (!converter_.fits(frame.format)) {
        ++dropped_;
        if (!formatNoticeSent_.exchange(true)) {
            const unsigned serial = serial_;
            QMetaObject::invokeMethod(
                &gui_,
                [this, serial] {
                    formatNoticeSent_ = false;
                    followFormat(serial);
                },
                Qt::QueuedConnection);
        }
        return;
    }
    ++arrived_;
    if (!accepting_)
        return;
    if (converter_.convert(frame, work_.bytes) != PipeWireFrameConverter::Result::Converted) {
        ++dropped_;
        if (++damagedRun_ == damagedRunLimit)
            failed(QCoreApplication::translate(
                "camera::PipeWireDriver", "Die Kamera liefert keine lesbaren Bilder. Die Vorschau wurde beendet."));
        return;
    }
    damagedRun_ = 0;
    work_.timeMs = static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - began_).count());
    if (exchange_.publish(work_))
        QMetaObject::invokeMethod(
            &gui_,
            [this] {
                if (sink_ != nullptr)
                    sink_->frameReady();
            },
            Qt::QueuedConnection);
}

void PipeWireDriver::ended()
{
    failed(QString());
}

// Loop thread side of an end: the GUI thread gives up the stream and tells
// the sink, once. An empty message stands for the stream's own failure().
void PipeWireDriver::failed(const QString& message)
{
    if (endSent_.exchange(true))
        return;
    const unsigned serial = serial_;
    QMetaObject::invokeMethod(
        &gui_,
        [this, serial, message] {
            if (serial != serial_ || !stream_)
                return; // a stream since given up
            QString text = message.isEmpty() ? stream_->failure() : message;
            if (text.isEmpty())
                text = QCoreApplication::translate("camera::PipeWireDriver",
                                                   "Die Kamera ist nicht mehr erreichbar. Die Vorschau wurde beendet.");
            fail(text);
        },
        Qt::QueuedConnection);
}

} // namespace camera
