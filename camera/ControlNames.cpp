#include "camera/ControlNames.h"

#include <QCoreApplication>

#include <linux/videodev2.h>

#include <map>
#include <utility>

namespace camera {

namespace {

// The tables hold the German source texts; they are put into the user's
// language when looked up.
QString text(const char* german)
{
    return QCoreApplication::translate("camera::ControlNames", german);
}

} // namespace

QString GermanControlName(std::uint32_t id, const QString& deviceName)
{
    static const std::map<std::uint32_t, const char*> german = {
        {V4L2_CID_BRIGHTNESS, QT_TRANSLATE_NOOP("camera::ControlNames", "Helligkeit")},
        {V4L2_CID_CONTRAST, QT_TRANSLATE_NOOP("camera::ControlNames", "Kontrast")},
        {V4L2_CID_SATURATION, QT_TRANSLATE_NOOP("camera::ControlNames", "Farbsättigung")},
        {V4L2_CID_HUE, QT_TRANSLATE_NOOP("camera::ControlNames", "Farbton")},
        {V4L2_CID_HUE_AUTO, QT_TRANSLATE_NOOP("camera::ControlNames", "Automatischer Farbton")},
        {V4L2_CID_AUDIO_VOLUME, QT_TRANSLATE_NOOP("camera::ControlNames", "Lautstärke")},
        {V4L2_CID_AUDIO_BALANCE, QT_TRANSLATE_NOOP("camera::ControlNames", "Balance")},
        {V4L2_CID_AUDIO_MUTE, QT_TRANSLATE_NOOP("camera::ControlNames", "Ton aus")},
        {V4L2_CID_GAMMA, QT_TRANSLATE_NOOP("camera::ControlNames", "Gamma")},
        {V4L2_CID_GAIN, QT_TRANSLATE_NOOP("camera::ControlNames", "Verstärkung")},
        {V4L2_CID_AUTOGAIN, QT_TRANSLATE_NOOP("camera::ControlNames", "Automatische Verstärkung")},
        {V4L2_CID_EXPOSURE, QT_TRANSLATE_NOOP("camera::ControlNames", "Belichtung")},
        {V4L2_CID_SHARPNESS, QT_TRANSLATE_NOOP("camera::ControlNames", "Schärfe")},
        {V4L2_CID_AUTO_WHITE_BALANCE, QT_TRANSLATE_NOOP("camera::ControlNames", "Automatischer Weißabgleich")},
        {V4L2_CID_DO_WHITE_BALANCE, QT_TRANSLATE_NOOP("camera::ControlNames", "Weißabgleich jetzt")},
        {V4L2_CID_RED_BALANCE, QT_TRANSLATE_NOOP("camera::ControlNames", "Rotabgleich")},
        {V4L2_CID_BLUE_BALANCE, QT_TRANSLATE_NOOP("camera::ControlNames", "Blauabgleich")},
        {V4L2_CID_WHITE_BALANCE_TEMPERATURE, QT_TRANSLATE_NOOP("camera::ControlNames", "Farbtemperatur")},
        {V4L2_CID_POWER_LINE_FREQUENCY, QT_TRANSLATE_NOOP("camera::ControlNames", "Netzfrequenz")},
        {V4L2_CID_BACKLIGHT_COMPENSATION, QT_TRANSLATE_NOOP("camera::ControlNames", "Gegenlichtausgleich")},
        {V4L2_CID_CHROMA_AGC, QT_TRANSLATE_NOOP("camera::ControlNames", "Automatische Farbverstärkung")},
        {V4L2_CID_CHROMA_GAIN, QT_TRANSLATE_NOOP("camera::ControlNames", "Farbverstärkung")},
        {V4L2_CID_COLOR_KILLER, QT_TRANSLATE_NOOP("camera::ControlNames", "Farbe aus")},
        {V4L2_CID_COLORFX, QT_TRANSLATE_NOOP("camera::ControlNames", "Farbeffekt")},
        {V4L2_CID_ROTATE, QT_TRANSLATE_NOOP("camera::ControlNames", "Drehen")},
        {V4L2_CID_BG_COLOR, QT_TRANSLATE_NOOP("camera::ControlNames", "Hintergrundfarbe")},
        {V4L2_CID_ALPHA_COMPONENT, QT_TRANSLATE_NOOP("camera::ControlNames", "Alphawert")},
        {V4L2_CID_HFLIP, QT_TRANSLATE_NOOP("camera::ControlNames", "Waagerecht spiegeln")},
        {V4L2_CID_VFLIP, QT_TRANSLATE_NOOP("camera::ControlNames", "Senkrecht spiegeln")},
        {V4L2_CID_MIN_BUFFERS_FOR_CAPTURE, QT_TRANSLATE_NOOP("camera::ControlNames", "Mindestzahl Puffer")},
        {V4L2_CID_EXPOSURE_AUTO, QT_TRANSLATE_NOOP("camera::ControlNames", "Belichtungsart")},
        {V4L2_CID_EXPOSURE_ABSOLUTE, QT_TRANSLATE_NOOP("camera::ControlNames", "Belichtungszeit")},
        {V4L2_CID_EXPOSURE_AUTO_PRIORITY,
         QT_TRANSLATE_NOOP("camera::ControlNames", "Bildrate der Belichtung anpassen")},
        {V4L2_CID_AUTO_EXPOSURE_BIAS, QT_TRANSLATE_NOOP("camera::ControlNames", "Belichtungskorrektur")},
        {V4L2_CID_EXPOSURE_METERING, QT_TRANSLATE_NOOP("camera::ControlNames", "Belichtungsmessung")},
        {V4L2_CID_FOCUS_AUTO, QT_TRANSLATE_NOOP("camera::ControlNames", "Autofokus")},
        {V4L2_CID_FOCUS_ABSOLUTE, QT_TRANSLATE_NOOP("camera::ControlNames", "Schärfeebene")},
        {V4L2_CID_FOCUS_RELATIVE, QT_TRANSLATE_NOOP("camera::ControlNames", "Schärfeebene schrittweise")},
        {V4L2_CID_ZOOM_ABSOLUTE, QT_TRANSLATE_NOOP("camera::ControlNames", "Zoom")},
        {V4L2_CID_ZOOM_RELATIVE, QT_TRANSLATE_NOOP("camera::ControlNames", "Zoom schrittweise")},
        {V4L2_CID_ZOOM_CONTINUOUS, QT_TRANSLATE_NOOP("camera::ControlNames", "Zoom stufenlos")},
        {V4L2_CID_PAN_ABSOLUTE, QT_TRANSLATE_NOOP("camera::ControlNames", "Schwenken")},
        {V4L2_CID_PAN_RELATIVE, QT_TRANSLATE_NOOP("camera::ControlNames", "Schwenken schrittweise")},
        {V4L2_CID_PAN_RESET, QT_TRANSLATE_NOOP("camera::ControlNames", "Schwenken zurücksetzen")},
        {V4L2_CID_TILT_ABSOLUTE, QT_TRANSLATE_NOOP("camera::ControlNames", "Neigen")},
        {V4L2_CID_TILT_RELATIVE, QT_TRANSLATE_NOOP("camera::ControlNames", "Neigen schrittweise")},
        {V4L2_CID_TILT_RESET, QT_TRANSLATE_NOOP("camera::ControlNames", "Neigen zurücksetzen")},
        {V4L2_CID_PRIVACY, QT_TRANSLATE_NOOP("camera::ControlNames", "Sichtschutz")},
        {V4L2_CID_IRIS_ABSOLUTE, QT_TRANSLATE_NOOP("camera::ControlNames", "Blende")},
        {V4L2_CID_IRIS_RELATIVE, QT_TRANSLATE_NOOP("camera::ControlNames", "Blende schrittweise")},
        {V4L2_CID_WIDE_DYNAMIC_RANGE, QT_TRANSLATE_NOOP("camera::ControlNames", "Hoher Dynamikumfang")},
        {V4L2_CID_IMAGE_STABILIZATION, QT_TRANSLATE_NOOP("camera::ControlNames", "Bildstabilisierung")},
        {V4L2_CID_ISO_SENSITIVITY, QT_TRANSLATE_NOOP("camera::ControlNames", "ISO-Empfindlichkeit")},
        {V4L2_CID_ISO_SENSITIVITY_AUTO, QT_TRANSLATE_NOOP("camera::ControlNames", "Automatische ISO-Empfindlichkeit")},
        {V4L2_CID_SCENE_MODE, QT_TRANSLATE_NOOP("camera::ControlNames", "Motivprogramm")},
        {V4L2_CID_AUTO_N_PRESET_WHITE_BALANCE, QT_TRANSLATE_NOOP("camera::ControlNames", "Weißabgleich-Vorgabe")},
        {V4L2_CID_3A_LOCK, QT_TRANSLATE_NOOP("camera::ControlNames", "Automatiken sperren")},
        {V4L2_CID_AUTO_FOCUS_START, QT_TRANSLATE_NOOP("camera::ControlNames", "Fokussieren")},
        {V4L2_CID_AUTO_FOCUS_STOP, QT_TRANSLATE_NOOP("camera::ControlNames", "Fokussieren beenden")},
        {V4L2_CID_AUTO_FOCUS_RANGE, QT_TRANSLATE_NOOP("camera::ControlNames", "Fokusbereich")},
        {V4L2_CID_TEST_PATTERN, QT_TRANSLATE_NOOP("camera::ControlNames", "Testbild")},
    };
    const auto it = german.find(id);
    return it != german.end() ? text(it->second) : deviceName;
}

QString GermanMenuItem(std::uint32_t id, int index, const QString& deviceText)
{
    static const std::map<std::pair<std::uint32_t, int>, const char*> german = {
        {{V4L2_CID_POWER_LINE_FREQUENCY, V4L2_CID_POWER_LINE_FREQUENCY_DISABLED},
         QT_TRANSLATE_NOOP("camera::ControlNames", "Aus")},
        {{V4L2_CID_POWER_LINE_FREQUENCY, V4L2_CID_POWER_LINE_FREQUENCY_50HZ},
         QT_TRANSLATE_NOOP("camera::ControlNames", "50 Hz")},
        {{V4L2_CID_POWER_LINE_FREQUENCY, V4L2_CID_POWER_LINE_FREQUENCY_60HZ},
         QT_TRANSLATE_NOOP("camera::ControlNames", "60 Hz")},
        {{V4L2_CID_POWER_LINE_FREQUENCY, V4L2_CID_POWER_LINE_FREQUENCY_AUTO},
         QT_TRANSLATE_NOOP("camera::ControlNames", "Automatisch")},
        {{V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_AUTO}, QT_TRANSLATE_NOOP("camera::ControlNames", "Automatisch")},
        {{V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_MANUAL}, QT_TRANSLATE_NOOP("camera::ControlNames", "Manuell")},
        {{V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_SHUTTER_PRIORITY},
         QT_TRANSLATE_NOOP("camera::ControlNames", "Zeitvorwahl")},
        {{V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_APERTURE_PRIORITY},
         QT_TRANSLATE_NOOP("camera::ControlNames", "Blendenvorwahl")},
        {{V4L2_CID_COLORFX, V4L2_COLORFX_NONE}, QT_TRANSLATE_NOOP("camera::ControlNames", "Keiner")},
        {{V4L2_CID_COLORFX, V4L2_COLORFX_BW}, QT_TRANSLATE_NOOP("camera::ControlNames", "Schwarzweiß")},
        {{V4L2_CID_COLORFX, V4L2_COLORFX_SEPIA}, QT_TRANSLATE_NOOP("camera::ControlNames", "Sepia")},
        {{V4L2_CID_COLORFX, V4L2_COLORFX_NEGATIVE}, QT_TRANSLATE_NOOP("camera::ControlNames", "Negativ")},
        {{V4L2_CID_AUTO_FOCUS_RANGE, V4L2_AUTO_FOCUS_RANGE_AUTO},
         QT_TRANSLATE_NOOP("camera::ControlNames", "Automatisch")},
        {{V4L2_CID_AUTO_FOCUS_RANGE, V4L2_AUTO_FOCUS_RANGE_NORMAL},
         QT_TRANSLATE_NOOP("camera::ControlNames", "Normal")},
        {{V4L2_CID_AUTO_FOCUS_RANGE, V4L2_AUTO_FOCUS_RANGE_MACRO}, QT_TRANSLATE_NOOP("camera::ControlNames", "Nah")},
        {{V4L2_CID_AUTO_FOCUS_RANGE, V4L2_AUTO_FOCUS_RANGE_INFINITY},
         QT_TRANSLATE_NOOP("camera::ControlNames", "Unendlich")},
    };
    const auto it = german.find({id, index});
    return it != german.end() ? text(it->second) : deviceText;
}

QString ControlGroupName(std::uint32_t controlClass)
{
    switch (controlClass) {
    case V4L2_CTRL_CLASS_USER:
        return text(QT_TRANSLATE_NOOP("camera::ControlNames", "Bild"));
    case V4L2_CTRL_CLASS_CAMERA:
        return text(QT_TRANSLATE_NOOP("camera::ControlNames", "Kamera"));
    case V4L2_CTRL_CLASS_FLASH:
        return text(QT_TRANSLATE_NOOP("camera::ControlNames", "Blitz"));
    case V4L2_CTRL_CLASS_JPEG:
        return text(QT_TRANSLATE_NOOP("camera::ControlNames", "JPEG"));
    case V4L2_CTRL_CLASS_IMAGE_SOURCE:
        return text(QT_TRANSLATE_NOOP("camera::ControlNames", "Bildsensor"));
    case V4L2_CTRL_CLASS_IMAGE_PROC:
        return text(QT_TRANSLATE_NOOP("camera::ControlNames", "Bildverarbeitung"));
    case V4L2_CTRL_CLASS_CODEC:
        return text(QT_TRANSLATE_NOOP("camera::ControlNames", "Kodierung"));
    case V4L2_CTRL_CLASS_DETECT:
        return text(QT_TRANSLATE_NOOP("camera::ControlNames", "Bewegungserkennung"));
    case V4L2_CTRL_CLASS_DV:
        return text(QT_TRANSLATE_NOOP("camera::ControlNames", "Digitaler Eingang"));
    case V4L2_CTRL_CLASS_COLORIMETRY:
        return text(QT_TRANSLATE_NOOP("camera::ControlNames", "Farbraum"));
    case V4L2_CTRL_CLASS_FM_TX:
    case V4L2_CTRL_CLASS_FM_RX:
    case V4L2_CTRL_CLASS_RF_TUNER:
        return text(QT_TRANSLATE_NOOP("camera::ControlNames", "Funk"));
    default:
        return text(QT_TRANSLATE_NOOP("camera::ControlNames", "Weitere"));
    }
}

QString GermanPixelFormatName(std::uint32_t fourcc, const QString& deviceText)
{
    static const std::map<std::uint32_t, const char*> german = {
        {V4L2_PIX_FMT_YUYV, QT_TRANSLATE_NOOP("camera::ControlNames", "YUV 4:2:2 gepackt (YUYV)")},
        {V4L2_PIX_FMT_YVYU, QT_TRANSLATE_NOOP("camera::ControlNames", "YUV 4:2:2 gepackt (YVYU)")},
        {V4L2_PIX_FMT_UYVY, QT_TRANSLATE_NOOP("camera::ControlNames", "YUV 4:2:2 gepackt (UYVY)")},
        {V4L2_PIX_FMT_VYUY, QT_TRANSLATE_NOOP("camera::ControlNames", "YUV 4:2:2 gepackt (VYUY)")},
        {V4L2_PIX_FMT_NV12, QT_TRANSLATE_NOOP("camera::ControlNames", "YUV 4:2:0 zweiteilig (NV12)")},
        {V4L2_PIX_FMT_NV21, QT_TRANSLATE_NOOP("camera::ControlNames", "YUV 4:2:0 zweiteilig (NV21)")},
        {V4L2_PIX_FMT_NV16, QT_TRANSLATE_NOOP("camera::ControlNames", "YUV 4:2:2 zweiteilig (NV16)")},
        {V4L2_PIX_FMT_NV61, QT_TRANSLATE_NOOP("camera::ControlNames", "YUV 4:2:2 zweiteilig (NV61)")},
        {V4L2_PIX_FMT_YUV420, QT_TRANSLATE_NOOP("camera::ControlNames", "YUV 4:2:0 in Ebenen (I420)")},
        {V4L2_PIX_FMT_YVU420, QT_TRANSLATE_NOOP("camera::ControlNames", "YUV 4:2:0 in Ebenen (YV12)")},
        {V4L2_PIX_FMT_YUV422P, QT_TRANSLATE_NOOP("camera::ControlNames", "YUV 4:2:2 in Ebenen")},
        {V4L2_PIX_FMT_MJPEG, QT_TRANSLATE_NOOP("camera::ControlNames", "Motion-JPEG (komprimiert)")},
        {V4L2_PIX_FMT_JPEG, QT_TRANSLATE_NOOP("camera::ControlNames", "JPEG (komprimiert)")},
        {V4L2_PIX_FMT_RGB24, QT_TRANSLATE_NOOP("camera::ControlNames", "RGB, 24 Bit")},
        {V4L2_PIX_FMT_BGR24, QT_TRANSLATE_NOOP("camera::ControlNames", "BGR, 24 Bit")},
        {V4L2_PIX_FMT_RGB565, QT_TRANSLATE_NOOP("camera::ControlNames", "RGB 5-6-5, 16 Bit")},
        {V4L2_PIX_FMT_RGB555, QT_TRANSLATE_NOOP("camera::ControlNames", "RGB 5-5-5, 16 Bit")},
        {V4L2_PIX_FMT_XRGB32, QT_TRANSLATE_NOOP("camera::ControlNames", "XRGB, 32 Bit")},
        {V4L2_PIX_FMT_XBGR32, QT_TRANSLATE_NOOP("camera::ControlNames", "XBGR, 32 Bit")},
        {V4L2_PIX_FMT_ARGB32, QT_TRANSLATE_NOOP("camera::ControlNames", "ARGB, 32 Bit")},
        {V4L2_PIX_FMT_ABGR32, QT_TRANSLATE_NOOP("camera::ControlNames", "ABGR, 32 Bit")},
        {V4L2_PIX_FMT_RGB32, QT_TRANSLATE_NOOP("camera::ControlNames", "RGB, 32 Bit (veraltet)")},
        {V4L2_PIX_FMT_BGR32, QT_TRANSLATE_NOOP("camera::ControlNames", "BGR, 32 Bit (veraltet)")},
        {V4L2_PIX_FMT_GREY, QT_TRANSLATE_NOOP("camera::ControlNames", "Graustufen, 8 Bit")},
        {V4L2_PIX_FMT_Y16, QT_TRANSLATE_NOOP("camera::ControlNames", "Graustufen, 16 Bit")},
        {V4L2_PIX_FMT_SBGGR8, QT_TRANSLATE_NOOP("camera::ControlNames", "Rohdaten Bayer BGGR, 8 Bit")},
        {V4L2_PIX_FMT_SGBRG8, QT_TRANSLATE_NOOP("camera::ControlNames", "Rohdaten Bayer GBRG, 8 Bit")},
        {V4L2_PIX_FMT_SGRBG8, QT_TRANSLATE_NOOP("camera::ControlNames", "Rohdaten Bayer GRBG, 8 Bit")},
        {V4L2_PIX_FMT_SRGGB8, QT_TRANSLATE_NOOP("camera::ControlNames", "Rohdaten Bayer RGGB, 8 Bit")},
        {V4L2_PIX_FMT_H264, QT_TRANSLATE_NOOP("camera::ControlNames", "H.264 (komprimiert)")},
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
