// What PipeWire's camera nodes say, translated: EnumFormat and Format pods
// into format choices, the formats a reading stream offers (checked with
// PipeWire's own filter, as the daemon intersects them), PropInfo and Props
// into controls. Pods are built as the nodes build them, and then broken:
// wrong types, zero and absurd sizes, missing keys, sizes that run out of
// the pod. Those are refused, never read beyond.

#include "camera/pipewire/PipeWireFormats.h"

#include <linux/videodev2.h>
#include <spa/param/format.h>
#include <spa/param/param.h>
#include <spa/param/props.h>
#include <spa/param/video/raw.h>
#include <spa/pod/builder.h>
#include <spa/pod/filter.h>
#include <spa/pod/iter.h>

#include <gtest/gtest.h>

#include <cstring>
#include <tuple>
#include <vector>

namespace {

using camera::ControlInfo;
using camera::FormatSetting;
using camera::FrameInterval;
using camera::PixelFormatChoice;

// A builder over its own memory; pods built into it stay valid as long as it.
struct Builder {
    Builder() { spa_pod_builder_init(&b, bytes, sizeof bytes); }
    Builder(const Builder&) = delete;
    alignas(8) std::uint8_t bytes[16384];
    spa_pod_builder b{};
};

// A format object with the usual keys; the size and rate pods are added by
// `more`.
template <typename More>
spa_pod* VideoFormat(Builder& builder, std::uint32_t param, std::uint32_t subtype, More more)
{
    spa_pod_frame f{};
    spa_pod_builder_push_object(&builder.b, &f, SPA_TYPE_OBJECT_Format, param);
    spa_pod_builder_add(&builder.b, SPA_FORMAT_mediaType, SPA_POD_Id(SPA_MEDIA_TYPE_video), SPA_FORMAT_mediaSubtype,
                        SPA_POD_Id(subtype), 0);
    more(builder.b);
    return static_cast<spa_pod*>(spa_pod_builder_pop(&builder.b, &f));
}

// A raw format as a V4L2 node lists one frame size: one format, one size,
// its rates as an enum.
spa_pod* NodeFormat(Builder& builder, std::uint32_t format, std::uint32_t w, std::uint32_t h,
                    std::vector<spa_fraction> rates)
{
    return VideoFormat(builder, SPA_PARAM_EnumFormat, SPA_MEDIA_SUBTYPE_raw, [&](spa_pod_builder& b) {
        const spa_rectangle size{w, h};
        spa_pod_builder_add(&b, SPA_FORMAT_VIDEO_format, SPA_POD_Id(format), SPA_FORMAT_VIDEO_size,
                            SPA_POD_Rectangle(&size), 0);
        spa_pod_builder_prop(&b, SPA_FORMAT_VIDEO_framerate, 0);
        spa_pod_frame c{};
        spa_pod_builder_push_choice(&b, &c, SPA_CHOICE_Enum, 0);
        spa_pod_builder_fraction(&b, rates.front().num, rates.front().denom);
        for (const spa_fraction& r : rates)
            spa_pod_builder_fraction(&b, r.num, r.denom);
        spa_pod_builder_pop(&b, &c);
    });
}

// The value pod of property `key` in `object`, to break it.
spa_pod* ValueOf(spa_pod* object, std::uint32_t key)
{
    const spa_pod_prop* prop = spa_pod_find_prop(object, nullptr, key);
    return prop != nullptr ? const_cast<spa_pod*>(&prop->value) : nullptr;
}

std::vector<std::pair<int, int>> SizesOf(const PixelFormatChoice& format)
{
    std::vector<std::pair<int, int>> sizes;
    for (const auto& s : format.sizes)
        sizes.emplace_back(s.width, s.height);
    return sizes;
}

FrameInterval Every(std::uint32_t framesPerSecond)
{
    return {1, framesPerSecond};
}

TEST(PipeWireFormatTable, NamesEachLayoutByTheSameBytesOnBothSides)
{
    EXPECT_EQ(camera::FourccOfSpaFormat(SPA_VIDEO_FORMAT_YUY2), V4L2_PIX_FMT_YUYV);
    EXPECT_EQ(camera::FourccOfSpaFormat(SPA_VIDEO_FORMAT_VYUY), V4L2_PIX_FMT_VYUY);
    EXPECT_EQ(camera::FourccOfSpaFormat(SPA_VIDEO_FORMAT_I420), V4L2_PIX_FMT_YUV420);
    EXPECT_EQ(camera::FourccOfSpaFormat(SPA_VIDEO_FORMAT_YV12), V4L2_PIX_FMT_YVU420);
    EXPECT_EQ(camera::FourccOfSpaFormat(SPA_VIDEO_FORMAT_NV21), V4L2_PIX_FMT_NV21);
    EXPECT_EQ(camera::FourccOfSpaFormat(SPA_VIDEO_FORMAT_RGB), V4L2_PIX_FMT_RGB24);
    EXPECT_EQ(camera::FourccOfSpaFormat(SPA_VIDEO_FORMAT_BGR), V4L2_PIX_FMT_BGR24);
    // B, G, R, x in memory on both sides, as PipeWire's own V4L2 node pairs them.
    EXPECT_EQ(camera::FourccOfSpaFormat(SPA_VIDEO_FORMAT_BGRx), V4L2_PIX_FMT_XBGR32);
    EXPECT_EQ(camera::FourccOfSpaFormat(SPA_VIDEO_FORMAT_xRGB), V4L2_PIX_FMT_XRGB32);
    EXPECT_EQ(camera::FourccOfSpaFormat(SPA_VIDEO_FORMAT_GRAY8), V4L2_PIX_FMT_GREY);
    EXPECT_EQ(camera::FourccOfSpaFormat(SPA_VIDEO_FORMAT_UNKNOWN), 0u);
    EXPECT_EQ(camera::FourccOfSpaFormat(SPA_VIDEO_FORMAT_NV12_64Z32), 0u);
    for (std::uint32_t spa = 0; spa < 200; ++spa) {
        if (const std::uint32_t fourcc = camera::FourccOfSpaFormat(spa)) {
            EXPECT_EQ(camera::SpaFormatOfFourcc(fourcc), spa) << spa;
        }
    }
    EXPECT_EQ(camera::SpaFormatOfFourcc(V4L2_PIX_FMT_MJPEG), SPA_VIDEO_FORMAT_UNKNOWN);

    for (const std::uint32_t yes : {V4L2_PIX_FMT_YUYV, V4L2_PIX_FMT_UYVY, V4L2_PIX_FMT_NV12, V4L2_PIX_FMT_YUV420,
                                    V4L2_PIX_FMT_RGB24, V4L2_PIX_FMT_MJPEG, V4L2_PIX_FMT_GREY, V4L2_PIX_FMT_XBGR32})
        EXPECT_TRUE(camera::PipeWireConvertible(yes)) << yes;
    for (const std::uint32_t no : {V4L2_PIX_FMT_SBGGR8, V4L2_PIX_FMT_H264, 0u})
        EXPECT_FALSE(camera::PipeWireConvertible(no)) << no;
}

TEST(PipeWireEnumFormat, ReadsWhatAV4l2NodeListsOneSizeAtATime)
{
    Builder builder;
    std::vector<PixelFormatChoice> formats;
    camera::MergeFormats(
        formats, camera::ParseEnumFormat(NodeFormat(builder, SPA_VIDEO_FORMAT_YUY2, 640, 480, {{30, 1}, {15, 1}})));
    camera::MergeFormats(formats, camera::ParseEnumFormat(
                                      NodeFormat(builder, SPA_VIDEO_FORMAT_YUY2, 320, 240, {{30, 1}, {30000, 1001}})));
    // The same size again with another rate: the rates join.
    camera::MergeFormats(formats,
                         camera::ParseEnumFormat(NodeFormat(builder, SPA_VIDEO_FORMAT_YUY2, 640, 480, {{5, 1}})));
    camera::MergeFormats(formats,
                         camera::ParseEnumFormat(NodeFormat(builder, SPA_VIDEO_FORMAT_NV12, 640, 480, {{30, 1}})));
    // Formats that cannot be converted are left out.
    camera::MergeFormats(formats,
                         camera::ParseEnumFormat(NodeFormat(builder, SPA_VIDEO_FORMAT_RGB16, 640, 480, {{30, 1}})));

    ASSERT_EQ(formats.size(), 2u);
    EXPECT_EQ(formats[0].fourcc, V4L2_PIX_FMT_YUYV);
    EXPECT_EQ(formats[0].description, QStringLiteral("YUV 4:2:2 gepackt (YUYV)"));
    EXPECT_EQ(SizesOf(formats[0]), (std::vector<std::pair<int, int>>{{640, 480}, {320, 240}}));
    EXPECT_EQ(formats[0].sizes[0].intervals, (std::vector<FrameInterval>{Every(30), Every(15), Every(5)}));
    EXPECT_EQ(formats[0].sizes[1].intervals, (std::vector<FrameInterval>{Every(30), {1001, 30000}}));
    EXPECT_EQ(formats[1].fourcc, V4L2_PIX_FMT_NV12);
}

TEST(PipeWireEnumFormat, TurnsChoicesAndRangesIntoFixedSizesAndRates)
{
    Builder builder;
    // A published camera: several formats at once, sizes as an enum whose
    // default is also listed, a fixed rate.
    const spa_pod* many = VideoFormat(builder, SPA_PARAM_EnumFormat, SPA_MEDIA_SUBTYPE_raw, [](spa_pod_builder& b) {
        const spa_rectangle vga{640, 480}, hd{1280, 720};
        const spa_fraction rate{25, 1};
        spa_pod_builder_add(&b, SPA_FORMAT_VIDEO_format,
                            SPA_POD_CHOICE_ENUM_Id(5, SPA_VIDEO_FORMAT_I420, SPA_VIDEO_FORMAT_I420,
                                                   SPA_VIDEO_FORMAT_RGB16, SPA_VIDEO_FORMAT_UYVY, 9999u),
                            SPA_FORMAT_VIDEO_size, SPA_POD_CHOICE_ENUM_Rectangle(3, &vga, &vga, &hd),
                            SPA_FORMAT_VIDEO_framerate, SPA_POD_Fraction(&rate), 0);
    });
    std::vector<PixelFormatChoice> formats = camera::ParseEnumFormat(many);
    ASSERT_EQ(formats.size(), 2u);
    EXPECT_EQ(formats[0].fourcc, V4L2_PIX_FMT_YUV420);
    EXPECT_EQ(formats[1].fourcc, V4L2_PIX_FMT_UYVY);
    EXPECT_EQ(SizesOf(formats[1]), (std::vector<std::pair<int, int>>{{640, 480}, {1280, 720}}));
    EXPECT_EQ(formats[1].sizes[1].intervals, std::vector<FrameInterval>{Every(25)});

    // A stepped size range and a rate range: the common sizes on the grid,
    // its largest, the common rates inside and the fastest first.
    const spa_pod* ranged = VideoFormat(builder, SPA_PARAM_EnumFormat, SPA_MEDIA_SUBTYPE_mjpg, [](spa_pod_builder& b) {
        const spa_rectangle def{640, 480}, min{320, 240}, max{1924, 1084}, step{16, 8};
        const spa_fraction fdef{30, 1}, fmin{12, 1}, fmax{30, 1};
        spa_pod_builder_add(&b, SPA_FORMAT_VIDEO_size, SPA_POD_CHOICE_STEP_Rectangle(&def, &min, &max, &step),
                            SPA_FORMAT_VIDEO_framerate, SPA_POD_CHOICE_RANGE_Fraction(&fdef, &fmin, &fmax), 0);
    });
    formats = camera::ParseEnumFormat(ranged);
    ASSERT_EQ(formats.size(), 1u);
    EXPECT_EQ(formats[0].fourcc, V4L2_PIX_FMT_MJPEG);
    // 424x240 and 960x540 are off the grid (16 by 8 from 320x240),
    // 1600x1200 is too high; the largest the range reaches on it is 1920x1080.
    EXPECT_EQ(SizesOf(formats[0]), (std::vector<std::pair<int, int>>{{320, 240},
                                                                     {352, 288},
                                                                     {640, 360},
                                                                     {640, 480},
                                                                     {800, 448},
                                                                     {800, 600},
                                                                     {848, 480},
                                                                     {1024, 576},
                                                                     {1024, 768},
                                                                     {1280, 720},
                                                                     {1280, 960},
                                                                     {1920, 1080}}));
    EXPECT_EQ(formats[0].sizes[0].intervals,
              (std::vector<FrameInterval>{Every(30), Every(25), Every(24), Every(20), Every(15)}));

    // A variable rate (0/1) is no rate: the node sets its own.
    const spa_pod* variable = NodeFormat(builder, SPA_VIDEO_FORMAT_YUY2, 160, 120, {{0, 1}});
    formats = camera::ParseEnumFormat(variable);
    ASSERT_EQ(formats.size(), 1u);
    EXPECT_TRUE(formats[0].sizes[0].intervals.empty());
}

TEST(PipeWireEnumFormat, RefusesPodsThatAreNotOneOrLie)
{
    Builder builder;
    auto raw = [&](auto more) { return VideoFormat(builder, SPA_PARAM_EnumFormat, SPA_MEDIA_SUBTYPE_raw, more); };
    const spa_rectangle vga{640, 480};

    EXPECT_TRUE(camera::ParseEnumFormat(
                    static_cast<spa_pod*>(spa_pod_builder_add_object(&builder.b, SPA_TYPE_OBJECT_Props, SPA_PARAM_Props,
                                                                     SPA_PROP_brightness, SPA_POD_Int(1))))
                    .empty());
    const spa_pod_int number = SPA_POD_INIT_Int(7); // not an object at all
    EXPECT_TRUE(camera::ParseEnumFormat(&number.pod).empty());
    // Audio, and a format without any size.
    EXPECT_TRUE(camera::ParseEnumFormat(
                    static_cast<spa_pod*>(spa_pod_builder_add_object(
                        &builder.b, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat, SPA_FORMAT_mediaType,
                        SPA_POD_Id(SPA_MEDIA_TYPE_audio), SPA_FORMAT_mediaSubtype, SPA_POD_Id(SPA_MEDIA_SUBTYPE_raw))))
                    .empty());
    EXPECT_TRUE(camera::ParseEnumFormat(raw([](spa_pod_builder& b) {
                    spa_pod_builder_add(&b, SPA_FORMAT_VIDEO_format, SPA_POD_Id(SPA_VIDEO_FORMAT_YUY2), 0);
                })).empty());
    // The format as an Int, the size as an Int, no format at all.
    EXPECT_TRUE(camera::ParseEnumFormat(raw([&](spa_pod_builder& b) {
                    spa_pod_builder_add(&b, SPA_FORMAT_VIDEO_format, SPA_POD_Int(SPA_VIDEO_FORMAT_YUY2),
                                        SPA_FORMAT_VIDEO_size, SPA_POD_Rectangle(&vga), 0);
                })).empty());
    EXPECT_TRUE(camera::ParseEnumFormat(raw([](spa_pod_builder& b) {
                    spa_pod_builder_add(&b, SPA_FORMAT_VIDEO_format, SPA_POD_Id(SPA_VIDEO_FORMAT_YUY2),
                                        SPA_FORMAT_VIDEO_size, SPA_POD_Int(640), 0);
                })).empty());
    EXPECT_TRUE(camera::ParseEnumFormat(raw([&](spa_pod_builder& b) {
                    spa_pod_builder_add(&b, SPA_FORMAT_VIDEO_size, SPA_POD_Rectangle(&vga), 0);
                })).empty());
    // Zero and absurd sizes, an upside-down range.
    for (const spa_rectangle bad :
         {spa_rectangle{0, 480}, spa_rectangle{640, 0}, spa_rectangle{100000, 480}, spa_rectangle{640, 4000000000u}})
        EXPECT_TRUE(
            camera::ParseEnumFormat(NodeFormat(builder, SPA_VIDEO_FORMAT_YUY2, bad.width, bad.height, {{30, 1}}))
                .empty())
            << bad.width << "x" << bad.height;
    EXPECT_TRUE(camera::ParseEnumFormat(raw([](spa_pod_builder& b) {
                    const spa_rectangle def{640, 480}, min{1280, 720}, max{320, 240};
                    spa_pod_builder_add(&b, SPA_FORMAT_VIDEO_format, SPA_POD_Id(SPA_VIDEO_FORMAT_YUY2),
                                        SPA_FORMAT_VIDEO_size, SPA_POD_CHOICE_RANGE_Rectangle(&def, &min, &max), 0);
                })).empty());
    // A range up to the largest number keeps to sizes a converter takes.
    const std::vector<PixelFormatChoice> wide = camera::ParseEnumFormat(raw([](spa_pod_builder& b) {
        const spa_rectangle def{640, 480}, min{1, 1}, max{UINT32_MAX, UINT32_MAX};
        spa_pod_builder_add(&b, SPA_FORMAT_VIDEO_format, SPA_POD_Id(SPA_VIDEO_FORMAT_YUY2), SPA_FORMAT_VIDEO_size,
                            SPA_POD_CHOICE_RANGE_Rectangle(&def, &min, &max), 0);
    }));
    ASSERT_EQ(wide.size(), 1u);
    EXPECT_EQ(wide[0].sizes.back().width, 3840);
    // Rates of zero and with a zero denominator are dropped, the size stays.
    const std::vector<PixelFormatChoice> rates = camera::ParseEnumFormat(
        NodeFormat(builder, SPA_VIDEO_FORMAT_YUY2, 640, 480, {{30, 0}, {0, 0}, {20, 1}}));
    ASSERT_EQ(rates.size(), 1u);
    EXPECT_EQ(rates[0].sizes[0].intervals, std::vector<FrameInterval>{Every(20)});
}

TEST(PipeWireEnumFormat, NeverReadsBeyondAPodWhoseInsidesClaimMoreThanItHolds)
{
    Builder builder;
    // Each case breaks a sound pod in one place.
    auto sound = [&] { return NodeFormat(builder, SPA_VIDEO_FORMAT_YUY2, 640, 480, {{30, 1}}); };
    ASSERT_EQ(camera::ParseEnumFormat(sound()).size(), 1u);

    // The size's value claims nearly 4 GiB: 32-bit sums wrap round there.
    spa_pod* pod = sound();
    ValueOf(pod, SPA_FORMAT_VIDEO_size)->size = 0xfffffff0u;
    EXPECT_TRUE(camera::ParseEnumFormat(pod).empty());
    // One byte more than the object holds.
    pod = sound();
    ValueOf(pod, SPA_FORMAT_VIDEO_framerate)->size += 8;
    EXPECT_TRUE(camera::ParseEnumFormat(pod)[0].sizes[0].intervals.empty());
    // A rate choice whose values are of the wrong size, or of size zero.
    for (const std::uint32_t childSize : {0u, 4u, 12u}) {
        pod = sound();
        auto* choice = reinterpret_cast<spa_pod_choice*>(ValueOf(pod, SPA_FORMAT_VIDEO_framerate));
        choice->body.child.size = childSize;
        const std::vector<PixelFormatChoice> parsed = camera::ParseEnumFormat(pod);
        ASSERT_EQ(parsed.size(), 1u) << childSize;
        EXPECT_TRUE(parsed[0].sizes[0].intervals.empty()) << childSize;
    }
    // A choice too short for its own header.
    pod = sound();
    ValueOf(pod, SPA_FORMAT_VIDEO_size)->type = SPA_TYPE_Choice;
    EXPECT_TRUE(camera::ParseEnumFormat(pod).empty());
    // The object's own size cut to its header: no properties left.
    pod = sound();
    pod->size = sizeof(spa_pod_object_body);
    EXPECT_TRUE(camera::ParseEnumFormat(pod).empty());

    // Thousands of values are cut, not taken one by one.
    Builder big;
    const spa_pod* flood = VideoFormat(big, SPA_PARAM_EnumFormat, SPA_MEDIA_SUBTYPE_raw, [](spa_pod_builder& b) {
        spa_pod_builder_add(&b, SPA_FORMAT_VIDEO_format, SPA_POD_Id(SPA_VIDEO_FORMAT_YUY2), 0);
        spa_pod_builder_prop(&b, SPA_FORMAT_VIDEO_size, 0);
        spa_pod_frame c{};
        spa_pod_builder_push_choice(&b, &c, SPA_CHOICE_Enum, 0);
        for (std::uint32_t i = 0; i < 1500; ++i)
            spa_pod_builder_rectangle(&b, 16 + i, 16);
        spa_pod_builder_pop(&b, &c);
    });
    ASSERT_NE(flood, nullptr);
    const std::vector<PixelFormatChoice> cut = camera::ParseEnumFormat(flood);
    ASSERT_EQ(cut.size(), 1u);
    EXPECT_LE(cut[0].sizes.size(), 256u);
}

TEST(PipeWireFormat, ReadsTheAgreedFormatAndOnlyAFixedOne)
{
    Builder builder;
    const spa_pod* agreed = VideoFormat(builder, SPA_PARAM_Format, SPA_MEDIA_SUBTYPE_raw, [](spa_pod_builder& b) {
        const spa_rectangle size{320, 240};
        const spa_fraction rate{15, 1};
        spa_pod_builder_add(&b, SPA_FORMAT_VIDEO_format, SPA_POD_Id(SPA_VIDEO_FORMAT_YUY2), SPA_FORMAT_VIDEO_size,
                            SPA_POD_Rectangle(&size), SPA_FORMAT_VIDEO_framerate, SPA_POD_Fraction(&rate), 0);
    });
    EXPECT_EQ(camera::ParseFormat(agreed), (FormatSetting{V4L2_PIX_FMT_YUYV, 320, 240, Every(15)}));

    const spa_pod* mjpeg = VideoFormat(builder, SPA_PARAM_Format, SPA_MEDIA_SUBTYPE_mjpg, [](spa_pod_builder& b) {
        const spa_rectangle size{1280, 720};
        spa_pod_builder_add(&b, SPA_FORMAT_VIDEO_size, SPA_POD_Rectangle(&size), 0);
    });
    EXPECT_EQ(camera::ParseFormat(mjpeg), (FormatSetting{V4L2_PIX_FMT_MJPEG, 1280, 720, {}}));

    // A rate still open is no rate; a size still open, or a format we
    // cannot convert, is no format.
    EXPECT_EQ(camera::ParseFormat(NodeFormat(builder, SPA_VIDEO_FORMAT_YUY2, 320, 240, {{30, 1}, {15, 1}})),
              (FormatSetting{V4L2_PIX_FMT_YUYV, 320, 240, {}}));
    const spa_pod* open = VideoFormat(builder, SPA_PARAM_Format, SPA_MEDIA_SUBTYPE_raw, [](spa_pod_builder& b) {
        const spa_rectangle def{640, 480}, min{1, 1}, max{1920, 1080};
        spa_pod_builder_add(&b, SPA_FORMAT_VIDEO_format, SPA_POD_Id(SPA_VIDEO_FORMAT_YUY2), SPA_FORMAT_VIDEO_size,
                            SPA_POD_CHOICE_RANGE_Rectangle(&def, &min, &max), 0);
    });
    EXPECT_FALSE(camera::ParseFormat(open).has_value());
    const spa_pod* rgb16 = VideoFormat(builder, SPA_PARAM_Format, SPA_MEDIA_SUBTYPE_raw, [](spa_pod_builder& b) {
        const spa_rectangle size{320, 240};
        spa_pod_builder_add(&b, SPA_FORMAT_VIDEO_format, SPA_POD_Id(SPA_VIDEO_FORMAT_RGB16), SPA_FORMAT_VIDEO_size,
                            SPA_POD_Rectangle(&size), 0);
    });
    EXPECT_FALSE(camera::ParseFormat(rgb16).has_value());
    const spa_pod* empty = VideoFormat(builder, SPA_PARAM_Format, SPA_MEDIA_SUBTYPE_raw, [](spa_pod_builder& b) {
        const spa_rectangle size{0, 0};
        spa_pod_builder_add(&b, SPA_FORMAT_VIDEO_format, SPA_POD_Id(SPA_VIDEO_FORMAT_YUY2), SPA_FORMAT_VIDEO_size,
                            SPA_POD_Rectangle(&size), 0);
    });
    EXPECT_FALSE(camera::ParseFormat(empty).has_value());
}

// What the daemon does with our offer: intersects it with the node's.
std::optional<FormatSetting> Negotiate(const std::vector<const spa_pod*>& offer, const spa_pod* node)
{
    for (const spa_pod* ours : offer) {
        Builder result;
        spa_pod* agreed = nullptr;
        if (spa_pod_filter(&result.b, &agreed, node, ours) >= 0 && agreed != nullptr) {
            // The node's enum rates are fixed to their default, as the daemon does.
            spa_pod_fixate(agreed);
            return camera::ParseFormat(agreed);
        }
    }
    return std::nullopt;
}

TEST(PipeWireOffer, OffersEveryConvertibleFormatOrExactlyTheWantedOne)
{
    Builder nodes;
    const spa_pod* yuy2 = NodeFormat(nodes, SPA_VIDEO_FORMAT_YUY2, 640, 480, {{30, 1}, {15, 1}});
    const spa_pod* nv12 = NodeFormat(nodes, SPA_VIDEO_FORMAT_NV12, 1280, 720, {{30, 1}});
    const spa_pod* bgrx = NodeFormat(nodes, SPA_VIDEO_FORMAT_BGRx, 640, 480, {{30, 1}});
    const spa_pod* rgb16 = NodeFormat(nodes, SPA_VIDEO_FORMAT_RGB16, 640, 480, {{30, 1}});
    const spa_pod* mjpeg = VideoFormat(nodes, SPA_PARAM_EnumFormat, SPA_MEDIA_SUBTYPE_mjpg, [](spa_pod_builder& b) {
        const spa_rectangle size{1920, 1080};
        const spa_fraction rate{30, 1};
        spa_pod_builder_add(&b, SPA_FORMAT_VIDEO_size, SPA_POD_Rectangle(&size), SPA_FORMAT_VIDEO_framerate,
                            SPA_POD_Fraction(&rate), 0);
    });

    Builder ours;
    const std::vector<const spa_pod*> any = camera::BuildEnumFormats(ours.b, {});
    ASSERT_EQ(any.size(), 2u);
    EXPECT_EQ(Negotiate(any, yuy2), (FormatSetting{V4L2_PIX_FMT_YUYV, 640, 480, Every(30)}));
    EXPECT_EQ(Negotiate(any, nv12), (FormatSetting{V4L2_PIX_FMT_NV12, 1280, 720, Every(30)}));
    EXPECT_EQ(Negotiate(any, mjpeg), (FormatSetting{V4L2_PIX_FMT_MJPEG, 1920, 1080, Every(30)}));
    EXPECT_EQ(Negotiate(any, bgrx), (FormatSetting{V4L2_PIX_FMT_XBGR32, 640, 480, Every(30)}));
    EXPECT_FALSE(Negotiate(any, rgb16).has_value());
    // Read back, the offer lists every convertible layout PipeWire names.
    std::vector<PixelFormatChoice> offered;
    for (const spa_pod* pod : any)
        camera::MergeFormats(offered, camera::ParseEnumFormat(pod));
    EXPECT_EQ(offered.size(), 20u) << "19 raw layouts and MJPEG";

    // Exactly one format, size and rate.
    Builder exact;
    const FormatSetting slow{V4L2_PIX_FMT_YUYV, 640, 480, Every(15)};
    const std::vector<const spa_pod*> one = camera::BuildEnumFormats(exact.b, slow);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(camera::ParseFormat(one[0]), slow);
    EXPECT_EQ(Negotiate(one, yuy2), slow);
    EXPECT_FALSE(Negotiate(one, nv12).has_value());
    EXPECT_FALSE(Negotiate(camera::BuildEnumFormats(exact.b, {V4L2_PIX_FMT_YUYV, 320, 240, {}}), yuy2).has_value());
    EXPECT_EQ(Negotiate(camera::BuildEnumFormats(exact.b, {V4L2_PIX_FMT_MJPEG, 0, 0, {}}), mjpeg),
              (FormatSetting{V4L2_PIX_FMT_MJPEG, 1920, 1080, Every(30)}));

    // Nothing for what cannot be converted, nor without room.
    EXPECT_TRUE(camera::BuildEnumFormats(exact.b, {V4L2_PIX_FMT_SBGGR8, 640, 480, {}}).empty());
    std::uint8_t tiny[64];
    spa_pod_builder small{};
    spa_pod_builder_init(&small, tiny, sizeof tiny);
    EXPECT_TRUE(camera::BuildEnumFormats(small, {}).empty());
}

// A PropInfo as PipeWire's V4L2 node builds it for an integer control.
spa_pod* IntegerInfo(Builder& builder, std::uint32_t key, const char* name, int def, int min, int max, int step)
{
    return static_cast<spa_pod*>(spa_pod_builder_add_object(
        &builder.b, SPA_TYPE_OBJECT_PropInfo, SPA_PARAM_PropInfo, SPA_PROP_INFO_id, SPA_POD_Id(key), SPA_PROP_INFO_type,
        SPA_POD_CHOICE_STEP_Int(def, min, max, step), SPA_PROP_INFO_description, SPA_POD_String(name)));
}

// And for a menu: an enum of its default, and the entries as labels.
spa_pod* MenuInfo(Builder& builder, std::uint32_t key, const char* name, int def,
                  const std::vector<std::pair<int, const char*>>& entries)
{
    spa_pod_frame f{}, labels{};
    spa_pod_builder_push_object(&builder.b, &f, SPA_TYPE_OBJECT_PropInfo, SPA_PARAM_PropInfo);
    spa_pod_builder_add(&builder.b, SPA_PROP_INFO_id, SPA_POD_Id(key), SPA_PROP_INFO_type,
                        SPA_POD_CHOICE_ENUM_Int(1, def), SPA_PROP_INFO_description, SPA_POD_String(name), 0);
    spa_pod_builder_prop(&builder.b, SPA_PROP_INFO_labels, 0);
    spa_pod_builder_push_struct(&builder.b, &labels);
    for (const auto& [value, text] : entries) {
        spa_pod_builder_int(&builder.b, value);
        spa_pod_builder_string(&builder.b, text);
    }
    spa_pod_builder_pop(&builder.b, &labels);
    return static_cast<spa_pod*>(spa_pod_builder_pop(&builder.b, &f));
}

constexpr std::uint32_t Custom(std::uint32_t v4l2Id)
{
    return SPA_PROP_START_CUSTOM + v4l2Id;
}

TEST(PipeWireControls, ReadsAV4l2NodesControlsAsOnAV4l2Camera)
{
    Builder builder;
    const auto brightness = camera::ParsePropInfo(
        IntegerInfo(builder, SPA_PROP_brightness, "Brightness", 128, 0, 255, 1));
    ASSERT_TRUE(brightness.has_value());
    EXPECT_EQ(brightness->key, static_cast<std::uint32_t>(SPA_PROP_brightness));
    EXPECT_EQ(brightness->info.id, static_cast<std::uint32_t>(V4L2_CID_BRIGHTNESS));
    EXPECT_EQ(brightness->info.name, QStringLiteral("Helligkeit"));
    EXPECT_EQ(brightness->info.kind, ControlInfo::Kind::Integer);
    EXPECT_EQ(brightness->info.group, static_cast<std::uint32_t>(V4L2_CTRL_CLASS_USER));
    EXPECT_EQ(std::tie(brightness->info.minimum, brightness->info.maximum, brightness->info.step,
                       brightness->info.defaultValue, brightness->info.value),
              std::make_tuple(0, 255, 1, 128, 128));

    // SPA's exposure is V4L2's Exposure or its Exposure Time, by name.
    EXPECT_EQ(camera::ParsePropInfo(IntegerInfo(builder, SPA_PROP_exposure, "Exposure Time, Absolute", 100, 1, 5000, 1))
                  ->info.id,
              static_cast<std::uint32_t>(V4L2_CID_EXPOSURE_ABSOLUTE));
    EXPECT_EQ(camera::ParsePropInfo(IntegerInfo(builder, SPA_PROP_exposure, "Exposure", 100, 1, 5000, 1))->info.id,
              static_cast<std::uint32_t>(V4L2_CID_EXPOSURE));

    const auto flip = camera::ParsePropInfo(static_cast<spa_pod*>(spa_pod_builder_add_object(
        &builder.b, SPA_TYPE_OBJECT_PropInfo, SPA_PARAM_PropInfo, SPA_PROP_INFO_id, SPA_POD_Id(Custom(V4L2_CID_HFLIP)),
        SPA_PROP_INFO_type, SPA_POD_CHOICE_Bool(true), SPA_PROP_INFO_description, SPA_POD_String("Horizontal Flip"))));
    ASSERT_TRUE(flip.has_value());
    EXPECT_TRUE(flip->boolean);
    EXPECT_EQ(flip->info.id, static_cast<std::uint32_t>(V4L2_CID_HFLIP));
    EXPECT_EQ(flip->info.name, QStringLiteral("Waagerecht spiegeln"));
    EXPECT_EQ(flip->info.kind, ControlInfo::Kind::Boolean);
    EXPECT_EQ(flip->info.defaultValue, 1);

    const auto power = camera::ParsePropInfo(MenuInfo(builder, Custom(V4L2_CID_POWER_LINE_FREQUENCY),
                                                      "Power Line Frequency", 1,
                                                      {{0, "Disabled"}, {1, "50 Hz"}, {2, "60 Hz"}}));
    ASSERT_TRUE(power.has_value());
    EXPECT_EQ(power->info.kind, ControlInfo::Kind::Menu);
    EXPECT_EQ(power->info.name, QStringLiteral("Netzfrequenz"));
    EXPECT_EQ(power->info.group, static_cast<std::uint32_t>(V4L2_CTRL_CLASS_USER));
    EXPECT_EQ(power->info.items,
              (std::vector<std::pair<int, QString>>{
                  {0, QStringLiteral("Aus")}, {1, QStringLiteral("50 Hz")}, {2, QStringLiteral("60 Hz")}}));
    EXPECT_EQ(std::tie(power->info.minimum, power->info.maximum, power->info.defaultValue), std::make_tuple(0, 2, 1));

    // A control the program has no German name for keeps the device's; one
    // of another camera stack keeps its own id.
    const auto vendor = camera::ParsePropInfo(
        IntegerInfo(builder, Custom(V4L2_CID_USER_BASE + 0x1000), "Vendor Knob", 0, -5, 5, 1));
    ASSERT_TRUE(vendor.has_value());
    EXPECT_EQ(vendor->info.name, QStringLiteral("Vendor Knob"));
    const auto libcamera = camera::ParsePropInfo(static_cast<spa_pod*>(
        spa_pod_builder_add_object(&builder.b, SPA_TYPE_OBJECT_PropInfo, SPA_PARAM_PropInfo, SPA_PROP_INFO_id,
                                   SPA_POD_Id(Custom(7)), SPA_PROP_INFO_type, SPA_POD_CHOICE_RANGE_Int(0, -100, 100),
                                   SPA_PROP_INFO_description, SPA_POD_String("AnalogueGain"))));
    ASSERT_TRUE(libcamera.has_value());
    EXPECT_EQ(libcamera->info.id, Custom(7));
    EXPECT_EQ(libcamera->info.step, 1);
}

TEST(PipeWireControls, LeavesOutTheNodesOtherPropertiesAndBrokenOnes)
{
    Builder builder;
    // What a V4L2 node lists before its controls: the device, its fd.
    EXPECT_FALSE(camera::ParsePropInfo(
                     static_cast<spa_pod*>(spa_pod_builder_add_object(
                         &builder.b, SPA_TYPE_OBJECT_PropInfo, SPA_PARAM_PropInfo, SPA_PROP_INFO_id,
                         SPA_POD_Id(SPA_PROP_device), SPA_PROP_INFO_description, SPA_POD_String("The V4L2 device"),
                         SPA_PROP_INFO_type, SPA_POD_String("/dev/video0"))))
                     .has_value());
    EXPECT_FALSE(camera::ParsePropInfo(static_cast<spa_pod*>(spa_pod_builder_add_object(
                                           &builder.b, SPA_TYPE_OBJECT_PropInfo, SPA_PARAM_PropInfo, SPA_PROP_INFO_id,
                                           SPA_POD_Id(SPA_PROP_deviceFd), SPA_PROP_INFO_description,
                                           SPA_POD_String("The V4L2 fd"), SPA_PROP_INFO_type, SPA_POD_Int(12))))
                     .has_value());
    // Floats cannot be shown as integers.
    EXPECT_FALSE(camera::ParsePropInfo(
                     static_cast<spa_pod*>(spa_pod_builder_add_object(
                         &builder.b, SPA_TYPE_OBJECT_PropInfo, SPA_PARAM_PropInfo, SPA_PROP_INFO_id,
                         SPA_POD_Id(Custom(3)), SPA_PROP_INFO_type, SPA_POD_CHOICE_RANGE_Float(1.0f, 0.0f, 2.0f),
                         SPA_PROP_INFO_description, SPA_POD_String("Contrast"))))
                     .has_value());
    // No id, the id as an Int, no name, a name without its end.
    EXPECT_FALSE(camera::ParsePropInfo(
                     static_cast<spa_pod*>(spa_pod_builder_add_object(
                         &builder.b, SPA_TYPE_OBJECT_PropInfo, SPA_PARAM_PropInfo, SPA_PROP_INFO_type,
                         SPA_POD_CHOICE_STEP_Int(1, 0, 2, 1), SPA_PROP_INFO_description, SPA_POD_String("Gain"))))
                     .has_value());
    EXPECT_FALSE(
        camera::ParsePropInfo(static_cast<spa_pod*>(spa_pod_builder_add_object(
                                  &builder.b, SPA_TYPE_OBJECT_PropInfo, SPA_PARAM_PropInfo, SPA_PROP_INFO_id,
                                  SPA_POD_Int(SPA_PROP_gain), SPA_PROP_INFO_type, SPA_POD_CHOICE_STEP_Int(1, 0, 2, 1),
                                  SPA_PROP_INFO_description, SPA_POD_String("Gain"))))
            .has_value());
    EXPECT_FALSE(
        camera::ParsePropInfo(static_cast<spa_pod*>(spa_pod_builder_add_object(
                                  &builder.b, SPA_TYPE_OBJECT_PropInfo, SPA_PARAM_PropInfo, SPA_PROP_INFO_id,
                                  SPA_POD_Id(SPA_PROP_gain), SPA_PROP_INFO_type, SPA_POD_CHOICE_STEP_Int(1, 0, 2, 1))))
            .has_value());
    spa_pod* unterminated = IntegerInfo(builder, SPA_PROP_gain, "Gain", 1, 0, 2, 1);
    spa_pod* name = ValueOf(unterminated, SPA_PROP_INFO_description);
    std::memset(SPA_POD_BODY(name), 'x', name->size);
    EXPECT_FALSE(camera::ParsePropInfo(unterminated).has_value());
    // An upside-down range is refused; a step of zero or less is one.
    EXPECT_FALSE(camera::ParsePropInfo(IntegerInfo(builder, SPA_PROP_gain, "Gain", 5, 10, 0, 1)).has_value());
    const auto zeroStep = camera::ParsePropInfo(IntegerInfo(builder, SPA_PROP_gain, "Gain", 500, 0, 10, 0));
    ASSERT_TRUE(zeroStep.has_value());
    EXPECT_EQ(zeroStep->info.step, 1);
    EXPECT_EQ(zeroStep->info.defaultValue, 10); // and the default inside the range

    // Menu labels of the wrong types end the list; without labels the
    // numbers stand for themselves.
    spa_pod_frame f{}, labels{};
    spa_pod_builder_push_object(&builder.b, &f, SPA_TYPE_OBJECT_PropInfo, SPA_PARAM_PropInfo);
    spa_pod_builder_add(&builder.b, SPA_PROP_INFO_id, SPA_POD_Id(Custom(V4L2_CID_COLORFX)), SPA_PROP_INFO_type,
                        SPA_POD_CHOICE_ENUM_Int(1, 0), SPA_PROP_INFO_description, SPA_POD_String("Color Effects"), 0);
    spa_pod_builder_prop(&builder.b, SPA_PROP_INFO_labels, 0);
    spa_pod_builder_push_struct(&builder.b, &labels);
    spa_pod_builder_int(&builder.b, 0);
    spa_pod_builder_string(&builder.b, "None");
    spa_pod_builder_string(&builder.b, "1");
    spa_pod_builder_string(&builder.b, "Black & White");
    spa_pod_builder_pop(&builder.b, &labels);
    const auto effects = camera::ParsePropInfo(static_cast<spa_pod*>(spa_pod_builder_pop(&builder.b, &f)));
    ASSERT_TRUE(effects.has_value());
    EXPECT_EQ(effects->info.items, (std::vector<std::pair<int, QString>>{{0, QStringLiteral("Keiner")}}));
    const auto numbers = camera::ParsePropInfo(static_cast<spa_pod*>(spa_pod_builder_add_object(
        &builder.b, SPA_TYPE_OBJECT_PropInfo, SPA_PARAM_PropInfo, SPA_PROP_INFO_id, SPA_POD_Id(Custom(5)),
        SPA_PROP_INFO_type, SPA_POD_CHOICE_ENUM_Int(3, 4, 4, 8), SPA_PROP_INFO_description, SPA_POD_String("Mode"))));
    ASSERT_TRUE(numbers.has_value());
    EXPECT_EQ(numbers->info.items,
              (std::vector<std::pair<int, QString>>{{4, QStringLiteral("4")}, {8, QStringLiteral("8")}}));
    // Labels whose string claims to run past the struct.
    spa_pod* cut = MenuInfo(builder, Custom(V4L2_CID_POWER_LINE_FREQUENCY), "Power Line Frequency", 1,
                            {{0, "Disabled"}, {1, "50 Hz"}});
    spa_pod* item = static_cast<spa_pod*>(SPA_POD_BODY(ValueOf(cut, SPA_PROP_INFO_labels)));
    for (int i = 0; i < 3; ++i)
        item = static_cast<spa_pod*>(spa_pod_next(item));
    ASSERT_EQ(item->type, static_cast<std::uint32_t>(SPA_TYPE_String));
    item->size = 0xfffffff8u;
    const auto shortened = camera::ParsePropInfo(cut);
    ASSERT_TRUE(shortened.has_value());
    EXPECT_EQ(shortened->info.items.size(), 1u);
}

TEST(PipeWireControls, TakesCurrentValuesFromPropsAndSetsOneByProps)
{
    Builder builder;
    std::vector<camera::PipeWireControl> controls = {
        *camera::ParsePropInfo(IntegerInfo(builder, SPA_PROP_brightness, "Brightness", 128, 0, 255, 1)),
        *camera::ParsePropInfo(static_cast<spa_pod*>(spa_pod_builder_add_object(
            &builder.b, SPA_TYPE_OBJECT_PropInfo, SPA_PARAM_PropInfo, SPA_PROP_INFO_id,
            SPA_POD_Id(Custom(V4L2_CID_VFLIP)), SPA_PROP_INFO_type, SPA_POD_CHOICE_Bool(false),
            SPA_PROP_INFO_description, SPA_POD_String("Vertical Flip")))),
        *camera::ParsePropInfo(IntegerInfo(builder, SPA_PROP_contrast, "Contrast", 32, 0, 64, 1)),
        *camera::ParsePropInfo(IntegerInfo(builder, SPA_PROP_gain, "Gain", 3, 0, 10, 1)),
    };
    // Newer PipeWire tells the values beside the device's own properties;
    // a value of the wrong type or out of range leaves the control be.
    camera::ApplyProps(static_cast<spa_pod*>(spa_pod_builder_add_object(
                           &builder.b, SPA_TYPE_OBJECT_Props, SPA_PARAM_Props, SPA_PROP_device,
                           SPA_POD_String("/dev/video0"), SPA_PROP_brightness, SPA_POD_Int(42), Custom(V4L2_CID_VFLIP),
                           SPA_POD_Bool(true), SPA_PROP_contrast, SPA_POD_Bool(true), SPA_PROP_gain, SPA_POD_Int(11))),
                       controls);
    EXPECT_EQ(controls[0].info.value, 42);
    EXPECT_EQ(controls[1].info.value, 1);
    EXPECT_EQ(controls[2].info.value, 32);
    EXPECT_EQ(controls[3].info.value, 3);
    // Not Props at all: nothing changes.
    camera::ApplyProps(IntegerInfo(builder, SPA_PROP_brightness, "Brightness", 7, 0, 255, 1), controls);
    EXPECT_EQ(controls[0].info.value, 42);

    // What we send reads back as the value set, in the control's own type.
    std::vector<camera::PipeWireControl> fresh = controls;
    const spa_pod* setBrightness = camera::BuildProps(builder.b, controls[0], 200);
    const spa_pod* setFlip = camera::BuildProps(builder.b, controls[1], 0);
    ASSERT_NE(setBrightness, nullptr);
    ASSERT_NE(setFlip, nullptr);
    EXPECT_EQ(SPA_POD_TYPE(&spa_pod_find_prop(setFlip, nullptr, Custom(V4L2_CID_VFLIP))->value),
              static_cast<std::uint32_t>(SPA_TYPE_Bool));
    camera::ApplyProps(setBrightness, fresh);
    camera::ApplyProps(setFlip, fresh);
    EXPECT_EQ(fresh[0].info.value, 200);
    EXPECT_EQ(fresh[1].info.value, 0);
    EXPECT_EQ(fresh[2].info.value, 32);
}

} // namespace
