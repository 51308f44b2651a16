// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/SettingsStore.h"

#include "app/AppTestSupport.h"

#include <QSettings>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <stdexcept>
#include <string>

namespace {

using tidy::SettingsStore;

// Every test works on a settings folder of its own, never on the user's.
class SettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::create_directories(home_.dir().path() / "TQB55"); }

    std::string storeFile() const {
        return (home_.dir().path() / "TQB55" / "tidyland.conf").string();
    }

    // The store's file as another program (or a damaged disk) left it.
    void writeStoreFile(const std::string& content) const {
        tidytest::writeFile(storeFile(), content);
    }

    // A stored value exactly as it sits in the file, read past the store's own rules.
    QString rawValue(const QString& name) const {
        QSettings file(QString::fromStdString(storeFile()), QSettings::IniFormat);
        return file.value(name).toString();
    }

    // Puts a folder where the store's file belongs, so that nothing can be read or written.
    void blockStore() const { std::filesystem::create_directories(storeFile()); }

    tidytest::TempSettings home_;
    SettingsStore store_;
};

TEST_F(SettingsStoreTest, FirstRunGivesBothOptionsOffAndNoFolder) {
    const tidy::StoredOptions options = store_.readOptions();
    EXPECT_FALSE(options.driehoeken);
    EXPECT_FALSE(options.curve);
    EXPECT_EQ(store_.readInitialFolder(), QString());
}

TEST_F(SettingsStoreTest, ReadsOptionsByTheIntegerRules) {
    const struct {
        std::optional<const char*> driehoeken; // the value's text in the file; nullopt: absent
        std::optional<const char*> curve;
        bool expectDriehoeken;
        bool expectCurve;
    } cases[] = {
        {"1", "1", true, true},
        {"1", "0", true, false},
        {"0", "1", false, true},
        {"0", "0", false, false},
        {"5", "-1", true, true}, // any integer but 0 is on
        {"1", std::nullopt, false, false},
        {std::nullopt, "1", false, false},
        {"abc", "1", false, false},
        {"1", "1.5", false, false},
        {"true", "1", false, false},
        {"1", "", false, false},
        {"4294967297", "1", false, false}, // beyond 32 bits
        {"1", "-2147483649", false, false},
        {"2147483647", "-2147483648", true, true},
    };
    for (const auto& c : cases) {
        std::string content = "[General]\n";
        if (c.driehoeken)
            content += std::string("driehoeken=") + *c.driehoeken + "\n";
        if (c.curve)
            content += std::string("curve=") + *c.curve + "\n";
        SCOPED_TRACE(content);
        // A folder of its own for each case: QSettings may take a file rewritten within the
        // same second at the same size for the one it has read before.
        const tidytest::TempSettings fresh;
        std::filesystem::create_directories(fresh.dir().path() / "TQB55");
        tidytest::writeFile((fresh.dir().path() / "TQB55" / "tidyland.conf").string(), content);
        const tidy::StoredOptions options = store_.readOptions();
        EXPECT_EQ(options.driehoeken, c.expectDriehoeken);
        EXPECT_EQ(options.curve, c.expectCurve);
    }
}

TEST_F(SettingsStoreTest, WrittenOptionsReadBackAsOneOrZero) {
    // Writing also repairs a value that was not an integer.
    writeStoreFile("[General]\ndriehoeken=abc\ncurve=1\n");
    for (const bool driehoeken : {true, false}) {
        for (const bool curve : {false, true}) {
            SCOPED_TRACE(std::to_string(driehoeken) + "/" + std::to_string(curve));
            ASSERT_TRUE(store_.writeOptions(driehoeken, curve));
            const tidy::StoredOptions options = store_.readOptions();
            EXPECT_EQ(options.driehoeken, driehoeken);
            EXPECT_EQ(options.curve, curve);
            EXPECT_EQ(rawValue("driehoeken"), driehoeken ? "1" : "0");
            EXPECT_EQ(rawValue("curve"), curve ? "1" : "0");
        }
    }
}

TEST_F(SettingsStoreTest, OrganisationWideValuesAreNotTheUsersOptions) {
    // A file for every program of the organisation must not switch the options on.
    tidytest::writeFile((home_.dir().path() / "TQB55.conf").string(),
                        "[General]\ndriehoeken=1\ncurve=1\ninitdir=/elsewhere\n");
    const tidy::StoredOptions options = store_.readOptions();
    EXPECT_FALSE(options.driehoeken);
    EXPECT_FALSE(options.curve);
    EXPECT_EQ(store_.readInitialFolder(), QString());
}

TEST_F(SettingsStoreTest, InitialFolderRoundTrips) {
    const QString folders[] = {
        QStringLiteral("/home/surveyor/projects"),
        QStringLiteral("C:/Projecten/Weg, fase 2"), // a comma must not turn it into a list
        QStringLiteral("/data/Straße Ölmühle/übergabe"),
        QStringLiteral("/odd; = \"quoted\" #hash [section]"),
        QStringLiteral("\\\\server\\share\\landxml"),
        QStringLiteral("C:\\"),
        QString(), // a cancelled open dialog stores empty text
    };
    for (const QString& folder : folders) {
        SCOPED_TRACE(folder.toStdString());
        store_.writeInitialFolder(folder);
        EXPECT_EQ(store_.readInitialFolder(), folder);
    }
}

TEST_F(SettingsStoreTest, InitialFolderThatIsNotTextReadsAsEmpty) {
    writeStoreFile("[General]\ninitdir=first, second\n");
    EXPECT_EQ(store_.readInitialFolder(), QString());
}

TEST_F(SettingsStoreTest, OptionsAndFolderDoNotOverwriteEachOther) {
    store_.writeInitialFolder(QStringLiteral("/survey"));
    ASSERT_TRUE(store_.writeOptions(true, true));
    store_.writeInitialFolder(QStringLiteral("/survey/next"));
    EXPECT_EQ(store_.readInitialFolder(), QStringLiteral("/survey/next"));
    EXPECT_TRUE(store_.readOptions().driehoeken);
    EXPECT_TRUE(store_.readOptions().curve);
}

TEST_F(SettingsStoreTest, UnwritableStoreFailsEveryWayTheCallerCanSee) {
    blockStore();
    EXPECT_FALSE(store_.writeOptions(true, true));
    EXPECT_FALSE(store_.readOptions().driehoeken);
    EXPECT_FALSE(store_.readOptions().curve);
    EXPECT_EQ(store_.readInitialFolder(), QString());
    try {
        store_.writeInitialFolder(QStringLiteral("/survey"));
        FAIL() << "writing the folder into an unwritable store must throw";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find(storeFile()), std::string::npos) << error.what();
    }
}

TEST_F(SettingsStoreTest, DamagedFileKeepsItsReadableValuesAndAcceptsWrites) {
    // A truncated file: the parser stops at the broken section header.
    const std::string damaged = "[General]\ndriehoeken=1\ncurve=1\ninitdir=/survey\n[\n";
    writeStoreFile(damaged);
    EXPECT_TRUE(store_.readOptions().driehoeken);
    EXPECT_EQ(store_.readInitialFolder(), QStringLiteral("/survey"));

    // Writing must still work, or every later open would fail on storing the folder.
    ASSERT_NO_THROW(store_.writeInitialFolder(QStringLiteral("/survey/new")));
    EXPECT_EQ(store_.readInitialFolder(), QStringLiteral("/survey/new"));
    EXPECT_TRUE(store_.readOptions().driehoeken);
    EXPECT_TRUE(store_.readOptions().curve);

    // The same when the damage is first seen by a write.
    writeStoreFile("[General]\ninitdir=/kept\ndriehoeken=1\n[\n");
    EXPECT_TRUE(store_.writeOptions(false, true));
    EXPECT_FALSE(store_.readOptions().driehoeken);
    EXPECT_TRUE(store_.readOptions().curve);
    EXPECT_EQ(store_.readInitialFolder(), QStringLiteral("/kept"));
}

} // namespace
