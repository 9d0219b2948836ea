// Obtained just before the launcher starts another process.
#pragma once

class CGameExeMgr {
public:
    virtual ~CGameExeMgr() = default;
};

CGameExeMgr* GetGameExeMgr();
