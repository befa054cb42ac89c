// The PipeWire driver's source settings (the node's controls) and formats.

#include "camera/pipewire/PipeWireDriver.h"

#include "camera/ControlNames.h"

namespace camera {

std::vector<ControlInfo> PipeWireDriver::Controls::list()
{
    return driver_.stream_ ? driver_.stream_->controls() : std::vector<ControlInfo>{};
}

bool PipeWireDriver::Controls::set(std::uint32_t id, int value)
{
    return driver_.stream_ && driver_.stream_->setControl(id, value);
}

void PipeWireDriver::Controls::reset()
{
    // Twice: leaving an automatic mode can unlock values that were locked.
    for (int round = 0; round < 2; ++round)
        for (const ControlInfo& c : list())
            if (c.kind != ControlInfo::Kind::Button && !c.readOnly && c.value != c.defaultValue)
                set(c.id, c.defaultValue);
}

std::vector<PixelFormatChoice> PipeWireDriver::Formats::list()
{
    std::vector<PixelFormatChoice> all;
    for (PixelFormatChoice& choice : driver_.cameras_.formats(driver_.node_)) {
        if (!PipeWireFrameConverter::Convertible(choice.fourcc))
            continue;
        choice.description = GermanPixelFormatName(
            choice.fourcc, choice.description.isEmpty() ? FourccText(choice.fourcc) : choice.description);
        all.push_back(std::move(choice));
    }
    return all;
}

// Asks the node for the format and waits, bounded, until it agrees; frames
// of the old format go on meanwhile. When it does not agree, the old format
// stays (and should the node switch later after all, the driver follows).
bool PipeWireDriver::Formats::apply(const FormatSetting& setting)
{
    PipeWireDriver& d = driver_;
    refusal_.clear();
    if (!PipeWireFrameConverter::Takes(setting, refusal_))
        return false;
    // The format the stream has agreed on and the driver shows needs no new
    // link: a user who confirms the format dialog unchanged wants nothing to
    // change, and linking anew is what most often makes a GStreamer
    // publisher (pipewiresink, which offers its one format) fall silent.
    if (d.stream_ && d.stream_->state() != PipeWireState::Failed && setting == d.current_ &&
        d.stream_->format() == setting) {
        d.watchForFrames();
        return true;
    }
    if (!d.stream_ || !d.stream_->setFormat(setting))
        return false;
    const FormatSetting agreed = d.awaitAgreement(setting);
    if (agreed.fourcc == 0 || !d.adopt(agreed, refusal_))
        return false;
    d.watchForFrames();
    return true;
}

} // namespace camera
