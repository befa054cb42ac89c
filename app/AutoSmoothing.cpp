#include "app/AutoSmoothing.h"

#include "viewer/PrintFormStorage.h"
#include "widgets/SpinEdit.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLocale>
#include <QSettings>
#include <QThread>

#include <algorithm>

namespace {

constexpr char kGroup[] = "Glaettung";
constexpr char kKey[] = "Automatisch";
// Often enough to follow a change of light, rarely enough to stay readable.
constexpr qint64 kShowEveryMs = 500;

QString ToolTip()
{
    return QCoreApplication::translate("AutoSmoothing",
                                       "Schätzt das Rauschen des Bildes selbst: Stillstehendes wird über viele "
                                       "Bilder gemittelt, Bewegtes bleibt scharf und zieht keine Schleppen, auch "
                                       "wenn die Kamera schwenkt.");
}

bool StoredChoice()
{
    const auto settings = OpenUserSettings();
    settings->beginGroup(QLatin1String(kGroup));
    // Only what the box itself wrote counts as a choice; anything else in the
    // file is none, and a start without a choice is as it always was.
    return settings->value(QLatin1String(kKey)).toString() == QLatin1String("true");
}

void StoreChoice(bool on)
{
    const auto settings = OpenUserSettings();
    settings->beginGroup(QLatin1String(kGroup));
    settings->setValue(QLatin1String(kKey), on);
    settings->endGroup();
    settings->sync();
}

} // namespace

AutoSmoothing::AutoSmoothing(QCheckBox* box, QLabel* level, TRxSpinEdit* strength, std::vector<QWidget*> spared)
    // The smoother's per-pixel work is shared by all of the machine's cores.
    : box_(box), level_(level), strength_(strength), strengthTip_(strength->toolTip()), spared_(std::move(spared)),
      smoother_(denoise::BestPath(), std::max(1, QThread::idealThreadCount()))
{
    box_->setChecked(StoredChoice());
    box_->setToolTip(ToolTip());
    for (QWidget* w : spared_)
        w->setEnabled(!box_->isChecked());
    level_->setVisible(box_->isChecked());
    level_->clear();
    // Only a click by the user is a choice to remember.
    QObject::connect(box_, &QCheckBox::clicked, box_, &StoreChoice);
    QObject::connect(box_, &QCheckBox::toggled, box_, [this](bool on) { toggled(on); });
    QObject::connect(strength_, &TRxSpinEdit::changed, box_, [this] { showStrength(); });
    showStrength();
}

AutoSmoothing::~AutoSmoothing() = default;

denoise::AutoSmoother* AutoSmoothing::active()
{
    return box_->isChecked() ? &smoother_ : nullptr;
}

void AutoSmoothing::restart()
{
    smoother_.Reset();
    sinceShown_.invalidate();
}

void AutoSmoothing::toggled(bool on)
{
    // Switched on, the smoother starts from the next frame alone: what it
    // kept from an earlier spell is stale.
    restart();
    for (QWidget* w : spared_)
        w->setEnabled(!on);
    level_->setVisible(on);
    level_->clear();
    box_->setToolTip(ToolTip());
    showStrength();
}

void AutoSmoothing::showStrength()
{
    strength_->setToolTip(box_->isChecked() ? StrengthText(strength_->value()) : strengthTip_);
}

void AutoSmoothing::frameDone()
{
    if (!box_->isChecked())
        return;
    if (sinceShown_.isValid() && sinceShown_.elapsed() < kShowEveryMs)
        return;
    sinceShown_.start();
    showLevel();
}

void AutoSmoothing::showLevel()
{
    const QString text = LevelText(smoother_.NoiseLevel());
    level_->setText(text);
    box_->setToolTip(ToolTip() + QLatin1Char('\n') + text);
}

QString AutoSmoothing::StrengthText(int strength)
{
    // The field lets a number beyond its range be typed; the smoother takes it
    // clamped, and so does the text.
    if (strength <= 0)
        return QCoreApplication::translate("AutoSmoothing", "Auto-Glättung bei Stärke 0: das Bild bleibt, wie es ist.");
    const int frames = denoise::AutoSmoother::CapForStrength(strength);
    return QCoreApplication::translate("AutoSmoothing",
                                       "Auto-Glättung: ein stillstehendes Bild wird über bis zu %n Bilder gemittelt.",
                                       nullptr, frames);
}

QString AutoSmoothing::LevelText(double level)
{
    return QCoreApplication::translate("AutoSmoothing", "Geschätztes Rauschen: %1 Helligkeitsstufen")
        .arg(QLocale().toString(level, 'f', 1));
}
