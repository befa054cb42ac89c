// The language choice from the environment, the English translation file
// against its German sources, and switching the running program between
// the two languages.

#include "app/Language.h"
#include "camera/ControlNames.h"

#include <QCoreApplication>
#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <linux/videodev2.h>

#include <vector>

namespace {

struct Environment {
    const char* language;
    const char* lcAll;
    const char* lcMessages;
    const char* lang;
    UiLanguage expected;
};

TEST(Language, FollowsTheDesktopAndStaysGermanWithoutAPreference)
{
    const std::vector<Environment> cases = {
        // No preference at all: German, as the program always was.
        {"", "", "", "", UiLanguage::German},
        {"", "", "", "C", UiLanguage::German},
        {"", "", "", "C.UTF-8", UiLanguage::German},
        {"", "", "", "POSIX", UiLanguage::German},
        {"", "C", "", "en_US.UTF-8", UiLanguage::German}, // LC_ALL wins over LANG
        // The messages locale.
        {"", "", "", "de_DE.UTF-8", UiLanguage::German},
        {"", "", "", "de_AT", UiLanguage::German},
        {"", "", "", "en_US.UTF-8", UiLanguage::English},
        {"", "", "", "en_GB", UiLanguage::English},
        {"", "", "", "fr_FR.UTF-8", UiLanguage::English}, // a language we lack: English
        {"", "", "de_DE.UTF-8", "en_US.UTF-8", UiLanguage::German},
        {"", "", "en_GB.UTF-8", "de_DE.UTF-8", UiLanguage::English},
        {"", "de_CH.UTF-8", "en_GB.UTF-8", "en_US.UTF-8", UiLanguage::German},
        // LANGUAGE comes first, also where glibc would ignore it under C.
        {"en", "", "", "C", UiLanguage::English},
        {"en", "", "", "", UiLanguage::English},
        {"en_GB:en", "", "", "de_DE.UTF-8", UiLanguage::English},
        {"de", "", "", "en_US.UTF-8", UiLanguage::German},
        {"fr:de:en", "", "", "en_US.UTF-8", UiLanguage::German}, // the first we speak
        {"fr:it", "", "", "de_DE.UTF-8", UiLanguage::English},
        {":", "", "", "de_DE.UTF-8", UiLanguage::German}, // an empty list is no preference
    };
    for (const Environment& e : cases) {
        EXPECT_EQ(ChooseLanguage(QString::fromLatin1(e.language), QString::fromLatin1(e.lcAll),
                                 QString::fromLatin1(e.lcMessages), QString::fromLatin1(e.lang)),
                  e.expected)
            << "LANGUAGE=" << e.language << " LC_ALL=" << e.lcAll << " LC_MESSAGES=" << e.lcMessages
            << " LANG=" << e.lang;
    }
}

// The placeholders %1..%99 and %n of a text, and whether it has a shortcut.
struct Marks {
    QSet<QString> placeholders;
    int shortcuts = 0;
};

Marks MarksOf(QString text)
{
    Marks m;
    const QRegularExpression placeholder(QStringLiteral("%(\\d{1,2}|n)"));
    for (const QRegularExpressionMatch& match : placeholder.globalMatch(text))
        m.placeholders.insert(match.captured(0));
    text.replace(QLatin1String("&&"), QString());
    m.shortcuts = static_cast<int>(text.count(QLatin1Char('&')));
    return m;
}

struct Message {
    QString context;
    QString source;
    QStringList translations;
    bool finished = true;
};

std::vector<Message> ReadTs(const QString& path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    QXmlStreamReader xml(&file);
    std::vector<Message> all;
    QString context;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.name() == QLatin1String("message")) {
            all.push_back({context, {}, {}, true});
        } else if (xml.name() == QLatin1String("source")) {
            all.back().source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation")) {
            if (xml.attributes().hasAttribute(QLatin1String("type")))
                all.back().finished = false;
            // Plural forms come as <numerusform> children.
            QString text;
            while (!(xml.isEndElement() && xml.name() == QLatin1String("translation")) && !xml.atEnd()) {
                xml.readNext();
                if (xml.isCharacters())
                    text += xml.text();
                else if (xml.isEndElement() && xml.name() == QLatin1String("numerusform")) {
                    all.back().translations.append(text);
                    text.clear();
                }
            }
            if (all.back().translations.isEmpty())
                all.back().translations.append(text);
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return all;
}

TEST(Language, EveryEnglishTextKeepsThePlaceholdersAndShortcutsOfItsGermanSource)
{
    const std::vector<Message> messages = ReadTs(QStringLiteral(STILLWISE_TS_FILE));
    ASSERT_GT(messages.size(), 300u);
    for (const Message& m : messages) {
        const std::string where = (m.context + QLatin1String(": ") + m.source).toStdString();
        EXPECT_TRUE(m.finished) << where;
        const Marks source = MarksOf(m.source);
        for (const QString& t : m.translations) {
            EXPECT_FALSE(t.trimmed().isEmpty()) << where;
            const Marks english = MarksOf(t);
            EXPECT_EQ(english.placeholders, source.placeholders) << where << " -> " << t.toStdString();
            EXPECT_EQ(english.shortcuts, source.shortcuts) << where << " -> " << t.toStdString();
            // Messages that end a sentence or a line end so in English too.
            EXPECT_EQ(t.endsWith(QLatin1Char('\n')), m.source.endsWith(QLatin1Char('\n'))) << where;
        }
    }
}

TEST(Language, SwitchesTheProgramsTextsQtsTextsAndTheNumbers)
{
    QCoreApplication& app = *QCoreApplication::instance();
    const QString germanCancel = QStringLiteral("Abbrechen");

    ASSERT_EQ(InstallLanguage(app, UiLanguage::English), UiLanguage::English);
    EXPECT_EQ(QCoreApplication::translate("TMainForm", "Cam konfigurieren"), QStringLiteral("Configure camera…"));
    EXPECT_EQ(QCoreApplication::translate("TMainForm", "Mittelwert aus %n Bildern", nullptr, 16),
              QStringLiteral("Mean of 16 frames"));
    EXPECT_EQ(camera::GermanControlName(V4L2_CID_BRIGHTNESS, QStringLiteral("Brightness")),
              QStringLiteral("Brightness"));
    EXPECT_EQ(camera::GermanControlName(V4L2_CID_SATURATION, QStringLiteral("x")), QStringLiteral("Saturation"));
    // Qt's own buttons are English, and numbers have a decimal point.
    EXPECT_NE(QCoreApplication::translate("QPlatformTheme", "Cancel"), germanCancel);
    EXPECT_EQ(QLocale().toString(1.5), QStringLiteral("1.5"));

    ASSERT_EQ(InstallLanguage(app, UiLanguage::German), UiLanguage::German);
    EXPECT_EQ(QCoreApplication::translate("TMainForm", "Cam konfigurieren"), QStringLiteral("Cam konfigurieren"));
    EXPECT_EQ(camera::GermanControlName(V4L2_CID_SATURATION, QStringLiteral("x")), QStringLiteral("Farbsättigung"));
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), germanCancel);
    EXPECT_EQ(QLocale().toString(1.5), QStringLiteral("1,5"));

    // And back: the English translation is loaded again, not left behind.
    ASSERT_EQ(InstallLanguage(app, UiLanguage::English), UiLanguage::English);
    EXPECT_EQ(QCoreApplication::translate("TDlgEinstell", "Abbrechen"), QStringLiteral("Cancel"));
    InstallGermanLanguage(app);
    EXPECT_EQ(QCoreApplication::translate("TDlgEinstell", "Abbrechen"), germanCancel);
}

TEST(Language, AMissingOrDamagedTranslationLeavesTheProgramGerman)
{
    QCoreApplication& app = *QCoreApplication::instance();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString damaged = dir.filePath(QStringLiteral("stillwise_en.qm"));
    {
        QFile f(damaged);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        // The start of a real .qm file, then nothing.
        QFile real(QString::fromLatin1(kEnglishTranslation));
        ASSERT_TRUE(real.open(QIODevice::ReadOnly));
        f.write(real.read(40));
    }
    for (const QString& path : {damaged, dir.filePath(QStringLiteral("missing.qm"))}) {
        EXPECT_EQ(InstallLanguage(app, UiLanguage::English, path), UiLanguage::German) << path.toStdString();
        EXPECT_EQ(QCoreApplication::translate("TMainForm", "Cam konfigurieren"), QStringLiteral("Cam konfigurieren"));
        EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Abbrechen"));
    }
}

} // namespace
