#include "state/controller.h"

#include "state/single_instance.h"

CController* GetController() {
    return TSingleInstance<CController>::Get();
}
