// The dialog "Videotreiber wechseln...": its drop-down shows only slots
// that hold a driver, no taller than they need, and follows cameras being
// plugged in and out while it is open.

#include "tests/program/program_test_support.h"

#include "app/DlgTreiber.h"
#include "capture/Video.h"
#include "camera/v4l2/DeviceMonitor.h"

#include <QComboBox>
#include <QDir>
#include <QListView>

#include <gtest/gtest.h>

using namespace testing_program;

namespace {

QStringList shownRows(QComboBox* box)
{
    auto* view = qobject_cast<QListView*>(box->view());
    QStringList shown;
    for (int i = 0; i < box->count(); ++i)
        if (!view->isRowHidden(i))
            shown << box->itemText(i);
    return shown;
}

} // namespace

TEST(DriverDialog, ListsOnlyDriversAndFollowsCamerasComingAndGoing)
{
    FakeLibrary lib;
    lib.drivers[0] = {"vivid", "(/dev/video0)"};
    lib.drivers[1] = {"Stillwise Testkamera", "(eingebaut)"};
    TDlgEinstell dialog;
    dialog.ComboBox1->addItems(GetDriverList());
    dialog.ComboBox1->setCurrentIndex(1);
    dialog.show();
    QApplication::processEvents();

    ASSERT_EQ(dialog.ComboBox1->count(), 10) << "item i stays slot i";
    EXPECT_EQ(shownRows(dialog.ComboBox1),
              (QStringList{"vivid (/dev/video0)", "Stillwise Testkamera (eingebaut)"}));
    EXPECT_EQ(dialog.ComboBox1->maxVisibleItems(), 2);

    dialog.ComboBox1->showPopup();
    QApplication::processEvents();
    QWidget* popup = dialog.ComboBox1->view()->window();
    const int row = dialog.ComboBox1->view()->sizeHintForRow(0);
    EXPECT_LT(popup->height(), 4 * row) << "room for two entries, not ten";
    const QString shots = QStringLiteral(STILLWISE_SCREENSHOT_DIR);
    QDir().mkpath(shots);
    EXPECT_TRUE(popup->grab().save(shots + QStringLiteral("/driver_dialog_list.png")));
    dialog.ComboBox1->hidePopup();

    // A camera plugged in shows up in its slot; the selection stays on its slot.
    lib.drivers[2] = lib.drivers[1];
    lib.drivers[1] = {"Kamera B", "(/dev/video2)"};
    emit camera::DeviceMonitor::Instance().devicesChanged();
    EXPECT_EQ(shownRows(dialog.ComboBox1),
              (QStringList{"vivid (/dev/video0)", "Kamera B (/dev/video2)", "Stillwise Testkamera (eingebaut)"}));
    EXPECT_EQ(dialog.ComboBox1->maxVisibleItems(), 3);
    EXPECT_EQ(dialog.ComboBox1->currentIndex(), 1);

    // Pulled out again.
    lib.drivers[0] = lib.drivers[1] = {};
    lib.drivers[0] = {"Stillwise Testkamera", "(eingebaut)"};
    lib.drivers[2] = {};
    emit camera::DeviceMonitor::Instance().devicesChanged();
    EXPECT_EQ(shownRows(dialog.ComboBox1), (QStringList{"Stillwise Testkamera (eingebaut)"}));
}
