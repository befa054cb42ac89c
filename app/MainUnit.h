#pragma once
// The main window: opens capture driver 0 with preview, blends every frame
// into the corrected picture and shows it above the raw frame, and holds the
// commands (the driver's dialogs, snapshot, saving, change of driver, about,
// the maker's web site, exit).

#include "capture/VideoFormat.h"
#include "dib/Pixmill.h"
#include "widgets/ButtonsXP.h"
#include "widgets/ImageBtnUnit.h"

#include <QSize>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>

class AutoSmoothing;
class AverageGather;
namespace camera {
class V4l2System;
}
namespace output {
class WebcamSwitch;
class PipeWireSystem;
} // namespace output

class QCheckBox;
class QCloseEvent;
class QLabel;
class QResizeEvent;
class QScrollArea;
class QStatusBar;
class QToolButton;
class TPaintBox;
class TPaneArea;
class FormatNotice;
class TRxSpinEdit;
class TSplitter;
class TVideo;
class TViewPicForm;

class TMainForm : public QWidget {
    Q_OBJECT
public:
    // Without `cameraAtStart` the camera is chosen but not opened: the
    // program starts in the background and opens it when it is needed.
    explicit TMainForm(QWidget* parent = nullptr, bool cameraAtStart = true);
    ~TMainForm() override;

    // Handlers; each takes the sender and ignores it.
    void FormCreate(QObject* Sender);
    void FormDestroy(QObject* Sender);
    void FormResize(QObject* Sender);
    void Splitter1Moved(QObject* Sender);
    void BitBtn1Click(QObject* Sender);
    void BitBtn2Click(QObject* Sender);
    void ShnapShotBtnClick(QObject* Sender);
    void SaveBtnClick(QObject* Sender);
    void DriverBtnClick(QObject* Sender);
    void ueberbtnClick(QObject* Sender);
    void endebtnClick(QObject* Sender);
    void wwwBtnClick(QObject* Sender);
    void Video1Frame(QObject* Sender, PVIDEOHDR lpVhdr);
    void PaintBox1Paint(QObject* Sender);
    void PaintBox2Paint(QObject* Sender);
    void ZoomEdChange(QObject* Sender);

    // Where the webcam output finds its ways out: the real devices and the
    // session's PipeWire unless a test installs simulated ones. Looks for
    // them afresh.
    void SetWebcamSystem(camera::V4l2System& system);
    void SetWebcamSystems(camera::V4l2System& system, output::PipeWireSystem& pipewire);

    // Asked before the window closes, with whether the exit button closes
    // it; false keeps the window open (Background hides it to the tray).
    std::function<bool(bool leaving)> OnCloseQuery;
    // Whether a program reads the webcam output now (where the way out can
    // tell), and whether every way out that is on can tell.
    bool WebcamRead() const;
    bool WebcamTellsReaders() const;
    // Hands a stand-in picture to the webcam output while the camera is
    // closed (output::WebcamSwitch::hold).
    void HoldWebcam(const DIB& placeholder);

    // The camera, opened and closed while the program runs in the
    // background (CameraOnDemand). Opened again, its first frame starts the
    // corrected picture afresh: nothing of what it showed before is mixed in.
    bool CameraOpen() const;
    void OpenCamera();
    void CloseCamera();
    // Frames the frame step has taken so far.
    std::uint64_t FramesTaken = 0;

    // The size both panes' paint boxes take: the corrected picture's size
    // times the zoom in percent, cut toward zero; 0 for a zoom of 0 or less.
    QSize ZoomedSize() const;

    // The snapshot viewer. The entry hands over the one it made at start;
    // without one, the first snapshot makes its own.
    TViewPicForm* ViewPicForm = nullptr;

    // Where a frame's format is asked: the capture control unless another
    // source is installed (for feeding frames by hand). Null restores it.
    void SetFormatSource(VideoFormatSource* source) { FormatSource = source; }

    // The window's own state.
    DIB RawPic;
    DIB CorrectedPic;
    int SplitPercent = 60;

    // Components.
    QWidget* Panel1 = nullptr;
    TBitBtnXP* BitBtn1 = nullptr;
    TBitBtnXP* BitBtn2 = nullptr;
    TBitBtnXP* SaveBtn = nullptr;
    TBitBtnXP* DriverBtn = nullptr;
    QLabel* Label2 = nullptr;
    TRxSpinEdit* SmoothEd = nullptr;
    QLabel* Label1 = nullptr;
    TRxSpinEdit* ZoomEd = nullptr;
    TBitBtnXP* ShnapShotBtn = nullptr;
    TVideo* Video1 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QWidget* Panel7 = nullptr;
    QToolButton* wwwBtn = nullptr;
    QWidget* Panel8 = nullptr;
    TImageBtn* ueberbtn = nullptr;
    TImageBtn* endebtn = nullptr;
    // Beyond the running average: motion sparing and the N-frame mean.
    QCheckBox* MotionBox = nullptr;
    QLabel* ThresholdLabel = nullptr;
    TRxSpinEdit* ThresholdEd = nullptr;
    TBitBtnXP* AverageBtn = nullptr;
    AverageGather* Averager = nullptr;
    TPaneArea* Panel2 = nullptr;
    QWidget* Panel3 = nullptr;
    TSplitter* Splitter1 = nullptr;
    QWidget* Panel4 = nullptr;
    QWidget* Panel5 = nullptr;
    QLabel* RxLabel8 = nullptr;
    QScrollArea* ScrollBox2 = nullptr;
    TPaintBox* PaintBox1 = nullptr;
    QWidget* Panel6 = nullptr;
    QLabel* RxLabel1 = nullptr;
    QScrollArea* ScrollBox3 = nullptr;
    FormatNotice* Notice = nullptr; // says when frames come in a format the frame step does not take
    TPaintBox* PaintBox2 = nullptr;
    QCheckBox* WebcamBox = nullptr;
    QCheckBox* AutoBox = nullptr;   // "Auto-Glättung"
    QLabel* NoiseLabel = nullptr;   // the estimated noise level, in the status bar

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildControlBar();
    void BuildPanes();
    void BuildFormatNotice();
    void BuildBottomBar();
    void BuildDenoiseControls();
    void BuildAutoSmoothing();
    // Starts gathering the mean of the next `frames` frames.
    void AverageBtnClick(int frames);
    // Shows a finished mean in the viewer once no other modal window is open.
    void ShowMeanWhenFree();
    // Shows a still picture in the snapshot viewer, modally; the caller
    // keeps owning it.
    void ShowStill(const DIB& still);
    void BuildWebcamOutput();
    // Hands the corrected picture to the webcam output when it is on.
    void SendToWebcam();
    void ApplyVideoSettings();
    QSize CameraPictureSize();
    // Lays out or draws one pane's paint box with its picture. Outside the
    // box's paint event it only marks the box for drawing.
    void PaintPane(TPaintBox* box, const DIB& picture);
    // Draws the marked panes now, together in one paint cycle.
    void DrawMarkedPanes();

    VideoFormatSource* FormatSource = nullptr;
    std::unique_ptr<output::WebcamSwitch> Webcam;
    std::unique_ptr<AutoSmoothing> AutoSmooth;
    // The exit button is closing the window.
    bool Leaving = false;
    bool CameraAtStart = true;
    // The next frame is taken whole, not blended into the picture before.
    bool FreshStart = false;
    // The paint boxes marked by PaintPane since the last DrawMarkedPanes.
    TPaintBox* MarkedPane = nullptr;
};
