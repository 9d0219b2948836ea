#include "state/mem_manger.h"

#include "state/single_instance.h"

void CMemManger::Allocate(std::uint32_t size) {
    if (transferBuffer)
        return;
    transferBuffer = std::make_unique<std::uint8_t[]>(size);
    transferBufferSize = size;
}

CMemManger* GetMemManger() {
    return TSingleInstance<CMemManger>::Get();
}
