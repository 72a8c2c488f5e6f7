#include "platform/text_path.h"
#include "win32/converter_dlg.h"
#include "win32/win32_platform.h"
#include "writer/output_file.h"

#include <commctrl.h>
#include <shellapi.h>

#include <filesystem>
#include <system_error>

// The desktop converter: the main dialog, run once; the application ends
// with it. A model given as the one argument ("Open with" of Explorer, or
// a file dropped on the program) starts as the chosen LOD 1 file.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);

    COutputFile::RemoveTemporariesOnInterrupt();
    CWin32Notifier notifier;
    platform::InstallNotifier(&notifier);
    {
        CConverterDlg dialog(notifier);
        int argc = 0;
        if (wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc))
        {
            if (argc == 2)
            {
                std::error_code error;
                const std::filesystem::path full = std::filesystem::absolute(argv[1], error);
                dialog.SetInitialLod1(platform::Utf8FromPath(error ? std::filesystem::path(argv[1]) : full));
            }
            ::LocalFree(argv);
        }
        dialog.DoModal();
    }
    platform::InstallNotifier(nullptr);
    return 0;
}
