#include "camera/pipewire/PipeWireFormats.h"

#include "camera/ControlNames.h"
#include "camera/pipewire/PipeWireFrameConverter.h"
#include "pixels/YuvConverter.h"

#include <linux/videodev2.h>
#include <spa/param/format.h>
#include <spa/param/param.h>
#include <spa/param/props.h>
#include <spa/param/video/raw.h>
#include <spa/pod/builder.h>
#include <spa/pod/iter.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <functional>
#include <string>

namespace camera {

namespace {

struct FormatPair {
    std::uint32_t spa;
    std::uint32_t fourcc;
};

// The byte order of each pair is the same on both sides: SPA names the
// bytes as they lie in memory, and so do the V4L2 codes chosen here (the
// 32-bit ones by their current names, not the deprecated RGB32/BGR32).
constexpr std::array<FormatPair, 19> Pairs = {{
    {SPA_VIDEO_FORMAT_YUY2, V4L2_PIX_FMT_YUYV},    {SPA_VIDEO_FORMAT_UYVY, V4L2_PIX_FMT_UYVY},
    {SPA_VIDEO_FORMAT_YVYU, V4L2_PIX_FMT_YVYU},    {SPA_VIDEO_FORMAT_VYUY, V4L2_PIX_FMT_VYUY},
    {SPA_VIDEO_FORMAT_NV12, V4L2_PIX_FMT_NV12},    {SPA_VIDEO_FORMAT_NV21, V4L2_PIX_FMT_NV21},
    {SPA_VIDEO_FORMAT_I420, V4L2_PIX_FMT_YUV420},  {SPA_VIDEO_FORMAT_YV12, V4L2_PIX_FMT_YVU420},
    {SPA_VIDEO_FORMAT_Y42B, V4L2_PIX_FMT_YUV422P}, {SPA_VIDEO_FORMAT_RGB, V4L2_PIX_FMT_RGB24},
    {SPA_VIDEO_FORMAT_BGR, V4L2_PIX_FMT_BGR24},    {SPA_VIDEO_FORMAT_BGRx, V4L2_PIX_FMT_XBGR32},
    {SPA_VIDEO_FORMAT_BGRA, V4L2_PIX_FMT_ABGR32},  {SPA_VIDEO_FORMAT_RGBx, V4L2_PIX_FMT_RGBX32},
    {SPA_VIDEO_FORMAT_RGBA, V4L2_PIX_FMT_RGBA32},  {SPA_VIDEO_FORMAT_xRGB, V4L2_PIX_FMT_XRGB32},
    {SPA_VIDEO_FORMAT_ARGB, V4L2_PIX_FMT_ARGB32},  {SPA_VIDEO_FORMAT_xBGR, V4L2_PIX_FMT_BGRX32},
    {SPA_VIDEO_FORMAT_GRAY8, V4L2_PIX_FMT_GREY},
}};

// No node lists more than a few dozen values in one choice; more is
// garbage, and is cut rather than turned into thousands of entries.
constexpr std::uint32_t MaxValues = 256;

// The sizes offered from a size range, where the range holds them.
constexpr std::array<std::pair<int, int>, 20> CommonSizes = {{
    {160, 120},  {176, 144},  {320, 180},   {320, 240},   {352, 288},   {424, 240},   {640, 360},
    {640, 480},  {800, 448},  {800, 600},   {848, 480},   {960, 540},   {1024, 576},  {1024, 768},
    {1280, 720}, {1280, 960}, {1600, 1200}, {1920, 1080}, {2560, 1440}, {3840, 2160},
}};

// Frames a second offered from a rate range, fastest first as V4L2 lists them.
constexpr std::array<std::uint32_t, 9> CommonRates = {60, 50, 30, 25, 24, 20, 15, 10, 5};
constexpr std::uint32_t FastestRate = 1000;

// A property's values, read with every size checked: a plain value is a
// choice None of one. False when the pod is of another type, its values of
// another size, or there are none.
template <typename T>
bool ReadValues(const spa_pod* pod, std::uint32_t type, std::uint32_t& choice, std::vector<T>& values)
{
    values.clear();
    choice = SPA_CHOICE_None;
    if (pod == nullptr)
        return false;
    const auto* body = reinterpret_cast<const std::uint8_t*>(pod) + sizeof(spa_pod);
    std::uint32_t count = 0;
    if (pod->type == SPA_TYPE_Choice) {
        if (pod->size < sizeof(spa_pod_choice_body))
            return false;
        const auto* choiceBody = reinterpret_cast<const spa_pod_choice_body*>(body);
        if (choiceBody->child.type != type || choiceBody->child.size != sizeof(T))
            return false;
        choice = choiceBody->type;
        count = std::min((pod->size - static_cast<std::uint32_t>(sizeof(spa_pod_choice_body))) / sizeof(T),
                         std::size_t{MaxValues});
        body += sizeof(spa_pod_choice_body);
    } else {
        if (pod->type != type || pod->size < sizeof(T))
            return false;
        count = 1;
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        T value;
        std::memcpy(&value, body + i * sizeof(T), sizeof(T));
        values.push_back(value);
    }
    return !values.empty();
}

// The length of the pod that starts `offset` bytes into `bytes` (of
// `length` in all), padding included, when it lies wholly inside; 0 when
// its header claims more than there is. SPA's own iterators add sizes in
// 32 bits, where a claimed size near 4 GiB wraps round and passes.
std::size_t PodAt(const std::uint8_t* bytes, std::size_t length, std::size_t offset)
{
    if (offset > length || length - offset < sizeof(spa_pod))
        return 0;
    spa_pod header{};
    std::memcpy(&header, bytes + offset, sizeof header);
    const std::uint64_t whole = sizeof(spa_pod) + std::uint64_t{header.size};
    if (whole > length - offset)
        return 0;
    return static_cast<std::size_t>(std::min<std::uint64_t>(SPA_ROUND_UP_N(whole, 8), length - offset));
}

// The value a property holds, where its pod is an object; null when the
// object has no such property, or its properties run out of it.
const spa_pod* Find(const spa_pod* object, std::uint32_t key)
{
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(object);
    const std::size_t length = sizeof(spa_pod) + std::size_t{object->size};
    constexpr std::size_t valueOffset = offsetof(spa_pod_prop, value);
    for (std::size_t offset = sizeof(spa_pod_object); length - offset >= sizeof(spa_pod_prop);) {
        spa_pod_prop prop{};
        std::memcpy(&prop, bytes + offset, sizeof prop);
        const std::size_t value = PodAt(bytes, length, offset + valueOffset);
        if (value == 0)
            return nullptr;
        if (prop.key == key)
            return reinterpret_cast<const spa_pod*>(bytes + offset + valueOffset);
        offset += valueOffset + value;
    }
    return nullptr;
}

bool IsObject(const spa_pod* pod, std::uint32_t objectType)
{
    return pod != nullptr && spa_pod_is_object(pod) &&
           reinterpret_cast<const spa_pod_object*>(pod)->body.type == objectType;
}

// One fixed Id; a choice counts only as the value it holds now (None).
std::optional<std::uint32_t> FixedId(const spa_pod* pod)
{
    std::uint32_t choice = 0;
    std::vector<std::uint32_t> ids;
    if (!ReadValues(pod, SPA_TYPE_Id, choice, ids) || (choice != SPA_CHOICE_None && ids.size() != 1))
        return std::nullopt;
    return ids.front();
}

// The values a choice allows, each once: an enum's alternatives (its first
// value is only the default), anything else's first value.
template <typename T, typename Same>
std::vector<T> Alternatives(std::uint32_t choice, const std::vector<T>& values, Same same)
{
    std::vector<T> out;
    auto add = [&](const T& v) {
        if (std::none_of(out.begin(), out.end(), [&](const T& o) { return same(o, v); }))
            out.push_back(v);
    };
    if (choice == SPA_CHOICE_Enum && values.size() > 1)
        std::for_each(values.begin() + 1, values.end(), add);
    else
        add(values.front());
    return out;
}

bool SaneSize(std::uint32_t width, std::uint32_t height)
{
    return width >= 1 && height >= 1 && width <= MaxFrameSide && height <= MaxFrameSide;
}

std::vector<FrameSizeChoice> SizesOf(const spa_pod* pod)
{
    std::uint32_t choice = 0;
    std::vector<spa_rectangle> values;
    std::vector<FrameSizeChoice> sizes;
    if (!ReadValues(pod, SPA_TYPE_Rectangle, choice, values))
        return sizes;
    auto add = [&](std::uint32_t w, std::uint32_t h) {
        if (SaneSize(w, h) && std::none_of(sizes.begin(), sizes.end(), [&](const FrameSizeChoice& s) {
                return s.width == static_cast<int>(w) && s.height == static_cast<int>(h);
            }))
            sizes.push_back({static_cast<int>(w), static_cast<int>(h), {}});
    };
    if ((choice == SPA_CHOICE_Range && values.size() >= 3) || (choice == SPA_CHOICE_Step && values.size() >= 4)) {
        const spa_rectangle min = values[1], max = values[2];
        const spa_rectangle step = choice == SPA_CHOICE_Step ? values[3] : spa_rectangle{1, 1};
        const std::uint32_t stepW = std::max(step.width, 1u), stepH = std::max(step.height, 1u);
        auto inside = [&](std::uint32_t w, std::uint32_t h) {
            return w >= min.width && w <= max.width && h >= min.height && h <= max.height &&
                   (w - min.width) % stepW == 0 && (h - min.height) % stepH == 0;
        };
        for (const auto& [w, h] : CommonSizes)
            if (inside(static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(h)))
                add(static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(h));
        // The largest the range reaches on the step grid.
        if (max.width >= min.width && max.height >= min.height)
            add(max.width - (max.width - min.width) % stepW, max.height - (max.height - min.height) % stepH);
    } else if (choice == SPA_CHOICE_None || choice == SPA_CHOICE_Enum) {
        for (const spa_rectangle& r : Alternatives(choice, values, [](const spa_rectangle&a, const spa_rectangle&b) {
                 return a.width == b.width && a.height == b.height;
             }))
            add(r.width, r.height);
    }
    return sizes;
}

// A rate in frames a second as the time between frames.
FrameInterval IntervalOf(const spa_fraction& rate)
{
    return {rate.denom, rate.num};
}

bool SaneRate(const spa_fraction& rate)
{
    return rate.num > 0 && rate.denom > 0 && rate.num / rate.denom <= FastestRate;
}

// a < b as rates, without rounding.
bool Slower(const spa_fraction& a, const spa_fraction& b)
{
    return std::uint64_t{a.num} * b.denom < std::uint64_t{b.num} * a.denom;
}

std::vector<FrameInterval> IntervalsOf(const spa_pod* pod)
{
    std::uint32_t choice = 0;
    std::vector<spa_fraction> values;
    std::vector<FrameInterval> intervals;
    if (!ReadValues(pod, SPA_TYPE_Fraction, choice, values))
        return intervals; // the node sets its own
    auto add = [&](const spa_fraction& rate) {
        if (SaneRate(rate) && std::find(intervals.begin(), intervals.end(), IntervalOf(rate)) == intervals.end())
            intervals.push_back(IntervalOf(rate));
    };
    if ((choice == SPA_CHOICE_Range && values.size() >= 3) || (choice == SPA_CHOICE_Step && values.size() >= 4)) {
        const spa_fraction min = values[1], max = values[2];
        if (SaneRate(max) && !Slower(max, min))
            add(max);
        for (const std::uint32_t r : CommonRates) {
            const spa_fraction rate{r, 1};
            if (!Slower(rate, min) && !Slower(max, rate))
                add(rate);
        }
    } else if (choice == SPA_CHOICE_None || choice == SPA_CHOICE_Enum) {
        for (const spa_fraction& f : Alternatives(choice, values, [](const spa_fraction&a, const spa_fraction&b) {
                 return a.num == b.num && a.denom == b.denom;
             }))
            add(f);
    }
    return intervals;
}

QString FourccName(std::uint32_t fourcc)
{
    std::string text;
    for (int shift = 0; shift < 32; shift += 8) {
        const char c = static_cast<char>((fourcc >> shift) & 0xff);
        text += c >= 0x20 && c < 0x7f ? c : '?';
    }
    return QString::fromLatin1(text.c_str());
}

// The media subtype, and for raw video the formats it lists.
std::vector<std::uint32_t> FourccsOf(const spa_pod* pod)
{
    std::vector<std::uint32_t> fourccs;
    const std::optional<std::uint32_t> type = FixedId(Find(pod, SPA_FORMAT_mediaType));
    const std::optional<std::uint32_t> subtype = FixedId(Find(pod, SPA_FORMAT_mediaSubtype));
    if (type != SPA_MEDIA_TYPE_video || !subtype)
        return fourccs;
    if (*subtype == SPA_MEDIA_SUBTYPE_mjpg) {
        fourccs.push_back(V4L2_PIX_FMT_MJPEG);
        return fourccs;
    }
    if (*subtype != SPA_MEDIA_SUBTYPE_raw)
        return fourccs;
    std::uint32_t choice = 0;
    std::vector<std::uint32_t> ids;
    if (!ReadValues(Find(pod, SPA_FORMAT_VIDEO_format), SPA_TYPE_Id, choice, ids))
        return fourccs;
    if (choice != SPA_CHOICE_None && choice != SPA_CHOICE_Enum)
        return fourccs;
    for (const std::uint32_t id : Alternatives(choice, ids, std::equal_to<>()))
        if (const std::uint32_t fourcc = FourccOfSpaFormat(id); fourcc != 0 && PipeWireConvertible(fourcc))
            fourccs.push_back(fourcc);
    return fourccs;
}

// V4L2 nodes in PipeWire name their controls so: the common ones by SPA's
// own ids (SPA_PROP_exposure meant V4L2's Exposure up to 0.3.65 and its
// Exposure Time, Absolute later; the device's name tells which), the rest
// as SPA_PROP_START_CUSTOM plus the V4L2 id.
std::optional<std::uint32_t> V4l2ControlOf(std::uint32_t key, const QString& description)
{
    switch (key) {
    case SPA_PROP_brightness:
        return V4L2_CID_BRIGHTNESS;
    case SPA_PROP_contrast:
        return V4L2_CID_CONTRAST;
    case SPA_PROP_saturation:
        return V4L2_CID_SATURATION;
    case SPA_PROP_hue:
        return V4L2_CID_HUE;
    case SPA_PROP_gamma:
        return V4L2_CID_GAMMA;
    case SPA_PROP_exposure:
        return description.startsWith(QStringLiteral("Exposure Time")) ? V4L2_CID_EXPOSURE_ABSOLUTE : V4L2_CID_EXPOSURE;
    case SPA_PROP_gain:
        return V4L2_CID_GAIN;
    case SPA_PROP_sharpness:
        return V4L2_CID_SHARPNESS;
    default:
        break;
    }
    // libcamera's nodes number their controls from 1 and stay far below
    // the first V4L2 control class.
    if (key >= SPA_PROP_START_CUSTOM && key - SPA_PROP_START_CUSTOM >= V4L2_CTRL_CLASS_USER)
        return key - SPA_PROP_START_CUSTOM;
    return std::nullopt;
}

// The menu entries of a PropInfo: a struct of (Int value, String label)
// pairs; a pair of other types ends the list.
std::vector<std::pair<int, QString>> LabelsOf(const spa_pod* pod)
{
    std::vector<std::pair<int, QString>> labels;
    if (pod == nullptr || !spa_pod_is_struct(pod))
        return labels;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(pod);
    const std::size_t length = sizeof(spa_pod) + std::size_t{pod->size};
    const spa_pod* value = nullptr;
    for (std::size_t offset = sizeof(spa_pod), next = 0; (next = PodAt(bytes, length, offset)) != 0; offset += next) {
        const auto* item = reinterpret_cast<const spa_pod*>(bytes + offset);
        if (value == nullptr) {
            value = item;
            continue;
        }
        std::int32_t v = 0;
        const char* text = nullptr;
        if (spa_pod_get_int(value, &v) < 0 || spa_pod_get_string(item, &text) < 0 || text == nullptr)
            break;
        labels.emplace_back(v, QString::fromUtf8(text));
        value = nullptr;
        if (labels.size() >= MaxValues)
            break;
    }
    return labels;
}

} // namespace

std::uint32_t FourccOfSpaFormat(std::uint32_t spaFormat)
{
    for (const FormatPair& p : Pairs)
        if (p.spa == spaFormat)
            return p.fourcc;
    return 0;
}

std::uint32_t SpaFormatOfFourcc(std::uint32_t fourcc)
{
    for (const FormatPair& p : Pairs)
        if (p.fourcc == fourcc)
            return p.spa;
    return SPA_VIDEO_FORMAT_UNKNOWN;
}

bool PipeWireConvertible(std::uint32_t fourcc)
{
    return PipeWireFrameConverter::Convertible(fourcc);
}

std::vector<PixelFormatChoice> ParseEnumFormat(const spa_pod* pod)
{
    std::vector<PixelFormatChoice> choices;
    if (!IsObject(pod, SPA_TYPE_OBJECT_Format))
        return choices;
    const std::vector<std::uint32_t> fourccs = FourccsOf(pod);
    if (fourccs.empty())
        return choices;
    std::vector<FrameSizeChoice> sizes = SizesOf(Find(pod, SPA_FORMAT_VIDEO_size));
    if (sizes.empty())
        return choices;
    const std::vector<FrameInterval> intervals = IntervalsOf(Find(pod, SPA_FORMAT_VIDEO_framerate));
    for (FrameSizeChoice& size : sizes)
        size.intervals = intervals;
    for (const std::uint32_t fourcc : fourccs)
        choices.push_back({fourcc, GermanPixelFormatName(fourcc, FourccName(fourcc)), sizes});
    return choices;
}

void MergeFormats(std::vector<PixelFormatChoice>& into, const std::vector<PixelFormatChoice>& more)
{
    for (const PixelFormatChoice& format : more) {
        auto known = std::find_if(into.begin(), into.end(),
                                  [&](const PixelFormatChoice& f) { return f.fourcc == format.fourcc; });
        if (known == into.end()) {
            into.push_back(format);
            continue;
        }
        for (const FrameSizeChoice& size : format.sizes) {
            auto same = std::find_if(known->sizes.begin(), known->sizes.end(), [&](const FrameSizeChoice& s) {
                return s.width == size.width && s.height == size.height;
            });
            if (same == known->sizes.end()) {
                known->sizes.push_back(size);
                continue;
            }
            for (const FrameInterval& interval : size.intervals)
                if (std::find(same->intervals.begin(), same->intervals.end(), interval) == same->intervals.end())
                    same->intervals.push_back(interval);
        }
    }
}

std::optional<FormatSetting> ParseFormat(const spa_pod* pod)
{
    if (!IsObject(pod, SPA_TYPE_OBJECT_Format))
        return std::nullopt;
    const std::optional<std::uint32_t> type = FixedId(Find(pod, SPA_FORMAT_mediaType));
    const std::optional<std::uint32_t> subtype = FixedId(Find(pod, SPA_FORMAT_mediaSubtype));
    if (type != SPA_MEDIA_TYPE_video || !subtype)
        return std::nullopt;
    FormatSetting setting;
    if (*subtype == SPA_MEDIA_SUBTYPE_mjpg) {
        setting.fourcc = V4L2_PIX_FMT_MJPEG;
    } else if (*subtype == SPA_MEDIA_SUBTYPE_raw) {
        const std::optional<std::uint32_t> format = FixedId(Find(pod, SPA_FORMAT_VIDEO_format));
        setting.fourcc = format ? FourccOfSpaFormat(*format) : 0;
    }
    if (setting.fourcc == 0 || !PipeWireConvertible(setting.fourcc))
        return std::nullopt;

    std::uint32_t choice = 0;
    std::vector<spa_rectangle> sizes;
    if (!ReadValues(Find(pod, SPA_FORMAT_VIDEO_size), SPA_TYPE_Rectangle, choice, sizes) || choice != SPA_CHOICE_None ||
        !SaneSize(sizes.front().width, sizes.front().height))
        return std::nullopt;
    setting.width = static_cast<int>(sizes.front().width);
    setting.height = static_cast<int>(sizes.front().height);

    std::vector<spa_fraction> rates;
    if (ReadValues(Find(pod, SPA_FORMAT_VIDEO_framerate), SPA_TYPE_Fraction, choice, rates) &&
        choice == SPA_CHOICE_None && SaneRate(rates.front()))
        setting.interval = IntervalOf(rates.front());
    return setting;
}

std::vector<const spa_pod*> BuildEnumFormats(spa_pod_builder& builder, const FormatSetting& wanted)
{
    std::vector<const spa_pod*> params;
    const bool anyFormat = wanted.fourcc == 0;
    if (!anyFormat && !PipeWireConvertible(wanted.fourcc))
        return params;
    const bool fixedSize = SaneSize(static_cast<std::uint32_t>(std::max(wanted.width, 0)),
                                    static_cast<std::uint32_t>(std::max(wanted.height, 0)));
    const bool fixedRate = wanted.interval.numerator > 0 && wanted.interval.denominator > 0;

    // One param for the raw formats (or the one wanted), one for MJPEG.
    auto build = [&](std::uint32_t subtype, const std::vector<std::uint32_t>& spaFormats) {
        spa_pod_frame object{};
        spa_pod_builder_push_object(&builder, &object, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat);
        spa_pod_builder_add(&builder, SPA_FORMAT_mediaType, SPA_POD_Id(SPA_MEDIA_TYPE_video), SPA_FORMAT_mediaSubtype,
                            SPA_POD_Id(subtype), 0);
        if (!spaFormats.empty()) {
            spa_pod_builder_prop(&builder, SPA_FORMAT_VIDEO_format, 0);
            if (spaFormats.size() == 1) {
                spa_pod_builder_id(&builder, spaFormats.front());
            } else {
                spa_pod_frame choice{};
                spa_pod_builder_push_choice(&builder, &choice, SPA_CHOICE_Enum, 0);
                spa_pod_builder_id(&builder, spaFormats.front()); // the default
                for (const std::uint32_t f : spaFormats)
                    spa_pod_builder_id(&builder, f);
                spa_pod_builder_pop(&builder, &choice);
            }
        }
        if (fixedSize) {
            const spa_rectangle size{static_cast<std::uint32_t>(wanted.width),
                                     static_cast<std::uint32_t>(wanted.height)};
            spa_pod_builder_add(&builder, SPA_FORMAT_VIDEO_size, SPA_POD_Rectangle(&size), 0);
        } else {
            const spa_rectangle def{640, 480}, min{1, 1}, max{MaxFrameSide, MaxFrameSide};
            spa_pod_builder_add(&builder, SPA_FORMAT_VIDEO_size, SPA_POD_CHOICE_RANGE_Rectangle(&def, &min, &max), 0);
        }
        if (fixedRate) {
            const spa_fraction rate{wanted.interval.denominator, wanted.interval.numerator};
            spa_pod_builder_add(&builder, SPA_FORMAT_VIDEO_framerate, SPA_POD_Fraction(&rate), 0);
        } else {
            const spa_fraction def{30, 1}, min{0, 1}, max{FastestRate, 1};
            spa_pod_builder_add(&builder, SPA_FORMAT_VIDEO_framerate, SPA_POD_CHOICE_RANGE_Fraction(&def, &min, &max),
                                0);
        }
        if (const auto* pod = static_cast<const spa_pod*>(spa_pod_builder_pop(&builder, &object)))
            params.push_back(pod);
    };

    std::vector<std::uint32_t> raw;
    for (const FormatPair& p : Pairs)
        if (PipeWireConvertible(p.fourcc) && (anyFormat || p.fourcc == wanted.fourcc))
            raw.push_back(p.spa);
    if (!raw.empty())
        build(SPA_MEDIA_SUBTYPE_raw, raw);
    if (anyFormat || wanted.fourcc == V4L2_PIX_FMT_MJPEG)
        build(SPA_MEDIA_SUBTYPE_mjpg, {});
    return params;
}

std::optional<PipeWireControl> ParsePropInfo(const spa_pod* pod)
{
    if (!IsObject(pod, SPA_TYPE_OBJECT_PropInfo))
        return std::nullopt;
    const std::optional<std::uint32_t> key = FixedId(Find(pod, SPA_PROP_INFO_id));
    if (!key)
        return std::nullopt;
    const char* description = nullptr;
    const spa_pod* descriptionPod = Find(pod, SPA_PROP_INFO_description);
    if (descriptionPod == nullptr || spa_pod_get_string(descriptionPod, &description) < 0 || description == nullptr)
        return std::nullopt;

    PipeWireControl control;
    control.key = *key;
    ControlInfo& info = control.info;
    const QString deviceName = QString::fromUtf8(description);
    const std::optional<std::uint32_t> v4l2 = V4l2ControlOf(*key, deviceName);
    info.id = v4l2.value_or(*key);
    info.name = v4l2 ? GermanControlName(*v4l2, deviceName) : deviceName;
    info.group = v4l2 ? V4L2_CTRL_ID2CLASS(*v4l2) : V4L2_CTRL_CLASS_CAMERA;

    const spa_pod* type = Find(pod, SPA_PROP_INFO_type);
    std::uint32_t choice = 0;
    std::vector<std::int32_t> ints;
    if (ReadValues(type, SPA_TYPE_Bool, choice, ints)) {
        control.boolean = true;
        info.kind = ControlInfo::Kind::Boolean;
        info.minimum = 0;
        info.maximum = 1;
        info.defaultValue = ints.front() != 0 ? 1 : 0;
    } else if (ReadValues(type, SPA_TYPE_Int, choice, ints)) {
        if ((choice == SPA_CHOICE_Range && ints.size() >= 3) || (choice == SPA_CHOICE_Step && ints.size() >= 4)) {
            info.kind = ControlInfo::Kind::Integer;
            info.minimum = ints[1];
            info.maximum = ints[2];
            info.step = choice == SPA_CHOICE_Step ? std::max(ints[3], 1) : 1;
            if (info.minimum > info.maximum)
                return std::nullopt;
            info.defaultValue = std::clamp(ints[0], info.minimum, info.maximum);
        } else if (choice == SPA_CHOICE_Enum) {
            info.kind = ControlInfo::Kind::Menu;
            info.defaultValue = ints.front();
            info.items = LabelsOf(Find(pod, SPA_PROP_INFO_labels));
            if (info.items.empty()) // a list of numbers without names
                for (const std::int32_t v : Alternatives(choice, ints, std::equal_to<>()))
                    info.items.emplace_back(v, QString::number(v));
            if (v4l2)
                for (auto& [value, text] : info.items)
                    text = GermanMenuItem(*v4l2, value, text);
            const auto [lowest, highest] = std::minmax_element(
                info.items.begin(), info.items.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
            info.minimum = lowest->first;
            info.maximum = highest->first;
        } else {
            return std::nullopt; // one number alone is a setting of the node, not a control
        }
    } else {
        return std::nullopt; // strings, floats, descriptors
    }
    info.value = info.defaultValue;
    return control;
}

void ApplyProps(const spa_pod* pod, std::vector<PipeWireControl>& controls)
{
    if (!IsObject(pod, SPA_TYPE_OBJECT_Props))
        return;
    for (PipeWireControl& control : controls) {
        std::uint32_t choice = 0;
        std::vector<std::int32_t> values;
        if (!ReadValues(Find(pod, control.key), control.boolean ? SPA_TYPE_Bool : SPA_TYPE_Int, choice, values) ||
            choice != SPA_CHOICE_None)
            continue;
        const int value = control.boolean ? (values.front() != 0 ? 1 : 0) : values.front();
        if (value >= control.info.minimum && value <= control.info.maximum)
            control.info.value = value;
    }
}

const spa_pod* BuildProps(spa_pod_builder& builder, const PipeWireControl& control, int value)
{
    spa_pod_frame object{};
    spa_pod_builder_push_object(&builder, &object, SPA_TYPE_OBJECT_Props, SPA_PARAM_Props);
    spa_pod_builder_prop(&builder, control.key, 0);
    if (control.boolean)
        spa_pod_builder_bool(&builder, value != 0);
    else
        spa_pod_builder_int(&builder, value);
    return static_cast<const spa_pod*>(spa_pod_builder_pop(&builder, &object));
}

} // namespace camera
