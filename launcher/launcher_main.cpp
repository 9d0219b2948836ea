#include "codec/md5_functions.h"
#include "launcher/launcher_app.h"

namespace {
// The digest functions are resolved before the application object runs.
const bool g_md5FunctionsLoaded = LoadMd5Functions();
CLauncherApp theApp;
}  // namespace

int main() {
    return AfxWinMain();
}
