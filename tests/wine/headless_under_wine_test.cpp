// The Windows quillmoor-headless.exe under Wine, in a launcher folder
// unpacked from the package a studio ships, against the Linux publisher's
// server: a fresh install, a second run that finds everything current, a
// corrupt first download, the Windows qm.exe started in the client folder
// with the page's text and the quoted launcher path, and a signed release
// taken while a tampered one is refused.
#include "tests/support/loopback_server.h"
#include "tests/support/test_files.h"
#include "tests/wine/wine_machine.h"

namespace winetest {

namespace {

using testsupport::CountOf;
using testsupport::FilesBelow;
using testsupport::ReadBytes;

const std::string kGameArguments = "-demo -realm Emberfall -player Guest";
// Only ends a test whose game never writes its record.
constexpr auto kRecordLimit = std::chrono::seconds(30);

class HeadlessUnderWine : public WineMachine {
protected:
    // The game's record once written, removed for the next run.
    std::string TakeGameRecord() {
        const std::string record = testsupport::WaitForGameRecord(clientFolder / "qm-started.txt", kRecordLimit);
        fs::remove(clientFolder / "qm-started.txt");
        return record;
    }
};

}  // namespace

TEST_F(HeadlessUnderWine, InstallsFreshThenFindsTheClientCurrentAndStartsTheGame) {
    // Names whose requests WinINet would send in the ANSI code page were they
    // not escaped first: a Chinese one and one with a blank.
    testsupport::WriteBytes(client / "maps/\xe6\x97\xa7\xe5\x9f\x8e.map", "old walls");
    testsupport::WriteBytes(client / "maps/old town.map", "cobbles and gables");
    Publish();
    const testsupport::ProgramResult first = RunHeadless(kGameArguments);
    ASSERT_EQ(first.exitCode, 0) << first.output << first.errors << Diagnostics();
    ExpectClientInstalled();

    const std::string launcherPath = WindowsPath(install / "Launcher.exe");
    const std::string record = TakeGameRecord();
    EXPECT_NE(record.find("command line: " + kGameArguments + " \"" + launcherPath + "\"\n"), std::string::npos)
        << record;
    EXPECT_NE(record.find("argument 0: -demo\n"), std::string::npos) << record;
    EXPECT_NE(record.find("argument 4: Guest\nargument 5: " + launcherPath + "\n"), std::string::npos) << record;
    EXPECT_NE(record.find("current directory: " + WindowsDataFolder() + "\\Quillmoor\\C1\n"), std::string::npos)
        << record;
    // The launcher checked itself against the package it came from: nothing
    // of it was fetched.
    const std::string afterFirst = ReadBytes(server->Log());
    EXPECT_EQ(CountOf(afterFirst, ".lz "), FilesBelow(client).size()) << afterFirst;
    EXPECT_EQ(CountOf(afterFirst, ".z "), 0u) << afterFirst;
    EXPECT_EQ(CountOf(afterFirst, "/%E6%97%A7%E5%9F%8E.map.lz "), 1u) << afterFirst;
    EXPECT_EQ(ReadBytes(DiagLog()).find("(problem)"), std::string::npos) << Diagnostics();

    // Run again: the files are checked and none is fetched.
    const testsupport::ProgramResult second = RunHeadless(kGameArguments);
    ASSERT_EQ(second.exitCode, 0) << second.output << second.errors << Diagnostics();
    const std::string afterSecond = ReadBytes(server->Log());
    EXPECT_EQ(CountOf(afterSecond, ".lz "), CountOf(afterFirst, ".lz ")) << afterSecond;
    EXPECT_EQ(CountOf(afterSecond, "/web/pcversion"), CountOf(afterFirst, "/web/pcversion") + 1) << afterSecond;
    EXPECT_NE(TakeGameRecord().find("argument 5: " + launcherPath + "\n"), std::string::npos);
}

TEST_F(HeadlessUnderWine, ACorruptFirstDownloadIsFetchedAgain) {
    // The objects come from a loopback server that spoils the first answer
    // for the big file; the answers and the page from quillmoor-cdn.
    testsupport::LoopbackServer objects;
    objects.ServeFolder("/cdn/", cdn.string());
    Publish({"--base-url", objects.BaseUrl() + "/cdn/"});
    std::string target;
    for (const auto& entry : fs::recursive_directory_iterator(cdn / "tree"))
        if (entry.is_regular_file() && entry.path().filename() == "world.pak.lz")
            target = "/cdn/" + fs::relative(entry.path(), cdn).generic_string();
    ASSERT_FALSE(target.empty()) << "the published object of data/world.pak";
    std::string spoiled = ReadBytes(cdn / target.substr(5));
    spoiled[spoiled.size() / 2] ^= 0x5a;
    objects.SetFault(target, testsupport::Fault{.body = spoiled, .times = 1});

    const testsupport::ProgramResult run = RunHeadless("-demo");
    ASSERT_EQ(run.exitCode, 0) << run.output << run.errors << Diagnostics();
    ExpectClientInstalled();
    std::size_t asked = 0;
    for (const testsupport::RecordedRequest& request : objects.Requests())
        asked += request.target == target ? 1 : 0;
    EXPECT_EQ(asked, 2u);
    EXPECT_NE(TakeGameRecord().find("argument 0: -demo\n"), std::string::npos);
}

TEST_F(HeadlessUnderWine, ASignedReleaseInstallsAndATamperedOneIsRefused) {
    // The studio's key made by the Linux publisher, its public half beside
    // the launcher the player has and in the launcher published.
    const fs::path keys = work.Path() / "keys";
    const testsupport::ProgramResult keygen = testsupport::RunToEnd({{QM_CDN_PROGRAM, "keygen", "--out", keys.string()},
                                                                     work.Path(),
                                                                     {},
                                                                     work.Path() / "keygen.out",
                                                                     work.Path() / "keygen.err"},
                                                                    std::chrono::seconds(30));
    ASSERT_EQ(keygen.exitCode, 0) << keygen.errors;
    for (const fs::path& folder : {launcher, install})
        fs::copy_file(keys / "release.pub", folder / "release.pub");
    Publish({"--web-url", server->BaseUrl() + "/web/index.html", "--sign-key", (keys / "release.key").string()});

    // qm.exe's packed object replaced on the server: its first bytes flipped.
    fs::path object;
    for (const auto& entry : fs::recursive_directory_iterator(cdn / "tree"))
        if (entry.is_regular_file() && entry.path().filename() == "qm.exe.lz")
            object = entry.path();
    ASSERT_FALSE(object.empty());
    const std::string genuine = ReadBytes(object);
    std::string forged = genuine;
    forged[forged.size() - 1] ^= 0x01;
    testsupport::WriteBytes(object, forged);
    const testsupport::ProgramResult refused = RunHeadless("-demo");
    EXPECT_EQ(refused.exitCode, 1) << refused.output << refused.errors << Diagnostics();
    EXPECT_NE((refused.output + refused.errors).find("the release does not list what arrived"), std::string::npos)
        << refused.output << refused.errors << Diagnostics();
    EXPECT_FALSE(fs::exists(clientFolder / "qm.exe"));
    EXPECT_FALSE(fs::exists(clientFolder / "qm-started.txt"));

    testsupport::WriteBytes(object, genuine);
    const testsupport::ProgramResult accepted = RunHeadless("-demo");
    ASSERT_EQ(accepted.exitCode, 0) << accepted.output << accepted.errors << Diagnostics();
    ExpectClientInstalled();
    EXPECT_NE(ReadBytes(DiagLog()).find("release: accepted "), std::string::npos) << Diagnostics();
    EXPECT_NE(TakeGameRecord().find("argument 0: -demo\n"), std::string::npos);
}

}  // namespace winetest
