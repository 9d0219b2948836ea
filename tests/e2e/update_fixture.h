// A published CDN served by the loopback server, with the launcher's
// process-wide state pointed at it and put back afterwards.
#pragma once

#include "tests/support/loopback_server.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_files.h"

#include "platform/kernel32.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

struct PublishOptions;

namespace testsupport {

// How the fixtures publish: platform "pv", launcher L1 and client C1.
PublishOptions FixturePublishOptions(const std::filesystem::path& launcherDir, const std::filesystem::path& clientDir,
                                     const std::filesystem::path& outDir, const std::string& baseUrl);

// A version answer published for publishedBase, pointed at base instead.
std::string RebasedAnswer(std::string answer, const std::string& publishedBase, const std::string& base);

class UpdateFixture {
public:
    UpdateFixture();
    ~UpdateFixture();
    UpdateFixture(const UpdateFixture&) = delete;
    UpdateFixture& operator=(const UpdateFixture&) = delete;

    // Publishes launcher/ and client/ below the work folder into cdn/ and
    // serves it: objects under /cdn/, the version service, /web/pcversion.
    // A non-empty previous names an earlier publish to diff against.
    void Publish(const std::string& launcherVersion = "L1", const std::string& clientVersion = "C1",
                 const std::filesystem::path& previous = {});
    // Serves a tree published earlier for the base URL publishedBase, its
    // answers pointed at this server instead.
    void Serve(const std::filesystem::path& cdn, const std::string& publishedBase);

    // Runs one download worker on its own thread; its exit code.
    DWORD RunWorker();
    // Runs the client chain's download driver on its own thread until it
    // ends, as after a client check that found files to fetch.
    void RunClientDownload();

    // Mounts a tmpfs of this size (as mount writes it: "8m") on the data
    // folder, which must still be empty, until the fixture ends. False when
    // the mount fails: only root may mount one.
    bool MountSmallDataFolder(const std::string& size);

    std::string PageUrl() const { return server.BaseUrl() + "/web/index.html"; }
    std::filesystem::path DataPath(const std::string& relative) const { return work.Path() / "data" / relative; }

    TempDir work;
    std::filesystem::path launcherDir;
    std::filesystem::path clientDir;
    std::filesystem::path installedDir;
    std::filesystem::path cdnDir;
    LoopbackServer server;
    // Every Sleep the code under test asked for; none is slept.
    std::vector<DWORD> sleeps;

private:
    struct Saved;
    std::unique_ptr<Saved> m_saved;
    std::filesystem::path m_mounted;
};

}  // namespace testsupport
