#include "camera/dialogs/SourceDialog.h"

#include "camera/ControlNames.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSlider>
#include <QSocketNotifier>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace camera {

namespace {

// Room the window manager's frame and title take around the dialog.
constexpr int frameAllowance = 48;

bool changeable(const ControlInfo& c)
{
    return !c.readOnly && !c.inactive;
}

QString stateTip(const ControlInfo& c)
{
    if (c.readOnly)
        return QCoreApplication::translate("camera::SourceDialog",
                                           "Nur zur Anzeige: dieser Wert lässt sich nicht ändern.");
    if (c.inactive)
        return QCoreApplication::translate("camera::SourceDialog",
                                           "Zurzeit ohne Wirkung: eine Automatik regelt diesen Wert.");
    return QString();
}

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
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("-000000")));
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    layout->addWidget(slider, 1);
    layout->addWidget(label);
    show = [slider, label, row](const ControlInfo& now) {
        QSignalBlocker block(slider);
        if (slider->minimum() != now.minimum || slider->maximum() != now.maximum)
            slider->setRange(now.minimum, now.maximum);
        slider->setValue(now.value);
        label->setNum(now.value);
        row->setEnabled(changeable(now));
        row->setToolTip(stateTip(now));
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
    setWindowTitle(tr("Videoquelle"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    tabs_ = new QTabWidget(this);
    tabs_->setUsesScrollButtons(true);
    layout->addWidget(tabs_, 1);

    const std::vector<ControlInfo> all = controls_.list();
    // One page per control class, in the order the device lists them.
    std::map<std::uint32_t, QFormLayout*> pages;
    auto pageFor = [this, &pages](std::uint32_t group) {
        auto it = pages.find(group);
        if (it != pages.end())
            return it->second;
        auto* scroll = new QScrollArea(tabs_);
        scroll->setWidgetResizable(true);
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        auto* content = new QWidget(scroll);
        auto* form = new QFormLayout(content);
        form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
        scroll->setWidget(content);
        tabs_->addTab(scroll, ControlGroupName(group));
        pages.emplace(group, form);
        return form;
    };
    if (all.empty())
        pageFor(0)->addRow(new QLabel(tr("Die Kamera bietet keine Einstellungen an.")));

    for (const ControlInfo& c : all) {
        const std::uint32_t id = c.id;
        QFormLayout* form = pageFor(c.group);
        QWidget* page = form->parentWidget();
        std::function<void(const ControlInfo&)> show;
        switch (c.kind) {
        case ControlInfo::Kind::Integer: {
            auto* label = new QLabel(c.name + QLatin1Char(':'), page);
            std::function<void(const ControlInfo&)> row;
            QWidget* field = sliderRow(
                c, page, [this, id](int v) { apply(id, v); }, row);
            label->setBuddy(field);
            form->addRow(label, field);
            show = [label, row](const ControlInfo& now) {
                label->setEnabled(changeable(now));
                row(now);
            };
            break;
        }
        case ControlInfo::Kind::Boolean: {
            auto* box = new QCheckBox(c.name, page);
            show = [box](const ControlInfo& now) {
                QSignalBlocker block(box);
                box->setChecked(now.value != 0);
                box->setEnabled(changeable(now));
                box->setToolTip(stateTip(now));
            };
            connect(box, &QCheckBox::toggled, this, [this, id](bool on) { apply(id, on ? 1 : 0); });
            form->addRow(QString(), box);
            break;
        }
        case ControlInfo::Kind::Menu: {
            auto* label = new QLabel(c.name + QLatin1Char(':'), page);
            auto* combo = new QComboBox(page);
            for (const auto& [value, text] : c.items)
                combo->addItem(text, value);
            show = [label, combo](const ControlInfo& now) {
                QSignalBlocker block(combo);
                combo->setCurrentIndex(combo->findData(now.value));
                combo->setEnabled(changeable(now));
                label->setEnabled(changeable(now));
                combo->setToolTip(stateTip(now));
            };
            connect(combo, &QComboBox::activated, this,
                    [this, id, combo](int index) { apply(id, combo->itemData(index).toInt()); });
            label->setBuddy(combo);
            form->addRow(label, combo);
            break;
        }
        case ControlInfo::Kind::Button: {
            auto* button = new QPushButton(c.name, page);
            show = [button](const ControlInfo& now) {
                button->setEnabled(changeable(now));
                button->setToolTip(stateTip(now));
            };
            connect(button, &QPushButton::clicked, this, [this, id] { apply(id, 0); });
            form->addRow(QString(), button);
            break;
        }
        }
        show(c);
        show_[id] = std::move(show);
    }

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* defaults = buttons->addButton(tr("Standardwerte"), QDialogButtonBox::ResetRole);
    QPushButton* close = buttons->addButton(tr("Schließen"), QDialogButtonBox::AcceptRole);
    close->setDefault(true);
    defaults->setEnabled(!all.empty());
    connect(defaults, &QPushButton::clicked, this, [this] {
        controls_.reset();
        refresh();
    });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);

    fitToScreen();
    followDevice();
}

// As tall as the longest tab needs, but never taller than the screen has
// room for: then the tabs scroll and the buttons stay in view.
void SourceDialog::fitToScreen()
{
    int contentHeight = 0;
    int contentWidth = 0;
    for (int i = 0; i < tabs_->count(); ++i) {
        auto* scroll = static_cast<QScrollArea*>(tabs_->widget(i));
        const QSize hint = scroll->widget()->sizeHint();
        contentHeight = std::max(contentHeight, hint.height());
        contentWidth = std::max(contentWidth, hint.width());
    }
    const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    for (int i = 0; i < tabs_->count(); ++i)
        tabs_->widget(i)->setMinimumWidth(contentWidth + scrollBar);

    const QScreen* where = parentWidget() != nullptr ? parentWidget()->screen() : screen();
    const int room = std::max(200, where->availableGeometry().height() - frameAllowance);
    setMaximumHeight(room);
    // Everything but the tab pages' content: tab bar, margins, buttons.
    const int chrome = sizeHint().height() - tabs_->widget(0)->sizeHint().height();
    resize(sizeHint().width(), std::min(room, chrome + contentHeight));
}

// Lets the device's change notices update the dialog: an automatic mode
// switched on greys the value it now rules, wherever the switch happened.
void SourceDialog::followDevice()
{
    const int fd = controls_.changeHandle();
    if (fd < 0)
        return;
    changes_ = new QSocketNotifier(fd, QSocketNotifier::Exception, this);
    connect(changes_, &QSocketNotifier::activated, this, [this] {
        if (controls_.takeChanges())
            refresh();
        else if (controls_.changeHandle() < 0)
            changes_->setEnabled(false); // the device went
    });
}

void SourceDialog::apply(std::uint32_t id, int value)
{
    controls_.set(id, value);
    // One control can change others (an automatic mode locks a manual value);
    // a device without change notices tells it only when asked.
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

} // namespace camera
