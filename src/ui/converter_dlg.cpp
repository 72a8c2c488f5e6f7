#include "ui/converter_dlg.h"

#include "ui/about_dlg.h"
#include "ui/app_strings.h"
#include "ui/control_ids.h"
#include "ui/dialog_services.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QUrl>

#include <limits>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace
{

// The dropped file, when the drop is exactly one local .3ds file.
QString Dropped3dsFile(const QMimeData* mime)
{
    if (!mime->hasUrls() || mime->urls().size() != 1 || !mime->urls().front().isLocalFile())
        return QString();
    const QString path = mime->urls().front().toLocalFile();
    const QFileInfo info(path);
    return info.isFile() && info.suffix().compare(QStringLiteral("3ds"), Qt::CaseInsensitive) == 0 ? path : QString();
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

std::int32_t ReadUnsignedField(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    std::uint64_t value = 0;
    const qsizetype first = i;
    for (; i < text.size() && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9'); ++i)
    {
        value = value * 10 + static_cast<std::uint64_t>(text[i].unicode() - u'0');
        if (value > std::numeric_limits<std::uint32_t>::max())
            return 0;
    }
    if (i == first)
        return 0;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

CConverterDlg::CConverterDlg(IDialogServices* services, QWidget* parent)
    : CTemplateDialog(259, 207, parent), m_hIcon(QStringLiteral(":/res/icon32.png")),
      m_pOwnServices(services ? nullptr : std::make_unique<DesktopDialogServices>()),
      m_pServices(services ? services : m_pOwnServices.get())
{
    m_hIcon.addFile(QStringLiteral(":/res/icon16.png"));
    setWindowTitle(QStringLiteral("3ds to Vantrel v1.1"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setAcceptDrops(true);
    CreateControls();
    OnInitDialog();
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
    m_pSetOutputDirButton = AddControl(kIdSetOutputDir, new QPushButton(tr("Set output dir...")), {17, 93, 57, 13});
    m_pOutputDirEdit = AddControl(kIdOutputDir, PathBox(), {19, 109, 221, 12});
    m_pKeepSameDirCheck = AddControl(kIdKeepSameDir, new QCheckBox(tr("Keep same output dir")), {93, 95, 91, 10});
    m_pOpenLod2Button = AddControl(kIdOpenLod2, new QPushButton(tr("Ope&n file...")), {17, 51, 57, 13});
    m_pLod2PathEdit = AddControl(kIdLod2Path, PathBox(), {19, 67, 221, 12});
    AddControl(0, new QLabel(tr("Level of detail 1")), {93, 20, 51, 8});
    AddControl(0, new QLabel(tr("Level of detail 2 (optional)")), {93, 54, 82, 8});
    auto* pSeparator = AddControl(0, new QFrame, {7, 82, 245, 5});
    pSeparator->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    m_pScaleUpRadio = AddControl(kIdScaleUp, LeftTextRadio(tr("Scale up")), {117, 163, 52, 11});
    m_pScaleDownRadio = AddControl(kIdScaleDown, LeftTextRadio(tr("Scale down")), {117, 156, 52, 6});
    m_pNoScalingRadio = AddControl(kIdNoScaling, LeftTextRadio(tr("No scaling")), {117, 146, 52, 8});

    auto* pScaleGroup = new QButtonGroup(this);
    for (QRadioButton* pRadio : {m_pScaleUpRadio, m_pScaleDownRadio, m_pNoScalingRadio})
        pScaleGroup->addButton(pRadio);

    // The dialog handles Enter itself (see keyPressEvent): no push button
    // becomes the default by taking the focus.
    for (QPushButton* pButton : findChildren<QPushButton*>())
        pButton->setAutoDefault(false);

    QWidget* tabOrder[] = {m_pOpenLod1Button, m_pConvertButton,      m_pScaleFactorEdit, m_pExitButton,
                           m_pAboutButton,    m_pSetOutputDirButton, m_pKeepSameDirCheck, m_pOpenLod2Button,
                           m_pScaleUpRadio,   m_pScaleDownRadio,     m_pNoScalingRadio};
    for (std::size_t i = 1; i < std::size(tabOrder); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);

    for (QWidget* pControl : findChildren<QWidget*>())
    {
        const QString tip = ToolTipText(ControlId(pControl));
        if (!tip.isEmpty())
            pControl->setToolTip(tip);
    }

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
}

void CConverterDlg::OnInitDialog()
{
#ifdef Q_OS_WIN
    // The About item of the system menu. Other platforms have no such menu;
    // the "&About..." button reaches the About box everywhere.
    const QString about = LoadAppString(kIdsAboutBox);
    HMENU menu = ::GetSystemMenu(reinterpret_cast<HWND>(winId()), FALSE);
    if (menu && !about.isEmpty())
    {
        ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        ::AppendMenuW(menu, MF_STRING, kIdSysCommandAbout, reinterpret_cast<const wchar_t*>(about.utf16()));
    }
#endif
    setWindowIcon(m_hIcon);
    EnableConvert(false);
    m_pOpenLod2Button->setEnabled(false);
    m_pNoScalingRadio->setChecked(true);
    m_pScaleFactorEdit->setEnabled(false);
    m_scaleMode = ScaleNone;
    m_pOpenLod1Button->setFocus();
}

QString CConverterDlg::ToolTipText(int id)
{
    switch (id)
    {
    case kIdOpenLod1:
        return QStringLiteral("Select a 3ds file to convert LOD 1");
    case kIdOpenLod2:
        return QStringLiteral("Select a 3ds file to merge as LOD 2");
    case kIdSetOutputDir:
        return QStringLiteral("Select the output directory for the converted file");
    case kIdKeepSameDir:
        return QStringLiteral("Prevent from changing the output directory, default is same as input directory");
    case kIdConvert:
        return QStringLiteral("Convert the 3ds file(s)");
    case kIdNoScaling:
        return QStringLiteral("No scaling will be applied");
    case kIdScaleUp:
        return QStringLiteral("Increase the overall size by multiplier factor");
    case kIdScaleDown:
        return QStringLiteral("Reduce the overall size by divisor factor");
    case kIdScaleFactor:
        return QStringLiteral("Multiplier or divisor for scaling operation");
    case kIdAbout:
        return QStringLiteral("Info on this tool");
    case kIdOk:
        return QStringLiteral("Close this tool");
    default:
        return QString();
    }
}

void CConverterDlg::EnableConvert(bool bEnable)
{
    m_pConvertButton->setEnabled(bEnable);
}

void CConverterDlg::OnOpenLod1()
{
    const std::optional<QString> path = m_pServices->ChooseModelFile(this);
    if (path)
        SetLod1(*path);
    else
        ClearLod1();
}

void CConverterDlg::SetLod1(const QString& path)
{
    m_strLod1Path = path;
    m_strLod1Title = QString::fromLocal8Bit(FileTitle(QFileInfo(path).fileName().toLocal8Bit().toStdString()));
    m_bLod1Selected = true;
    m_pLod1PathEdit->setText(m_strLod1Path);

    if (m_strOutputDir.isEmpty() || !m_bKeepOutputDir)
    {
        m_strOutputDir = m_strLod1Path.left(m_strLod1Path.lastIndexOf(QLatin1Char('/')));
        m_pOutputDirEdit->setText(m_strOutputDir);
    }
    EnableConvert(true);
    m_pOpenLod2Button->setEnabled(true);
}

void CConverterDlg::ClearLod1()
{
    // The LOD 2 choice and the output directory stay.
    m_pLod1PathEdit->clear();
    m_strLod1Path.clear();
    m_strLod1Title.clear();
    m_bLod1Selected = false;
    EnableConvert(false);
    m_pOpenLod2Button->setEnabled(false);
}

void CConverterDlg::OnOpenLod2()
{
    const std::optional<QString> path = m_pServices->ChooseModelFile(this);
    if (path)
    {
        m_strLod2Path = *path;
        m_bLod2Selected = true;
        m_pLod2PathEdit->setText(m_strLod2Path);
        EnableConvert(true);
    }
    else
    {
        m_pLod2PathEdit->clear();
        m_strLod2Path.clear();
        m_bLod2Selected = false;
    }
}

void CConverterDlg::OnSetOutputDir()
{
    BrowseForFolder(m_strOutputDir, tr("Please select a destination folder for the converted file"));
    m_pOutputDirEdit->setText(m_strOutputDir);
}

void CConverterDlg::BrowseForFolder(QString& result, const QString& title)
{
    const std::optional<QString> folder = m_pServices->ChooseFolder(this, title, result);
    if (folder)
        result = *folder;
}

void CConverterDlg::OnKeepSameDir()
{
    m_bKeepOutputDir = m_pKeepSameDirCheck->isChecked();
}

void CConverterDlg::OnNoScaling()
{
    m_scaleMode = ScaleNone;
    m_pScaleFactorEdit->setEnabled(false);
}

void CConverterDlg::OnScaleDown()
{
    m_scaleMode = ScaleDown;
    m_pScaleFactorEdit->setEnabled(true);
}

void CConverterDlg::OnScaleUp()
{
    m_scaleMode = ScaleUp;
    m_pScaleFactorEdit->setEnabled(true);
}

void CConverterDlg::OnScaleFactorChange()
{
    m_nScaleFactor = ReadUnsignedField(m_pScaleFactorEdit->text());
}

ConversionRequest CConverterDlg::BuildRequest() const
{
    ConversionRequest request;
    if (m_bLod1Selected)
        request.lod1Path = m_strLod1Path.toLocal8Bit().toStdString();
    request.lod1Title = m_strLod1Title.toLocal8Bit().toStdString();
    if (m_bLod2Selected)
        request.lod2Path = m_strLod2Path.toLocal8Bit().toStdString();
    request.outputDir = m_strOutputDir.toLocal8Bit().toStdString();
    request.scaleMode = m_scaleMode;
    request.scaleFactor = m_nScaleFactor;
    return request;
}

void CConverterDlg::OnConvert()
{
    // The job reports the outcome itself; the choices stay as they are.
    m_job.Run(BuildRequest());
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

#ifdef Q_OS_WIN
bool CConverterDlg::nativeEvent(const QByteArray& eventType, void* message, qintptr* result)
{
    const MSG* msg = static_cast<const MSG*>(message);
    if (msg->message == WM_SYSCOMMAND && (msg->wParam & 0xFFF0) == kIdSysCommandAbout)
    {
        OnAbout();
        *result = 0;
        return true;
    }
    return CTemplateDialog::nativeEvent(eventType, message, result);
}
#endif

void CConverterDlg::dragEnterEvent(QDragEnterEvent* event)
{
    if (!Dropped3dsFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void CConverterDlg::dropEvent(QDropEvent* event)
{
    // A dropped model is chosen as the LOD 1 file, as the chooser would.
    const QString path = Dropped3dsFile(event->mimeData());
    if (path.isEmpty())
    {
        event->ignore();
        return;
    }
    SetLod1(path);
    event->acceptProposedAction();
}
