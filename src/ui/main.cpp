#include "ui/converter_app.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/res/icon.svg")));
    theApp.InitInstance();
    return 0;
}
