#pragma once
// A printer for tests: a page of a given size drawn into an image, with every
// job, setup and failure counted.

#include "PrintTestSupport.h"

#include "platform/print/Printer.h"
#include "viewer/DesktopShell.h"
#include "viewer/PrintFormStorage.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QStringList>

#include <functional>
#include <memory>

#include <gtest/gtest.h>

class FakePrinter : public print::Printer {
public:
    QSize page{480, 660};
    bool available = true;     // false: no printer at all
    bool failWhilePrinting = false; // PageSize fails once a job is open
    bool brokenPage = false;        // PageSize fails with another error
    std::function<void()> onSetup;

    int begun = 0;
    int ended = 0;
    int aborted = 0;
    int setups = 0;
    QString title;
    QImage printed; // the page of the last job that ended

    QSize PageSize() override
    {
        if (!available)
            throw print::NoPrinterError();
        if (brokenPage || (failWhilePrinting && painter_))
            throw print::PrinterError("Der Drucker antwortet nicht");
        return page;
    }

    void BeginDoc(const QString& jobTitle) override
    {
        if (painter_)
            throw print::PrinterError(print::kPrintingInProgress);
        if (!available)
            throw print::NoPrinterError();
        ++begun;
        title = jobTitle;
        image_ = QImage(page, QImage::Format_RGB32);
        image_.fill(Qt::white);
        painter_ = std::make_unique<QPainter>(&image_);
    }

    void EndDoc() override
    {
        if (!painter_)
            return;
        painter_.reset();
        printed = image_;
        ++ended;
    }

    void Abort() noexcept override
    {
        if (!painter_)
            return;
        painter_.reset();
        ++aborted;
    }

    bool Printing() const override { return painter_ != nullptr; }

    QPainter& Canvas() override { return *painter_; }

    bool Setup(QWidget*) override
    {
        ++setups;
        if (onSetup)
            onSetup();
        return true;
    }

private:
    QImage image_;
    std::unique_ptr<QPainter> painter_;
};

// Message boxes of the desktop, recorded instead of shown.
struct RecordingShell : desktop::Shell {
    RecordingShell() { desktop::SetShell(this); }
    ~RecordingShell() override { desktop::SetShell(nullptr); }
    void message(QWidget*, QMessageBox::Icon, const QString&, const QString& text) override
    {
        messages << text;
    }
    QStringList messages;
};

// A test with a FakePrinter as the program's printer, no stored settings, no
// error shown yet, and a 640 x 480 quadrant picture.
class FakePrinterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestApp();
        RemoveSettings();
        ForgetUnsavedPrintFormSettings();
        ShownErrors().clear();
        picture = MakeQuadrantPicture(640, 480);
    }
    void TearDown() override
    {
        QApplication::processEvents();
        deldib(picture);
        ForgetUnsavedPrintFormSettings();
    }

    FakePrinter printer;
    print::ScopedPrinter use{printer};
    RecordingShell shell;
    DIB picture{};
};
