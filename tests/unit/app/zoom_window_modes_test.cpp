#include <gtest/gtest.h>

#include <filesystem>

#include "app/command_line.h"
#include "platform/files.h"
#include "platform/host/testing/process_overrides.h"
#include "unit/app/zoom_window_fixture.h"

namespace {

const char* const kMissingSettings = "Brak pliku config.dat. Uruchom i ustaw  Ustawiator";

class ZoomWindowModes : public ZoomWindowTest {};

TEST_F(ZoomWindowModes, LayoutOfTheWindowAndItsControls) {
    MakeForm(false);
    EXPECT_EQ(form->Caption(), "Camera set zoom");
    EXPECT_EQ(form->GetBounds().left, 420);
    EXPECT_EQ(form->GetBounds().top, 153);
    EXPECT_EQ(form->ClientWidth(), 413);
    EXPECT_EQ(form->ClientHeight(), 84);
    EXPECT_EQ(form->Label1.Caption(), "Camera");
    EXPECT_EQ(form->Label1.GetBounds().left, 16);
    EXPECT_EQ(form->Label1.GetBounds().top, 8);
    EXPECT_EQ(form->Label1.GetBounds().width, 36);
    EXPECT_EQ(form->Label2.GetBounds().left, 18);
    EXPECT_EQ(form->Label2.GetBounds().top, 26);
    EXPECT_EQ(form->Label2.GetBounds().width, 32);
    EXPECT_EQ(form->Button1.Caption(), "Save");
    EXPECT_EQ(form->Button1.TabOrder(), 0);
    EXPECT_EQ(form->Button1.GetBounds().left, 116);
    EXPECT_EQ(form->Button2.Caption(), "Set");
    EXPECT_EQ(form->Button2.TabOrder(), 1);
    EXPECT_EQ(form->Button2.GetBounds().left, 196);
    EXPECT_EQ(form->Button2.GetBounds().width, 75);
    EXPECT_EQ(form->Button2.GetBounds().height, 25);
    EXPECT_EQ(form->Image1.GetBounds().left, 416);
    EXPECT_EQ(form->Image1.GetBounds().width, 81);
    EXPECT_EQ(form->Image1.GetBounds().height, 65);
    EXPECT_FALSE(form->Image1.Visible());
    EXPECT_EQ(form->Video(), nullptr);
}

TEST_F(ZoomWindowModes, AutosetAppliesTheStoredZoomAndEndsTheProgram) {
    WriteSettings("\"VCapSource=zoom camera\"");
    WriteStoredZoom("150");
    MakeForm(true);
    Bounds outer = form->GetBounds();
    EXPECT_EQ(outer.left, -20);
    EXPECT_EQ(outer.top, -20);
    EXPECT_EQ(outer.width, 10);
    EXPECT_EQ(outer.height, 10);
    application.Run();  // returns because the window closed itself
    EXPECT_TRUE(form->Closed());
    EXPECT_EQ(CameraZoom(), 150);
    EXPECT_EQ(form->Label1.Caption(), "Model:zoom camera, tryb=0x0, zoom=150");
    EXPECT_EQ(form->Video(), nullptr);  // FormDestroy closed the camera
    EXPECT_TRUE(Dialogs().empty());
}

TEST_F(ZoomWindowModes, AutosetInCapitalsIsInteractive) {
    host::SetRawCommandLineOverride("\"C:\\Station\\camzoom.exe\" AUTOSET");
    WriteSettings("\"VCapSource=Zoom Camera\"");
    WriteStoredZoom("150");
    MakeForm(IsAutosetMode(RawCommandLine()));
    EXPECT_FALSE(form->Autoset());
    EXPECT_EQ(form->GetBounds().left, 420);
    Activate();
    EXPECT_FALSE(form->Closed());
    EXPECT_EQ(CameraZoom(), 100);  // nothing applied by itself
}

TEST_F(ZoomWindowModes, MissingSettingsShowTheInformationOnceWithoutLooping) {
    MakeForm(false);
    Activate();  // the closing message re-activates the window through the queue
    std::vector<host::DialogRecord> dialogs = Dialogs();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].icon, host::DialogIcon::Information);
    EXPECT_EQ(dialogs[0].caption, "Informacje");
    EXPECT_EQ(dialogs[0].text, kMissingSettings);
    EXPECT_EQ(form->Video(), nullptr);
    EXPECT_EQ(form->Label1.Caption(), "Camera");
    EXPECT_FALSE(folder.Exists("config.ini"));

    Activate();  // a real activation later runs the whole sequence again
    EXPECT_EQ(Dialogs().size(), 2u);

    WriteSettings("\"VCapSource=Zoom Camera\"");
    Activate();
    EXPECT_EQ(Dialogs().size(), 2u);
    EXPECT_EQ(form->Label1.Caption(), "Model:Zoom Camera, tryb=0x0, zoom=100");
}

TEST_F(ZoomWindowModes, AutosetWithoutSettingsStaysOpen) {
    MakeForm(true);
    Activate();
    EXPECT_FALSE(form->Closed());
    EXPECT_EQ(Dialogs().size(), 1u);
}

TEST_F(ZoomWindowModes, SetAndSaveBeforeAnyCameraFacade) {
    MakeForm(false);
    Activate();  // no config.dat: no facade
    host::ClickButton(*form, "Set");
    EXPECT_FALSE(folder.Exists("config.ini"));  // nothing read, nothing sent, nothing shown
    EXPECT_EQ(form->Label1.Caption(), "Camera");
    EXPECT_EQ(Dialogs().size(), 1u);
    host::ClickButton(*form, "Save");
    EXPECT_EQ(folder.Read("config.ini"), "[options]\r\nzoom=0\r\n");  // a new file has CRLF lines
}

TEST_F(ZoomWindowModes, ShortSettingsFileGivesStreamReadErrorAndChangesNothing) {
    folder.Write("config.dat", ConfigDat("VCapSource=Zoom Camera").substr(0, 10));
    MakeForm(true);
    Activate();
    std::vector<host::DialogRecord> dialogs = Dialogs();
    ASSERT_EQ(dialogs.size(), 1u);  // not repeated by the re-activation
    EXPECT_EQ(dialogs[0].icon, host::DialogIcon::Error);
    EXPECT_EQ(dialogs[0].caption, "camzoom");
    EXPECT_EQ(dialogs[0].text, "Stream read error.");
    EXPECT_EQ(form->FCameraName, "");
    EXPECT_EQ(form->Video(), nullptr);
    EXPECT_FALSE(form->Closed());  // the autoset step does not run
    // The file was closed: a corrected file is read by the next activation.
    WriteSettings("\"VCapSource=Zoom Camera\"");
    Activate();
    EXPECT_TRUE(form->Closed());
}

TEST_F(ZoomWindowModes, UnwritableOptionsFileEndsTheRefreshInTheErrorBox) {
    WriteSettings("\"VCapSource=Zoom Camera\",VCapModeWidth=640,VCapModeHeight=480");
    std::filesystem::create_directory(folder.File("config.ini"));  // cannot be written
    MakeForm(true);
    Activate();
    EXPECT_EQ(form->Label1.Caption(), "Model:Zoom Camera, tryb=640x480, zoom=100");
    EXPECT_EQ(form->Label2.Caption(), "Label2");
    EXPECT_EQ(form->FCurrentZoom, 0);
    EXPECT_FALSE(form->Closed());
    std::vector<host::DialogRecord> dialogs = Dialogs();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].text, "Unable to write to " + folder.File("config.ini") + ".");

    host::ClickButton(*form, "Save");
    dialogs = Dialogs();
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(dialogs[1].text, "Unable to write to " + folder.File("config.ini") + ".");
}

TEST_F(ZoomWindowModes, SettingsHeldByAnotherOpenerCannotBeOpened) {
    WriteSettings("\"VCapSource=Zoom Camera\"");
    std::string error;
    auto holder = ExclusiveReadFile::Open(folder.File("config.dat"), error);
    ASSERT_NE(holder, nullptr) << error;
    MakeForm(false);
    Activate();
    std::vector<host::DialogRecord> dialogs = Dialogs();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].text.rfind("Cannot open file \"" + folder.File("config.dat") + "\". ", 0),
              0u);
    EXPECT_EQ(form->Video(), nullptr);
}

}  // namespace
