#include "camera/ControlNames.h"

#include <linux/videodev2.h>

#include <map>
#include <utility>

namespace camera {

namespace {

QString text(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

} // namespace

QString GermanControlName(std::uint32_t id, const QString& deviceName)
{
    static const std::map<std::uint32_t, const char*> german = {
        {V4L2_CID_BRIGHTNESS, "Helligkeit"},
        {V4L2_CID_CONTRAST, "Kontrast"},
        {V4L2_CID_SATURATION, "Farbsättigung"},
        {V4L2_CID_HUE, "Farbton"},
        {V4L2_CID_HUE_AUTO, "Automatischer Farbton"},
        {V4L2_CID_AUDIO_VOLUME, "Lautstärke"},
        {V4L2_CID_AUDIO_BALANCE, "Balance"},
        {V4L2_CID_AUDIO_MUTE, "Ton aus"},
        {V4L2_CID_GAMMA, "Gamma"},
        {V4L2_CID_GAIN, "Verstärkung"},
        {V4L2_CID_AUTOGAIN, "Automatische Verstärkung"},
        {V4L2_CID_EXPOSURE, "Belichtung"},
        {V4L2_CID_SHARPNESS, "Schärfe"},
        {V4L2_CID_AUTO_WHITE_BALANCE, "Automatischer Weißabgleich"},
        {V4L2_CID_DO_WHITE_BALANCE, "Weißabgleich jetzt"},
        {V4L2_CID_RED_BALANCE, "Rotabgleich"},
        {V4L2_CID_BLUE_BALANCE, "Blauabgleich"},
        {V4L2_CID_WHITE_BALANCE_TEMPERATURE, "Farbtemperatur"},
        {V4L2_CID_POWER_LINE_FREQUENCY, "Netzfrequenz"},
        {V4L2_CID_BACKLIGHT_COMPENSATION, "Gegenlichtausgleich"},
        {V4L2_CID_CHROMA_AGC, "Automatische Farbverstärkung"},
        {V4L2_CID_CHROMA_GAIN, "Farbverstärkung"},
        {V4L2_CID_COLOR_KILLER, "Farbe aus"},
        {V4L2_CID_COLORFX, "Farbeffekt"},
        {V4L2_CID_ROTATE, "Drehen"},
        {V4L2_CID_BG_COLOR, "Hintergrundfarbe"},
        {V4L2_CID_ALPHA_COMPONENT, "Alphawert"},
        {V4L2_CID_HFLIP, "Waagerecht spiegeln"},
        {V4L2_CID_VFLIP, "Senkrecht spiegeln"},
        {V4L2_CID_MIN_BUFFERS_FOR_CAPTURE, "Mindestzahl Puffer"},
        {V4L2_CID_EXPOSURE_AUTO, "Belichtungsart"},
        {V4L2_CID_EXPOSURE_ABSOLUTE, "Belichtungszeit"},
        {V4L2_CID_EXPOSURE_AUTO_PRIORITY, "Bildrate der Belichtung anpassen"},
        {V4L2_CID_AUTO_EXPOSURE_BIAS, "Belichtungskorrektur"},
        {V4L2_CID_EXPOSURE_METERING, "Belichtungsmessung"},
        {V4L2_CID_FOCUS_AUTO, "Autofokus"},
        {V4L2_CID_FOCUS_ABSOLUTE, "Schärfeebene"},
        {V4L2_CID_FOCUS_RELATIVE, "Schärfeebene schrittweise"},
        {V4L2_CID_ZOOM_ABSOLUTE, "Zoom"},
        {V4L2_CID_ZOOM_RELATIVE, "Zoom schrittweise"},
        {V4L2_CID_ZOOM_CONTINUOUS, "Zoom stufenlos"},
        {V4L2_CID_PAN_ABSOLUTE, "Schwenken"},
        {V4L2_CID_PAN_RELATIVE, "Schwenken schrittweise"},
        {V4L2_CID_PAN_RESET, "Schwenken zurücksetzen"},
        {V4L2_CID_TILT_ABSOLUTE, "Neigen"},
        {V4L2_CID_TILT_RELATIVE, "Neigen schrittweise"},
        {V4L2_CID_TILT_RESET, "Neigen zurücksetzen"},
        {V4L2_CID_PRIVACY, "Sichtschutz"},
        {V4L2_CID_IRIS_ABSOLUTE, "Blende"},
        {V4L2_CID_IRIS_RELATIVE, "Blende schrittweise"},
        {V4L2_CID_WIDE_DYNAMIC_RANGE, "Hoher Dynamikumfang"},
        {V4L2_CID_IMAGE_STABILIZATION, "Bildstabilisierung"},
        {V4L2_CID_ISO_SENSITIVITY, "ISO-Empfindlichkeit"},
        {V4L2_CID_ISO_SENSITIVITY_AUTO, "Automatische ISO-Empfindlichkeit"},
        {V4L2_CID_SCENE_MODE, "Motivprogramm"},
        {V4L2_CID_AUTO_N_PRESET_WHITE_BALANCE, "Weißabgleich-Vorgabe"},
        {V4L2_CID_3A_LOCK, "Automatiken sperren"},
        {V4L2_CID_AUTO_FOCUS_START, "Fokussieren"},
        {V4L2_CID_AUTO_FOCUS_STOP, "Fokussieren beenden"},
        {V4L2_CID_AUTO_FOCUS_RANGE, "Fokusbereich"},
        {V4L2_CID_TEST_PATTERN, "Testbild"},
    };
    const auto it = german.find(id);
    return it != german.end() ? text(it->second) : deviceName;
}

QString GermanMenuItem(std::uint32_t id, int index, const QString& deviceText)
{
    static const std::map<std::pair<std::uint32_t, int>, const char*> german = {
        {{V4L2_CID_POWER_LINE_FREQUENCY, V4L2_CID_POWER_LINE_FREQUENCY_DISABLED}, "Aus"},
        {{V4L2_CID_POWER_LINE_FREQUENCY, V4L2_CID_POWER_LINE_FREQUENCY_50HZ}, "50 Hz"},
        {{V4L2_CID_POWER_LINE_FREQUENCY, V4L2_CID_POWER_LINE_FREQUENCY_60HZ}, "60 Hz"},
        {{V4L2_CID_POWER_LINE_FREQUENCY, V4L2_CID_POWER_LINE_FREQUENCY_AUTO}, "Automatisch"},
        {{V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_AUTO}, "Automatisch"},
        {{V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_MANUAL}, "Manuell"},
        {{V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_SHUTTER_PRIORITY}, "Zeitvorwahl"},
        {{V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_APERTURE_PRIORITY}, "Blendenvorwahl"},
        {{V4L2_CID_COLORFX, V4L2_COLORFX_NONE}, "Keiner"},
        {{V4L2_CID_COLORFX, V4L2_COLORFX_BW}, "Schwarzweiß"},
        {{V4L2_CID_COLORFX, V4L2_COLORFX_SEPIA}, "Sepia"},
        {{V4L2_CID_COLORFX, V4L2_COLORFX_NEGATIVE}, "Negativ"},
        {{V4L2_CID_AUTO_FOCUS_RANGE, V4L2_AUTO_FOCUS_RANGE_AUTO}, "Automatisch"},
        {{V4L2_CID_AUTO_FOCUS_RANGE, V4L2_AUTO_FOCUS_RANGE_NORMAL}, "Normal"},
        {{V4L2_CID_AUTO_FOCUS_RANGE, V4L2_AUTO_FOCUS_RANGE_MACRO}, "Nah"},
        {{V4L2_CID_AUTO_FOCUS_RANGE, V4L2_AUTO_FOCUS_RANGE_INFINITY}, "Unendlich"},
    };
    const auto it = german.find({id, index});
    return it != german.end() ? text(it->second) : deviceText;
}

QString ControlGroupName(std::uint32_t controlClass)
{
    switch (controlClass) {
    case V4L2_CTRL_CLASS_USER:
        return text("Bild");
    case V4L2_CTRL_CLASS_CAMERA:
        return text("Kamera");
    case V4L2_CTRL_CLASS_FLASH:
        return text("Blitz");
    case V4L2_CTRL_CLASS_JPEG:
        return text("JPEG");
    case V4L2_CTRL_CLASS_IMAGE_SOURCE:
        return text("Bildsensor");
    case V4L2_CTRL_CLASS_IMAGE_PROC:
        return text("Bildverarbeitung");
    case V4L2_CTRL_CLASS_CODEC:
        return text("Kodierung");
    case V4L2_CTRL_CLASS_DETECT:
        return text("Bewegungserkennung");
    case V4L2_CTRL_CLASS_DV:
        return text("Digitaler Eingang");
    case V4L2_CTRL_CLASS_COLORIMETRY:
        return text("Farbraum");
    case V4L2_CTRL_CLASS_FM_TX:
    case V4L2_CTRL_CLASS_FM_RX:
    case V4L2_CTRL_CLASS_RF_TUNER:
        return text("Funk");
    default:
        return text("Weitere");
    }
}

QString GermanPixelFormatName(std::uint32_t fourcc, const QString& deviceText)
{
    static const std::map<std::uint32_t, const char*> german = {
        {V4L2_PIX_FMT_YUYV, "YUV 4:2:2 gepackt (YUYV)"},
        {V4L2_PIX_FMT_YVYU, "YUV 4:2:2 gepackt (YVYU)"},
        {V4L2_PIX_FMT_UYVY, "YUV 4:2:2 gepackt (UYVY)"},
        {V4L2_PIX_FMT_VYUY, "YUV 4:2:2 gepackt (VYUY)"},
        {V4L2_PIX_FMT_NV12, "YUV 4:2:0 zweiteilig (NV12)"},
        {V4L2_PIX_FMT_NV21, "YUV 4:2:0 zweiteilig (NV21)"},
        {V4L2_PIX_FMT_NV16, "YUV 4:2:2 zweiteilig (NV16)"},
        {V4L2_PIX_FMT_NV61, "YUV 4:2:2 zweiteilig (NV61)"},
        {V4L2_PIX_FMT_YUV420, "YUV 4:2:0 in Ebenen (I420)"},
        {V4L2_PIX_FMT_YVU420, "YUV 4:2:0 in Ebenen (YV12)"},
        {V4L2_PIX_FMT_YUV422P, "YUV 4:2:2 in Ebenen"},
        {V4L2_PIX_FMT_MJPEG, "Motion-JPEG (komprimiert)"},
        {V4L2_PIX_FMT_JPEG, "JPEG (komprimiert)"},
        {V4L2_PIX_FMT_RGB24, "RGB, 24 Bit"},
        {V4L2_PIX_FMT_BGR24, "BGR, 24 Bit"},
        {V4L2_PIX_FMT_RGB565, "RGB 5-6-5, 16 Bit"},
        {V4L2_PIX_FMT_RGB555, "RGB 5-5-5, 16 Bit"},
        {V4L2_PIX_FMT_XRGB32, "XRGB, 32 Bit"},
        {V4L2_PIX_FMT_XBGR32, "XBGR, 32 Bit"},
        {V4L2_PIX_FMT_ARGB32, "ARGB, 32 Bit"},
        {V4L2_PIX_FMT_ABGR32, "ABGR, 32 Bit"},
        {V4L2_PIX_FMT_RGB32, "RGB, 32 Bit (veraltet)"},
        {V4L2_PIX_FMT_BGR32, "BGR, 32 Bit (veraltet)"},
        {V4L2_PIX_FMT_GREY, "Graustufen, 8 Bit"},
        {V4L2_PIX_FMT_Y16, "Graustufen, 16 Bit"},
        {V4L2_PIX_FMT_SBGGR8, "Rohdaten Bayer BGGR, 8 Bit"},
        {V4L2_PIX_FMT_SGBRG8, "Rohdaten Bayer GBRG, 8 Bit"},
        {V4L2_PIX_FMT_SGRBG8, "Rohdaten Bayer GRBG, 8 Bit"},
        {V4L2_PIX_FMT_SRGGB8, "Rohdaten Bayer RGGB, 8 Bit"},
        {V4L2_PIX_FMT_H264, "H.264 (komprimiert)"},
    };
    const auto it = german.find(fourcc);
    return it != german.end() ? text(it->second) : deviceText;
}

QString FourccText(std::uint32_t fourcc)
{
    QString code;
    for (int i = 0; i < 4; ++i) {
        const char c = static_cast<char>((fourcc >> (8 * i)) & 0x7f);
        code += c >= ' ' ? QChar(c) : QChar('?');
    }
    return code.trimmed();
}

} // namespace camera
