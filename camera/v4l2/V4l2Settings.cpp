// The V4L2 driver's source settings (the device's controls) and formats.

#include "camera/v4l2/V4l2Driver.h"

#include "camera/ControlNames.h"
#include "camera/v4l2/V4l2Text.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace camera {

namespace {

// Sizes offered where a device takes any size within limits.
constexpr int commonSizes[][2] = {{160, 120},  {320, 240},  {640, 360},  {640, 480},   {800, 600},
                                  {1024, 768}, {1280, 720}, {1280, 960}, {1920, 1080}, {3840, 2160}};
constexpr int commonRates[] = {5, 10, 15, 20, 25, 30, 50, 60};

} // namespace

std::vector<ControlInfo> V4l2Driver::Controls::list()
{
    std::vector<ControlInfo> all;
    if (!driver_.fd_)
        return all;
    v4l2_queryctrl q{};
    q.id = V4L2_CTRL_FLAG_NEXT_CTRL;
    while (driver_.ioctl(VIDIOC_QUERYCTRL, &q) == 0) {
        const std::uint32_t id = q.id;
        q.id |= V4L2_CTRL_FLAG_NEXT_CTRL; // for the next round
        if (q.flags & V4L2_CTRL_FLAG_DISABLED)
            continue;
        ControlInfo c;
        switch (q.type) {
        case V4L2_CTRL_TYPE_INTEGER:
            c.kind = ControlInfo::Kind::Integer;
            break;
        case V4L2_CTRL_TYPE_BOOLEAN:
            c.kind = ControlInfo::Kind::Boolean;
            break;
        case V4L2_CTRL_TYPE_MENU:
        case V4L2_CTRL_TYPE_INTEGER_MENU:
            c.kind = ControlInfo::Kind::Menu;
            break;
        case V4L2_CTRL_TYPE_BUTTON:
            c.kind = ControlInfo::Kind::Button;
            break;
        default:
            continue; // strings, 64-bit values, classes: nothing to set here
        }
        c.id = id;
        c.name = GermanControlName(id, QString::fromStdString(FieldText(q.name, sizeof q.name)));
        c.group = V4L2_CTRL_ID2CLASS(id);
        c.minimum = q.minimum;
        c.maximum = q.maximum;
        c.step = std::max(1, q.step);
        c.defaultValue = q.default_value;
        c.readOnly = (q.flags & (V4L2_CTRL_FLAG_READ_ONLY | V4L2_CTRL_FLAG_GRABBED)) != 0;
        c.inactive = (q.flags & V4L2_CTRL_FLAG_INACTIVE) != 0;
        c.value = q.default_value;
        if (c.kind != ControlInfo::Kind::Button && !(q.flags & V4L2_CTRL_FLAG_WRITE_ONLY)) {
            v4l2_control value{};
            value.id = id;
            if (driver_.ioctl(VIDIOC_G_CTRL, &value) == 0)
                c.value = value.value;
        }
        if (c.kind == ControlInfo::Kind::Menu) {
            for (int i = q.minimum; i <= q.maximum && i >= 0; ++i) {
                v4l2_querymenu m{};
                m.id = id;
                m.index = static_cast<std::uint32_t>(i);
                if (driver_.ioctl(VIDIOC_QUERYMENU, &m) != 0)
                    continue;
                const QString text = q.type == V4L2_CTRL_TYPE_MENU
                                         ? GermanMenuItem(id, i,
                                                          QString::fromStdString(FieldText(m.name, sizeof m.name)))
                                         : QString::number(m.value);
                c.items.emplace_back(i, text);
            }
        }
        all.push_back(std::move(c));
    }
    return all;
}

bool V4l2Driver::Controls::set(std::uint32_t id, int value)
{
    if (!driver_.fd_)
        return false;
    v4l2_control control{};
    control.id = id;
    control.value = value;
    return driver_.ioctl(VIDIOC_S_CTRL, &control) == 0;
}

void V4l2Driver::Controls::reset()
{
    for (const ControlInfo& c : list())
        if (c.kind != ControlInfo::Kind::Button && !c.readOnly && c.value != c.defaultValue)
            set(c.id, c.defaultValue);
    // Leaving an automatic mode can unlock values that were locked before.
    for (const ControlInfo& c : list())
        if (c.kind != ControlInfo::Kind::Button && !c.readOnly && c.value != c.defaultValue)
            set(c.id, c.defaultValue);
}

// Orders a change notice for every control (value, flags and range) on
// the open descriptor; a device that cannot send them gets -1.
int V4l2Driver::Controls::changeHandle()
{
    const int fd = driver_.fd_.get();
    if (fd < 0)
        return -1;
    if (subscribedFd_ == fd)
        return fd;
    bool any = false;
    for (const ControlInfo& c : list()) {
        v4l2_event_subscription sub{};
        sub.type = V4L2_EVENT_CTRL;
        sub.id = c.id;
        if (driver_.ioctl(VIDIOC_SUBSCRIBE_EVENT, &sub) == 0)
            any = true;
    }
    if (!any)
        return -1;
    subscribedFd_ = fd;
    return fd;
}

bool V4l2Driver::Controls::takeChanges()
{
    if (subscribedFd_ < 0 || subscribedFd_ != driver_.fd_.get())
        return false;
    bool any = false;
    for (int i = 0; i < 256; ++i) { // bounded: a device may keep sending
        v4l2_event event{};
        if (driver_.ioctl(VIDIOC_DQEVENT, &event) != 0)
            break;
        any = true;
    }
    return any;
}

void V4l2Driver::Controls::dropSubscription()
{
    subscribedFd_ = -1;
}

std::vector<PixelFormatChoice> V4l2Driver::Formats::list()
{
    std::vector<PixelFormatChoice> all;
    if (!driver_.fd_)
        return all;
    for (std::uint32_t index = 0;; ++index) {
        v4l2_fmtdesc desc{};
        desc.index = index;
        desc.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        if (driver_.ioctl(VIDIOC_ENUM_FMT, &desc) != 0)
            break;
        if (!FrameConverter::Convertible(desc.pixelformat))
            continue;
        PixelFormatChoice choice;
        choice.fourcc = desc.pixelformat;
        choice.description = GermanPixelFormatName(
            desc.pixelformat, QString::fromStdString(FieldText(desc.description, sizeof desc.description)));

        std::vector<std::pair<int, int>> sizes;
        v4l2_frmsizeenum size{};
        size.pixel_format = desc.pixelformat;
        for (size.index = 0; driver_.ioctl(VIDIOC_ENUM_FRAMESIZES, &size) == 0; ++size.index) {
            if (size.type == V4L2_FRMSIZE_TYPE_DISCRETE) {
                sizes.emplace_back(size.discrete.width, size.discrete.height);
                continue;
            }
            const v4l2_frmsize_stepwise& s = size.stepwise;
            for (const auto& c : commonSizes) {
                const auto w = static_cast<std::uint32_t>(c[0]), h = static_cast<std::uint32_t>(c[1]);
                if (w >= s.min_width && w <= s.max_width && h >= s.min_height && h <= s.max_height &&
                    (s.step_width <= 1 || (w - s.min_width) % s.step_width == 0) &&
                    (s.step_height <= 1 || (h - s.min_height) % s.step_height == 0))
                    sizes.emplace_back(c[0], c[1]);
            }
            break;
        }
        if (sizes.empty())
            sizes.emplace_back(driver_.source_.fmt.pix.width, driver_.source_.fmt.pix.height);

        for (const auto& [width, height] : sizes) {
            FrameSizeChoice fs{width, height, {}};
            v4l2_frmivalenum ival{};
            ival.pixel_format = desc.pixelformat;
            ival.width = static_cast<std::uint32_t>(width);
            ival.height = static_cast<std::uint32_t>(height);
            for (ival.index = 0; driver_.ioctl(VIDIOC_ENUM_FRAMEINTERVALS, &ival) == 0; ++ival.index) {
                if (ival.type == V4L2_FRMIVAL_TYPE_DISCRETE) {
                    fs.intervals.push_back({ival.discrete.numerator, ival.discrete.denominator});
                    continue;
                }
                // A range: offer the usual rates within it.
                const double slowest = static_cast<double>(ival.stepwise.max.numerator) / ival.stepwise.max.denominator;
                const double fastest = static_cast<double>(ival.stepwise.min.numerator) / ival.stepwise.min.denominator;
                for (int rate : commonRates) {
                    const double t = 1.0 / rate;
                    if (t >= fastest - 1e-9 && t <= slowest + 1e-9)
                        fs.intervals.push_back({1, static_cast<std::uint32_t>(rate)});
                }
                break;
            }
            choice.sizes.push_back(std::move(fs));
        }
        all.push_back(std::move(choice));
    }
    return all;
}

FormatSetting V4l2Driver::Formats::current()
{
    const v4l2_pix_format& pix = driver_.source_.fmt.pix;
    FormatSetting now{pix.pixelformat, static_cast<int>(pix.width), static_cast<int>(pix.height), {}};
    v4l2_streamparm parm{};
    parm.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (driver_.fd_ && driver_.ioctl(VIDIOC_G_PARM, &parm) == 0 &&
        (parm.parm.capture.capability & V4L2_CAP_TIMEPERFRAME))
        now.interval = {parm.parm.capture.timeperframe.numerator, parm.parm.capture.timeperframe.denominator};
    return now;
}

// Stops a running stream, sets the new format with fresh buffers and
// streams on; when the device refuses, the old format comes back.
bool V4l2Driver::Formats::apply(const FormatSetting& setting)
{
    V4l2Driver& d = driver_;
    if (!d.fd_ || !FrameConverter::Convertible(setting.fourcc) || setting.width <= 0 || setting.height <= 0)
        return false;
    FrameSink* sink = d.sink_;
    const bool wasStreaming = d.streaming();
    d.stop();
    d.releaseBuffers();

    const v4l2_format old = d.source_;
    v4l2_format wanted{};
    wanted.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    wanted.fmt.pix.pixelformat = setting.fourcc;
    wanted.fmt.pix.width = static_cast<std::uint32_t>(setting.width);
    wanted.fmt.pix.height = static_cast<std::uint32_t>(setting.height);
    wanted.fmt.pix.field = V4L2_FIELD_ANY;
    QString error;
    refusal_.clear();
    bool ok = d.setFormat(wanted, error, &refusal_) && d.source_.fmt.pix.pixelformat == setting.fourcc &&
              static_cast<int>(d.source_.fmt.pix.width) == setting.width &&
              static_cast<int>(d.source_.fmt.pix.height) == setting.height;
    if (!ok)
        d.setFormat(old, error);
    else
        d.setInterval(setting.interval);
    if (!d.allocateBuffers(error)) {
        d.lose();
        return false;
    }
    if (wasStreaming && !d.start(sink))
        return false;
    return ok;
}

} // namespace camera
