#include "shell/module.h"

namespace shell
{

HRESULT CreatePropertyHandler(REFIID, void** ppv)
{
    *ppv = nullptr;
    return CLASS_E_CLASSNOTAVAILABLE;
}

} // namespace shell
