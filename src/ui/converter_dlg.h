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
class QTimer;

// The main window on Qt: the controls of the dialog template, wired to the
// dialog logic, which holds the choices and the rules. A conversion runs
// on a worker thread; its messages come to this window's thread.
class CConverterDlg : public CTemplateDialog, private IWindowThread
{
    Q_OBJECT

public:
    // services: the file chooser and folder browser; null for the desktop's.
    explicit CConverterDlg(IDialogServices* services = nullptr, QWidget* parent = nullptr);
    ~CConverterDlg() override;

    // A model given on the command line: chosen as LOD 1 when a drop would
    // take it, else the user is told why. Call it with the dialog shown,
    // which owns the message.
    void OpenStartupModel(const QString& path);
    // Ends the dialog; during a run only after the user agreed to stop it,
    // and once it has stopped.
    void done(int result) override;

    const CConverterLogic& Logic() const { return m_logic; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
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
    // The caption and Convert, which show how far a run is.
    void ShowProgress();
    void Call(const std::function<void()>& call) override;
    void OnRunEnded() override;
    // Hands the chosen models to the preview, which reads them off the
    // window's thread when they changed, and shows the lines under it.
    void UpdatePreview();

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
    QTimer* m_pProgressTimer = nullptr; // shows how far a run is
    std::optional<int> m_nDoneAfterRun; // the result to end with once the run has stopped
    QCheckBox* m_pSmoothingGroupsCheck = nullptr;
    QCheckBox* m_pCopyTexturesCheck = nullptr;
    CPreviewArea* m_pPreviewArea = nullptr;
    QLabel* m_pPreviewCaption = nullptr;
};

// Paths between Qt and the logic: the file system's own bytes.
std::string PathBytes(const QString& path);
QString PathText(const std::string& path);
