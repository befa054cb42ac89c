// "Auto-Glättung" in the main window: where the box sits, what it
// switches, that every corrected picture comes from the automatic smoother
// while it is on, that the stream's changes start it afresh, and that the
// choice outlives the window.

#include "app/AutoSmoothing.h"
#include "app/DlgTreiber.h"
#include "app/MainUnit.h"
#include "app/SmoothFrame.h"
#include "capture/Video.h"
#include "widgets/ButtonsXP.h"
#include "widgets/SpinEdit.h"

#include "program_test_support.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <random>

using namespace testing_program;

namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 48;

std::vector<std::uint8_t> Bytes(const DIB& d)
{
    return {d.bits, d.bits + std::size_t(DIBHeight(d)) * std::size_t(d.rowbytes)};
}

// A still pattern with fresh noise of standard deviation 8 on every byte.
std::vector<std::uint8_t> NoisyFrame(int seed)
{
    std::vector<std::uint8_t> bytes = PatternFrame(kWidth, kHeight, 1);
    std::mt19937 rng(static_cast<unsigned>(seed));
    std::normal_distribution<double> noise(0.0, 8.0);
    for (auto& b : bytes)
        b = static_cast<std::uint8_t>(std::clamp(b + noise(rng), 0.0, 255.0));
    return bytes;
}

// The frame step as the window should run it, on pictures of its own.
class Reference {
public:
    Reference() : format_(testing_program::FormatBlock(kWidth, kHeight, 24)) {}
    ~Reference()
    {
        deldib(corrected_);
        deldib(raw_);
    }
    std::vector<std::uint8_t> step(const std::vector<std::uint8_t>& frame, int strength, bool automatic)
    {
        SmoothFrame(corrected_, raw_, &format_, sizeof(BITMAPINFOHEADER), frame.data(),
                    static_cast<std::uint32_t>(frame.size()), strength, MotionSparing{},
                    automatic ? &smoother_ : nullptr);
        return Bytes(corrected_);
    }

private:
    BITMAPINFO format_;
    DIB corrected_ = newdib(kWidth, kHeight, 24, nullptr, 0);
    DIB raw_ = newdib(kWidth, kHeight, 24, nullptr, 0);
    denoise::AutoSmoother smoother_;
};

// One configuration folder for the whole run: Qt settles the folder of its
// settings at their first use.
QTemporaryDir& ConfigDir()
{
    static QTemporaryDir dir;
    return dir;
}

class AutoSmoothingWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ConfigDir().isValid());
        qputenv("XDG_CONFIG_HOME", ConfigDir().path().toLocal8Bit());
        QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Stillwise"), QStringLiteral("Stillwise"))
            .clear();
        lib.drivers[0] = {"Kamera A", "v1.0", kWidth, kHeight};
        lib.drivers[2] = {"Kamera B", "v1.0", kWidth, kHeight};
        open();
    }
    void open()
    {
        form.reset();
        form = std::make_unique<TMainForm>();
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }
    void click() { QTest::mouseClick(form->AutoBox, Qt::LeftButton, {}, QPoint(8, form->AutoBox->height() / 2)); }
    std::vector<std::uint8_t> deliver(std::vector<std::uint8_t> frame)
    {
        EXPECT_TRUE(lib.deliver(frame));
        return Bytes(form->CorrectedPic);
    }

    FakeLibrary lib;
    CaptureErrors errors;
    ScriptedShell shell;
    std::unique_ptr<TMainForm> form;
};

} // namespace

TEST_F(AutoSmoothingWindow, StartsOffBesideTheWebcamBoxWithItsCaptionWhole)
{
    EXPECT_EQ(form->AutoBox->text(), "Auto-Glättung");
    EXPECT_FALSE(form->AutoBox->isChecked());
    EXPECT_FALSE(form->NoiseLabel->isVisible());
    EXPECT_TRUE(form->MotionBox->isEnabled());
    EXPECT_TRUE(form->ThresholdEd->isEnabled());

    const QRect bar = form->Panel7->rect();
    EXPECT_TRUE(bar.contains(form->AutoBox->geometry()));
    EXPECT_FALSE(form->AutoBox->geometry().intersects(form->WebcamBox->geometry()));
    EXPECT_FALSE(form->AutoBox->geometry().intersects(form->Panel8->geometry()));
    EXPECT_LE(form->AutoBox->sizeHint().width(), form->AutoBox->width());

    // Off, the frame step is the plain one, byte for byte.
    Reference plain;
    for (int i = 0; i < 4; ++i) {
        const auto frame = NoisyFrame(i);
        ASSERT_EQ(deliver(frame), plain.step(frame, 60, false)) << "frame " << i;
    }
}

TEST_F(AutoSmoothingWindow, WhileOnEveryCorrectedPictureIsTheSmoothersAndTheThresholdRests)
{
    deliver(NoisyFrame(100)); // a history the smoother must not see
    click();
    ASSERT_TRUE(form->AutoBox->isChecked());
    EXPECT_FALSE(form->MotionBox->isEnabled());
    EXPECT_FALSE(form->ThresholdLabel->isEnabled());
    EXPECT_FALSE(form->ThresholdEd->isEnabled());

    Reference automatic;
    for (int i = 0; i < 12; ++i) {
        const auto frame = NoisyFrame(i);
        ASSERT_EQ(deliver(frame), automatic.step(frame, 60, true)) << "frame " << i;
    }
    // The strength field reaches the smoother.
    form->SmoothEd->setValue(20);
    const auto frame = NoisyFrame(50);
    EXPECT_EQ(deliver(frame), automatic.step(frame, 20, true));

    EXPECT_TRUE(form->NoiseLabel->isVisible());
    EXPECT_TRUE(form->NoiseLabel->text().startsWith("Geschätztes Rauschen: ")) << form->NoiseLabel->text().toStdString();
    EXPECT_TRUE(form->AutoBox->toolTip().contains(form->NoiseLabel->text()));
    form->grab().save(QStringLiteral(STILLWISE_SCREENSHOT_DIR "/auto-smoothing-window.png"));

    // Off again: the plain step from the picture the smoother left.
    click();
    EXPECT_TRUE(form->MotionBox->isEnabled());
    EXPECT_FALSE(form->NoiseLabel->isVisible());
    Reference plain;
    const auto left = Bytes(form->CorrectedPic);
    std::vector<std::uint8_t> expected(left.size());
    const auto next = NoisyFrame(51);
    const SmoothWeights w = WeightsForStrength(20);
    for (std::size_t i = 0; i < left.size(); ++i)
        expected[i] = static_cast<std::uint8_t>((w.o * next[i] + w.d * left[i]) >> 7);
    EXPECT_EQ(deliver(next), expected);
}

TEST_F(AutoSmoothingWindow, TheStreamsChangesStartItAfresh)
{
    click();
    for (int i = 0; i < 6; ++i)
        deliver(NoisyFrame(i));
    // A new format from the camera's dialog; then another camera.
    form->BitBtn2Click(form->BitBtn2);
    Reference fresh;
    auto frame = NoisyFrame(30);
    EXPECT_EQ(deliver(frame), fresh.step(frame, 60, true));

    deliver(NoisyFrame(31));
    WhenModal<TDlgEinstell>([](TDlgEinstell* d) {
        d->ComboBox1->setCurrentIndex(2);
        d->BitBtn1->click();
    });
    form->DriverBtnClick(form->DriverBtn);
    form->Video1->SetVideoPreview(true);
    Reference other;
    frame = NoisyFrame(32);
    EXPECT_EQ(deliver(frame), other.step(frame, 60, true));
}

TEST_F(AutoSmoothingWindow, TheChoiceOutlivesTheWindow)
{
    click();
    open();
    EXPECT_TRUE(form->AutoBox->isChecked());
    EXPECT_FALSE(form->MotionBox->isEnabled());
    click();
    open();
    EXPECT_FALSE(form->AutoBox->isChecked());
    EXPECT_TRUE(form->MotionBox->isEnabled());

    // A value that is no choice counts as none.
    {
        QSettings settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Stillwise"),
                           QStringLiteral("Stillwise"));
        settings.setValue(QStringLiteral("Glaettung/Automatisch"), QStringLiteral("vielleicht"));
    }
    open();
    EXPECT_FALSE(form->AutoBox->isChecked());
}

TEST_F(AutoSmoothingWindow, TheStrengthFieldSaysHowManyFramesAStillPictureMayAverage)
{
    const QString own = form->SmoothEd->toolTip();
    click();
    EXPECT_EQ(form->SmoothEd->toolTip(), "Auto-Glättung: ein stillstehendes Bild wird über bis zu 64 Bilder gemittelt.");
    form->SmoothEd->setValue(30);
    EXPECT_TRUE(form->SmoothEd->toolTip().contains(" 8 Bilder")) << form->SmoothEd->toolTip().toStdString();
    form->SmoothEd->setValue(95);
    EXPECT_TRUE(form->SmoothEd->toolTip().contains(" 255 Bilder")) << form->SmoothEd->toolTip().toStdString();
    // Off, the field is the plain running average's again.
    click();
    EXPECT_EQ(form->SmoothEd->toolTip(), own);
    form->SmoothEd->setValue(40);
    EXPECT_EQ(form->SmoothEd->toolTip(), own);
}

TEST(AutoSmoothingText, SaysWhatAStrengthMeansForAStillPicture)
{
    EXPECT_EQ(AutoSmoothing::StrengthText(60), "Auto-Glättung: ein stillstehendes Bild wird über bis zu 64 Bilder gemittelt.");
    EXPECT_TRUE(AutoSmoothing::StrengthText(10).contains(" 2 Bilder"));
    // A strength typed beyond the field's range is taken as the smoother takes it.
    EXPECT_EQ(AutoSmoothing::StrengthText(200), AutoSmoothing::StrengthText(95));
    EXPECT_TRUE(AutoSmoothing::StrengthText(5).contains(" 2 Bilder"));
    EXPECT_TRUE(AutoSmoothing::StrengthText(0).contains("bleibt, wie es ist"));
    EXPECT_TRUE(AutoSmoothing::StrengthText(-3).contains("bleibt, wie es ist"));
}

TEST(AutoSmoothingText, SaysTheLevelInGermanNumbers)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(AutoSmoothing::LevelText(6.25), "Geschätztes Rauschen: 6,3 Helligkeitsstufen");
    EXPECT_EQ(AutoSmoothing::LevelText(0), "Geschätztes Rauschen: 0,0 Helligkeitsstufen");
}
