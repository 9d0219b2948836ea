// The one transfer buffer that streaming download products borrow.
#pragma once

#include <cstdint>
#include <memory>

class CMemManger {
public:
    static constexpr std::uint32_t kTransferBufferSize = 1030 * 1024;

    virtual ~CMemManger() = default;

    // Allocates the buffer once; later calls keep the existing one.
    void Allocate(std::uint32_t size);

    std::unique_ptr<std::uint8_t[]> transferBuffer;
    std::uint32_t transferBufferSize = 0;
};

CMemManger* GetMemManger();
