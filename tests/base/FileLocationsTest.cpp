// Which mode a program folder means, and where each place is in it.
#include "base/FileLocations.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <array>

namespace {

TEST(FileLocations, ModeAndPlacesFollowTheProgramFolder) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString root = dir.path() + "/";
    for (const char* folder : {"build/bin", "usr/bin", "usr/share/impix/Forms", "opt/bin"})
        ASSERT_TRUE(QDir().mkpath(root + folder));
    const QString user = "/home/op/";

    struct Case {
        const char* program; // below the scratch folder
        RunMode mode;
        // Programs, Shipped, Config, Data, Documents, Archive; "@" stands for the scratch
        // folder.
        std::array<const char*, 6> places;
    };
    const Case cases[] = {
        // A build folder, also one with a bin/ below it: the program's folder holds everything.
        {"build/",
         RunMode::BuildFolder,
         {"@build/", "@build/", "@build/", "@build/", "@build/", "/home/op/.local/share/impix/"}},
        {"build/bin",
         RunMode::BuildFolder,
         {"@build/bin/", "@build/bin/", "@build/bin/", "@build/bin/", "@build/bin/",
          "/home/op/.local/share/impix/"}},
        // A bin/ without share/impix beside it is not an installation.
        {"opt/bin/",
         RunMode::BuildFolder,
         {"@opt/bin/", "@opt/bin/", "@opt/bin/", "@opt/bin/", "@opt/bin/",
          "/home/op/.local/share/impix/"}},
        // Installed: shipped files from the prefix, the rest in the user's folders.
        {"usr/bin/",
         RunMode::Installed,
         {"@usr/bin/", "@usr/share/impix/", "/home/op/.config/impix/",
          "/home/op/.local/share/impix/", "/home/op/Documents/", "/home/op/.local/share/impix/"}},
        {"usr/bin",
         RunMode::Installed,
         {"@usr/bin/", "@usr/share/impix/", "/home/op/.config/impix/",
          "/home/op/.local/share/impix/", "/home/op/Documents/", "/home/op/.local/share/impix/"}},
    };
    const Place places[] = {Place::Programs, Place::Shipped,   Place::Config,
                            Place::Data,     Place::Documents, Place::Archive};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.program);
        const QString program = root + c.program;
        EXPECT_EQ(DetectRunMode(program), c.mode);
        const PathContext context{program, user + ".config", user + ".local/share/",
                                  user + "Documents"};
        for (std::size_t k = 0; k < std::size(places); ++k)
            EXPECT_EQ(PlaceFolder(context, places[k]), QString(c.places[k]).replace("@", root))
                << k;
    }
}

} // namespace
