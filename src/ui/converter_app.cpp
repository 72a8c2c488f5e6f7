#include "ui/converter_app.h"

#include "ui/converter_dlg.h"
#include "ui/qt_platform.h"

CConverterApp theApp;

bool CConverterApp::InitInstance()
{
    QtPlatformBackend backend;
    platform::InstallBackend(&backend);
    {
        CConverterDlg dialog;
        dialog.exec();
    }
    platform::InstallBackend(nullptr);
    return false;
}
