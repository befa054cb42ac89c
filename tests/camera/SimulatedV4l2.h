#pragma once
// A simulated V4L2 machine behind the system seam: cameras with formats,
// controls, mmap streaming and faults, and counts of every descriptor and
// mapping handed out, so tests can see that all of them come back.
// Header-only, so the benchmark can use it as well.

#include "camera/v4l2/V4l2System.h"

#include <QBuffer>
#include <QImage>

#include <linux/videodev2.h>
#include <sys/mman.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <tuple>

namespace simv4l2 {

// The picture every simulated camera shows: four quadrants, top left red,
// top right green, bottom left blue, bottom right white.
inline void QuadrantColour(int x, int y, int width, int height, int& r, int& g, int& b)
{
    const bool right = x >= width / 2, bottom = y >= height / 2;
    r = (!right && !bottom) || (right && bottom) ? 255 : 0;
    g = (right && !bottom) || (right && bottom) ? 255 : 0;
    b = (!right && bottom) || (right && bottom) ? 255 : 0;
}

// How a simulated camera encodes YCbCr: the matrix's red and blue luma
// weights and whether the codes span 0..255 or 16..235 (16..240 chroma).
struct YcbcrCoding {
    double kr = 0.299, kb = 0.114;
    bool fullRange = false;
};

inline YcbcrCoding Bt601(bool full)
{
    return {0.299, 0.114, full};
}

inline YcbcrCoding Bt709(bool full)
{
    return {0.2126, 0.0722, full};
}

// R'G'B' in 0..255 to Y'CbCr codes, rounded.
inline void ToYcbcr(const YcbcrCoding& c, int r, int g, int b, int& y, int& u, int& v)
{
    const double kg = 1.0 - c.kr - c.kb;
    const double luma = (c.kr * r + kg * g + c.kb * b) / 255.0;
    const double pb = (b / 255.0 - luma) / (2.0 * (1.0 - c.kb));
    const double pr = (r / 255.0 - luma) / (2.0 * (1.0 - c.kr));
    const double ys = c.fullRange ? 255.0 : 219.0, cs = c.fullRange ? 255.0 : 224.0, y0 = c.fullRange ? 0.0 : 16.0;
    y = std::clamp(static_cast<int>(std::lround(y0 + ys * luma)), 0, 255);
    u = std::clamp(static_cast<int>(std::lround(128.0 + cs * pb)), 0, 255);
    v = std::clamp(static_cast<int>(std::lround(128.0 + cs * pr)), 0, 255);
}

// Y'CbCr codes back to R'G'B' 0..255, exactly (a reference for tests).
inline void FromYcbcr(const YcbcrCoding& c, int y, int u, int v, int& r, int& g, int& b)
{
    const double luma = c.fullRange ? y / 255.0 : (y - 16) / 219.0;
    const double pb = (u - 128) / (c.fullRange ? 255.0 : 224.0);
    const double pr = (v - 128) / (c.fullRange ? 255.0 : 224.0);
    const double rr = luma + 2.0 * (1.0 - c.kr) * pr;
    const double bb = luma + 2.0 * (1.0 - c.kb) * pb;
    const double gg = (luma - c.kr * rr - c.kb * bb) / (1.0 - c.kr - c.kb);
    auto code = [](double x) { return std::clamp(static_cast<int>(std::lround(x * 255.0)), 0, 255); };
    r = code(rr);
    g = code(gg);
    b = code(bb);
}

// Packed YUYV rows of whole pixel pairs: an odd width repeats its last
// pixel to fill the last pair.
inline std::vector<std::uint8_t> MakeYuyv(int width, int height, const YcbcrCoding& coding = {})
{
    const std::size_t stride = static_cast<std::size_t>((width + 1) / 2) * 4;
    std::vector<std::uint8_t> out(stride * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; x += 2) {
            int r, g, b, y0, y1, u0, v0, u1, v1;
            QuadrantColour(x, y, width, height, r, g, b);
            ToYcbcr(coding, r, g, b, y0, u0, v0);
            QuadrantColour(std::min(x + 1, width - 1), y, width, height, r, g, b);
            ToYcbcr(coding, r, g, b, y1, u1, v1);
            std::uint8_t* p = out.data() + static_cast<std::size_t>(y) * stride + static_cast<std::size_t>(x) * 2;
            p[0] = static_cast<std::uint8_t>(y0);
            p[1] = static_cast<std::uint8_t>((u0 + u1 + 1) / 2);
            p[2] = static_cast<std::uint8_t>(y1);
            p[3] = static_cast<std::uint8_t>((v0 + v1 + 1) / 2);
        }
    return out;
}

inline std::vector<std::uint8_t> MakeRgb(int width, int height, bool bgr)
{
    std::vector<std::uint8_t> out(static_cast<std::size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            int r, g, b;
            QuadrantColour(x, y, width, height, r, g, b);
            std::uint8_t* p = out.data() + (static_cast<std::size_t>(y) * width + x) * 3;
            p[0] = static_cast<std::uint8_t>(bgr ? b : r);
            p[1] = static_cast<std::uint8_t>(g);
            p[2] = static_cast<std::uint8_t>(bgr ? r : b);
        }
    return out;
}

inline std::vector<std::uint8_t> MakeJpeg(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB888);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            int r, g, b;
            QuadrantColour(x, y, width, height, r, g, b);
            image.setPixel(x, y, qRgb(r, g, b));
        }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 90);
    return {bytes.begin(), bytes.end()};
}

struct Size {
    std::uint32_t width, height;
};

struct Control {
    v4l2_queryctrl query;
    std::vector<std::string> menu;
    int value;
};

struct Camera {
    std::string node = "/dev/video0";
    std::string card = "Simulierte Kamera";
    std::string driver = "simcam";
    std::uint32_t version = (6u << 16) | (1u << 8) | 0u;
    std::uint32_t deviceCaps = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
    std::vector<std::uint32_t> formats = {V4L2_PIX_FMT_YUYV, V4L2_PIX_FMT_MJPEG};
    std::vector<Size> sizes = {{320, 240}, {640, 480}, {1280, 720}};
    v4l2_pix_format current{};
    v4l2_fract interval{1, 30};
    std::vector<Control> controls;

    // Faults: open fails with this errno; S_FMT too; the stream dies with
    // `failErrno` after this many frames (negative: never).
    int openErrno = 0;
    int setFormatErrno = 0;
    int failAfterFrames = -1;
    int failErrno = ENODEV;
    // Time between frames; zero sends them as fast as they are taken.
    std::chrono::microseconds frameTime{5000};
    // What the format says of its colours, and the coding the YUYV picture
    // is made in (it should agree, unless a test wants otherwise).
    std::uint32_t colorspace = V4L2_COLORSPACE_SRGB;
    std::uint32_t ycbcrEnc = V4L2_YCBCR_ENC_DEFAULT;
    std::uint32_t quantization = V4L2_QUANTIZATION_DEFAULT;
    YcbcrCoding coding = Bt601(false);
    // When set, the picture an MJPEG camera sends instead of the quadrants.
    std::vector<std::uint8_t> jpeg;
    // The row length the format answers, whatever the format; negative:
    // the true one. Some drivers say 0, or less than a row needs.
    std::int64_t bytesPerLine = -1;
    // Like v4l2loopback: a buffer counts as mapped only if it was mapped
    // since anyone last asked for buffers, and DQBUF answers EINVAL for one
    // that is not (see System::otherReaderLetsGo).
    bool marksMappings = false;
    // Single frames that go wrong, by their sequence number.
    enum class Fault { Damaged, Empty, Short, Garbled, DequeueError };
    std::map<int, Fault> faults;

    // What happened, for the tests.
    int framesSent = 0;
    int streamOns = 0;
    bool gone = false;
};

inline Camera MakeCamera(const std::string& node = "/dev/video0")
{
    Camera c;
    c.node = node;
    c.current.width = 640;
    c.current.height = 480;
    c.current.pixelformat = V4L2_PIX_FMT_YUYV;
    auto integer = [](std::uint32_t id, const char* name, int min, int max, int def) {
        Control c{};
        c.query.id = id;
        c.query.type = V4L2_CTRL_TYPE_INTEGER;
        std::strncpy(reinterpret_cast<char*>(c.query.name), name, sizeof c.query.name - 1);
        c.query.minimum = min;
        c.query.maximum = max;
        c.query.step = 1;
        c.query.default_value = def;
        c.value = def;
        return c;
    };
    c.controls.push_back(integer(V4L2_CID_BRIGHTNESS, "Brightness", 0, 255, 128));
    c.controls.push_back(integer(V4L2_CID_CONTRAST, "Contrast", 0, 100, 50));
    Control flip{};
    flip.query.id = V4L2_CID_HFLIP;
    flip.query.type = V4L2_CTRL_TYPE_BOOLEAN;
    std::strcpy(reinterpret_cast<char*>(flip.query.name), "Horizontal Flip");
    flip.query.maximum = 1;
    flip.query.step = 1;
    c.controls.push_back(flip);
    Control mains{};
    mains.query.id = V4L2_CID_POWER_LINE_FREQUENCY;
    mains.query.type = V4L2_CTRL_TYPE_MENU;
    std::strcpy(reinterpret_cast<char*>(mains.query.name), "Power Line Frequency");
    mains.query.maximum = 2;
    mains.query.step = 1;
    mains.query.default_value = 1;
    mains.value = 1;
    mains.menu = {"Disabled", "50 Hz", "60 Hz"};
    c.controls.push_back(mains);
    return c;
}

class System final : public camera::V4l2System {
public:
    explicit System(std::vector<Camera> cameras = {}) : cameras_(std::move(cameras)) {}

    Camera& camera(std::size_t i)
    {
        std::lock_guard lock(mutex_);
        return cameras_[i];
    }
    void setCamera(std::size_t i, const Camera& c)
    {
        std::lock_guard lock(mutex_);
        cameras_[i] = c;
    }
    void addCamera(Camera c)
    {
        std::lock_guard lock(mutex_);
        cameras_.push_back(std::move(c));
    }
    // Pulls the plug: every call on the camera fails with ENODEV from now on.
    void unplug(std::size_t i)
    {
        std::lock_guard lock(mutex_);
        cameras_[i].gone = true;
    }
    int openFds()
    {
        std::lock_guard lock(mutex_);
        return static_cast<int>(open_.size());
    }
    int liveMappings()
    {
        std::lock_guard lock(mutex_);
        return static_cast<int>(mappings_.size());
    }
    int framesSent(std::size_t i)
    {
        std::lock_guard lock(mutex_);
        return cameras_[i].framesSent;
    }
    // The queue breaks as a vb2 queue does after a driver error: DQBUF and
    // QBUF answer `error` until the stream is switched off.
    void breakQueue(std::size_t i, int error)
    {
        std::lock_guard lock(mutex_);
        stream(i).brokenErrno = error;
    }
    // Another program that read the same loopback node asks for buffers as
    // it lets go: the marks of our mappings are gone.
    void otherReaderLetsGo(std::size_t i)
    {
        std::lock_guard lock(mutex_);
        Stream& s = stream(i);
        s.marked.assign(s.buffers.size(), false);
    }
    // QBUF refuses the next `count` buffers with `error`.
    void refuseQueueing(std::size_t i, int count, int error)
    {
        std::lock_guard lock(mutex_);
        stream(i).refusals = count;
        stream(i).refusalErrno = error;
    }
    // The rate the camera announces and the time it really takes per frame.
    void setPace(std::size_t i, v4l2_fract interval, std::chrono::microseconds frameTime)
    {
        std::lock_guard lock(mutex_);
        cameras_[i].interval = interval;
        cameras_[i].frameTime = frameTime;
        Stream& s = stream(i);
        s.nextFrame = std::min(s.nextFrame, std::chrono::steady_clock::now() + frameTime);
    }
    int streamOns(std::size_t i)
    {
        std::lock_guard lock(mutex_);
        return cameras_[i].streamOns;
    }
    // Every unknown request seen, so a test notices calls it did not expect.
    std::vector<unsigned long> unknownRequests()
    {
        std::lock_guard lock(mutex_);
        return unknown_;
    }

    std::vector<std::string> videoNodes() override
    {
        std::lock_guard lock(mutex_);
        std::vector<std::string> nodes;
        for (const Camera& c : cameras_)
            if (!c.gone)
                nodes.push_back(c.node);
        return nodes;
    }

    std::string nodeAttribute(const std::string& node, const std::string& attribute) override
    {
        std::lock_guard lock(mutex_);
        for (const Camera& c : cameras_)
            if (c.node == node) {
                if (attribute == "name")
                    return c.card;
                if (attribute == "driver")
                    return c.driver;
                if (attribute == "index")
                    return "0";
            }
        return {};
    }

    int open(const std::string& path, int) override
    {
        std::lock_guard lock(mutex_);
        for (std::size_t i = 0; i < cameras_.size(); ++i) {
            if (cameras_[i].node != path || cameras_[i].gone)
                continue;
            if (cameras_[i].openErrno != 0) {
                errno = cameras_[i].openErrno;
                return -1;
            }
            const int fd = nextFd_++;
            open_[fd] = Handle{i};
            return fd;
        }
        errno = ENOENT;
        return -1;
    }

    int close(int fd) override
    {
        std::lock_guard lock(mutex_);
        auto it = open_.find(fd);
        if (it == open_.end()) {
            errno = EBADF;
            return -1;
        }
        Stream& s = stream(it->second.camera);
        if (s.owner == fd) {
            s = Stream{};
        }
        open_.erase(it);
        return 0;
    }

    int ioctl(int fd, unsigned long request, void* arg) override
    {
        std::lock_guard lock(mutex_);
        auto it = open_.find(fd);
        if (it == open_.end()) {
            errno = EBADF;
            return -1;
        }
        Camera& c = cameras_[it->second.camera];
        if (c.gone) {
            errno = ENODEV;
            return -1;
        }
        return handle(fd, c, stream(it->second.camera), request, arg);
    }

    void* mmap(std::size_t length, int, int, int fd, off_t offset) override
    {
        std::lock_guard lock(mutex_);
        auto it = open_.find(fd);
        if (it == open_.end()) {
            errno = EBADF;
            return MAP_FAILED;
        }
        Stream& s = stream(it->second.camera);
        const std::size_t index = static_cast<std::size_t>(offset) / bufferStep;
        if (index >= s.buffers.size() || length > s.buffers[index].size()) {
            errno = EINVAL;
            return MAP_FAILED;
        }
        void* address = s.buffers[index].data();
        mappings_.emplace(address, length);
        if (s.marked.size() == s.buffers.size())
            s.marked[index] = true;
        return address;
    }

    int munmap(void* address, std::size_t length) override
    {
        std::lock_guard lock(mutex_);
        // A buffer mapped twice shares its address here; either mapping goes.
        auto [first, last] = mappings_.equal_range(address);
        auto it = std::find_if(first, last, [length](const auto& m) { return m.second == length; });
        if (it == last) {
            errno = EINVAL;
            return -1;
        }
        mappings_.erase(it);
        return 0;
    }

    int poll(pollfd* fds, nfds_t count, int timeoutMs) override
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            int ready = 0;
            std::vector<pollfd> others;
            {
                std::lock_guard lock(mutex_);
                for (nfds_t i = 0; i < count; ++i) {
                    fds[i].revents = 0;
                    auto it = open_.find(fds[i].fd);
                    if (it == open_.end()) {
                        others.push_back(fds[i]);
                        continue;
                    }
                    const Camera& c = cameras_[it->second.camera];
                    const Stream& s = stream(it->second.camera);
                    if (c.gone || (c.failAfterFrames >= 0 && c.framesSent >= c.failAfterFrames && s.on))
                        fds[i].revents = POLLERR | POLLHUP;
                    else if (s.brokenErrno != 0)
                        fds[i].revents = POLLERR;
                    else if (s.on && !s.queued.empty() && std::chrono::steady_clock::now() >= s.nextFrame)
                        fds[i].revents = POLLIN;
                    if (fds[i].revents != 0)
                        ++ready;
                }
            }
            const auto now = std::chrono::steady_clock::now();
            const bool last = now >= until;
            if (!others.empty()) {
                const int wait = ready > 0 || last ? 0 : 1;
                if (::poll(others.data(), others.size(), wait) > 0)
                    for (const pollfd& o : others)
                        for (nfds_t i = 0; i < count; ++i)
                            if (fds[i].fd == o.fd && o.revents != 0) {
                                fds[i].revents = o.revents;
                                ++ready;
                            }
            } else if (ready == 0 && !last) {
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
            if (ready > 0 || last)
                return ready;
        }
    }

private:
    static constexpr std::size_t bufferStep = 1 << 24;

    struct Handle {
        std::size_t camera;
    };
    struct Stream {
        int owner = -1; // the descriptor that holds the buffers
        std::vector<std::vector<std::uint8_t>> buffers;
        std::vector<std::uint32_t> used;
        std::vector<std::uint32_t> queued;
        std::vector<const std::vector<std::uint8_t>*> filled;
        bool on = false;
        std::chrono::steady_clock::time_point nextFrame;
        std::vector<bool> marked; // mapped since the last REQBUFS (marksMappings)
        int brokenErrno = 0;      // the queue's error until STREAMOFF
        int refusals = 0;         // QBUF calls still to refuse
        int refusalErrno = 0;
    };

    Stream& stream(std::size_t camera) { return streams_[camera]; }

    static void fill(const Camera& c, v4l2_pix_format& pix)
    {
        switch (pix.pixelformat) {
        case V4L2_PIX_FMT_YUYV:
        case V4L2_PIX_FMT_UYVY:
            pix.bytesperline = (pix.width + 1) / 2 * 4;
            pix.sizeimage = pix.bytesperline * pix.height;
            break;
        case V4L2_PIX_FMT_MJPEG:
            pix.bytesperline = 0;
            pix.sizeimage = pix.width * pix.height * 2 + 1024;
            break;
        case V4L2_PIX_FMT_GREY:
        case V4L2_PIX_FMT_SBGGR8:
        case V4L2_PIX_FMT_SGBRG8:
        case V4L2_PIX_FMT_SGRBG8:
        case V4L2_PIX_FMT_SRGGB8:
            pix.bytesperline = pix.width;
            pix.sizeimage = pix.width * pix.height;
            break;
        case V4L2_PIX_FMT_RGB565:
        case V4L2_PIX_FMT_Y16:
            pix.bytesperline = pix.width * 2;
            pix.sizeimage = pix.bytesperline * pix.height;
            break;
        case V4L2_PIX_FMT_NV12:
        case V4L2_PIX_FMT_NV21:
        case V4L2_PIX_FMT_YUV420:
        case V4L2_PIX_FMT_YVU420:
            pix.bytesperline = (pix.width + 1) / 2 * 2;
            pix.sizeimage = pix.bytesperline * pix.height + pix.bytesperline * ((pix.height + 1) / 2);
            break;
        default:
            pix.bytesperline = pix.width * 3;
            pix.sizeimage = pix.bytesperline * pix.height;
        }
        if (c.bytesPerLine >= 0)
            pix.bytesperline = static_cast<std::uint32_t>(c.bytesPerLine);
        pix.field = V4L2_FIELD_NONE;
        pix.colorspace = c.colorspace;
        pix.ycbcr_enc = c.ycbcrEnc;
        pix.quantization = c.quantization;
    }

    static v4l2_pix_format nearest(const Camera& c, const v4l2_pix_format& want)
    {
        v4l2_pix_format pix{};
        pix.pixelformat = std::find(c.formats.begin(), c.formats.end(), want.pixelformat) != c.formats.end()
                              ? want.pixelformat
                              : c.formats.front();
        long best = -1;
        for (const Size& s : c.sizes) {
            const long d = std::labs(static_cast<long>(s.width) - want.width) +
                           std::labs(static_cast<long>(s.height) - want.height);
            if (best < 0 || d < best) {
                best = d;
                pix.width = s.width;
                pix.height = s.height;
            }
        }
        fill(c, pix);
        return pix;
    }

    const std::vector<std::uint8_t>& picture(const Camera& c, const v4l2_pix_format& pix)
    {
        const int w = static_cast<int>(pix.width), h = static_cast<int>(pix.height);
        if (pix.pixelformat == V4L2_PIX_FMT_MJPEG && !c.jpeg.empty())
            return c.jpeg;
        const auto key = std::make_tuple(pix.pixelformat, pix.width * 65536 + pix.height,
                                         std::make_tuple(c.coding.kr, c.coding.kb, c.coding.fullRange));
        std::vector<std::uint8_t>& cached = pictures_[key];
        if (cached.empty()) {
            switch (pix.pixelformat) {
            case V4L2_PIX_FMT_YUYV:
                cached = MakeYuyv(w, h, c.coding);
                break;
            case V4L2_PIX_FMT_MJPEG:
                cached = MakeJpeg(w, h);
                break;
            case V4L2_PIX_FMT_RGB24:
                cached = MakeRgb(w, h, false);
                break;
            case V4L2_PIX_FMT_BGR24:
                cached = MakeRgb(w, h, true);
                break;
            case V4L2_PIX_FMT_GREY:
            case V4L2_PIX_FMT_SBGGR8:
            case V4L2_PIX_FMT_SGBRG8:
            case V4L2_PIX_FMT_SGRBG8:
            case V4L2_PIX_FMT_SRGGB8:
                // Dark at the top, bright at the bottom, in unpadded rows.
                cached.resize(static_cast<std::size_t>(w) * h);
                for (int y = 0; y < h; ++y)
                    std::fill_n(cached.begin() + static_cast<std::ptrdiff_t>(y) * w, w,
                                static_cast<std::uint8_t>(0x20 + 0xc0 * y / std::max(1, h - 1)));
                break;
            default:
                cached.assign(pix.sizeimage, 0x80);
            }
        }
        return cached;
    }

    int fail(int error)
    {
        errno = error;
        return -1;
    }

    int handle(int fd, Camera& c, Stream& s, unsigned long request, void* arg)
    {
        switch (request) {
        case VIDIOC_QUERYCAP: {
            auto* cap = static_cast<v4l2_capability*>(arg);
            *cap = {};
            std::strncpy(reinterpret_cast<char*>(cap->driver), c.driver.c_str(), sizeof cap->driver - 1);
            std::strncpy(reinterpret_cast<char*>(cap->card), c.card.c_str(), sizeof cap->card - 1);
            std::strcpy(reinterpret_cast<char*>(cap->bus_info), "platform:simcam");
            cap->version = c.version;
            cap->device_caps = c.deviceCaps;
            cap->capabilities = c.deviceCaps | V4L2_CAP_DEVICE_CAPS;
            return 0;
        }
        case VIDIOC_ENUM_FMT: {
            auto* d = static_cast<v4l2_fmtdesc*>(arg);
            if (d->type != V4L2_BUF_TYPE_VIDEO_CAPTURE || d->index >= c.formats.size())
                return fail(EINVAL);
            const std::uint32_t f = c.formats[d->index];
            d->pixelformat = f;
            d->flags = f == V4L2_PIX_FMT_MJPEG ? V4L2_FMT_FLAG_COMPRESSED : 0;
            const char* text = f == V4L2_PIX_FMT_YUYV    ? "YUYV 4:2:2"
                               : f == V4L2_PIX_FMT_MJPEG ? "Motion-JPEG"
                                                         : "Other";
            std::memset(d->description, 0, sizeof d->description);
            std::strcpy(reinterpret_cast<char*>(d->description), text);
            return 0;
        }
        case VIDIOC_ENUM_FRAMESIZES: {
            auto* e = static_cast<v4l2_frmsizeenum*>(arg);
            if (std::find(c.formats.begin(), c.formats.end(), e->pixel_format) == c.formats.end() ||
                e->index >= c.sizes.size())
                return fail(EINVAL);
            e->type = V4L2_FRMSIZE_TYPE_DISCRETE;
            e->discrete.width = c.sizes[e->index].width;
            e->discrete.height = c.sizes[e->index].height;
            return 0;
        }
        case VIDIOC_ENUM_FRAMEINTERVALS: {
            auto* e = static_cast<v4l2_frmivalenum*>(arg);
            if (e->index > 1)
                return fail(EINVAL);
            e->type = V4L2_FRMIVAL_TYPE_DISCRETE;
            e->discrete = e->index == 0 ? v4l2_fract{1, 30} : v4l2_fract{1, 15};
            return 0;
        }
        case VIDIOC_G_FMT: {
            auto* f = static_cast<v4l2_format*>(arg);
            if (f->type != V4L2_BUF_TYPE_VIDEO_CAPTURE)
                return fail(EINVAL);
            f->fmt.pix = c.current;
            fill(c, f->fmt.pix);
            return 0;
        }
        case VIDIOC_TRY_FMT:
        case VIDIOC_S_FMT: {
            auto* f = static_cast<v4l2_format*>(arg);
            if (f->type != V4L2_BUF_TYPE_VIDEO_CAPTURE)
                return fail(EINVAL);
            if (request == VIDIOC_S_FMT && c.setFormatErrno != 0)
                return fail(c.setFormatErrno);
            if (request == VIDIOC_S_FMT && !s.buffers.empty())
                return fail(EBUSY);
            f->fmt.pix = nearest(c, f->fmt.pix);
            if (request == VIDIOC_S_FMT)
                c.current = f->fmt.pix;
            return 0;
        }
        case VIDIOC_G_PARM:
        case VIDIOC_S_PARM: {
            auto* p = static_cast<v4l2_streamparm*>(arg);
            if (request == VIDIOC_S_PARM)
                c.interval = p->parm.capture.timeperframe.denominator >= 20 ? v4l2_fract{1, 30} : v4l2_fract{1, 15};
            p->parm.capture = {};
            p->parm.capture.capability = V4L2_CAP_TIMEPERFRAME;
            p->parm.capture.timeperframe = c.interval;
            return 0;
        }
        case VIDIOC_QUERYCTRL: {
            auto* q = static_cast<v4l2_queryctrl*>(arg);
            const bool next = q->id & V4L2_CTRL_FLAG_NEXT_CTRL;
            const std::uint32_t id = q->id & ~V4L2_CTRL_FLAG_NEXT_CTRL;
            const Control* found = nullptr;
            for (const Control& k : c.controls)
                if (next ? (k.query.id > id && (found == nullptr || k.query.id < found->query.id)) : k.query.id == id)
                    found = &k;
            if (found == nullptr)
                return fail(EINVAL);
            *q = found->query;
            return 0;
        }
        case VIDIOC_QUERYMENU: {
            auto* m = static_cast<v4l2_querymenu*>(arg);
            for (const Control& k : c.controls)
                if (k.query.id == m->id && m->index < k.menu.size()) {
                    std::memset(m->name, 0, sizeof m->name);
                    std::strcpy(reinterpret_cast<char*>(m->name), k.menu[m->index].c_str());
                    return 0;
                }
            return fail(EINVAL);
        }
        case VIDIOC_G_CTRL:
        case VIDIOC_S_CTRL: {
            auto* v = static_cast<v4l2_control*>(arg);
            for (Control& k : c.controls)
                if (k.query.id == v->id) {
                    if (request == VIDIOC_G_CTRL) {
                        v->value = k.value;
                        return 0;
                    }
                    if (v->value < k.query.minimum || v->value > k.query.maximum)
                        return fail(ERANGE);
                    k.value = v->value;
                    return 0;
                }
            return fail(EINVAL);
        }
        case VIDIOC_REQBUFS: {
            auto* r = static_cast<v4l2_requestbuffers*>(arg);
            if (r->memory != V4L2_MEMORY_MMAP)
                return fail(EINVAL);
            if (s.owner >= 0 && s.owner != fd)
                return fail(EBUSY);
            if (s.on)
                return fail(EBUSY);
            for (auto& b : s.buffers)
                for (auto& m : mappings_)
                    if (m.first == b.data())
                        return fail(EBUSY); // still mapped
            s.buffers.clear();
            s.filled.clear();
            s.used.clear();
            s.queued.clear();
            s.owner = r->count == 0 ? -1 : fd;
            v4l2_pix_format pix = c.current;
            fill(c, pix);
            r->count = std::min<std::uint32_t>(r->count, 8);
            for (std::uint32_t i = 0; i < r->count; ++i)
                s.buffers.emplace_back(pix.sizeimage);
            s.used.assign(r->count, 0);
            s.marked.assign(r->count, false);
            return 0;
        }
        case VIDIOC_QUERYBUF: {
            auto* b = static_cast<v4l2_buffer*>(arg);
            if (s.owner != fd || b->index >= s.buffers.size())
                return fail(EINVAL);
            b->length = static_cast<std::uint32_t>(s.buffers[b->index].size());
            b->m.offset = static_cast<std::uint32_t>(b->index * bufferStep);
            return 0;
        }
        case VIDIOC_QBUF: {
            auto* b = static_cast<v4l2_buffer*>(arg);
            if (s.owner != fd || b->index >= s.buffers.size() ||
                std::find(s.queued.begin(), s.queued.end(), b->index) != s.queued.end())
                return fail(EINVAL);
            if (s.brokenErrno != 0)
                return fail(s.brokenErrno);
            if (s.refusals > 0) {
                --s.refusals;
                return fail(s.refusalErrno);
            }
            s.queued.push_back(b->index);
            return 0;
        }
        case VIDIOC_DQBUF: {
            auto* b = static_cast<v4l2_buffer*>(arg);
            if (s.owner != fd || !s.on)
                return fail(EINVAL);
            if (c.failAfterFrames >= 0 && c.framesSent >= c.failAfterFrames) {
                c.gone = c.failErrno == ENODEV;
                return fail(c.failErrno);
            }
            if (s.brokenErrno != 0)
                return fail(s.brokenErrno);
            const auto now = std::chrono::steady_clock::now();
            if (s.queued.empty() || now < s.nextFrame)
                return fail(EAGAIN);
            if (c.marksMappings && !s.marked[s.queued.front()])
                return fail(EINVAL); // "trying to return not mapped buf"
            const auto fault = c.faults.find(c.framesSent);
            if (fault != c.faults.end() && fault->second == Camera::Fault::DequeueError) {
                c.faults.erase(fault);
                return fail(EIO);
            }
            const std::uint32_t index = s.queued.front();
            s.queued.erase(s.queued.begin());
            v4l2_pix_format pix = c.current;
            fill(c, pix);
            const std::vector<std::uint8_t>& bytes = picture(c, pix);
            const std::size_t n = std::min(bytes.size(), s.buffers[index].size());
            // Like a device's DMA, which costs the processor nothing: a
            // buffer that holds the picture already is not filled again.
            if (s.filled.size() != s.buffers.size())
                s.filled.assign(s.buffers.size(), nullptr);
            if (s.filled[index] != &bytes) {
                std::memcpy(s.buffers[index].data(), bytes.data(), n);
                s.filled[index] = &bytes;
            }
            b->index = index;
            b->bytesused = static_cast<std::uint32_t>(n);
            b->flags = V4L2_BUF_FLAG_MAPPED | V4L2_BUF_FLAG_DONE;
            // A picture larger than the buffer (the format grew under the
            // stream) is cut off, and the device says so, as drivers do.
            if (bytes.size() > s.buffers[index].size())
                b->flags |= V4L2_BUF_FLAG_ERROR;
            if (fault != c.faults.end()) {
                switch (fault->second) {
                case Camera::Fault::Damaged:
                    b->flags |= V4L2_BUF_FLAG_ERROR;
                    break;
                case Camera::Fault::Empty:
                    b->bytesused = 0;
                    break;
                case Camera::Fault::Short:
                    b->bytesused /= 2;
                    break;
                case Camera::Fault::Garbled:
                    // Noise over the middle of the frame; the buffer is made
                    // whole again when it is next filled.
                    for (std::size_t i = n / 4; i < n * 3 / 4; ++i)
                        s.buffers[index][i] = static_cast<std::uint8_t>(i * 2654435761u >> 13);
                    s.filled[index] = nullptr;
                    break;
                case Camera::Fault::DequeueError:
                    break;
                }
            }
            b->sequence = static_cast<std::uint32_t>(c.framesSent++);
            s.nextFrame = now + c.frameTime;
            return 0;
        }
        case VIDIOC_STREAMON:
            if (s.owner != fd || s.buffers.empty())
                return fail(EINVAL);
            s.on = true;
            s.nextFrame = std::chrono::steady_clock::now();
            ++c.streamOns;
            return 0;
        case VIDIOC_STREAMOFF:
            if (s.owner != fd)
                return fail(EINVAL);
            s.on = false;
            s.queued.clear();
            s.brokenErrno = 0;
            return 0;
        default:
            unknown_.push_back(request);
            return fail(ENOTTY);
        }
    }

    std::mutex mutex_;
    std::vector<Camera> cameras_;
    std::map<std::size_t, Stream> streams_;
    std::map<int, Handle> open_;
    std::multimap<void*, std::size_t> mappings_;
    std::map<std::tuple<std::uint32_t, std::uint32_t, std::tuple<double, double, bool>>, std::vector<std::uint8_t>>
        pictures_;
    std::vector<unsigned long> unknown_;
    int nextFd_ = 9000;
};

} // namespace simv4l2
