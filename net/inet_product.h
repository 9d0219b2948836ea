// The download product: the one object through which the launcher fetches
// anything. Results are plain values; no exception leaves an operation.
#pragma once

#include "platform/win_types.h"

class CInetProduct {
public:
    virtual ~CInetProduct() = default;

    // GETs szUrl + szSuffix; 1 when the server answered 200 or 206, else 0.
    virtual int Open(const wchar_t* szUrl, const wchar_t* szSuffix, int nRelativeStart, DWORD nReserved) = 0;
    // One read of the whole (small) body into pbyBuff; false when the body is
    // announced larger than cbCapacity, there is no answer or no connection,
    // or the read fails.
    virtual bool ReadAll(BYTE* pbyBuff, DWORD cbCapacity, DWORD* pcbRead) = 0;
    virtual const wchar_t* SetSavePath(const wchar_t* szPath) = 0;
    // Normalises the path ('/' to '\'), makes it the destination and saves.
    virtual int SaveTo(const wchar_t* szPath) = 0;
    // Streams the body into the destination file; always 1.
    virtual int Save() = 0;
    virtual DWORD GetTotalSize() = 0;
    virtual DWORD GetReceivedSize() = 0;
    virtual float GetPercent() = 0;
    virtual bool ToggleStop() = 0;
    virtual bool IsStopped() = 0;
};
