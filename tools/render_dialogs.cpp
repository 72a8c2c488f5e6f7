// Renders the main dialog and the About box to PNG files, for the README
// and for a look at the layout without a display:
//
//   QT_QPA_PLATFORM=offscreen render_dialogs OUTPUT_DIR [MODEL.3ds]
//
// With a model, the main dialog shows it chosen, in the preview.

#include "ui/about_dlg.h"
#include "ui/converter_dlg.h"
#include "ui/preview_area.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPixmap>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    if (argc != 2 && argc != 3)
    {
        std::fprintf(stderr, "usage: render_dialogs OUTPUT_DIR [MODEL.3ds]\n");
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));

    CConverterDlg main;
    main.show();
    if (argc == 3)
    {
        main.OpenStartupModel(QString::fromLocal8Bit(argv[2]));
        main.findChild<CPreviewArea*>()->m_state.WaitUntilIdle();
    }
    CAboutDlg about;
    about.show();
    QApplication::processEvents();
    const bool bSaved = main.grab().save(dir.filePath(QStringLiteral("main_dialog.png"))) &&
                        about.grab().save(dir.filePath(QStringLiteral("about_box.png")));
    return bSaved ? 0 : 1;
}
