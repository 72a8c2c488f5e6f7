#pragma once

#include "pipeline/conversion_job.h"
#include "ui/template_dialog.h"

#include <QIcon>
#include <QString>

#include <memory>

class IDialogServices;
class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The main window: the user picks the LOD 1 file, optionally a LOD 2 file,
// the output directory and the scale option, and converts.
class CConverterDlg : public CTemplateDialog
{
    Q_OBJECT

public:
    // services: the file chooser and folder browser; null for the desktop's.
    explicit CConverterDlg(IDialogServices* services = nullptr, QWidget* parent = nullptr);
    ~CConverterDlg() override;

    // The tooltip of a control; empty for controls that show none.
    static QString ToolTipText(int id);

    // The request that Convert would hand to the job now.
    ConversionRequest BuildRequest() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
#ifdef Q_OS_WIN
    bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;
#endif

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
    void OnInitDialog();
    void EnableConvert(bool bEnable);
    void BrowseForFolder(QString& result, const QString& title);
    void SetLod1(const QString& path);
    void ClearLod1();

    QIcon m_hIcon;
    QString m_strLod1Path;
    QString m_strLod1Title;
    QString m_strLod2Path;
    QString m_strOutputDir;
    bool m_bLod1Selected = false;
    bool m_bLod2Selected = false;
    bool m_bKeepOutputDir = false;
    std::int32_t m_nScaleFactor = 0;
    ScaleMode m_scaleMode = ScaleNone;
    ConversionJob m_job;

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
};

// A text read the way a Windows dialog reads an unsigned number from an
// edit box: leading blanks skipped, then decimal digits; 0 when there are
// none or the number does not fit 32 bits. The bits are taken as signed.
std::int32_t ReadUnsignedField(const QString& text);
