#include "app/game_exe_mgr.h"

#include "state/single_instance.h"

CGameExeMgr* GetGameExeMgr() {
    return TSingleInstance<CGameExeMgr>::Get();
}
