// The command line, read before there is an application object.

#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Words = std::vector<const char*>;

CommandLine Parse(const Words& words)
{
    QStringList arguments;
    for (const char* w : words)
        arguments << QString::fromUtf8(w);
    return ParseCommandLine(arguments);
}

} // namespace

TEST(CommandLineTest, TakesItsOwnOptionsInAnyOrder)
{
    EXPECT_EQ(Parse({}).action, CommandLine::Action::Run);
    EXPECT_EQ(Parse({}).options, StartOptions{});
    EXPECT_EQ(Parse({"--webcam"}).options, (StartOptions{.webcam = true}));
    EXPECT_EQ(Parse({"--tray"}).options, (StartOptions{.tray = true}));
    EXPECT_EQ(Parse({"--tray", "--webcam"}).options, (StartOptions{.webcam = true, .tray = true}));
    EXPECT_EQ(Parse({"--webcam", "--tray", "--webcam"}).options, (StartOptions{.webcam = true, .tray = true}));
}

TEST(CommandLineTest, HelpAndVersionWinOverEverythingBeforeAMistake)
{
    EXPECT_EQ(Parse({"--help"}).action, CommandLine::Action::Help);
    EXPECT_EQ(Parse({"-h"}).action, CommandLine::Action::Help);
    EXPECT_EQ(Parse({"--webcam", "--help"}).action, CommandLine::Action::Help);
    EXPECT_EQ(Parse({"--version"}).action, CommandLine::Action::Version);
    // Read from the left: the mistake before --help is reported.
    EXPECT_EQ(Parse({"--wbcam", "--help"}).action, CommandLine::Action::Error);
    EXPECT_TRUE(VersionText().startsWith(QStringLiteral("Stillwise 1.")));
}

TEST(CommandLineTest, LetsQtsOwnOptionsThroughWithTheirValues)
{
    for (const Words& words : {Words{"-platform", "offscreen"},
                        Words{"--platform", "offscreen", "--webcam"}, Words{"-platform=offscreen"},
                        Words{"-style", "fusion", "-reverse"}, Words{"-qwindowgeometry", "640x480+0+0", "--tray"},
                        Words{"-name", "--webcam"}}) {
        const CommandLine line = Parse(words);
        EXPECT_EQ(line.action, CommandLine::Action::Run) << line.error.toStdString();
    }
    // The value of -name is "--webcam", not the option.
    EXPECT_FALSE(Parse({"-name", "--webcam"}).options.webcam);
    EXPECT_TRUE(Parse({"--platform", "offscreen", "--webcam"}).options.webcam);
}

TEST(CommandLineTest, NamesWhatIsWrong)
{
    const CommandLine unknown = Parse({"--webcam", "--trey"});
    EXPECT_EQ(unknown.action, CommandLine::Action::Error);
    EXPECT_TRUE(unknown.error.contains(QStringLiteral("„--trey“"))) << unknown.error.toStdString();

    const CommandLine missing = Parse({"-platform"});
    EXPECT_EQ(missing.action, CommandLine::Action::Error);
    EXPECT_TRUE(missing.error.contains(QStringLiteral("-platform")));

    // A value given to an option that takes none, a file, a lone dash, and
    // anything after "--".
    for (const Words& words : {Words{"--webcam=1"}, Words{"-reverse=yes"}, Words{"picture.png"}, Words{"-"},
                        Words{"--", "--webcam"}})
        EXPECT_EQ(Parse(words).action, CommandLine::Action::Error) << words.front();
    EXPECT_TRUE(UsageErrorText(QStringLiteral("stillwise"), unknown.error).contains(QStringLiteral("stillwise --help")));
}
