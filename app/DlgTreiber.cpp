#include "app/DlgTreiber.h"
#include "capture/Video.h"
#include "platform/avicap/CaptureApi.h"
#include "widgets/CentreOnScreen.h"

#include <QListView>
#include <QPainter>
#include <QStyledItemDelegate>

#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

namespace {

// Draws an entry "card (where)" with the part in brackets in a quieter
// colour: the camera's name is what the user looks for.
class DriverItemDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const QString text = index.data().toString();
        const qsizetype split = text.lastIndexOf(QStringLiteral(" ("));
        if (split <= 0 || !text.endsWith(QLatin1Char(')'))) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionViewItem plain = option;
        initStyleOption(&plain, index);
        plain.text.clear();
        const QWidget* widget = option.widget;
        QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &plain, painter, widget);

        const QRect area = style->subElementRect(QStyle::SE_ItemViewItemText, &plain, widget).adjusted(2, 0, -2, 0);
        const bool selected = option.state & QStyle::State_Selected;
        const QPalette::ColorGroup group = option.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled;
        const QColor strong = option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text);
        QColor quiet = strong;
        quiet.setAlphaF(0.6f);
        const QString name = text.left(split);
        const QString where = text.mid(split);
        painter->save();
        painter->setFont(option.font);
        painter->setPen(strong);
        painter->drawText(area, Qt::AlignLeft | Qt::AlignVCenter, name);
        painter->setPen(quiet);
        const int x = option.fontMetrics.horizontalAdvance(name);
        painter->drawText(area.adjusted(x, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, where);
        painter->restore();
    }
};

} // namespace

TDlgEinstell::TDlgEinstell(QWidget* owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("DlgEinstell"));
    setWindowTitle(tr("Videotreiber wechseln..."));
    setAttribute(Qt::WA_WindowPropagation); // the owner's font
    setFixedSize(335, 120);

    Label1 = new QLabel(tr("Treiber:"), this);
    Label1->move(8, 8);
    Label1->adjustSize();
    ComboBox1 = new QComboBox(this);
    ComboBox1->setEditable(false);
    ComboBox1->setGeometry(8, 24, 321, 21);
    ComboBox1->setItemDelegate(new DriverItemDelegate(ComboBox1));
    Label1->setBuddy(ComboBox1);
    avicap::OnDriversChanged(this, [this] { RefreshDriverList(); });

    Panel1 = new QWidget(this);
    Panel1->setGeometry(0, 120 - 43, 335, 43);
    Bevel1 = new QFrame(Panel1);
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setGeometry(0, 0, 335, 2);

    BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), tr("OK"), Panel1);
    BitBtn1->setGeometry(67, 8, 97, 25);
    BitBtn1->setDefault(true);
    BitBtn2 = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), tr("Abbrechen"), Panel1);
    BitBtn2->setGeometry(171, 8, 97, 25);
    BitBtn2->setAutoDefault(false);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);

    setTabOrder(ComboBox1, BitBtn1);
    setTabOrder(BitBtn1, BitBtn2);
    ComboBox1->setFocus();
}

void TDlgEinstell::HideEmptySlots()
{
    auto* view = qobject_cast<QListView*>(ComboBox1->view());
    int shown = 0;
    for (int i = 0; i < ComboBox1->count(); ++i) {
        const bool empty = ComboBox1->itemText(i).isEmpty();
        if (view != nullptr)
            view->setRowHidden(i, empty);
        shown += empty ? 0 : 1;
    }
    ComboBox1->setMaxVisibleItems(std::max(1, shown));
}

// A camera came or went: the entries say what the slots hold now. The
// selection stays on its slot, as the list stands for the slots.
void TDlgEinstell::RefreshDriverList()
{
    if (ComboBox1->count() == 0)
        return; // not filled yet
    const QStringList now = GetDriverList();
    for (int i = 0; i < ComboBox1->count() && i < now.size(); ++i)
        ComboBox1->setItemText(i, now[i]);
    HideEmptySlots();
}

void TDlgEinstell::showEvent(QShowEvent* event)
{
    HideEmptySlots();
    QDialog::showEvent(event);
    CentreOnScreen(this);
}
