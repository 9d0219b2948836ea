#include "app/controller.h"

#include "app/single_instance.h"

CController* GetController()
{
    return TSingleInstance<CController>::Get();
}
