// Which main window is current, which download product is in use, and
// whether the main window is closing. Read and written from several threads
// without a lock, so each field is a single atomic store or load.
#pragma once

#include <atomic>
#include <cstdint>

class ILauncherWindow;
class CHttpProduct;

class CController {
public:
    virtual ~CController() = default;

    // Set once by the main window's close; never cleared.
    std::atomic<std::uint8_t> closing{0};
    std::atomic<ILauncherWindow*> mainDialog{nullptr};
    // Published while a thread uses a product; not owned.
    std::atomic<CHttpProduct*> product{nullptr};
};

CController* GetController();
