#include "tools/headless/headless_options.h"

#include "platform/text.h"
#include "ui/web/page_messages.h"

#include <algorithm>
#include <charconv>
#include <iterator>

namespace {

constexpr const char* kHelp =
    "usage: quillmoor-headless [--after-update] (--pc-version URL | --pc-version-data TEXT)\n"
    "                          (--start-game TEXT | --start-game-data TEXT) [--timeout SECONDS]\n"
    "                          [--snapshots FOLDER] [--verbose]\n"
    "\n"
    "Runs the Quillmoor launcher without a display, in the current folder as Launcher.exe\n"
    "would run there: it reads ./Platform.ini and the platform's settings file, checks and\n"
    "updates the launcher, then plays the web page's part. Once the main window shows, it\n"
    "sends the page's calls to it, in this order (one of each is needed):\n"
    "\n"
    "  --pc-version URL        window.external.PCVersion(URL): the client version answer is\n"
    "                          fetched from URL up to its last \"/\" followed by \"pcversion\"\n"
    "  --pc-version-data TEXT  window.external.PCVersionData(TEXT): TEXT is the version answer\n"
    "  --start-game TEXT       window.external.StartGame(TEXT): once the client is up to date,\n"
    "                          qm.exe is started in the client folder with TEXT and the quoted\n"
    "                          launcher path\n"
    "  --start-game-data TEXT  window.external.StartGameData(TEXT): the same with the game\n"
    "                          arguments \"MODE2\" and TEXT in quoted pieces\n"
    "\n"
    "  --after-update          start as a freshly replaced launcher (\"N:\"): no launcher check,\n"
    "                          and the game is told an empty launcher path; it waits up to 30\n"
    "                          seconds for a launcher still running on the data folder to end\n"
    "  --timeout SECONDS       give up after SECONDS (default: wait as long as it takes)\n"
    "  --snapshots FOLDER      save what the main window and the progress dialog show as\n"
    "                          main-NN.png and progress-NN.png in FOLDER (at most one a second)\n"
    "  --verbose               print the launcher's diagnostic log on stderr as it is written\n"
    "  --help                  this text\n"
    "\n"
    "A plain start tells the game that the launcher is ./Launcher.exe of the current folder.\n"
    "The client goes to $XDG_DATA_HOME/Quillmoor (~/.local/share/Quillmoor when unset).\n"
    "Progress goes to stdout: a live line on a terminal, plain lines otherwise. The launcher\n"
    "keeps its diagnostic log in that Quillmoor folder, launcher-diag.log; when the update\n"
    "fails or ends otherwise, its last problems are printed below the launcher's message.\n"
    "\n"
    "exit codes:\n"
    "  0  the game was started\n"
    "  1  the update failed; the error text is printed\n"
    "  2  the command line is wrong\n"
    "  3  a new launcher was downloaded and started to replace this installation\n"
    "  4  --timeout passed first\n"
    "  5  the launcher ended without starting the game for another reason\n"
    "  6  another launcher is running on the same data folder; nothing was done\n";

// Every option but the flags takes a value: the page's commands, and these.
const std::string kOtherValueOptions[] = {"--timeout", "--snapshots"};

const PageCommand* PageCommandOf(const std::string& option) {
    for (const PageCommand& command : kPageCommands) {
        if (option == command.headlessOption)
            return &command;
    }
    return nullptr;
}

unsigned ParseSeconds(const std::string& text) {
    unsigned seconds = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
    if (error != std::errc() || end != text.data() + text.size() || seconds == 0 || seconds > 86400)
        throw HeadlessUsageError("--timeout \"" + text + "\": a number of seconds from 1 to 86400");
    return seconds;
}

void SetOnce(std::optional<PageCall>& slot, PageCall call, const char* what) {
    if (slot)
        throw HeadlessUsageError(std::string("only one ") + what + " call may be given");
    slot = std::move(call);
}

}  // namespace

HeadlessCommand ParseHeadlessCommand(const std::vector<std::string>& args) {
    HeadlessOptions options;
    std::optional<PageCall> start;
    bool timeoutGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& name = args[i];
        if (name == "--help" || name == "-h")
            return HeadlessHelp{kHelp};
        if (name == "--after-update") {
            options.afterUpdate = true;
            continue;
        }
        if (name == "--verbose") {
            options.verbose = true;
            continue;
        }
        if (name.rfind("--", 0) != 0)
            throw HeadlessUsageError("unexpected argument \"" + name + "\"; try --help");
        const PageCommand* command = PageCommandOf(name);
        if (!command && std::find(std::begin(kOtherValueOptions), std::end(kOtherValueOptions), name) ==
                            std::end(kOtherValueOptions))
            throw HeadlessUsageError("unknown option " + name + "; try --help");
        if (i + 1 >= args.size())
            throw HeadlessUsageError(name + " needs a value");
        const std::string& value = args[++i];
        const std::wstring text = platform::FromUtf8(value);
        if (command) {
            const bool starts = command->kind == PageCommandKind::kStart;
            SetOnce(starts ? start : options.version, PageCall{command->message, command->name, text},
                    starts ? "start" : "version");
        } else if (name == "--timeout") {
            if (timeoutGiven)
                throw HeadlessUsageError("--timeout given twice");
            timeoutGiven = true;
            options.timeout = std::chrono::seconds(ParseSeconds(value));
        } else {
            options.snapshotFolder = value;
        }
    }
    // Without a start call nothing would ever end the run; without a version
    // call no client check begins, and the game start waits for it forever.
    if (!start)
        throw HeadlessUsageError("--start-game or --start-game-data is needed; try --help");
    if (!options.version)
        throw HeadlessUsageError(
            "--pc-version or --pc-version-data is needed: without the page's version call the game start would "
            "wait forever; try --help");
    options.start = std::move(*start);
    return options;
}
