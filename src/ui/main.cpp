#include "ui/converter_dlg.h"
#include "ui/qt_platform.h"
#include "writer/output_file.h"

#include <QApplication>
#include <QFileInfo>
#include <QIcon>

// The desktop converter: the main dialog, run once; the application ends
// with it. A model given as the one argument ("Open with" of a file
// manager) starts as the chosen LOD 1 file.
int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/res/icon.svg")));
    OutputFile::RemoveTemporariesOnInterrupt();
    QtNotifier notifier;
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
