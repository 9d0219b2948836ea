#include "launcher/launcher_app.h"
#include "codec/md5_functions.h"

namespace {
// The digest functions are resolved before the application object runs.
const bool g_md5FunctionsLoaded = LoadMd5Functions();
CLauncherApp theApp;
}  // namespace

int main()
{
    return AfxWinMain();
}
