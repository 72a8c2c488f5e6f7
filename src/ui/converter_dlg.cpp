#include "ui/converter_dlg.h"

#include "dialog/control_ids.h"
#include "ui/about_dlg.h"
#include "ui/dialog_services.h"
#include "ui/preview_area.h"

#include "pipeline/conversion_job.h"

#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFutureWatcher>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QUrl>
#include <QtConcurrent/QtConcurrentRun>

namespace
{

// The preview area to the right of the designed controls, in dialog units.
constexpr int kPreviewWidth = 158;

// The dropped model, when the drop is one local .3ds file.
std::optional<std::string> DroppedModel(const QMimeData* mime)
{
    std::vector<std::string> paths;
    for (const QUrl& url : mime->urls())
        paths.push_back(url.isLocalFile() ? PathBytes(url.toLocalFile()) : std::string());
    return CConverterLogic::DroppedModel(paths);
}

std::optional<std::string> PathBytes(const std::optional<QString>& path)
{
    return path ? std::optional<std::string>(PathBytes(*path)) : std::nullopt;
}

QLineEdit* PathBox()
{
    auto* pBox = new QLineEdit;
    pBox->setReadOnly(true);
    pBox->setFocusPolicy(Qt::ClickFocus);
    return pBox;
}

QRadioButton* LeftTextRadio(const QString& caption)
{
    auto* pRadio = new QRadioButton(caption);
    pRadio->setLayoutDirection(Qt::RightToLeft);
    return pRadio;
}

} // namespace

std::string PathBytes(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

QString PathText(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

CConverterDlg::CConverterDlg(IDialogServices* services, QWidget* parent)
    : CTemplateDialog(259 + kPreviewWidth, 207, parent), m_hIcon(QStringLiteral(":/res/icon32.png")),
      m_pOwnServices(services ? nullptr : std::make_unique<DesktopDialogServices>()),
      m_pServices(services ? services : m_pOwnServices.get())
{
    m_hIcon.addFile(QStringLiteral(":/res/icon16.png"));
    setWindowTitle(QStringLiteral("3ds to Vantrel v1.1"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setWindowIcon(m_hIcon);
    setAcceptDrops(true);
    CreateControls();
    ShowState();
    m_pOpenLod1Button->setFocus();
}

CConverterDlg::~CConverterDlg() = default;

void CConverterDlg::CreateControls()
{
    // Template order, which is also the tab order. The group boxes are
    // frames behind the controls, not their parents.
    m_pOpenLod1Button = AddControl(kIdOpenLod1, new QPushButton(tr("&Open file...")), {18, 17, 57, 13});
    m_pConvertButton = AddControl(kIdConvert, new QPushButton(tr("&Convert file")), {18, 153, 57, 13});
    m_pScaleFactorEdit = AddControl(kIdScaleFactor, new QLineEdit, {218, 153, 21, 12});
    m_pScaleFactorEdit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), m_pScaleFactorEdit));
    m_pExitButton = AddControl(kIdOk, new QPushButton(tr("E&xit")), {7, 186, 50, 14});
    m_pAboutButton = AddControl(kIdAbout, new QPushButton(tr("&About...")), {202, 186, 50, 14});
    m_pLod1PathEdit = AddControl(kIdLod1Path, PathBox(), {19, 33, 221, 12});
    AddControl(0, new QGroupBox(tr("File selection")), {7, 3, 245, 127})->lower();
    AddControl(0, new QGroupBox(tr("Conversion")), {7, 137, 245, 42})->lower();
    AddControl(0, new QLabel(tr("Scale factor:")), {176, 155, 40, 10});
    m_pSetOutputDirButton =
        AddControl(kIdSetOutputDir, new QPushButton(tr("Set output dir...")), {17, 93, 57, 13});
    m_pOutputDirEdit = AddControl(kIdOutputDir, PathBox(), {19, 109, 221, 12});
    m_pKeepSameDirCheck =
        AddControl(kIdKeepSameDir, new QCheckBox(tr("Keep same output dir")), {93, 95, 91, 10});
    m_pOpenLod2Button = AddControl(kIdOpenLod2, new QPushButton(tr("Ope&n file...")), {17, 51, 57, 13});
    m_pLod2PathEdit = AddControl(kIdLod2Path, PathBox(), {19, 67, 221, 12});
    AddControl(0, new QLabel(tr("Level of detail 1")), {93, 20, 51, 8});
    AddControl(0, new QLabel(tr("Level of detail 2 (optional)")), {93, 54, 82, 8});
    auto* pSeparator = AddControl(0, new QFrame, {7, 82, 245, 5});
    pSeparator->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    m_pScaleUpRadio = AddControl(kIdScaleUp, LeftTextRadio(tr("Scale up")), {117, 163, 52, 11});
    m_pScaleDownRadio = AddControl(kIdScaleDown, LeftTextRadio(tr("Scale down")), {117, 156, 52, 6});
    m_pNoScalingRadio = AddControl(kIdNoScaling, LeftTextRadio(tr("No scaling")), {117, 146, 52, 8});
    m_pSmoothingGroupsCheck = AddControl(
        kIdSmoothingGroups, new QCheckBox(tr("Keep hard edges (smoothing groups)")), {64, 182, 132, 10});
    m_pCopyTexturesCheck = AddControl(
        kIdCopyTextures, new QCheckBox(tr("Copy textures to the output folder")), {64, 193, 132, 10});

    // Each scale option is a tab stop of its own, as in the template: Qt
    // gives an exclusive group one stop only, so the dialog keeps the three
    // exclusive itself (ShowState checks the one of the logic's mode).
    for (QRadioButton* pRadio : {m_pScaleUpRadio, m_pScaleDownRadio, m_pNoScalingRadio})
        pRadio->setAutoExclusive(false);

    // The dialog handles Enter itself (see keyPressEvent): no push button
    // becomes the default by taking the focus.
    for (QPushButton* pButton : findChildren<QPushButton*>())
        pButton->setAutoDefault(false);

    QWidget* tabOrder[] = {m_pOpenLod1Button,   m_pConvertButton,  m_pScaleFactorEdit,
                           m_pExitButton,       m_pAboutButton,    m_pSetOutputDirButton,
                           m_pKeepSameDirCheck, m_pOpenLod2Button, m_pScaleUpRadio,
                           m_pScaleDownRadio,   m_pNoScalingRadio, m_pSmoothingGroupsCheck,
                           m_pCopyTexturesCheck};
    for (std::size_t i = 1; i < std::size(tabOrder); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);

    const std::pair<QWidget*, int> tips[] = {{m_pOpenLod1Button, kIdOpenLod1},
                                             {m_pOpenLod2Button, kIdOpenLod2},
                                             {m_pSetOutputDirButton, kIdSetOutputDir},
                                             {m_pKeepSameDirCheck, kIdKeepSameDir},
                                             {m_pConvertButton, kIdConvert},
                                             {m_pNoScalingRadio, kIdNoScaling},
                                             {m_pScaleUpRadio, kIdScaleUp},
                                             {m_pScaleDownRadio, kIdScaleDown},
                                             {m_pScaleFactorEdit, kIdScaleFactor},
                                             {m_pAboutButton, kIdAbout},
                                             {m_pExitButton, kIdOk},
                                             {m_pSmoothingGroupsCheck, kIdSmoothingGroups},
                                             {m_pCopyTexturesCheck, kIdCopyTextures}};
    for (const auto& [pControl, id] : tips)
        pControl->setToolTip(QString::fromUtf8(CConverterLogic::ToolTipText(id)));

    connect(m_pOpenLod1Button, &QPushButton::clicked, this, &CConverterDlg::OnOpenLod1);
    connect(m_pOpenLod2Button, &QPushButton::clicked, this, &CConverterDlg::OnOpenLod2);
    connect(m_pConvertButton, &QPushButton::clicked, this, &CConverterDlg::OnConvert);
    connect(m_pAboutButton, &QPushButton::clicked, this, &CConverterDlg::OnAbout);
    connect(m_pScaleFactorEdit, &QLineEdit::textChanged, this, &CConverterDlg::OnScaleFactorChange);
    connect(m_pSetOutputDirButton, &QPushButton::clicked, this, &CConverterDlg::OnSetOutputDir);
    connect(m_pKeepSameDirCheck, &QCheckBox::clicked, this, &CConverterDlg::OnKeepSameDir);
    connect(m_pNoScalingRadio, &QRadioButton::clicked, this, &CConverterDlg::OnNoScaling);
    connect(m_pScaleDownRadio, &QRadioButton::clicked, this, &CConverterDlg::OnScaleDown);
    connect(m_pScaleUpRadio, &QRadioButton::clicked, this, &CConverterDlg::OnScaleUp);
    connect(m_pExitButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_pSmoothingGroupsCheck, &QCheckBox::clicked, this,
            [this] { m_logic.OnSmoothingGroups(m_pSmoothingGroupsCheck->isChecked()); });
    connect(m_pCopyTexturesCheck, &QCheckBox::clicked, this,
            [this] { m_logic.OnCopyTextures(m_pCopyTexturesCheck->isChecked()); });

    // After the designed controls, outside their tab order.
    m_pPreviewArea = AddControl(0, new CPreviewArea, {259, 7, kPreviewWidth - 7, 138});
    m_pPreviewCaption = AddControl(0, new QLabel, {259, 148, kPreviewWidth - 7, 52});
    m_pPreviewCaption->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_pPreviewCaption->setWordWrap(true);
    m_pPreviewArea->setObjectName(QStringLiteral("preview"));
    m_pPreviewCaption->setObjectName(QStringLiteral("previewCaption"));
}

void CConverterDlg::UpdatePreview()
{
    const ConversionRequest request = m_logic.BuildRequest();
    const std::string key = request.lod1Path ? *request.lod1Path + '\0' + request.lod2Path.value_or("") : "";
    if (key != m_strPreviewKey)
    {
        m_strPreviewKey = key;
        delete m_pPreviewLoad; // its result, when it comes, is not wanted any more
        m_pPreviewLoad = nullptr;
        m_pPreviewArea->m_preview.SetModels(nullptr);
        if (request.lod1Path)
        {
            using Result = std::shared_ptr<const PreviewModels>;
            auto* pWatcher = new QFutureWatcher<Result>(this);
            m_pPreviewLoad = pWatcher;
            connect(pWatcher, &QFutureWatcher<Result>::finished, this, [this, pWatcher] {
                m_pPreviewArea->m_preview.SetModels(pWatcher->result());
                m_pPreviewLoad = nullptr;
                pWatcher->deleteLater();
                UpdatePreview();
            });
            pWatcher->setFuture(QtConcurrent::run([lod1 = *request.lod1Path, lod2 = request.lod2Path] {
                return Result(LoadPreviewModels(lod1, lod2));
            }));
        }
    }
    const float multiplier = ConversionJob::Multiplier(request.scaleMode, request.scaleFactor).value_or(1.0f);
    m_pPreviewCaption->setText(m_pPreviewLoad
                                   ? tr("Reading the model...")
                                   : QString::fromStdString(m_pPreviewArea->m_preview.Caption(multiplier)));
    m_pPreviewArea->update();
}

void CConverterDlg::ShowState()
{
    m_pLod1PathEdit->setText(PathText(m_logic.Lod1Path()));
    m_pLod2PathEdit->setText(PathText(m_logic.Lod2Path()));
    m_pOutputDirEdit->setText(PathText(m_logic.OutputDir()));
    m_pConvertButton->setEnabled(m_logic.IsConvertEnabled());
    m_pOpenLod2Button->setEnabled(m_logic.IsLod2ChooserEnabled());
    m_pScaleFactorEdit->setEnabled(m_logic.IsScaleFactorEnabled());
    m_pScaleUpRadio->setChecked(m_logic.GetScaleMode() == ScaleMode::ScaleUp);
    m_pScaleDownRadio->setChecked(m_logic.GetScaleMode() == ScaleMode::ScaleDown);
    m_pNoScalingRadio->setChecked(m_logic.GetScaleMode() == ScaleMode::ScaleNone);
    UpdatePreview();
}

void CConverterDlg::ChooseLod1(const QString& path)
{
    m_logic.OnLod1Chosen(PathBytes(path));
    ShowState();
}

void CConverterDlg::OnOpenLod1()
{
    m_logic.OnLod1Chosen(PathBytes(m_pServices->ChooseModelFile(this)));
    ShowState();
}

void CConverterDlg::OnOpenLod2()
{
    m_logic.OnLod2Chosen(PathBytes(m_pServices->ChooseModelFile(this)));
    ShowState();
}

void CConverterDlg::OnSetOutputDir()
{
    m_logic.OnFolderChosen(PathBytes(
        m_pServices->ChooseFolder(this, tr("Please select a destination folder for the converted file"),
                                  PathText(m_logic.OutputDir()))));
    ShowState();
}

void CConverterDlg::OnKeepSameDir()
{
    m_logic.OnKeepSameDir(m_pKeepSameDirCheck->isChecked());
}

void CConverterDlg::OnNoScaling()
{
    m_logic.OnScaleMode(ScaleMode::ScaleNone);
    ShowState();
}

void CConverterDlg::OnScaleDown()
{
    m_logic.OnScaleMode(ScaleMode::ScaleDown);
    ShowState();
}

void CConverterDlg::OnScaleUp()
{
    m_logic.OnScaleMode(ScaleMode::ScaleUp);
    ShowState();
}

void CConverterDlg::OnScaleFactorChange()
{
    m_logic.OnScaleFactorChange(m_pScaleFactorEdit->text().toStdString());
    UpdatePreview();
}

void CConverterDlg::OnConvert()
{
    m_logic.Convert();
}

void CConverterDlg::OnAbout()
{
    CAboutDlg about(this);
    about.exec();
}

void CConverterDlg::keyPressEvent(QKeyEvent* event)
{
    // Enter presses the push button that has the focus; with the focus
    // anywhere else it gives the OK command, which "E&xit" carries, and so
    // ends the dialog.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier)
    {
        if (auto* pButton = qobject_cast<QPushButton*>(focusWidget()))
        {
            if (pButton->isEnabled())
                pButton->click();
        }
        else
        {
            accept();
        }
        return;
    }
    CTemplateDialog::keyPressEvent(event);
}

void CConverterDlg::dragEnterEvent(QDragEnterEvent* event)
{
    if (DroppedModel(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void CConverterDlg::dropEvent(QDropEvent* event)
{
    const std::optional<std::string> path = DroppedModel(event->mimeData());
    if (!path)
    {
        event->ignore();
        return;
    }
    m_logic.OnLod1Chosen(path);
    ShowState();
    event->acceptProposedAction();
}
