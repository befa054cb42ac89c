#include "app/DlgTreiber.h"
#include "widgets/CentreOnScreen.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

TDlgEinstell::TDlgEinstell(QWidget* owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("DlgEinstell"));
    setWindowTitle(QStringLiteral("Videotreiber wechseln..."));
    setAttribute(Qt::WA_WindowPropagation); // the owner's font
    setFixedSize(335, 120);

    Label1 = new QLabel(QStringLiteral("Treiber:"), this);
    Label1->move(8, 8);
    Label1->adjustSize();
    ComboBox1 = new QComboBox(this);
    ComboBox1->setEditable(false);
    ComboBox1->setGeometry(8, 24, 321, 21);
    Label1->setBuddy(ComboBox1);

    Panel1 = new QWidget(this);
    Panel1->setGeometry(0, 120 - 43, 335, 43);
    Bevel1 = new QFrame(Panel1);
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setGeometry(0, 0, 335, 2);

    BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("OK"), Panel1);
    BitBtn1->setGeometry(67, 8, 97, 25);
    BitBtn1->setDefault(true);
    BitBtn2 = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), QStringLiteral("Abbrechen"),
                              Panel1);
    BitBtn2->setGeometry(171, 8, 97, 25);
    BitBtn2->setAutoDefault(false);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);

    setTabOrder(ComboBox1, BitBtn1);
    setTabOrder(BitBtn1, BitBtn2);
    ComboBox1->setFocus();
}

void TDlgEinstell::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    CentreOnScreen(this);
}
