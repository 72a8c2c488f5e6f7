#pragma once

#include "dialog/converter_logic.h"
#include "ui/template_dialog.h"

#include <QIcon>

#include <memory>

class CPreviewArea;
class IDialogServices;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The main window on Qt: the controls of the dialog template, wired to the
// dialog logic, which holds the choices and the rules.
class CConverterDlg : public CTemplateDialog
{
    Q_OBJECT

public:
    // services: the file chooser and folder browser; null for the desktop's.
    explicit CConverterDlg(IDialogServices* services = nullptr, QWidget* parent = nullptr);
    ~CConverterDlg() override;

    // Chooses a file as LOD 1, as the file chooser does (a model given on
    // the command line or dropped on the window).
    void ChooseLod1(const QString& path);

    const CConverterLogic& Logic() const { return m_logic; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private slots:
    void OnOpenLod1();
    void OnOpenLod2();
    void OnConvert();
    void OnAbout();
    void OnScaleFactorChange();
    void OnSetOutputDir();
    void OnKeepSameDir();
    void OnNoScaling();
    void OnScaleDown();
    void OnScaleUp();

private:
    void CreateControls();
    void ShowState();
    // Loads the chosen models for the preview off the window's thread when
    // the choice changed, and shows the lines under the picture.
    void UpdatePreview();

    // The models shown or being loaded, as "LOD 1 path" NUL "LOD 2 path".
    std::string m_strPreviewKey;
    QObject* m_pPreviewLoad = nullptr; // the load whose result is awaited

    QIcon m_hIcon;
    CConverterLogic m_logic;

    std::unique_ptr<IDialogServices> m_pOwnServices;
    IDialogServices* m_pServices;

    QPushButton* m_pOpenLod1Button = nullptr;
    QPushButton* m_pConvertButton = nullptr;
    QLineEdit* m_pScaleFactorEdit = nullptr;
    QPushButton* m_pExitButton = nullptr;
    QPushButton* m_pAboutButton = nullptr;
    QLineEdit* m_pLod1PathEdit = nullptr;
    QPushButton* m_pSetOutputDirButton = nullptr;
    QLineEdit* m_pOutputDirEdit = nullptr;
    QCheckBox* m_pKeepSameDirCheck = nullptr;
    QPushButton* m_pOpenLod2Button = nullptr;
    QLineEdit* m_pLod2PathEdit = nullptr;
    QRadioButton* m_pScaleUpRadio = nullptr;
    QRadioButton* m_pScaleDownRadio = nullptr;
    QRadioButton* m_pNoScalingRadio = nullptr;
    QCheckBox* m_pSmoothingGroupsCheck = nullptr;
    QCheckBox* m_pCopyTexturesCheck = nullptr;
    CPreviewArea* m_pPreviewArea = nullptr;
    QLabel* m_pPreviewCaption = nullptr;
};

// Paths between Qt and the logic: the file system's own bytes.
std::string PathBytes(const QString& path);
QString PathText(const std::string& path);
