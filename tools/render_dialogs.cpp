// Renders the main dialog and the About box to PNG files, for the README
// and for a look at the layout without a display:
//
//   QT_QPA_PLATFORM=offscreen render_dialogs OUTPUT_DIR

#include "ui/about_dlg.h"
#include "ui/converter_dlg.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPixmap>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: render_dialogs OUTPUT_DIR\n");
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));

    CConverterDlg main;
    main.show();
    CAboutDlg about;
    about.show();
    QApplication::processEvents();
    const bool bSaved = main.grab().save(dir.filePath(QStringLiteral("main_dialog.png"))) &&
                        about.grab().save(dir.filePath(QStringLiteral("about_box.png")));
    return bSaved ? 0 : 1;
}
