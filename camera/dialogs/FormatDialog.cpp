#include "camera/dialogs/FormatDialog.h"

#include "camera/Notices.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace camera {

QString FrameRateText(const FrameInterval& interval)
{
    if (interval.numerator == 0 || interval.denominator == 0)
        return QCoreApplication::translate("camera::FormatDialog", "wie die Kamera will");
    const double fps = static_cast<double>(interval.denominator) / interval.numerator;
    // The rate is written the way the dialog's language writes numbers.
    const QLocale numbers(QCoreApplication::translate("camera::FormatDialog", "de_DE", "locale of the frame rate"));
    return QCoreApplication::translate("camera::FormatDialog", "%1 Bilder/s").arg(numbers.toString(fps, 'g', 4));
}

FormatDialog::FormatDialog(FormatSet& formats, QWidget* parent)
    : QDialog(parent), formats_(formats), choices_(formats.list()), formatBox_(new QComboBox(this)),
      sizeBox_(new QComboBox(this)), rateBox_(new QComboBox(this))
{
    setWindowTitle(tr("Videoformat"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    form->addRow(tr("Bildformat:"), formatBox_);
    form->addRow(tr("Bildgröße:"), sizeBox_);
    form->addRow(tr("Bildrate:"), rateBox_);
    layout->addLayout(form);

    const FormatSetting now = formats_.current();
    for (std::size_t i = 0; i < choices_.size(); ++i)
        formatBox_->addItem(choices_[i].description, static_cast<int>(i));
    for (std::size_t i = 0; i < choices_.size(); ++i)
        if (choices_[i].fourcc == now.fourcc)
            formatBox_->setCurrentIndex(static_cast<int>(i));
    fillSizes(now);

    connect(formatBox_, &QComboBox::currentIndexChanged, this, [this] { fillSizes(chosen()); });
    connect(sizeBox_, &QComboBox::currentIndexChanged, this, [this] { fillRates(chosen()); });

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(tr("OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(tr("Abbrechen"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &FormatDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

const PixelFormatChoice* FormatDialog::pixelFormat() const
{
    const int i = formatBox_->currentIndex();
    return i >= 0 && i < static_cast<int>(choices_.size()) ? &choices_[i] : nullptr;
}

const FrameSizeChoice* FormatDialog::frameSize() const
{
    const PixelFormatChoice* f = pixelFormat();
    const int i = sizeBox_->currentIndex();
    return f != nullptr && i >= 0 && i < static_cast<int>(f->sizes.size()) ? &f->sizes[i] : nullptr;
}

void FormatDialog::fillSizes(const FormatSetting& want)
{
    {
        QSignalBlocker block(sizeBox_);
        sizeBox_->clear();
        if (const PixelFormatChoice* f = pixelFormat()) {
            int pick = 0;
            for (std::size_t i = 0; i < f->sizes.size(); ++i) {
                const FrameSizeChoice& s = f->sizes[i];
                sizeBox_->addItem(QStringLiteral("%1 × %2").arg(s.width).arg(s.height));
                if (s.width == want.width && s.height == want.height)
                    pick = static_cast<int>(i);
            }
            sizeBox_->setCurrentIndex(f->sizes.empty() ? -1 : pick);
        }
    }
    fillRates(want);
}

void FormatDialog::fillRates(const FormatSetting& want)
{
    QSignalBlocker block(rateBox_);
    rateBox_->clear();
    const FrameSizeChoice* s = frameSize();
    if (s == nullptr)
        return;
    int pick = 0;
    for (std::size_t i = 0; i < s->intervals.size(); ++i) {
        rateBox_->addItem(FrameRateText(s->intervals[i]));
        if (s->intervals[i] == want.interval)
            pick = static_cast<int>(i);
    }
    if (s->intervals.empty())
        rateBox_->addItem(FrameRateText({}));
    rateBox_->setCurrentIndex(pick);
}

FormatSetting FormatDialog::chosen() const
{
    FormatSetting setting;
    if (const PixelFormatChoice* f = pixelFormat())
        setting.fourcc = f->fourcc;
    if (const FrameSizeChoice* s = frameSize()) {
        setting.width = s->width;
        setting.height = s->height;
        const int r = rateBox_->currentIndex();
        if (r >= 0 && r < static_cast<int>(s->intervals.size()))
            setting.interval = s->intervals[r];
    }
    return setting;
}

void FormatDialog::accept()
{
    const FormatSetting setting = chosen();
    if (setting.fourcc == 0 || setting.width <= 0) {
        QDialog::reject();
        return;
    }
    if (!formats_.apply(setting)) {
        const QString reason = formats_.refusal();
        ReportToUser(reason.isEmpty() ? tr("Die Kamera nimmt dieses Bildformat nicht an. Es bleibt beim bisherigen.")
                                      : tr("%1 Es bleibt beim bisherigen.").arg(reason));
        return;
    }
    QDialog::accept();
}

} // namespace camera
