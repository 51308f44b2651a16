// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/settings/SettingsStore.h"

#include "window/AppTestSupport.h"

#include <QSettings>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <stdexcept>
#include <string>

namespace {

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
        return QSettings(QString::fromStdString(storeFile()), QSettings::IniFormat)
            .value(name)
            .toString();
    }
    void expectOptions(bool driehoeken, bool curve) const {
        EXPECT_EQ(store_.readOptions().driehoeken, driehoeken);
        EXPECT_EQ(store_.readOptions().curve, curve);
    }

    tidytest::TempSettings home_;
    tidy::SettingsStore store_;
};

TEST_F(SettingsStoreTest, ReadsOptionsByTheIntegerRules) {
    for (const auto& row : tidytest::dataTable("settings-values.csv")) {
        if (row[0] != "options")
            continue;
        SCOPED_TRACE(row.at(1));
        // A folder of its own for each case: QSettings may take a file rewritten within the
        // same second at the same size for the one it has read before.
        const tidytest::TempSettings fresh;
        std::filesystem::create_directories(fresh.dir().path() / "TQB55");
        tidytest::writeFile((fresh.dir().path() / "TQB55" / "tidyland.conf").string(),
                            "[General]\n" + row[1] + "\n");
        expectOptions(row.at(2) == "1", row.at(3) == "1");
    }
}

TEST_F(SettingsStoreTest, WrittenOptionsReadBackAsOneOrZero) {
    // Writing also repairs a value that was not an integer.
    writeStoreFile("[General]\ndriehoeken=abc\ncurve=1\n");
    for (const auto& [driehoeken, curve] : {std::pair{true, false}, {false, true}, {true, true}}) {
        SCOPED_TRACE(std::to_string(driehoeken) + "/" + std::to_string(curve));
        store_.writeOptions(driehoeken, curve);
        expectOptions(driehoeken, curve);
        EXPECT_EQ(rawValue("driehoeken"), driehoeken ? "1" : "0");
        EXPECT_EQ(rawValue("curve"), curve ? "1" : "0");
    }
    // Options and folder do not overwrite each other.
    store_.writeInitialFolder(QStringLiteral("/survey"));
    expectOptions(true, true);
    store_.writeOptions(false, false);
    EXPECT_EQ(store_.readInitialFolder(), QStringLiteral("/survey"));
}

TEST_F(SettingsStoreTest, OrganisationWideValuesAreNotTheUsersOptions) {
    // A file for every program of the organisation must not switch the options on.
    tidytest::writeFile((home_.dir().path() / "TQB55.conf").string(),
                        "[General]\ndriehoeken=1\ncurve=1\ninitdir=/elsewhere\n");
    expectOptions(false, false);
    EXPECT_EQ(store_.readInitialFolder(), QString());
}

TEST_F(SettingsStoreTest, InitialFolderRoundTrips) {
    for (const auto& row : tidytest::dataTable("settings-values.csv")) {
        if (row[0] != "folder")
            continue;
        SCOPED_TRACE(row.at(1));
        store_.writeInitialFolder(QString::fromStdString(row[1]));
        EXPECT_EQ(store_.readInitialFolder().toStdString(), row[1]);
    }
    writeStoreFile("[General]\ninitdir=first, second\n"); // a list is not a folder
    EXPECT_EQ(store_.readInitialFolder(), QString());
}

// Reads give the defaults; each write throws an error that names the settings file.
TEST_F(SettingsStoreTest, UnwritableStoreFailsEveryWayTheCallerCanSee) {
    std::filesystem::create_directories(storeFile()); // a folder where the file belongs
    expectOptions(false, false);
    EXPECT_EQ(store_.readInitialFolder(), QString());
    const std::function<void()> writes[] = {
        [&] { store_.writeOptions(true, true); },
        [&] { store_.writeInitialFolder(QStringLiteral("/survey")); }};
    for (const auto& write : writes) {
        try {
            write();
            ADD_FAILURE() << "a write into an unwritable store must throw";
        } catch (const std::runtime_error& error) {
            EXPECT_NE(std::string(error.what()).find(storeFile()), std::string::npos)
                << error.what();
        }
    }
}

TEST_F(SettingsStoreTest, DamagedFileKeepsItsReadableValuesAndAcceptsWrites) {
    // A truncated file: the parser stops at the broken section header.
    writeStoreFile("[General]\ndriehoeken=1\ncurve=1\ninitdir=/survey\n[\n");
    EXPECT_TRUE(store_.readOptions().driehoeken);
    EXPECT_EQ(store_.readInitialFolder(), QStringLiteral("/survey"));

    // Writing must still work, or every later open would fail on storing the folder.
    store_.writeInitialFolder(QStringLiteral("/survey/new"));
    EXPECT_EQ(store_.readInitialFolder(), QStringLiteral("/survey/new"));
    expectOptions(true, true);

    // The same when the damage is first seen by a write.
    writeStoreFile("[General]\ninitdir=/kept\ndriehoeken=1\n[\n");
    store_.writeOptions(false, true);
    expectOptions(false, true);
    EXPECT_EQ(store_.readInitialFolder(), QStringLiteral("/kept"));
}

} // namespace
