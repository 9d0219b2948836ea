// How a kit control tells the dialog that draws it that its look changed.
#pragma once

class CTranslucentWnd;

class IRenderListener {
public:
    virtual ~IRenderListener() = default;
    // The sender must be drawn again; the dialog re-composes the whole window.
    virtual void OnRenderRequest(CTranslucentWnd* pSender) = 0;
};
