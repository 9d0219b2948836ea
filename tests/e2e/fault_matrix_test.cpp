// The fault matrix: every way a server or the network fails, for good and
// once only, at every stage of an update (both version answers, the index
// manifest of each, both md5 lists, the server's settings file and a packed
// client file). Each cell runs the launcher's real threads against one
// published tree on 127.0.0.1 and checks the outcome the update rules give,
// that the cell ended within a bounded time (retry waits go through the
// sleep hook, the transfer limits are shortened), and that nothing was lost:
// the installed client, the installed launcher and its settings file are as
// they were or as published, and nothing was written outside the data
// folder. The table of outcomes and times is printed at the end.
#include "tests/e2e/stand_in_windows.h"
#include "tests/e2e/update_fixture.h"
#include "tests/support/short_transfer_limits.h"

#include "app/update_threads.h"
#include "codec/md5_functions.h"
#include "codec/path_key.h"
#include "platform/text.h"
#include "platform/window_automation.h"
#include "state/controller.h"
#include "state/launcher_settings.h"
#include "state/message_table.h"
#include "state/update_events.h"
#include "state/view_broser.h"
#include "tools/cdn/publish/publisher.h"
#include "update/update_context.h"
#include "update/version_service.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <sstream>

namespace fs = std::filesystem;
using testsupport::Fault;
using testsupport::RandomBytes;
using testsupport::ReadBytes;
using testsupport::WriteBytes;

namespace {

enum class Stage { LauncherAnswer, LauncherIndex, LauncherList, Settings, ClientAnswer, ClientIndex, ClientList, File };
enum class Kind {
    Stall,
    Trickle,
    ShortBody,
    LongBody,
    Reset,
    Redirect,
    RedirectLoop,
    RedirectToFile,
    Status416,
    Status500,
    Endless,
    Garbage,
    Html,
    NoLength,
    ServerGone,
    CorruptByte,
};

constexpr std::array kStages = {Stage::LauncherAnswer, Stage::LauncherIndex, Stage::LauncherList, Stage::Settings,
                                Stage::ClientAnswer,   Stage::ClientIndex,   Stage::ClientList,   Stage::File};
constexpr std::array kKinds = {Kind::Stall,     Kind::Trickle,   Kind::ShortBody,    Kind::LongBody,
                               Kind::Reset,     Kind::Redirect,  Kind::RedirectLoop, Kind::RedirectToFile,
                               Kind::Status416, Kind::Status500, Kind::Endless,      Kind::Garbage,
                               Kind::Html,      Kind::NoLength,  Kind::ServerGone,   Kind::CorruptByte};

const char* NameOf(Stage stage) {
    constexpr std::array names = {"LauncherAnswer", "LauncherIndex", "LauncherList", "Settings",
                                  "ClientAnswer",   "ClientIndex",   "ClientList",   "PackedFile"};
    return names[static_cast<std::size_t>(stage)];
}

const char* NameOf(Kind kind) {
    constexpr std::array names = {"Stall",        "Trickle",        "ShortBody",  "LongBody",   "Reset",   "Redirect",
                                  "RedirectLoop", "RedirectToFile", "Status416",  "Status500",  "Endless", "Garbage",
                                  "HtmlWith200",  "NoLength",       "ServerGone", "CorruptByte"};
    return names[static_cast<std::size_t>(kind)];
}

bool IsLauncherStage(Stage stage) {
    return stage <= Stage::Settings;
}

// How a cell ends. Updated: the launcher check ended and took the server's
// settings file, or the client chain ended with the changed file in place.
enum class Outcome { Updated, SettingsKept, NothingUpdated, Error0, Error3, Error7, Error10, Error11, Error12 };

const char* NameOf(Outcome outcome) {
    constexpr std::array names = {"updated",  "settings kept", "ready, nothing updated",
                                  "error 0",  "error 3",       "error 7",
                                  "error 10", "error 11",      "error 12"};
    return names[static_cast<std::size_t>(outcome)];
}

struct Cell {
    Stage stage;
    Kind kind;
    bool once;
};

// What the stage's failure leads to: the error text its thread shows, or,
// for the settings file, going on without it.
Outcome FailureOf(Stage stage) {
    switch (stage) {
        case Stage::LauncherAnswer:
        case Stage::LauncherIndex:
            return Outcome::Error11;
        case Stage::LauncherList:
            return Outcome::Error12;
        case Stage::Settings:
            return Outcome::SettingsKept;
        case Stage::ClientAnswer:
        case Stage::ClientIndex:
            return Outcome::Error10;
        case Stage::ClientList:
            return Outcome::Error3;
        case Stage::File:
            return Outcome::Error0;
    }
    return Outcome::Updated;
}

bool IsManifest(Stage stage) {
    return stage == Stage::LauncherIndex || stage == Stage::ClientIndex;
}
bool IsList(Stage stage) {
    return stage == Stage::LauncherList || stage == Stage::ClientList;
}

// The outcome the update rules give. Every fetch but the settings file's
// body is retried, so a fault once only costs an attempt; manifest records,
// which the launcher cannot check, are taken as they come.
Outcome Expected(const Cell& cell) {
    const Stage stage = cell.stage;
    const Outcome failure = FailureOf(stage);
    switch (cell.kind) {
        case Kind::LongBody:  // read as far as its Content-Length
        case Kind::Redirect:  // followed
        case Kind::NoLength:  // read to the end of the chunked coding
            return Outcome::Updated;
        case Kind::Garbage:
        case Kind::Html:
            // A manifest's 25-byte records are taken as they come: random
            // records resolve nothing. A list that does not read whole is a
            // failed attempt like a broken transfer.
            if (stage == Stage::LauncherIndex && cell.kind == Kind::Garbage)
                return Outcome::Error12;
            if (stage == Stage::ClientIndex && cell.kind == Kind::Garbage)
                return Outcome::Error3;
            break;
        case Kind::Stall:
        case Kind::ShortBody:
        case Kind::Reset:
            // Every answer of the packed file breaks off after half the
            // file's length; each attempt continues where the last one broke
            // off, so the rest arrives whole within the attempts.
            if (stage == Stage::File)
                return Outcome::Updated;
            break;
        case Kind::CorruptByte:
            // One digit of the record for the list's folder, of Launcher.exe's
            // digest in the launcher list and of qm.exe's in the client list:
            // the list then cannot be found, or a file that is in place looks
            // changed and its download never matches.
            if (stage == Stage::LauncherIndex || stage == Stage::LauncherList)
                return stage == Stage::LauncherIndex ? Outcome::Error12 : Outcome::Error7;
            if (stage == Stage::ClientIndex)
                return Outcome::Error3;
            if (stage == Stage::ClientList)
                return Outcome::Error0;
            break;
        default:
            break;
    }
    // The settings file is opened twice at most, its body read once.
    const bool openFails = cell.kind == Kind::RedirectLoop || cell.kind == Kind::RedirectToFile ||
                           cell.kind == Kind::Status416 || cell.kind == Kind::Status500 ||
                           cell.kind == Kind::ServerGone;
    if (cell.once && (stage != Stage::Settings || openFails))
        return Outcome::Updated;
    return failure;
}

struct Result {
    Outcome outcome;
    double seconds;
};

// One publish for every cell: a launcher that is up to date and a client of
// which one file changed.
struct PublishedTree {
    testsupport::TempDir folder;
    fs::path cdn = folder.Path() / "cdn";
    fs::path launcher = folder.Path() / "launcher";
    fs::path client = folder.Path() / "client";
    // A valid answer where a redirect to file: would find it.
    fs::path decoy = folder.Path() / "decoy.txt";
    std::string base = "http://127.0.0.1:1/cdn/";
    std::string settingsText = "[Config]\nWeb=http://127.0.0.1/quillmoor/page.html\nLanguage=chs\n";
    std::string oldWorld = RandomBytes(50000, 11);
    std::string newWorld = RandomBytes(60000, 12);

    PublishedTree() {
        WriteBytes(launcher / "Launcher.exe", "launcher program");
        WriteBytes(launcher / "ui.dll", "interface library");
        WriteBytes(launcher / "pv.ini", settingsText);
        WriteBytes(client / "qm.exe", "game program");
        WriteBytes(client / "readme.txt", "welcome");
        WriteBytes(client / "data/world.pak", newWorld);
        std::ostringstream log;
        ::Publish(testsupport::FixturePublishOptions(launcher, client, cdn, base), log, false);
        WriteBytes(decoy, ReadBytes(cdn / "answers" / "client.txt"));
    }

    // The server path of a published file, found by its name.
    std::string TargetOf(const std::string& name) const {
        for (const auto& entry : fs::recursive_directory_iterator(cdn / "tree"))
            if (entry.path().filename() == name)
                return "/cdn/" + fs::relative(entry.path(), cdn).generic_string();
        return std::string();
    }
};

std::unique_ptr<PublishedTree> g_tree;
std::map<std::string, std::map<std::string, Result>> g_results;

// The name of the index manifest the answers give.
std::string IndexName(const std::string& answer) {
    const std::size_t start = answer.find("cdn_index=") + 10;
    return answer.substr(start, answer.find('|', start) - start);
}

class FaultMatrix : public ::testing::TestWithParam<Cell>, public testsupport::UpdateFixture {
protected:
    static void SetUpTestSuite() { g_tree = std::make_unique<PublishedTree>(); }

    static void TearDownTestSuite() {
        PrintTable();
        g_tree.reset();
    }

    void SetUp() override {
        Serve(g_tree->cdn, g_tree->base);
        StopLauncherCheck();
        StopClientUpdate();
        GetController()->closing = 0;
        GetController()->mainDialog = &main;
        main.SetTimer(1, 10);
        GetViewBroser()->SetWindows(&main, &page);
        GetViewBroser()->SetProgressDialog(&progress);
        for (const char* name : {"Launcher.exe", "ui.dll", "pv.ini"})
            fs::copy_file(g_tree->launcher / name, installedDir / name);
        WriteBytes(DataPath("C1/qm.exe"), "game program");
        WriteBytes(DataPath("C1/readme.txt"), "welcome");
        WriteBytes(DataPath("C1/data/world.pak"), g_tree->oldWorld);
        g_settings.webUrl = L"http://old.example/page.html";
    }

    void TearDown() override {
        platform::EndRemainingThreads();
        GetViewBroser()->SetWindows(nullptr, nullptr);
        GetViewBroser()->SetProgressDialog(nullptr);
        GetController()->mainDialog = nullptr;
    }

    // The target of the stage and the bytes the server sends for it.
    std::pair<std::string, std::string> TargetAndBody(Stage stage) const {
        const auto file = [&](const std::string& name) {
            const std::string target = g_tree->TargetOf(name);
            return std::make_pair(target, ReadBytes(g_tree->cdn / target.substr(5)));
        };
        const auto answer = [&](const std::string& target) { return std::make_pair(target, AnswerText(target)); };
        switch (stage) {
            case Stage::LauncherAnswer:
                return answer("/api/launcherversionnew?platform=pv");
            case Stage::ClientAnswer:
                return answer("/web/pcversion");
            case Stage::LauncherIndex:
            case Stage::ClientIndex: {
                const std::string target = "/cdn/index/" + IndexName(AnswerText("/web/pcversion"));
                return {target, ReadBytes(g_tree->cdn / target.substr(5))};
            }
            case Stage::LauncherList:
                return file("launcher.md5");
            case Stage::ClientList:
                return file("qm.md5");
            case Stage::Settings:
                return file("pv.ini");
            case Stage::File:
                return file("world.pak.lz");
        }
        return {};
    }

    std::string AnswerText(const std::string& target) const {
        const std::string name = target == "/web/pcversion" ? "client.txt" : "launcher-pv.txt";
        return testsupport::RebasedAnswer(ReadBytes(g_tree->cdn / "answers" / name), g_tree->base,
                                          server.BaseUrl() + "/cdn/");
    }

    // One digit changed where the launcher cannot tell: see Expected.
    std::string Corrupted(Stage stage, std::string body) const {
        std::size_t at = body.size() / 2;
        if (IsManifest(stage)) {
            const std::string key = PathKey(stage == Stage::LauncherIndex ? L"launcher/L1" : L"C1");
            for (std::size_t record = 0; record + 25 <= body.size(); record += 25)
                if (HexEncode(reinterpret_cast<const unsigned char*>(body.data()) + record, 5) == key)
                    at = record + 10;
        } else if (IsList(stage)) {
            const std::string name = stage == Stage::LauncherList ? "launcher/Launcher.exe" : "qm.exe";
            std::string wide;
            for (char ch : name)
                wide += std::string{ch, '\0'};
            // The digest is the last word of the line after the path.
            const std::size_t line = body.find(wide + std::string("\n\0", 2));
            const std::size_t end = body.find(std::string("\n\0", 2), line + wide.size() + 2);
            at = end - 4;  // a hex digit before the line's end (and its U+000D)
            if (body[at] == '\r')
                at -= 2;
        } else if (stage == Stage::LauncherAnswer || stage == Stage::ClientAnswer) {
            at = body.find("cdn_index=") + 12;
        }
        body[at] = body[at] == '0' ? '1' : '0';
        return body;
    }

    Fault FaultFor(const Cell& cell, const std::string& target, const std::string& body) {
        const int times = cell.once ? 1 : -1;
        const auto half = static_cast<std::int64_t>(body.size() / 2);
        switch (cell.kind) {
            case Kind::Stall:
                return Fault{.stallAfterBytes = half, .times = times};
            case Kind::Trickle:
                return Fault{.slowBodyDelayMs = 100, .chunkBytes = 4, .times = times};
            case Kind::ShortBody:
                return Fault{.closeAfterBytes = half, .times = times};
            case Kind::LongBody:
                return Fault{.extraBodyBytes = 100000, .times = times};
            case Kind::Reset:
                return Fault{.closeAfterBytes = half, .reset = true, .times = times};
            case Kind::Redirect:
                server.SetBody("/moved" + target, body);
                return Fault{.status = 302, .location = server.BaseUrl() + "/moved" + target, .times = times};
            case Kind::RedirectLoop:
                return Fault{.status = 302, .location = target, .times = times};
            case Kind::RedirectToFile:
                return Fault{.status = 302, .location = "file://" + g_tree->decoy.string(), .times = times};
            case Kind::Status416:
                return Fault{.status = 416, .times = times};
            case Kind::Status500:
                return Fault{.status = 500, .times = times};
            case Kind::Endless:
                return Fault{.endless = true, .times = times};
            case Kind::Garbage:
                return Fault{.body = RandomBytes(body.size(), 21), .times = times};
            case Kind::Html:
                return Fault{.body =
                                 "<html><head><title>502 Bad Gateway</title></head>"
                                 "<body><h1>502 Bad Gateway</h1></body></html>\n",
                             .times = times};
            case Kind::NoLength:
                return Fault{.chunked = true, .times = times};
            case Kind::ServerGone:
                return Fault{.status = 302,
                             .location = "http://127.0.0.1:" +
                                         std::to_string(testsupport::LoopbackServer::RefusedPort()) + target,
                             .times = times};
            case Kind::CorruptByte:
                return Fault{.body = Corrupted(cell.stage, body), .times = times};
        }
        return Fault{};
    }

    // Runs the launcher check (plain start) or the client check and chain
    // (start after a self-update) until it ends.
    Outcome Run(Stage stage) {
        CViewBroser* view = GetViewBroser();
        const auto failed = [&] { return !view->GetErrorText().empty(); };
        if (IsLauncherStage(stage)) {
            view->SetProgressActive(1);
            StartLauncherCheck();
            if (!platform::RunMessagesUntil([&] { return failed() || (progress.closed && page.IsWindowVisible()); },
                                            kPatienceMs)) {
                ADD_FAILURE() << "the launcher check did not end";
                return Outcome::Updated;
            }
            if (failed())
                return ErrorOutcome(view->GetErrorText());
            return g_settings.webUrl == L"http://127.0.0.1/quillmoor/page.html" ? Outcome::Updated
                                                                                : Outcome::SettingsKept;
        }
        SetEvent(ClientCheckReadyEvent);
        if (UpdateClientVersionUrl(*GetUpdateContext(), platform::FromUtf8(PageUrl()))) {
            StopClientUpdate();
            StartClientCheck();
        }
        bool ready = false;
        if (!platform::RunMessagesUntil(
                [&] {
                    ready = ready || WaitForSingleObject(ClientReadyEvent, 0) == WAIT_OBJECT_0;
                    return failed() || ready;
                },
                kPatienceMs)) {
            ADD_FAILURE() << "the client chain did not end";
            return Outcome::Updated;
        }
        if (failed())
            return ErrorOutcome(view->GetErrorText());
        return ReadBytes(DataPath("C1/data/world.pak")) == g_tree->newWorld ? Outcome::Updated
                                                                            : Outcome::NothingUpdated;
    }

    static Outcome ErrorOutcome(const std::wstring& text) {
        for (auto [entry, outcome] :
             {std::pair{0, Outcome::Error0}, std::pair{3, Outcome::Error3}, std::pair{7, Outcome::Error7},
              std::pair{10, Outcome::Error10}, std::pair{11, Outcome::Error11}, std::pair{12, Outcome::Error12}})
            if (text == g_messages.entries[entry])
                return outcome;
        ADD_FAILURE() << "unexpected error text " << platform::ToUtf8(text);
        return Outcome::Updated;
    }

    // Nothing lost: every installed file as it was or as published, no file
    // outside the data folder, nothing half-made left behind.
    void ExpectNothingLost(Outcome outcome) {
        for (const char* name : {"Launcher.exe", "ui.dll", "pv.ini"})
            EXPECT_EQ(ReadBytes(installedDir / name), ReadBytes(g_tree->launcher / name)) << name;
        EXPECT_EQ(ReadBytes(DataPath("C1/qm.exe")), "game program");
        EXPECT_EQ(ReadBytes(DataPath("C1/readme.txt")), "welcome");
        const std::string world = ReadBytes(DataPath("C1/data/world.pak"));
        const bool updated = outcome == Outcome::Updated && !IsLauncherStage(GetParam().stage);
        EXPECT_TRUE(world == (updated ? g_tree->newWorld : g_tree->oldWorld)) << "world.pak of " << world.size();

        const std::set<std::string> known = {
            "client",           "data",    "installed", "installed/Launcher.exe", "installed/pv.ini",
            "installed/ui.dll", "launcher"};
        std::vector<std::string> unexpected;
        for (const auto& entry : fs::recursive_directory_iterator(work.Path())) {
            const std::string relative = fs::relative(entry.path(), work.Path()).generic_string();
            const std::string extension = entry.path().extension().string();
            if ((!known.count(relative) && relative.rfind("data/", 0) != 0) || extension == ".qmnew" ||
                extension == ".download")
                unexpected.push_back(relative);
        }
        EXPECT_TRUE(unexpected.empty()) << ::testing::PrintToString(unexpected);
    }

    static void PrintTable() {
        std::printf("\n| stage | fault | for good | seconds | once | seconds |\n|---|---|---|---|---|---|\n");
        for (const Stage stage : kStages) {
            for (const Kind kind : kKinds) {
                const auto& row = g_results[std::string(NameOf(stage)) + "/" + NameOf(kind)];
                const auto cell = [&](const char* key) {
                    const auto found = row.find(key);
                    char text[64] = "-";
                    if (found != row.end())
                        std::snprintf(text, sizeof text, "%s | %.1f", NameOf(found->second.outcome),
                                      found->second.seconds);
                    else
                        std::snprintf(text, sizeof text, "- | -");
                    return std::string(text);
                };
                std::printf("| %s | %s | %s | %s |\n", NameOf(stage), NameOf(kind), cell("good").c_str(),
                            cell("once").c_str());
            }
        }
        std::fflush(stdout);
    }

    static constexpr DWORD kPatienceMs = 60000;
    // Far above what the shortened limits allow a cell, far below what the
    // limits of a real launcher would take.
    static constexpr double kMostSeconds = 30.0;

    testsupport::ShortTransferLimits limits;
    testsupport::StandInMainWindow main;
    testsupport::StandInPageWindow page;
    testsupport::StandInProgressWindow progress;
};

TEST_P(FaultMatrix, OutcomeTimeAndNothingLost) {
    const Cell cell = GetParam();
    const auto [target, body] = TargetAndBody(cell.stage);
    ASSERT_FALSE(target.empty());
    ASSERT_FALSE(body.empty());
    server.SetFault(target, FaultFor(cell, target, body));

    const auto start = std::chrono::steady_clock::now();
    const Outcome outcome = Run(cell.stage);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    g_results[std::string(NameOf(cell.stage)) + "/" + NameOf(cell.kind)][cell.once ? "once" : "good"] = {outcome,
                                                                                                         seconds};

    EXPECT_EQ(NameOf(outcome), std::string(NameOf(Expected(cell))));
    EXPECT_LT(seconds, kMostSeconds);
    // Retries waited through the hook, never for real.
    EXPECT_LE(sleeps.size(), 25u);
    ExpectNothingLost(outcome);
}

std::vector<Cell> AllCells() {
    std::vector<Cell> cells;
    for (const Stage stage : kStages)
        for (const Kind kind : kKinds)
            for (const bool once : {false, true})
                cells.push_back({stage, kind, once});
    return cells;
}

INSTANTIATE_TEST_SUITE_P(EveryStageAndFault, FaultMatrix, ::testing::ValuesIn(AllCells()),
                         [](const ::testing::TestParamInfo<Cell>& info) {
                             return std::string(NameOf(info.param.stage)) + "_" + NameOf(info.param.kind) +
                                    (info.param.once ? "_Once" : "_ForGood");
                         });

}  // namespace
