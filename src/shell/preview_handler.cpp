#include "shell/module.h"

namespace shell
{

HRESULT CreatePreviewHandler(REFIID, void** ppv)
{
    *ppv = nullptr;
    return CLASS_E_CLASSNOTAVAILABLE;
}

} // namespace shell
