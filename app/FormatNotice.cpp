#include "app/FormatNotice.h"

#include "app/SmoothFrame.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLabel>


const QString& FormatNotice::Text()
{
    static const QString text = QCoreApplication::translate("FormatNotice",
                                                            "Dieses Bildformat kann nicht angezeigt werden");
    return text;
}

FormatNotice::FormatNotice(const std::vector<QWidget*>& panes, QObject* parent) : QObject(parent)
{
    for (QWidget* pane : panes) {
        auto* label = new QLabel(Text(), pane);
        label->setObjectName(QStringLiteral("FormatNotice"));
        label->setAlignment(Qt::AlignCenter);
        label->setWordWrap(true);
        label->setAutoFillBackground(true);
        // Said outright: the pane's dark role would otherwise be inherited,
        // and with it light text on grey.
        label->setBackgroundRole(QPalette::Window);
        label->setForegroundRole(QPalette::WindowText);
        QPalette palette = label->palette();
        for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
            palette.setColor(group, QPalette::Window, QColor(255, 255, 225));
            palette.setColor(group, QPalette::WindowText, Qt::black);
        }
        label->setPalette(palette);
        QFont font = label->font();
        font.setBold(true);
        label->setFont(font);
        label->hide();
        pane->installEventFilter(this);
        labels_.push_back(label);
    }
}

void FormatNotice::frameTaken(bool taken, VideoFormatSource& source)
{
    const bool show = !taken && !FormatBlock(source).takenByFrameStep();
    if (show == shown_)
        return;
    shown_ = show;
    for (QLabel* label : labels_) {
        if (show) {
            place(label);
            label->raise();
        }
        label->setVisible(show);
    }
}

bool FormatNotice::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize)
        for (QLabel* label : labels_)
            if (label->parent() == watched)
                place(label);
    return false;
}

// A band across the middle of the pane, two lines high.
void FormatNotice::place(QLabel* label)
{
    const QWidget* pane = label->parentWidget();
    const int height = std::min(pane->height(), 2 * label->fontMetrics().height() + 8);
    label->setGeometry(0, (pane->height() - height) / 2, pane->width(), height);
}

