#pragma once
// What PipeWire says about a camera node, in the terms the rest of the
// program uses, and back: SPA video formats as V4L2 four-character codes,
// a node's EnumFormat params as format choices, the formats a reading
// stream offers, and a node's PropInfo and Props as controls. Pure
// translation: no daemon, no loop. Every pod may come from another program,
// so a value of the wrong type, a zero or absurd size, or a missing key
// makes the entry be left out; nothing here trusts a pod beyond its header.

#include "camera/DeviceSettings.h"

#include <cstdint>
#include <optional>
#include <vector>

struct spa_pod;
struct spa_pod_builder;

namespace camera {

// The V4L2 code for an SPA raw video format; 0 when there is none.
std::uint32_t FourccOfSpaFormat(std::uint32_t spaFormat);
// The SPA raw video format for a V4L2 code; 0 (SPA_VIDEO_FORMAT_UNKNOWN)
// when PipeWire has none, and for MJPG, which is a media subtype instead.
std::uint32_t SpaFormatOfFourcc(std::uint32_t fourcc);

// Whether frames in this format can be turned into BGR (the driver's frame
// converter takes them); only those are offered or listed.
bool PipeWireConvertible(std::uint32_t fourcc);

// The largest width or height taken from a node; the converters refuse
// more.
inline constexpr int MaxFrameSide = 16384;

// The convertible formats one EnumFormat pod describes: fixed sizes as
// they are; a size range as the common sizes inside it and its largest; a
// frame rate fixed, as a list or as a range (the common rates inside it and
// its fastest). Empty for a pod that is not a video format or holds nothing
// usable.
std::vector<PixelFormatChoice> ParseEnumFormat(const spa_pod* pod);

// Adds `more` to `into`: a format already there gains the sizes it lacked,
// a size the frame intervals it lacked; order stays that of first sight.
void MergeFormats(std::vector<PixelFormatChoice>& into, const std::vector<PixelFormatChoice>& more);

// The format a stream agreed on (its Format param): one fourcc, one size,
// the frame rate if it has one. Nothing when the pod is not one fixed
// convertible video format with a sane size.
std::optional<FormatSetting> ParseFormat(const spa_pod* pod);

// The EnumFormat params a reading stream offers: every convertible format
// in any size when `wanted.fourcc` is 0, else exactly that format (its size
// and frame interval fixed where given). Built into `builder`; empty when
// `wanted` cannot be converted or the builder has no room.
std::vector<const spa_pod*> BuildEnumFormats(spa_pod_builder& builder, const FormatSetting& wanted);

// One control of a node: how the program shows it, and how PipeWire names
// it (the Props key, and whether the value travels as Bool or Int).
struct PipeWireControl {
    ControlInfo info;
    std::uint32_t key = 0;
    bool boolean = false;
};

// A control from one PropInfo pod, as PipeWire's V4L2 and libcamera nodes
// describe them: an integer (a range, with or without step), a boolean, or
// a menu (an enum of integers with labels). Controls of V4L2 nodes keep
// their V4L2 id, name and class, so that they read as on a V4L2 camera.
// Nothing for the node's other properties (device path, descriptors) and
// for what cannot be shown as an integer.
std::optional<PipeWireControl> ParsePropInfo(const spa_pod* pod);

// Takes the current values from a Props pod into the controls it names;
// values of the wrong type or out of range are ignored.
void ApplyProps(const spa_pod* pod, std::vector<PipeWireControl>& controls);

// A Props pod that sets one control; null when the builder has no room.
const spa_pod* BuildProps(spa_pod_builder& builder, const PipeWireControl& control, int value);

} // namespace camera
