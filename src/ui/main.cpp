#include "ui/converter_dlg.h"
#include "ui/qt_platform.h"
#include "writer/output_file.h"

#include "vnp_config.h"

#include <QApplication>
#include <QFileInfo>
#include <QIcon>

#include <cstdio>
#include <cstring>

namespace
{

// --help and --version, answered before Qt looks for a display, so that
// they work in a terminal without one. False for any other arguments.
bool AnswerWithoutDisplay(int argc, char** argv)
{
    if (argc != 2)
        return false;
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)
    {
        std::printf("Usage: 3ds2vnp-gui [MODEL.3ds]\n"
                    "Converts a 3D Studio .3ds model into a Vantrel project file (.vnp) in a dialog.\n"
                    "MODEL.3ds, when given, starts as the chosen model (level of detail 1).\n"
                    "  -h, --help     show this help and exit\n"
                    "  -V, --version  show the version and exit\n"
                    "For scripts and batch work, use 3ds2vnp (see 3ds2vnp --help).\n");
        return true;
    }
    if (std::strcmp(argv[1], "--version") == 0 || std::strcmp(argv[1], "-V") == 0)
    {
        std::printf("3ds2vnp-gui %s\n", VNP_VERSION);
        return true;
    }
    return false;
}

} // namespace

// The desktop converter: the main dialog, run once; the application ends
// with it. A model given as the one argument ("Open with" of a file
// manager) starts as the chosen LOD 1 file.
int main(int argc, char** argv)
{
    if (AnswerWithoutDisplay(argc, argv))
        return std::fflush(stdout) == 0 ? 0 : 1;
    QApplication application(argc, argv);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/res/icon.svg")));
    COutputFile::RemoveTemporariesOnInterrupt();
    CQtNotifier notifier;
    platform::InstallNotifier(&notifier);
    {
        CConverterDlg dialog;
        notifier.SetOwner(&dialog);
        dialog.show();
        const QStringList arguments = QApplication::arguments();
        if (arguments.size() == 2)
            dialog.OpenStartupModel(QFileInfo(arguments[1]).absoluteFilePath());
        dialog.exec();
    }
    platform::InstallNotifier(nullptr);
    return 0;
}
