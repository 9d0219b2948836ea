#include "tools/cdn/tool_command_line.h"

#include <algorithm>
#include <charconv>
#include <map>

namespace {

constexpr const char* kToolHelp =
    "usage: quillmoor-cdn <command> [options]\n"
    "\n"
    "Builds and serves a CDN tree in the format the Quillmoor launcher reads.\n"
    "\n"
    "commands:\n"
    "  publish     turn a launcher folder and a client folder into a CDN tree\n"
    "  sign        sign the answers of a published tree again, with a new serial and expiry\n"
    "  keygen      make a key pair for signing releases\n"
    "  serve       serve a published tree, its version answers and a page folder over HTTP\n"
    "  nginx-conf  print an nginx configuration that hosts a published tree the same way\n"
    "  prune       remove what none of the last releases of a published tree references\n"
    "\n"
    "quillmoor-cdn <command> --help describes a command.\n";

constexpr const char* kPublishHelp =
    "usage: quillmoor-cdn publish --launcher DIR --client DIR --platform CODE --out CDN_DIR [options]\n"
    "\n"
    "Packs every file of the launcher folder (zlib, \".z\") and of the client folder\n"
    "(LZMA, \".lz\"), writes their md5 lists, the platform's settings file, one index\n"
    "manifest and the two version answers into CDN_DIR. The same input always gives\n"
    "the same bytes; objects of earlier publishes stay, the answers switch last.\n"
    "A file whose bytes an earlier publish in CDN_DIR or --previous packed with the\n"
    "same settings is not packed again (CDN_DIR/packing/sources records them).\n"
    "\n"
    "  --launcher DIR          launcher files, listed as launcher/<path> in launcher.md5\n"
    "  --client DIR            client files, listed as <path> in qm.md5\n"
    "  --platform CODE         platform code (letters, digits, - and _)\n"
    "  --out CDN_DIR           output folder, created when missing\n"
    "  --settings FILE         settings file served as launcher/CODE.ini\n"
    "                          (default: CODE.ini in the launcher folder)\n"
    "  --launcher-version V    launcher version folder, cdn_path of the launcher answer (default L1)\n"
    "  --client-version V      client version folder, cdn_path of the client answer (default C1)\n"
    "  --base-url URL          cdn_url of both answers: an http:// or https:// address without\n"
    "                          query, \"/\" added at its end when missing (default {server}/cdn/)\n"
    "  --web-url URL           web_url of both answers, the page the launcher links to next to\n"
    "                          an error: an http:// or https:// address\n"
    "                          (default {server}/web/index.html)\n"
    "  --mirror URL            a further host of the same tree, tried by launchers when a request\n"
    "                          to cdn_url fails: an http:// or https:// address without query,\n"
    "                          \"/\" added at its end when missing; may be given more than once.\n"
    "                          Written as Mirrors= into [Config] of the settings file served\n"
    "                          (and of the launcher folder's copy)\n"
    "  --previous OLD_CDN_DIR  an earlier publish (may be CDN_DIR): objects that changed since\n"
    "                          are also written to file/ and named in a diff manifest\n"
    "  --jobs N                files packed at once (default: one per core)\n"
    "  --sign-key FILE         sign the release with the private key in FILE (from \"keygen\");\n"
    "                          may be given more than once: one signature for each key\n"
    "  --expires DAYS          signed releases expire after DAYS days (default 30); run\n"
    "                          \"sign\" before then\n"
    "\n"
    "Names: every file and folder name becomes part of a CDN URL and of a Windows path.\n"
    "A name cannot hold # % ? \" < > (they end or change a URL: the launcher does not\n"
    "escape them), \\ * : | or control characters (Windows refuses them, a line end would\n"
    "split the md5 list), nor end in \".\" or a blank (Windows drops those). Blanks inside a\n"
    "name are fine: they travel as %20. Every offender is reported before anything is packed.\n"
    "\n"
    "\"{server}\" is filled in by \"serve\" with http://HOST:PORT of each request. Any other\n"
    "server hands the answers out as they stand: publish for it with --base-url and\n"
    "--web-url (publish warns while an answer holds \"{server}\"). docs/publishing.md in the\n"
    "sources describes hosting a publish; \"nginx-conf\" prints an nginx configuration.\n"
    "Answers: CDN_DIR/answers/launcher-CODE.txt and CDN_DIR/answers/client.txt.\n"
    "\n"
    "Signed: beside each answer a release document (launcher-CODE.release, client.release)\n"
    "naming everything a launcher fetches for it with its size and SHA-256, a serial\n"
    "above every earlier one in CDN_DIR, and an expiry; its signatures in *.release.sig.\n"
    "Launchers whose folder holds release.pub accept only releases signed by a key in it.\n"
    "A signed publish needs a --web-url without \"{server}\". Once CDN_DIR holds signed\n"
    "releases, a publish without --sign-key is refused.\n";

constexpr const char* kSignHelp =
    "usage: quillmoor-cdn sign --out CDN_DIR --sign-key FILE [--sign-key FILE ...] [--expires DAYS]\n"
    "                          [--platform CODE]\n"
    "\n"
    "Signs the answers CDN_DIR serves again: new release documents with a serial above\n"
    "every earlier one and a new expiry, for the same answers and bodies. Nothing is\n"
    "packed and the answers stay as they are. Run it from a timer well before the\n"
    "releases expire, on a machine that holds the key (not the CDN host).\n"
    "\n"
    "  --out CDN_DIR     a folder written by \"publish\"\n"
    "  --sign-key FILE   a private key from \"keygen\"; more than once for several keys\n"
    "  --expires DAYS    the releases expire after DAYS days (default 30)\n"
    "  --platform CODE   the launcher answer to sign (default: the only one in CDN_DIR)\n";

constexpr const char* kKeygenHelp =
    "usage: quillmoor-cdn keygen --out DIR\n"
    "\n"
    "Makes a new Ed25519 key pair for signing releases:\n"
    "  DIR/release.key  the private key, readable by its owner only. Keep it off the CDN\n"
    "                   host and back it up: whoever holds it can publish to players.\n"
    "  DIR/release.pub  the public key. Put it into the launcher folder you publish, so\n"
    "                   that players' launchers trust releases signed with the key.\n"
    "Refuses to replace either file when it exists.\n";

constexpr const char* kServeHelp =
    "usage: quillmoor-cdn serve --root CDN_DIR [--host 127.0.0.1] [--port 0] [--web DIR] [--port-file FILE]\n"
    "\n"
    "  GET /cdn/...                               the published objects (Range requests: 206)\n"
    "  GET /api/launcherversionnew?platform=CODE  the launcher's version answer\n"
    "  GET /web/pcversion                         the client's version answer\n"
    "  GET /web/...                               files of the page folder given with --web\n"
    "  GET /api/launcherversionnew.release?platform=CODE, /web/pcversion.release\n"
    "                                             the release documents of a signed publish,\n"
    "                                             and their signatures at the same + \".sig\"\n"
    "\n"
    "  --root CDN_DIR    a folder written by \"publish\"\n"
    "  --host HOST       address to listen on (default 127.0.0.1)\n"
    "  --port PORT       port to listen on; 0 picks a free one (default 0)\n"
    "  --web DIR         page folder served under /web/\n"
    "  --port-file FILE  write the port chosen to FILE once listening\n"
    "\n"
    "Logs one line per request on stdout. Ends on SIGINT or SIGTERM. Refuses a root or page\n"
    "folder that is no folder and says why a port cannot be listened on; warns when the\n"
    "root holds no publish yet (it may be started first and published into later).\n"
    "Serves 128 connections at once, the rest in turn; a connection that begins no request\n"
    "within 2 seconds is closed, so idle or slow clients delay the others by seconds only.\n";

constexpr const char* kNginxHelp =
    "usage: quillmoor-cdn nginx-conf --root CDN_DIR [--listen [ADDRESS:]PORT] [--server-name NAME]\n"
    "                                [--web DIR] [--tls-certificate FILE --tls-key FILE\n"
    "                                [--redirect-http [ADDRESS:]PORT]]\n"
    "\n"
    "Prints an nginx server block that serves a folder written by \"publish\" with the routes\n"
    "of \"serve\": the objects under /cdn/ (cached for good: their names change with their\n"
    "bytes), the version answers at /api/launcherversionnew?platform=CODE and /web/pcversion\n"
    "and the release documents and signatures beside them (\".release\", \".release.sig\"\n"
    "appended to those paths; never cached), and the page folder under /web/. Paths become\n"
    "absolute.\n"
    "\n"
    "  --root CDN_DIR           a folder written by \"publish\" with --base-url and --web-url\n"
    "  --listen [ADDRESS:]PORT  nginx's listen (default 80; 443 with --tls-certificate)\n"
    "  --server-name NAME       nginx's server_name: the host of --base-url (default _, any)\n"
    "  --web DIR                page folder served under /web/\n"
    "  --tls-certificate FILE   serve HTTPS with this certificate chain (PEM, the server's\n"
    "                           certificate first); \"ssl\" is added to the listen\n"
    "  --tls-key FILE           the certificate's private key (PEM)\n"
    "  --redirect-http [ADDRESS:]PORT\n"
    "                           also a plain-HTTP block there that redirects every request\n"
    "                           to HTTPS (without it, nothing listens for plain HTTP)\n"
    "\n"
    "Refuses a publish whose answers still hold \"{server}\": nginx hands answers out as\n"
    "they stand. docs/publishing.md in the sources shows how to install it.\n";

constexpr const char* kPruneHelp =
    "usage: quillmoor-cdn prune --out CDN_DIR --keep N [--dry-run]\n"
    "\n"
    "Each publish records its answers (and signed release documents) in CDN_DIR/history/.\n"
    "prune removes the objects, manifests and md5 lists that neither the current answers\n"
    "nor the last N releases lead to, and the history of the releases before them, and\n"
    "prints each file and the space freed. A launcher still on one of the last N releases\n"
    "can finish its update; one on an older release asks for the answers again and moves\n"
    "to the current one.\n"
    "\n"
    "  --out CDN_DIR  a folder written by \"publish\"\n"
    "  --keep N       the releases to keep, the current one included (at least 1)\n"
    "  --dry-run      print what would go, remove nothing\n"
    "\n"
    "Refuses a folder without history (published before history was kept: publish once\n"
    "more), and removes nothing when a kept release leads to a body the folder lacks.\n";

constexpr unsigned kMaxJobs = 256;

// Each option's values in the order given; only repeatable ones hold more than one.
using OptionValues = std::map<std::string, std::vector<std::string>>;

bool IsHelp(const std::string& arg) {
    return arg == "--help" || arg == "-h";
}

// Flags take no value; given, they read as "".
OptionValues ReadOptions(const std::vector<std::string>& args, const std::vector<std::string>& known,
                         const std::vector<std::string>& repeatable = {}, const std::vector<std::string>& flags = {}) {
    OptionValues values;
    for (std::size_t i = 1; i < args.size(); ++i) {
        std::string name = args[i];
        std::string value;
        const std::size_t equals = name.find('=');
        if (name.rfind("--", 0) != 0) {
            throw UsageError("unexpected argument \"" + name + "\"");
        }
        if (equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
        }
        if (std::find(known.begin(), known.end(), name) == known.end()) {
            throw UsageError("unknown option " + name);
        }
        const bool flag = std::find(flags.begin(), flags.end(), name) != flags.end();
        if (flag && equals != std::string::npos) {
            throw UsageError(name + " takes no value");
        }
        if (equals == std::string::npos && !flag) {
            if (i + 1 == args.size()) {
                throw UsageError(name + " needs a value");
            }
            value = args[++i];
        }
        std::vector<std::string>& given = values[name];
        if (!given.empty() && std::find(repeatable.begin(), repeatable.end(), name) == repeatable.end()) {
            throw UsageError(name + " given twice");
        }
        given.push_back(value);
    }
    return values;
}

std::string Required(const OptionValues& values, const std::string& name) {
    const auto value = values.find(name);
    if (value == values.end() || value->second.front().empty()) {
        throw UsageError(name + " is required");
    }
    return value->second.front();
}

std::optional<std::string> Optional(const OptionValues& values, const std::string& name) {
    const auto value = values.find(name);
    return value == values.end() ? std::nullopt : std::optional<std::string>(value->second.front());
}

std::vector<std::string> All(const OptionValues& values, const std::string& name) {
    const auto value = values.find(name);
    return value == values.end() ? std::vector<std::string>() : value->second;
}

unsigned ParseJobs(const std::string& text) {
    unsigned jobs = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), jobs);
    if (error != std::errc() || end != text.data() + text.size() || jobs < 1 || jobs > kMaxJobs) {
        throw UsageError("--jobs \"" + text + "\": a number from 1 to " + std::to_string(kMaxJobs));
    }
    return jobs;
}

unsigned ParseDays(const std::string& text) {
    unsigned days = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), days);
    if (error != std::errc() || end != text.data() + text.size() || days < 1 || days > kMaxReleaseDays) {
        throw UsageError("--expires \"" + text + "\": a number of days from 1 to " + std::to_string(kMaxReleaseDays));
    }
    return days;
}

SigningOptions ParseSigning(const OptionValues& values) {
    SigningOptions signing;
    for (const std::string& key : All(values, "--sign-key")) {
        if (key.empty()) {
            throw UsageError("--sign-key needs a file");
        }
        signing.keyFiles.emplace_back(key);
    }
    if (auto days = Optional(values, "--expires")) {
        if (signing.keyFiles.empty()) {
            throw UsageError("--expires needs --sign-key: only signed releases expire");
        }
        signing.expiresDays = ParseDays(*days);
    }
    return signing;
}

PublishOptions ParsePublish(const std::vector<std::string>& args) {
    const OptionValues values = ReadOptions(
        args,
        {"--launcher", "--client", "--platform", "--out", "--settings", "--launcher-version", "--client-version",
         "--base-url", "--web-url", "--mirror", "--previous", "--jobs", "--sign-key", "--expires"},
        {"--sign-key", "--mirror"});
    PublishOptions options;
    options.launcherDir = Required(values, "--launcher");
    options.clientDir = Required(values, "--client");
    options.platformCode = Required(values, "--platform");
    options.outDir = Required(values, "--out");
    if (auto settings = Optional(values, "--settings")) {
        options.settingsFile = *settings;
    }
    if (auto previous = Optional(values, "--previous")) {
        options.previousDir = *previous;
    }
    options.launcherVersion = Optional(values, "--launcher-version").value_or(options.launcherVersion);
    options.clientVersion = Optional(values, "--client-version").value_or(options.clientVersion);
    options.baseUrl = Optional(values, "--base-url").value_or(options.baseUrl);
    options.webUrl = Optional(values, "--web-url").value_or(options.webUrl);
    options.mirrors = All(values, "--mirror");
    if (auto jobs = Optional(values, "--jobs")) {
        options.jobs = ParseJobs(*jobs);
    }
    options.signing = ParseSigning(values);
    return options;
}

SignOptions ParseSign(const std::vector<std::string>& args) {
    const OptionValues values = ReadOptions(args, {"--out", "--sign-key", "--expires", "--platform"}, {"--sign-key"});
    SignOptions options;
    options.outDir = Required(values, "--out");
    Required(values, "--sign-key");
    options.signing = ParseSigning(values);
    options.platformCode = Optional(values, "--platform");
    return options;
}

KeygenOptions ParseKeygen(const std::vector<std::string>& args) {
    const OptionValues values = ReadOptions(args, {"--out"});
    return {Required(values, "--out")};
}

PruneOptions ParsePrune(const std::vector<std::string>& args) {
    const OptionValues values = ReadOptions(args, {"--out", "--keep", "--dry-run"}, {}, {"--dry-run"});
    PruneOptions options;
    options.outDir = Required(values, "--out");
    const std::string keep = Required(values, "--keep");
    const auto [end, error] = std::from_chars(keep.data(), keep.data() + keep.size(), options.keep);
    if (error != std::errc() || end != keep.data() + keep.size() || options.keep < 1) {
        throw UsageError("--keep \"" + keep + "\": a number of releases, at least 1");
    }
    options.dryRun = values.count("--dry-run") != 0;
    return options;
}

int ParsePort(const std::string& text) {
    int port = -1;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
    if (error != std::errc() || end != text.data() + text.size() || port < 0 || port > 65535) {
        throw UsageError("--port \"" + text + "\": a number from 0 to 65535");
    }
    return port;
}

ServeCommand ParseServe(const std::vector<std::string>& args) {
    const OptionValues values = ReadOptions(args, {"--root", "--host", "--port", "--web", "--port-file"});
    ServeCommand command;
    command.server.root = Required(values, "--root");
    command.server.host = Optional(values, "--host").value_or(command.server.host);
    if (auto port = Optional(values, "--port")) {
        command.server.port = ParsePort(*port);
    }
    if (auto web = Optional(values, "--web")) {
        command.server.webDir = *web;
    }
    if (auto portFile = Optional(values, "--port-file")) {
        command.portFile = *portFile;
    }
    return command;
}

NginxConfigOptions ParseNginxConf(const std::vector<std::string>& args) {
    const OptionValues values = ReadOptions(
        args, {"--root", "--listen", "--server-name", "--web", "--tls-certificate", "--tls-key", "--redirect-http"});
    NginxConfigOptions options;
    options.root = Required(values, "--root");
    if (auto certificate = Optional(values, "--tls-certificate")) {
        options.tlsCertificate = *certificate;
    }
    if (auto key = Optional(values, "--tls-key")) {
        options.tlsKey = *key;
    }
    options.redirectHttp = Optional(values, "--redirect-http");
    options.listen = Optional(values, "--listen").value_or(options.tlsCertificate ? "443" : options.listen);
    options.serverName = Optional(values, "--server-name").value_or(options.serverName);
    if (auto web = Optional(values, "--web")) {
        options.webDir = *web;
    }
    return options;
}

}  // namespace

ToolCommand ParseToolCommand(const std::vector<std::string>& args) {
    if (args.empty()) {
        throw UsageError("a command is needed; try --help");
    }
    if (IsHelp(args[0])) {
        return HelpRequest{kToolHelp};
    }
    const std::string& command = args[0];
    const std::map<std::string, const char*> helps = {{"publish", kPublishHelp},  {"sign", kSignHelp},
                                                      {"keygen", kKeygenHelp},    {"serve", kServeHelp},
                                                      {"nginx-conf", kNginxHelp}, {"prune", kPruneHelp}};
    const auto help = helps.find(command);
    if (help == helps.end()) {
        throw UsageError("unknown command \"" + command + "\"; try --help");
    }
    if (std::any_of(args.begin() + 1, args.end(), IsHelp)) {
        return HelpRequest{help->second};
    }
    if (command == "publish") {
        return ParsePublish(args);
    }
    if (command == "nginx-conf") {
        return ParseNginxConf(args);
    }
    if (command == "sign") {
        return ParseSign(args);
    }
    if (command == "keygen") {
        return ParseKeygen(args);
    }
    if (command == "prune") {
        return ParsePrune(args);
    }
    return ParseServe(args);
}
