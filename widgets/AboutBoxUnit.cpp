#include "widgets/AboutBoxUnit.h"

#include "resources/Resources.h"
#include "widgets/BevelPanel.h"
#include "widgets/ButtonsXP.h"
#include "pixels/JpegDecoder.h"
#include "widgets/MakerSite.h"
#include "widgets/CentreOnScreen.h"
#include "widgets/UrlOpener.h"

#include <QDate>
#include <QFontMetrics>
#include <QFile>
#include <QLabel>
#include <QUrl>

#include <algorithm>

namespace {

const QColor kPanelColour(240, 202, 166);

QByteArray ProgramPicture()
{
    StillwiseInitResources();
    QFile file(QStringLiteral(":/pictures/about.jpg"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QImage ButtonGlyph(const QString& path)
{
    StillwiseInitResources();
    return QImage(path);
}

QLabel* MakeLabel(QWidget* parent, const QString& text, QPoint at)
{
    auto* label = new QLabel(text, parent);
    label->move(at);
    label->adjustSize();
    return label;
}

// Shrinks a one-line label's font until its text fits `room`, and makes the
// label as high as a line of it (at least its present height). A face the
// label asks for may be missing, and the one fontconfig picks instead can be
// wider or have a taller line.
void FitToRoom(QLabel* label, QSize room)
{
    QFont font = label->font();
    int pixels = font.pixelSize();
    for (; pixels > 8; --pixels) {
        font.setPixelSize(pixels);
        const QFontMetrics fm(font);
        // A line's height includes a pixel below the lowest descender.
        if (fm.height() - 1 <= room.height() && fm.horizontalAdvance(label->text()) <= room.width())
            break;
    }
    font.setPixelSize(pixels);
    label->setFont(font);
    label->resize(room.width(), std::clamp(QFontMetrics(font).height(), label->height(), room.height()));
}

QLabel* MakeWrappedLabel(QWidget* parent, const QString& text, const QRect& geometry)
{
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setGeometry(geometry);
    return label;
}

} // namespace

QString InsertYear(QString text, int year)
{
    const QString placeholder = QStringLiteral("XXXX");
    const qsizetype at = text.indexOf(placeholder);
    if (at >= 0)
        text.replace(at, placeholder.size(), QString::number(year));
    else
        text.prepend(QString::number(year));
    return text;
}

TAboutBox::TAboutBox(QWidget* owner) : TAboutBox(owner, ProgramPicture()) {}

TAboutBox::TAboutBox(QWidget* owner, const QByteArray& pictureJpeg) : QDialog(owner)
{
    setWindowTitle(tr("Info"));
    setFixedSize(664, 453);
    QFont dialogFont(QStringLiteral("MS Sans Serif"));
    dialogFont.setPixelSize(11);
    setFont(dialogFont);

    Panel1 = new BevelPanel(this, BevelPanel::Bevel::Lowered, BevelPanel::Bevel::Raised, kPanelColour);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(8, 8, 649, 385);

    ProgramIcon = new QLabel(Panel1);
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    ProgramIcon->setGeometry(16, 40, 306, 322);
    const QImage picture = pixels::DecodeJpeg(pictureJpeg);
    if (!picture.isNull()) {
        ProgramIcon->setPixmap(QPixmap::fromImage(picture));
        ProgramIcon->resize(picture.size());
    }

    Heading = new QLabel(QStringLiteral("Varnholt Software"), Panel1);
    QFont headingFont;
    headingFont.setFamilies({QStringLiteral("Arial Narrow"), QStringLiteral("Liberation Sans Narrow"),
                             QStringLiteral("DejaVu Sans Condensed")});
    headingFont.setBold(true);
    headingFont.setPixelSize(24);
    Heading->setFont(headingFont);
    QPalette headingPalette = Heading->palette();
    headingPalette.setColor(QPalette::WindowText, Qt::black);
    Heading->setPalette(headingPalette);
    Heading->setGeometry(8, 8, 406, 27);
    // Up to the picture and the copyright line below it.
    FitToRoom(Heading, QSize(406, 32));

    Copyright = MakeLabel(Panel1,
                          InsertYear(tr("© XXXX Varnholt. Alle Rechte vorbehalten."), QDate::currentDate().year()),
                          QPoint(336, 40));
    Contact = MakeWrappedLabel(Panel1, tr("Varnholt Software, Kontakt: info@stillwise.example"),
                               QRect(336, 56, 257, 33));
    Text1 = MakeLabel(Panel1, QStringLiteral("Stillwise 1.0"), QPoint(336, 96));
    QFont bold = Text1->font();
    bold.setBold(true);
    Text1->setFont(bold);
    Text1->adjustSize();
    Text2 = MakeLabel(Panel1, tr("Ruhige Bilder aus jeder Webcam."), QPoint(336, 112));
    Text3 = MakeWrappedLabel(Panel1,
                             tr("Stillwise legt jedes neue Bild der Kamera über die vorherigen. "
                                "Rauschen und Flackern, die sich von Bild zu Bild ändern, mitteln "
                                "sich so heraus. Ein Schnappschuss hält das beruhigte Bild fest, "
                                "zum Ansehen, Speichern und Drucken."),
                             QRect(336, 128, 238, 121));

    BitBtnXP1 = new TBitBtnXP(Panel1);
    BitBtnXP1->setObjectName(QStringLiteral("BitBtnXP1"));
    BitBtnXP1->setGeometry(336, 240, 169, 25);
    BitBtnXP1->setText(QUrl(QString::fromUtf8(kMakerSite)).host());
    BitBtnXP1->SetGlyph(ButtonGlyph(QStringLiteral(":/glyphs/web.bmp")));
    connect(BitBtnXP1, &TBitBtnXP::OnClick, this, &TAboutBox::BitBtnXP1Click);

    BitBtn1 = new TBitBtnXP(this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(241, 404, 181, 37);
    BitBtn1->SetKind(bkOK);
    BitBtn1->setFocus();
}

// The web-site button: the maker's site in the browser.
void TAboutBox::BitBtnXP1Click()
{
    // When no browser can be started the user is told so.
    url_opener::OpenOrSay(this, QUrl(QString::fromUtf8(kMakerSite)));
}

void TAboutBox::reject()
{
    done(mrCancel);
}

// Each showing opens centred on its screen.
void TAboutBox::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    CentreOnScreen(this, screen());
}
