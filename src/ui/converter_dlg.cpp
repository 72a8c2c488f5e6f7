#include "ui/converter_dlg.h"

#include "dialog/control_ids.h"
#include "ui/about_dlg.h"
#include "ui/dialog_services.h"
#include "ui/preview_area.h"

#include "dialog/preview_state.h"

#include "pipeline/conversion_job.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QTimer>
#include <QUrl>

#include <algorithm>

namespace
{

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
    : CTemplateDialog(259 + kPreviewGrowth, 250, parent), m_hIcon(QStringLiteral(":/res/icon32.png")),
      m_pOwnServices(services ? nullptr : std::make_unique<CDesktopDialogServices>()),
      m_pServices(services ? services : m_pOwnServices.get())
{
    m_hIcon.addFile(QStringLiteral(":/res/icon16.png"));
    setWindowTitle(QString::fromUtf8(m_logic.Title()));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setWindowIcon(m_hIcon);
    setAcceptDrops(true);
    m_pProgressTimer = new QTimer(this);
    m_pProgressTimer->setInterval(100);
    connect(m_pProgressTimer, &QTimer::timeout, this, &CConverterDlg::ShowProgress);
    CreateControls();
    ShowState();
    m_pOpenLod1Button->setFocus();
}

CConverterDlg::~CConverterDlg()
{
    // A run calls this window until it has ended: it is stopped, and the
    // window answers it until then.
    m_logic.Cancel();
    while (m_logic.IsRunning())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void CConverterDlg::CreateControls()
{
    // Template order, which is also the tab order. The group boxes are
    // frames behind the controls, not their parents.
    m_pOpenLod1Button = AddControl(kIdOpenLod1, new QPushButton(tr("&Open file...")), {18, 17, 57, 13});
    m_pConvertButton = AddControl(kIdConvert, new QPushButton(tr("&Convert file")), {18, 153, 57, 13});
    m_pScaleFactorEdit = AddControl(kIdScaleFactor, new QLineEdit, {218, 153, 21, 12});
    m_pScaleFactorEdit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), m_pScaleFactorEdit));
    m_pExitButton = AddControl(kIdOk, new QPushButton(tr("E&xit")), {7, 229, 50, 14});
    m_pAboutButton = AddControl(kIdAbout, new QPushButton(tr("&About...")), {202, 229, 50, 14});
    m_pLod1PathEdit = AddControl(kIdLod1Path, PathBox(), {19, 33, 221, 12});
    AddControl(0, new QGroupBox(tr("File selection")), {7, 3, 245, 127})->lower();
    AddControl(0, new QGroupBox(tr("Conversion")), {7, 137, 245, 42})->lower();
    AddControl(0, new QLabel(tr("Scale factor:")), {174, 155, 42, 10});
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
    // The converter's own options, in a group of their own below
    // "Conversion", with the designed gap of 7 units.
    AddControl(0, new QGroupBox(tr("Options")), {7, 186, 245, 36})->lower();
    m_pSmoothingGroupsCheck = AddControl(
        kIdSmoothingGroups, new QCheckBox(tr("Keep hard edges (smoothing groups)")), {18, 196, 140, 10});
    m_pCopyTexturesCheck = AddControl(
        kIdCopyTextures, new QCheckBox(tr("Copy textures to the output folder")), {18, 207, 140, 10});

    // As in a Windows dialog: Tab stops once, on the checked scale option
    // (see ShowState), and the arrow keys go from one to the next in
    // template order (see eventFilter), not by their places.
    for (QRadioButton* pRadio : {m_pScaleUpRadio, m_pScaleDownRadio, m_pNoScalingRadio})
        pRadio->installEventFilter(this);

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

    // What screen readers say where a control's name would come from a
    // label beside it, or where two captions are the same.
    m_pLod1PathEdit->setAccessibleName(tr("Level of detail 1"));
    m_pLod2PathEdit->setAccessibleName(tr("Level of detail 2 (optional)"));
    m_pOutputDirEdit->setAccessibleName(tr("Output directory"));
    m_pScaleFactorEdit->setAccessibleName(tr("Scale factor"));
    m_pOpenLod1Button->setAccessibleName(tr("Open file... (level of detail 1)"));
    m_pOpenLod2Button->setAccessibleName(tr("Open file... (level of detail 2)"));

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

    // After the designed controls, last in the tab order.
    m_pPreviewArea =
        AddControl(0, new CPreviewArea, {kPreviewLeft, kPreviewTop, kPreviewWidth, kPreviewHeight});
    setTabOrder(m_pCopyTexturesCheck, m_pPreviewArea);
    m_pPreviewCaption =
        AddControl(0, new QLabel, {kPreviewLeft, kPreviewCaptionTop, kPreviewWidth, kPreviewCaptionHeight});
    connect(m_pPreviewArea, &CPreviewArea::Changed, this, &CConverterDlg::UpdatePreview);
    m_pPreviewCaption->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_pPreviewCaption->setWordWrap(true);
    m_pPreviewArea->setObjectName(QStringLiteral("preview"));
    m_pPreviewCaption->setObjectName(QStringLiteral("previewCaption"));
}

void CConverterDlg::UpdatePreview()
{
    const ConversionRequest request = m_logic.BuildRequest();
    CPreviewState& preview = m_pPreviewArea->m_state;
    preview.Choose(request.lod1Path, request.lod2Path);
    const float multiplier = ConversionJob::Multiplier(request.scaleMode, request.scaleFactor).value_or(1.0f);
    m_pPreviewCaption->setText(QString::fromStdString(preview.Caption(multiplier)));
    m_pPreviewArea->update();
}

void CConverterDlg::ShowProgress()
{
    setWindowTitle(QString::fromUtf8(m_logic.Title()));
    m_pConvertButton->setText(tr(m_logic.ConvertCaption()));
    m_pConvertButton->setEnabled(m_logic.IsConvertEnabled());
}

void CConverterDlg::ShowState()
{
    ShowProgress();
    for (QWidget* pChoice :
         {static_cast<QWidget*>(m_pOpenLod1Button), static_cast<QWidget*>(m_pAboutButton),
          static_cast<QWidget*>(m_pSetOutputDirButton), static_cast<QWidget*>(m_pKeepSameDirCheck),
          static_cast<QWidget*>(m_pScaleUpRadio), static_cast<QWidget*>(m_pScaleDownRadio),
          static_cast<QWidget*>(m_pNoScalingRadio), static_cast<QWidget*>(m_pSmoothingGroupsCheck),
          static_cast<QWidget*>(m_pCopyTexturesCheck)})
        pChoice->setEnabled(m_logic.IsChoiceEnabled());
    m_pLod1PathEdit->setText(PathText(m_logic.Lod1Path()));
    m_pLod2PathEdit->setText(PathText(m_logic.Lod2Path()));
    m_pOutputDirEdit->setText(PathText(m_logic.OutputDir()));
    m_pOpenLod2Button->setEnabled(m_logic.IsLod2ChooserEnabled());
    m_pScaleFactorEdit->setEnabled(m_logic.IsScaleFactorEnabled());
    // Exclusive buttons: checking one unchecks the others. Tab stops on
    // the checked one only, as the dialog manager's does.
    const ScaleMode mode = m_logic.GetScaleMode();
    QRadioButton* const pChecked = mode == ScaleMode::ScaleUp     ? m_pScaleUpRadio
                                   : mode == ScaleMode::ScaleDown ? m_pScaleDownRadio
                                                                  : m_pNoScalingRadio;
    pChecked->setChecked(true);
    for (QRadioButton* pRadio : {m_pScaleUpRadio, m_pScaleDownRadio, m_pNoScalingRadio})
        pRadio->setFocusPolicy(pRadio == pChecked ? Qt::StrongFocus : Qt::ClickFocus);
    UpdatePreview();
}

void CConverterDlg::OpenStartupModel(const QString& path)
{
    m_logic.OnStartupModel(PathBytes(path));
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
    m_logic.Convert(*this, m_pPreviewArea->m_state.LoadedModels());
    if (m_logic.IsRunning())
        m_pProgressTimer->start();
    ShowState();
}

void CConverterDlg::Call(const std::function<void()>& call)
{
    QMetaObject::invokeMethod(
        this, [&call] { call(); }, Qt::BlockingQueuedConnection);
}

void CConverterDlg::OnRunEnded()
{
    m_pProgressTimer->stop();
    ShowState();
    if (m_nDoneAfterRun)
        CTemplateDialog::done(*m_nDoneAfterRun);
}

void CConverterDlg::done(int result)
{
    // A run goes on writing: closing under it would leave it without a
    // window to report to.
    if (m_logic.IsRunning() && !m_nDoneAfterRun)
    {
        if (!m_logic.ConfirmStop([this] { return m_pServices->AskToStop(this); }))
            return;
        if (m_logic.IsRunning())
        {
            // Gone for the user at once; the program ends once the run
            // has cleaned up.
            hide();
            m_nDoneAfterRun = result;
            return;
        }
    }
    if (!m_logic.IsRunning())
        CTemplateDialog::done(result);
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

bool CConverterDlg::eventFilter(QObject* watched, QEvent* event)
{
    // The arrow keys on a scale option: the next or previous of the three
    // in template order, round at the ends, checked as it takes the focus.
    QRadioButton* const order[] = {m_pScaleUpRadio, m_pScaleDownRadio, m_pNoScalingRadio};
    const auto at = std::find(std::begin(order), std::end(order), watched);
    if (event->type() != QEvent::KeyPress || at == std::end(order))
        return CTemplateDialog::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    int step = 0;
    if (key == Qt::Key_Down || key == Qt::Key_Right)
        step = 1;
    else if (key == Qt::Key_Up || key == Qt::Key_Left)
        step = static_cast<int>(std::size(order)) - 1;
    else
        return CTemplateDialog::eventFilter(watched, event);
    QRadioButton* pNext = order[(at - std::begin(order) + step) % std::size(order)];
    pNext->setFocus(Qt::TabFocusReason);
    if (pNext->isEnabled())
        pNext->click();
    return true;
}

void CConverterDlg::dragEnterEvent(QDragEnterEvent* event)
{
    if (m_logic.IsChoiceEnabled() && DroppedModel(event->mimeData()))
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
