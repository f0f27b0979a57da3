// The character chooser: which files it lists and how, the selection keys'
// wrap, the marker's path, and the empty folder's error text.
#include <gtest/gtest.h>

#include "CChooseINI.h"
#include "CMemMan.h"
#include "GBFont.h"
#include "LogFile.h"
#include "QuilDataManager.h"
#include "TextTestGL.h"
#include "TestUtil.h"

#include <cmath>

namespace {

std::string Character(const std::string& version, const std::string& name) {
    return version + "\nName=" + name + "\nPassword=pw" + name + "\nColors=%(+.147:=@\nDesc=" + name +
           " desc\nSpec=12\n";
}

class Chooser : public TextTest::SceneSuite {};

}  // namespace

TEST_F(Chooser, ListsCharactersSkipsSettingsAndBrokenFiles) {
    TestUtil::ScopedFolder folder("listing");
    TestUtil::WriteFile("Bramble.ini", Character("V1.6", "Bramble"));
    TestUtil::WriteFile("Aster.ini", Character("V1.6 char", "Aster"));
    TestUtil::WriteFile("Old.ini", Character("V1.5", "Elder"));
    TestUtil::WriteFile("settings.ini", Character("V1.6", "Hidden"));
#ifndef _WIN32
    TestUtil::WriteFile("Settings.ini", Character("V1.6", "Shown"));  // other capitals: not the game's file
#endif
    TestUtil::WriteFile("Broken.ini", "V1.6\nName=Broken\n\nPassword=x\nColors=y\nDesc=z\nSpec=12\n");
    TestUtil::WriteFile("notes.txt", Character("V1.6", "Text"));
    TestUtil::WriteFile("data/pickINI.bmp", TestUtil::ReadFile(TestUtil::SourceDir() + "/data/pickINI.bmp"));

    CChooseINI chooser;
    std::vector<std::string> labels;
    for (const CharacterEntry& entry : chooser.Entries()) labels.push_back(entry.label);
    std::vector<std::string> expected{"Aster (Aster.ini)", "Bramble (Bramble.ini)", "Elder (Old.ini)"};
#ifndef _WIN32
    expected.push_back("Shown (Settings.ini)");  // a file of its own only where names keep their case
#endif
    EXPECT_EQ(labels, expected);
    std::string listing;
    for (const std::string& label : expected) listing += label + "\n\n";
    G::Text list = chooser.ListText();
    EXPECT_EQ(list.AsText(), listing);
    EXPECT_EQ(list.GetX(), 310);
    EXPECT_EQ(list.GetY(), 250);
    std::string log = TestUtil::ReadFile("_error.txt");
    EXPECT_NE(log.find("Warning: player ini file \"Old.ini\" not a recognized version.\n"), std::string::npos);
    EXPECT_NE(log.find("Error: Could not load all vital data fields from player .ini: Broken.ini\n"),
              std::string::npos);
    EXPECT_EQ(log.find("No valid player"), std::string::npos);
    EXPECT_EQ(log.find("Failed to load"), std::string::npos) << log;
    EXPECT_EQ(chooser.Selection(), 0);
}

TEST_F(Chooser, EmptyFolderShowsTheErrorTextAndIgnoresKeys) {
    TestUtil::ScopedFolder folder("empty");
    TestUtil::WriteFile("settings.ini", Character("V1.6", "Hidden"));
    CChooseINI chooser;
    EXPECT_TRUE(chooser.Entries().empty());
    G::Text list = chooser.ListText();
    EXPECT_EQ(list.AsText(),
              "ERROR: No valid player .ini files found.\n\nPlease verify that you put Halcyon inside of Quillmor's\n"
              "   Directory, as it relies on some of Quillmor's data files.");
    EXPECT_EQ(list.GetX(), 200);
    EXPECT_EQ(list.GetY(), 300);
    EXPECT_EQ(TestUtil::CountOf(TestUtil::ReadFile("_error.txt"), "No valid player .ini files found.\n"), 1);
    chooser.Update(0.5f);  // nothing to select: stays as it is
    EXPECT_EQ(chooser.Selection(), 0);
    EXPECT_EQ(SceneManager::CurrentSceneName(), "none");
}

TEST(ChooserSelection, WrapsAtBothEndsAndBothKeysCancel) {
    EXPECT_EQ(MoveSelection(0, true, false, 3), 2);
    EXPECT_EQ(MoveSelection(2, false, true, 3), 0);
    EXPECT_EQ(MoveSelection(1, false, true, 3), 2);
    EXPECT_EQ(MoveSelection(1, true, true, 3), 1);
    EXPECT_EQ(MoveSelection(0, true, true, 1), 0);
    EXPECT_EQ(MoveSelection(0, false, true, 1), 0);
}

TEST(ChooserMarker, SwingsEightPixelsAroundItsColumnOncePerTurn) {
    const float turn = 6.2831855f;
    for (auto [row, time, wantX, wantY] : {std::tuple{0, 0.0f, 270.0f, 238.0f}, {2, turn / 4, 278.0f, 302.0f},
                                          {1, turn * 3 / 4, 262.0f, 270.0f}}) {
        float x = 0, y = 0;
        MarkerPosition(row, time, x, y);
        EXPECT_NEAR(x, wantX, 1e-4) << row;
        EXPECT_FLOAT_EQ(y, wantY) << row;
    }
}

TEST(ChooserSettingsFiles, ComparedWholeAndCaseSensitive) {
    for (const char* name : {"settings.ini", "window.ini"}) EXPECT_TRUE(IsSettingsFileName(name)) << name;
    for (const char* name : {"SETTINGS.ini", "mysettings.ini", "settings.ini.bak"})
        EXPECT_FALSE(IsSettingsFileName(name)) << name;
}
