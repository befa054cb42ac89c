// GoogleTest entry for widget tests: one application object for the whole
// run, the program's own, whose general error handler makes any error that
// reaches it a test failure instead of a message box.
#include "app/ErrorHandlingApplication.h"

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    ErrorHandlingApplication app(argc, argv);
    ErrorHandlingApplication::SetErrorSink(
        [](const QString& text) { ADD_FAILURE() << "error shown to the user: " << text.toStdString(); });
    return RUN_ALL_TESTS();
}
