#include "ui/dialog_services.h"

#include "dialog/converter_logic.h"

#include <QFileDialog>
#include <QMessageBox>

const char* const CDesktopDialogServices::kFilter3ds = "3d Studio Files (*.3ds *.3dS *.3Ds *.3DS)";
const char* const CDesktopDialogServices::kFilterAll = "All Files (*)";

std::optional<QString> CDesktopDialogServices::ChooseModelFile(QWidget* owner)
{
    QString selected = QString::fromLatin1(kFilter3ds);
    const QString path = QFileDialog::getOpenFileName(
        owner, QString(), QString(), QString::fromLatin1(kFilter3ds) + ";;" + QString::fromLatin1(kFilterAll),
        &selected);
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

std::optional<QString> CDesktopDialogServices::ChooseFolder(QWidget* owner, const QString& title,
                                                            const QString& start)
{
    const QString folder = QFileDialog::getExistingDirectory(owner, title, start);
    if (folder.isEmpty())
        return std::nullopt;
    return folder;
}

bool CDesktopDialogServices::AskToStop(QWidget* owner)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Warning"),
                    QString::fromUtf8(CConverterLogic::kStopQuestion), QMessageBox::Yes | QMessageBox::No,
                    owner);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}
