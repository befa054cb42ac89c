#include "platform/avicap/SourceDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

namespace avicap {

namespace {

QWidget* sliderRow(const ControlInfo& c, QWidget* parent, std::function<void(int)> changed,
                   std::function<void(const ControlInfo&)>& show)
{
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* slider = new QSlider(Qt::Horizontal, row);
    slider->setRange(c.minimum, c.maximum);
    slider->setSingleStep(std::max(1, c.step));
    slider->setPageStep(std::max(1, c.step) * 10);
    slider->setMinimumWidth(200);
    auto* label = new QLabel(row);
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("-00000")));
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    layout->addWidget(slider, 1);
    layout->addWidget(label);
    show = [slider, label](const ControlInfo& now) {
        QSignalBlocker block(slider);
        slider->setValue(now.value);
        label->setNum(now.value);
        slider->setEnabled(!now.readOnly);
    };
    QObject::connect(slider, &QSlider::valueChanged, row, [label, changed](int v) {
        label->setNum(v);
        changed(v);
    });
    return row;
}

} // namespace

SourceDialog::SourceDialog(ControlSet& controls, QWidget* parent) : QDialog(parent), controls_(controls)
{
    setWindowTitle(QStringLiteral("Videoquelle"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    layout->addLayout(form);

    const std::vector<ControlInfo> all = controls_.list();
    if (all.empty())
        form->addRow(new QLabel(QStringLiteral("Die Kamera bietet keine Einstellungen an."), this));
    for (const ControlInfo& c : all) {
        const std::uint32_t id = c.id;
        auto& show = show_[id];
        switch (c.kind) {
        case ControlInfo::Kind::Integer:
            form->addRow(c.name + QLatin1Char(':'),
                         sliderRow(c, this, [this, id](int v) { apply(id, v); }, show));
            break;
        case ControlInfo::Kind::Boolean: {
            auto* box = new QCheckBox(c.name, this);
            show = [box](const ControlInfo& now) {
                QSignalBlocker block(box);
                box->setChecked(now.value != 0);
                box->setEnabled(!now.readOnly);
            };
            connect(box, &QCheckBox::toggled, this, [this, id](bool on) { apply(id, on ? 1 : 0); });
            form->addRow(QString(), box);
            break;
        }
        case ControlInfo::Kind::Menu: {
            auto* combo = new QComboBox(this);
            for (const auto& [value, text] : c.items)
                combo->addItem(text, value);
            show = [combo](const ControlInfo& now) {
                QSignalBlocker block(combo);
                combo->setCurrentIndex(combo->findData(now.value));
                combo->setEnabled(!now.readOnly);
            };
            connect(combo, &QComboBox::activated, this,
                    [this, id, combo](int index) { apply(id, combo->itemData(index).toInt()); });
            form->addRow(c.name + QLatin1Char(':'), combo);
            break;
        }
        case ControlInfo::Kind::Button: {
            auto* button = new QPushButton(c.name, this);
            show = [button](const ControlInfo& now) { button->setEnabled(!now.readOnly); };
            connect(button, &QPushButton::clicked, this, [this, id] { apply(id, 0); });
            form->addRow(QString(), button);
            break;
        }
        }
        show(c);
    }

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* defaults = buttons->addButton(QStringLiteral("Standardwerte"), QDialogButtonBox::ResetRole);
    QPushButton* close = buttons->addButton(QStringLiteral("Schließen"), QDialogButtonBox::AcceptRole);
    close->setDefault(true);
    defaults->setEnabled(!all.empty());
    connect(defaults, &QPushButton::clicked, this, [this] {
        controls_.reset();
        refresh();
    });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}

void SourceDialog::apply(std::uint32_t id, int value)
{
    controls_.set(id, value);
    // One control can change others (an automatic mode locks a manual value).
    refresh();
}

void SourceDialog::refresh()
{
    for (const ControlInfo& c : controls_.list()) {
        auto it = show_.find(c.id);
        if (it != show_.end())
            it->second(c);
    }
}

} // namespace avicap
