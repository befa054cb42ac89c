#include "widgets/SpinEdit.h"

#include <QFocusEvent>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionSpinBox>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// A field like "Smoothing:" on the main window.
struct SmoothField {
    TRxSpinEdit ed;
    int changes = 0;
    SmoothField()
    {
        ed.setRange(0, 95);
        ed.setIncrement(5);
        ed.setValue(60);
        ed.OnChange = [this](QObject* sender) {
            EXPECT_EQ(sender, &ed);
            ++changes;
        };
    }
    void type(const char* text)
    {
        QLineEdit* editor = ed.findChild<QLineEdit*>();
        editor->clear();
        QTest::keyClicks(editor, QString::fromLatin1(text));
    }
    void leave()
    {
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(&ed, &out);
    }
    QString text() const { return ed.text(); }
};

TEST(SpinEdit, ParsesOnlyWholeNumbers)
{
    int v = 7;
    EXPECT_TRUE(TRxSpinEdit::parseWholeNumber("62", v));
    EXPECT_EQ(v, 62);
    EXPECT_TRUE(TRxSpinEdit::parseWholeNumber("+5", v));
    EXPECT_EQ(v, 5);
    EXPECT_TRUE(TRxSpinEdit::parseWholeNumber("-12", v));
    EXPECT_EQ(v, -12);
    EXPECT_TRUE(TRxSpinEdit::parseWholeNumber("99999999999999999999999", v));
    EXPECT_EQ(v, INT_MAX);
    EXPECT_TRUE(TRxSpinEdit::parseWholeNumber("-99999999999999999999999", v));
    EXPECT_EQ(v, INT_MIN);
    for (const char* bad : {"", "+", "-", "5-3", "--5", "1.5", " 5"})
        EXPECT_FALSE(TRxSpinEdit::parseWholeNumber(QString::fromLatin1(bad), v)) << bad;
}

TEST(SpinEdit, TypingTakesDigitsAndSignsOnly)
{
    SmoothField f;
    f.type("6a2x");
    EXPECT_EQ(f.text(), "62");
    EXPECT_EQ(f.ed.value(), 62);
    f.type("-");
    EXPECT_EQ(f.ed.value(), 0) << "no number reads as the minimum";
    f.type("");
    EXPECT_EQ(f.ed.value(), 0);
}

TEST(SpinEdit, StepsFromTheTypedValueWithinTheRange)
{
    SmoothField f;
    f.type("62");
    f.ed.stepBy(1);
    EXPECT_EQ(f.ed.value(), 67);
    QTest::keyClick(&f.ed, Qt::Key_Up);
    EXPECT_EQ(f.ed.value(), 72);
    QTest::keyClick(&f.ed, Qt::Key_Down);
    EXPECT_EQ(f.ed.value(), 67);
    f.ed.stepBy(100);
    EXPECT_EQ(f.ed.value(), 95);
    f.ed.stepBy(-1000);
    EXPECT_EQ(f.ed.value(), 0);
    f.type("500");
    f.ed.stepBy(-1);
    EXPECT_EQ(f.ed.value(), 95) << "a step never lands outside the range";
    f.type("");
    f.ed.stepBy(1);
    EXPECT_EQ(f.ed.value(), 5) << "an empty field steps from its minimum";
}

TEST(SpinEdit, TypedValueOutsideTheRangeIsKeptUntilTheFocusLeaves)
{
    SmoothField f;
    f.type("120");
    EXPECT_EQ(f.ed.value(), 120);
    f.leave();
    EXPECT_EQ(f.text(), "95");
    f.type("-7");
    EXPECT_EQ(f.ed.value(), -7);
    f.leave();
    EXPECT_EQ(f.text(), "0");
    f.type("");
    f.leave();
    EXPECT_EQ(f.text(), "0");
    f.type("+40");
    f.leave();
    EXPECT_EQ(f.text(), "40");
}

TEST(SpinEdit, EveryTextChangeIsReported)
{
    SmoothField f;
    int emitted = 0;
    QObject::connect(&f.ed, &TRxSpinEdit::changed, [&] { ++emitted; });
    f.changes = 0;
    f.type("12"); // clear, then two keys
    EXPECT_EQ(f.changes, 3);
    f.ed.stepBy(1);
    EXPECT_EQ(f.changes, 4);
    f.ed.setValue(17); // same text: no change
    EXPECT_EQ(f.changes, 4);
    EXPECT_EQ(emitted, 4);
}

TEST(SpinEdit, SetValueAndRange)
{
    TRxSpinEdit ed;
    ed.setRange(5, 9000);
    ed.setIncrement(10);
    ed.setValue(100);
    EXPECT_EQ(ed.value(), 100);
    ed.setValue(1);
    EXPECT_EQ(ed.value(), 5);
    ed.setValue(100000);
    EXPECT_EQ(ed.value(), 9000);
    ed.setRange(10, 3);
    EXPECT_EQ(ed.maxValue(), 10);
}

} // namespace

namespace {

// The centre of one of the field's arrow buttons, as the style draws it.
QPoint arrowCentre(TRxSpinEdit& ed, QStyle::SubControl arrow)
{
    QStyleOptionSpinBox opt;
    opt.initFrom(&ed);
    opt.subControls = QStyle::SC_SpinBoxFrame | QStyle::SC_SpinBoxEditField | QStyle::SC_SpinBoxUp |
                      QStyle::SC_SpinBoxDown;
    opt.buttonSymbols = ed.buttonSymbols();
    opt.frame = ed.hasFrame();
    opt.stepEnabled = QAbstractSpinBox::StepUpEnabled | QAbstractSpinBox::StepDownEnabled;
    return ed.style()->subControlRect(QStyle::CC_SpinBox, &opt, arrow, &ed).center();
}

// Typed beyond either bound, then the arrow pointing further away, by key
// and by button: the value comes back into the range.
TEST(SpinEdit, EitherArrowBringsATypedValueBeyondTheRangeBack)
{
    // "Zoom:" on the main window: 10..300 in steps of 10.
    TRxSpinEdit zoom;
    zoom.setRange(10, 300);
    zoom.setIncrement(10);
    zoom.setValue(100);
    zoom.resize(73, 21);
    zoom.show();
    QLineEdit* editor = zoom.findChild<QLineEdit*>();
    auto type = [editor](const char* text) {
        editor->clear();
        QTest::keyClicks(editor, QString::fromLatin1(text));
    };

    type("309");
    QTest::keyClick(&zoom, Qt::Key_Up);
    EXPECT_EQ(zoom.text(), "300");
    type("309");
    QTest::mouseClick(&zoom, Qt::LeftButton, Qt::NoModifier, arrowCentre(zoom, QStyle::SC_SpinBoxUp));
    EXPECT_EQ(zoom.text(), "300");
    type("309");
    QTest::keyClick(&zoom, Qt::Key_Down);
    EXPECT_EQ(zoom.text(), "299");
    type("3");
    QTest::keyClick(&zoom, Qt::Key_Down);
    EXPECT_EQ(zoom.text(), "10");
    type("3");
    QTest::mouseClick(&zoom, Qt::LeftButton, Qt::NoModifier, arrowCentre(zoom, QStyle::SC_SpinBoxDown));
    EXPECT_EQ(zoom.text(), "10");

    // "Smoothing:": 0..95 in steps of 5.
    SmoothField f;
    f.ed.resize(57, 21);
    f.ed.show();
    f.type("-15");
    QTest::keyClick(&f.ed, Qt::Key_Down);
    EXPECT_EQ(f.text(), "0");
    f.type("-15");
    QTest::keyClick(&f.ed, Qt::Key_Up);
    EXPECT_EQ(f.text(), "0");
    f.type("-15");
    QTest::mouseClick(&f.ed, Qt::LeftButton, Qt::NoModifier, arrowCentre(f.ed, QStyle::SC_SpinBoxDown));
    EXPECT_EQ(f.text(), "0");
    f.type("120");
    QTest::keyClick(&f.ed, Qt::Key_Up);
    EXPECT_EQ(f.text(), "95");

    // At a bound the arrow pointing away stays off.
    QTest::keyClick(&f.ed, Qt::Key_Up);
    EXPECT_EQ(f.text(), "95");
    f.type("0");
    QTest::keyClick(&f.ed, Qt::Key_Down);
    EXPECT_EQ(f.text(), "0");
}

} // namespace
