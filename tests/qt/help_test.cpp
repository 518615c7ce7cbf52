// The help without a program for the compiled help file: the window's page of the HTML help,
// beside the program or installed, goes to the desktop; with none, a message names what was
// looked for. On a real X display, the desktop is a stub xdg-open that records what it was given, and a stub
// xdg-mime that names a viewer for the compiled help only when told to.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <QApplication>
#include <QElapsedTimer>
#include <filesystem>
#include <fstream>

#include "platform/qt/help_opener.h"
#include "support/temp_dir.h"

namespace quillet {
namespace {

void WriteFile(const std::string& path, const std::string& text, mode_t mode = 0644) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path) << text;
    ::chmod(path.c_str(), mode);
}

TEST(HelpTest, OpensWhatTheDesktopCanOpen) {
    test::TempDir dir;
    int argc = 1;
    char name[] = "tray_tests", *argv[] = {name, nullptr};
    const std::string bin = dir.Path("bin");
    WriteFile(bin + "/xdg-open",
              "#!/bin/sh\nprintf '%s\\n' \"$@\" > " + dir.Path("opened.tmp") + " && mv " +
                  dir.Path("opened.tmp") + " " + dir.Path("opened") + "\n",
              0755);
    WriteFile(bin + "/xdg-mime",
              "#!/bin/sh\n[ \"$3\" = application/vnd.ms-htmlhelp ] && [ -e " + dir.Path("viewer") +
                  " ] && echo viewer.desktop\nexit 0\n",
              0755);
    ::setenv("PATH", (bin + ":" + ::getenv("PATH")).c_str(), 1);
    QApplication app(argc, argv);  // on a real display: the desktop's services
    const std::string chm = dir.Path("app/Quillet.chm");
    const std::string beside = dir.Path("app/help"), installed = dir.Path("doc/help");
    const HelpPlaces places{chm, {beside, installed}};

    struct Case {
        const char* name;
        bool chm, viewer, page_beside, page_installed;
        std::string opened, message;
    } cases[] = {
        {"a viewer for the help file", true, true, true, true, "file://" + chm, ""},
        {"no viewer: the page beside", true, false, true, true, "file://" + beside + "/setup.html",
         ""},
        {"no viewer: the installed page", true, false, false, true,
         "file://" + installed + "/setup.html", ""},
        {"nothing that opens", true, false, false, false, "",
         "No program on this desktop opens " + chm +
             ", and the help page was not found in its place (looked for " + beside +
             "/setup.html, " + installed + "/setup.html)."},
        {"nothing at all", false, true, false, false, "", "Help file not found: " + chm},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(dir.Path("app"));
        std::filesystem::remove_all(dir.Path("doc"));
        std::filesystem::remove(dir.Path("viewer"));
        std::filesystem::remove(dir.Path("opened"));
        if (c.chm)
            WriteFile(chm, "ITSF");
        if (c.viewer)
            WriteFile(dir.Path("viewer"), "");
        if (c.page_beside)
            WriteFile(beside + "/setup.html", "<html></html>");
        if (c.page_installed)
            WriteFile(installed + "/setup.html", "<html></html>");

        std::string message;
        HelpOpener help(places, [&message](const std::string& text) { message = text; });
        help.Open("setup.html");
        QElapsedTimer waited;
        waited.start();
        while (message.empty() && !std::filesystem::exists(dir.Path("opened")) &&
               waited.elapsed() < 20000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        }
        EXPECT_EQ(message, c.message);
        const std::string opened = test::ReadFile(dir.Path("opened"));
        EXPECT_EQ(opened, c.opened.empty() ? "" : c.opened + "\n");
    }
}

}  // namespace
}  // namespace quillet
