#pragma once
// TAboutBox: the program's information dialog. Made afresh for each showing
// with the opening window as owner, shown modally, then destroyed; the year
// in its rights notice is therefore always today's.

#include <QDialog>

class BevelPanel;
class QLabel;
class TBitBtnXP;

// The rights notice with the year in place of the first "XXXX", or in front
// of the text when it has none.
QString InsertYear(QString text, int year);

class TAboutBox : public QDialog {
    Q_OBJECT

public:
    // Shows the program's own picture.
    explicit TAboutBox(QWidget* owner = nullptr);
    // Shows the JPEG picture given; one that cannot be decoded leaves the
    // picture's place empty.
    TAboutBox(QWidget* owner, const QByteArray& pictureJpeg);

    BevelPanel* Panel1 = nullptr;
    QLabel* ProgramIcon = nullptr;
    QLabel* Heading = nullptr;
    QLabel* Copyright = nullptr;
    QLabel* Contact = nullptr;
    QLabel* Text1 = nullptr;
    QLabel* Text2 = nullptr;
    QLabel* Text3 = nullptr;
    TBitBtnXP* BitBtnXP1 = nullptr; // the maker's web site
    TBitBtnXP* BitBtn1 = nullptr;   // OK

public slots:
    // The close box and Escape end the showing with the cancel result.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void BitBtnXP1Click();
};
