#include "app/copied_folder.h"

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <string>

using testsupport::TempDir;

TEST(FirstFileNotCopied, NamesTheFirstFileWhoseBytesDiffer) {
    TempDir from;
    TempDir to;
    const std::string big(200 * 1024, 'q');
    from.Write("Launcher.exe", big + "v2");
    from.Write("LauncherStyles/Image/bg.png", "new picture");
    to.Write("Launcher.exe", big + "v2");
    to.Write("LauncherStyles/Image/bg.png", "new picture");
    to.Write("keep.txt", "player data");
    EXPECT_EQ(FirstFileNotCopied(from.Path().wstring(), to.Path().wstring()), L"");

    // Same size, one byte different past the first block read.
    to.Write("Launcher.exe", big + "v1");
    EXPECT_EQ(FirstFileNotCopied(from.Path().wstring(), to.Path().wstring()), L"Launcher.exe");
    to.Write("Launcher.exe", big + "v2");
    // A file cut short, and a file that is not there at all.
    to.Write("LauncherStyles/Image/bg.png", "new");
    EXPECT_EQ(FirstFileNotCopied(from.Path().wstring(), to.Path().wstring()), L"LauncherStyles/Image/bg.png");
    to.Write("LauncherStyles/Image/bg.png", "new picture");
    from.Write("\xe6\x96\xb0.dll", "library");
    EXPECT_EQ(FirstFileNotCopied(from.Path().wstring(), to.Path().wstring()), L"\u65b0.dll");
}
