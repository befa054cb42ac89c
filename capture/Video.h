#pragma once
// TVideo: a window control that wraps one capture driver. It lists and
// selects drivers, opens and closes the capture window, switches preview and
// overlay, shows the driver's dialogs, answers the current video format and
// turns the capture window's callbacks into events, above all OnFrame.
// Failures are shown in German error boxes; nothing is thrown to the caller.

#include "capture/AviCap.h"
#include "capture/VideoFormat.h"

#include <QString>
#include <QStringList>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>

using TCapStatusProc = std::function<void(QObject* Sender)>;
using TCapStatusCallback = std::function<void(QObject* Sender, int nID, const QString& status)>;
using TAudioStream = std::function<void(QObject* sender, PWaveHdr lpWHdr)>;

// Ten entries, one per slot 0..9: "name version" for a slot that holds a
// driver, an empty text otherwise.
QStringList GetDriverList();

class TVideo : public QWidget, public VideoFormatSource {
    Q_OBJECT

public:
    explicit TVideo(QWidget* parent = nullptr);
    ~TVideo() override;

    // Driver selection.
    int DriverIndex() const { return FDriverIndex; }
    void SetDriverIndex(int value);
    const QString& DriverName() const { return FDriverName; }
    void SetDriverName(const QString& value);

    bool DriverOpen() const { return FCapWnd != nullptr; }
    void SetDriverOpen(bool value);

    bool VideoPreview() const;
    void SetVideoPreview(bool value);
    bool VideoOverlay() const;
    void SetVideoOverlay(bool value);

    bool PreviewScaleToWindow() const { return FPreviewScaleToWindow; }
    void SetPreviewScaleToWindow(bool value);
    bool PreviewScaleProportional() const { return FPreviewScaleProportional; }
    void SetPreviewScaleProportional(bool value);
    std::uint16_t PreviewRate() const { return FPreviewRate; }
    void SetPreviewRate(std::uint16_t value);

    // Stored settings; nothing sends them to the capture window.
    std::uint32_t MicroSecPerFrame() const { return FMicroSecPerFrame; }
    void SetMicroSecPerFrame(std::uint32_t value);
    std::uint16_t FrameRate() const;
    void SetFrameRate(std::uint16_t value);
    bool CapAudio() const { return FCapAudio; }
    void SetCapAudio(bool value) { FCapAudio = value; }
    const QString& VideoFileName() const { return FVideoFileName; }
    void SetVideoFileName(const QString& value) { FVideoFileName = value; }
    const QString& SingleImageFile() const { return FSingleImageFile; }
    void SetSingleImageFile(const QString& value) { FSingleImageFile = value; }
    std::uint16_t CapTimeLimit() const { return FCapTimeLimit; }
    void SetCapTimeLimit(std::uint16_t value) { FCapTimeLimit = value; }
    std::uint32_t CapIndexSize() const { return FCapIndexSize; }
    void SetCapIndexSize(std::uint32_t value);
    bool CapToFile() const { return FCapToFile; }
    void SetCapToFile(bool value) { FCapToFile = value; }

    // Events.
    const TCapStatusProc& OnStatus() const { return FOnStatus; }
    void SetOnStatus(TCapStatusProc handler) { FOnStatus = std::move(handler); }
    const TCapStatusCallback& OnStatusCallback() const { return FOnStatusCallback; }
    void SetOnStatusCallback(TCapStatusCallback handler);
    const TVideoStream& OnVideoStream() const { return FOnVideoStream; }
    void SetOnVideoStream(TVideoStream handler);
    const TVideoStream& OnFrame() const { return FOnFrame; }
    void SetOnFrame(TVideoStream handler);
    const TAudioStream& OnAudioStream() const { return FOnAudioStream; }
    void SetOnAudioStream(TAudioStream handler);

    // The driver's own dialogs and the format queries; with the driver
    // closed they do nothing and answer 0.
    LRESULT ShowSourceDialog();
    LRESULT ShowFormatDialog();
    std::uint32_t GetVideoFormatSize() override;
    std::uint32_t GetVideoFormat(BITMAPINFO* format, std::uint32_t size) override;

    // The capture window (null when closed), for tests and diagnostics.
    HWND CaptureWindowHandle() const { return FCapWnd; }
    bool HasOverlay();
    bool GrabFrame();
    int ImageWidth() const;
    int ImageHeight() const;
    // Interval sent to the capture window for a preview rate, in ms.
    static int PreviewIntervalMs(std::uint16_t rate);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool OpenDriver();
    void CloseDriver();
    void FreeDriverInfo();
    bool QueryDriverCaps();
    bool UpdateStatus();
    void FitCaptureWindow();

    static LRESULT StatusCallback(HWND hWnd, int nID, const char* lpsz);
    static LRESULT FrameCallback(HWND hWnd, VIDEOHDR* lpVHdr);
    static LRESULT VideoStreamCallback(HWND hWnd, VIDEOHDR* lpVHdr);
    static LRESULT WaveStreamCallback(HWND hWnd, WAVEHDR* lpWHdr);
    static TVideo* Owner(HWND hWnd);

    int FDriverIndex = -1;
    QString FDriverName;
    HWND FCapWnd = nullptr; // a child widget; deleted by CloseDriver
    std::unique_ptr<CAPDRIVERCAPS> FDriverCaps;
    std::unique_ptr<CAPSTATUS> FCapStatus;
    bool FPreviewScaleToWindow = false;
    bool FPreviewScaleProportional = false;
    std::uint16_t FPreviewRate = 30;
    std::uint32_t FMicroSecPerFrame = 66667;
    QString FVideoFileName = QStringLiteral("Video.avi");
    QString FSingleImageFile = QStringLiteral("Capture.bmp");
    bool FCapAudio = false;
    std::uint16_t FCapTimeLimit = 0;
    std::uint32_t FCapIndexSize = 0;
    bool FCapToFile = true;
    TCapStatusProc FOnStatus;
    TCapStatusCallback FOnStatusCallback;
    TVideoStream FOnVideoStream;
    TVideoStream FOnFrame;
    TAudioStream FOnAudioStream;
};
