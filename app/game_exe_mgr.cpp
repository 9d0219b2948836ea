#include "app/game_exe_mgr.h"

#include "app/single_instance.h"

CGameExeMgr* GetGameExeMgr()
{
    return TSingleInstance<CGameExeMgr>::Get();
}
