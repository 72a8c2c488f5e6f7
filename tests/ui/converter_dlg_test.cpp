#include "test_support.h"
#include "ui/about_dlg.h"
#include "ui/app_strings.h"
#include "ui/control_ids.h"
#include "ui/converter_dlg.h"
#include "ui/dialog_services.h"
#include "ui/qt_platform.h"
#include "ui/static_link.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QUrl>
#include <QtTest>


using namespace build3ds;

namespace
{

// Answers the file chooser and folder browser from queues; an empty
// answer, or none left, is a cancel.
class FakeServices final : public IDialogServices
{
public:
    std::optional<QString> ChooseModelFile(QWidget*) override { return Next(m_files); }
    std::optional<QString> ChooseFolder(QWidget*, const QString& title, const QString& start) override
    {
        m_lastTitle = title;
        m_lastStart = start;
        return Next(m_folders);
    }

    QStringList m_files;
    QStringList m_folders;
    QString m_lastTitle;
    QString m_lastStart;

private:
    static std::optional<QString> Next(QStringList& answers)
    {
        const QString answer = answers.isEmpty() ? QString() : answers.takeFirst();
        if (answer.isEmpty())
            return std::nullopt;
        return answer;
    }
};

template <typename Widget> Widget* Item(const CTemplateDialog& dialog, int id)
{
    auto* pWidget = qobject_cast<Widget*>(dialog.GetDlgItem(id));
    if (!pWidget)
        qFatal("no control %d of that kind", id);
    return pWidget;
}

QString Text(const CTemplateDialog& dialog, int id)
{
    return Item<QLineEdit>(dialog, id)->text();
}

void Click(const CTemplateDialog& dialog, int id)
{
    QTest::mouseClick(dialog.GetDlgItem(id), Qt::LeftButton);
}

} // namespace

class ConverterDlgTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_pNotes = std::make_unique<platform::RecordingBackend>();
        m_services.m_files.clear();
        m_services.m_folders.clear();
    }
    void cleanup() { m_pNotes.reset(); }

    void initialState()
    {
        CConverterDlg dialog(&m_services);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("3ds to Vantrel v1.1"));
        QVERIFY(!dialog.GetDlgItem(kIdConvert)->isEnabled());
        QVERIFY(!dialog.GetDlgItem(kIdOpenLod2)->isEnabled());
        QVERIFY(!dialog.GetDlgItem(kIdScaleFactor)->isEnabled());
        QVERIFY(Item<QRadioButton>(dialog, kIdNoScaling)->isChecked());
        QVERIFY(!Item<QCheckBox>(dialog, kIdKeepSameDir)->isChecked());
        for (const int id : {kIdLod1Path, kIdLod2Path, kIdOutputDir, kIdScaleFactor})
            QVERIFY(Text(dialog, id).isEmpty());
        for (const int id : {kIdOpenLod1, kIdSetOutputDir, kIdKeepSameDir, kIdScaleUp, kIdScaleDown, kIdAbout, kIdOk})
            QVERIFY(dialog.GetDlgItem(id)->isEnabled());
        QCOMPARE(Item<QPushButton>(dialog, kIdOpenLod1)->text(), QStringLiteral("&Open file..."));
        QCOMPARE(Item<QPushButton>(dialog, kIdOk)->text(), QStringLiteral("E&xit"));
    }

    void layoutFollowsDialogUnits()
    {
        CConverterDlg dialog(&m_services);
        // "&Convert file" at 18, 153 with size 57 x 13 dialog units.
        const QRect convert = dialog.GetDlgItem(kIdConvert)->geometry();
        QCOMPARE(convert, QRect(dialog.DluToPixelsX(18), dialog.DluToPixelsY(153), dialog.DluToPixelsX(57),
                                dialog.DluToPixelsY(13)));
        QCOMPARE(dialog.size(), QSize(dialog.DluToPixelsX(259), dialog.DluToPixelsY(207)));
        QVERIFY(dialog.DluToPixelsX(4) > 0 && dialog.DluToPixelsY(8) > 0);
    }

    void tabOrderFollowsTheTemplate()
    {
        CConverterDlg dialog(&m_services);
        const int order[] = {kIdOpenLod1,     kIdConvert,   kIdScaleFactor, kIdOk,      kIdAbout,     kIdSetOutputDir,
                             kIdKeepSameDir, kIdOpenLod2, kIdScaleUp,     kIdScaleDown, kIdNoScaling};
        for (std::size_t i = 1; i < std::size(order); ++i)
            QCOMPARE(CTemplateDialog::ControlId(dialog.GetDlgItem(order[i - 1])->nextInFocusChain()), order[i]);
        // The radio buttons show their text left of the button.
        QCOMPARE(dialog.GetDlgItem(kIdScaleUp)->layoutDirection(), Qt::RightToLeft);
    }

    void lod1ChoiceAndCancel()
    {
        CConverterDlg dialog(&m_services);
        m_services.m_files = {QStringLiteral("/models/ship.3ds"), QStringLiteral("/models/low/ship_low.3ds"),
                              QString()};
        Click(dialog, kIdOpenLod1);
        QCOMPARE(Text(dialog, kIdLod1Path), QStringLiteral("/models/ship.3ds"));
        QCOMPARE(Text(dialog, kIdOutputDir), QStringLiteral("/models"));
        QVERIFY(dialog.GetDlgItem(kIdConvert)->isEnabled());
        QVERIFY(dialog.GetDlgItem(kIdOpenLod2)->isEnabled());

        Click(dialog, kIdOpenLod2);
        QCOMPARE(Text(dialog, kIdLod2Path), QStringLiteral("/models/low/ship_low.3ds"));
        QCOMPARE(Text(dialog, kIdOutputDir), QStringLiteral("/models")); // LOD 2 never moves it

        Click(dialog, kIdOpenLod1); // cancelled
        QVERIFY(Text(dialog, kIdLod1Path).isEmpty());
        QVERIFY(!dialog.GetDlgItem(kIdConvert)->isEnabled());
        QVERIFY(!dialog.GetDlgItem(kIdOpenLod2)->isEnabled());
        QCOMPARE(Text(dialog, kIdLod2Path), QStringLiteral("/models/low/ship_low.3ds"));
        QCOMPARE(Text(dialog, kIdOutputDir), QStringLiteral("/models"));
        const ConversionRequest request = dialog.BuildRequest();
        QVERIFY(!request.lod1Path);
        QCOMPARE(QString::fromStdString(*request.lod2Path), QStringLiteral("/models/low/ship_low.3ds"));
    }

    void lod2CancelKeepsConvert()
    {
        CConverterDlg dialog(&m_services);
        m_services.m_files = {QStringLiteral("/m/a.3ds"), QStringLiteral("/m/b.3ds"), QString()};
        Click(dialog, kIdOpenLod1);
        Click(dialog, kIdOpenLod2);
        Click(dialog, kIdOpenLod2);
        QVERIFY(Text(dialog, kIdLod2Path).isEmpty());
        QVERIFY(!dialog.BuildRequest().lod2Path);
        QVERIFY(dialog.GetDlgItem(kIdConvert)->isEnabled());
    }

    void keepSameOutputDir()
    {
        CConverterDlg dialog(&m_services);
        // Checked before any choice: the first LOD 1 still sets the folder.
        Click(dialog, kIdKeepSameDir);
        m_services.m_files = {QStringLiteral("/first/a.3ds"), QStringLiteral("/second/b.3ds")};
        Click(dialog, kIdOpenLod1);
        QCOMPARE(Text(dialog, kIdOutputDir), QStringLiteral("/first"));
        Click(dialog, kIdOpenLod1);
        QCOMPARE(Text(dialog, kIdOutputDir), QStringLiteral("/first"));

        // Unchecked: a LOD 1 choice replaces even a browsed folder.
        Click(dialog, kIdKeepSameDir);
        m_services.m_folders = {QStringLiteral("/chosen")};
        Click(dialog, kIdSetOutputDir);
        QCOMPARE(m_services.m_lastTitle, QStringLiteral("Please select a destination folder for the converted file"));
        QCOMPARE(m_services.m_lastStart, QStringLiteral("/first"));
        QCOMPARE(Text(dialog, kIdOutputDir), QStringLiteral("/chosen"));
        m_services.m_files = {QStringLiteral("/third/c.3ds")};
        Click(dialog, kIdOpenLod1);
        QCOMPARE(Text(dialog, kIdOutputDir), QStringLiteral("/third"));

        // A cancelled browser leaves the folder as it was.
        Click(dialog, kIdSetOutputDir);
        QCOMPARE(Text(dialog, kIdOutputDir), QStringLiteral("/third"));
    }

    void scaleOptions()
    {
        CConverterDlg dialog(&m_services);
        auto* pFactor = Item<QLineEdit>(dialog, kIdScaleFactor);
        Click(dialog, kIdScaleUp);
        QVERIFY(pFactor->isEnabled());
        QCOMPARE(dialog.BuildRequest().scaleMode, ScaleUp);
        QCOMPARE(dialog.BuildRequest().scaleFactor, 0); // empty box
        QTest::keyClicks(pFactor, QStringLiteral("1x2"));
        QCOMPARE(pFactor->text(), QStringLiteral("12")); // digits only
        QCOMPARE(dialog.BuildRequest().scaleFactor, 12);
        Click(dialog, kIdNoScaling);
        QVERIFY(!pFactor->isEnabled());
        QCOMPARE(pFactor->text(), QStringLiteral("12"));
        Click(dialog, kIdScaleDown);
        QVERIFY(!Item<QRadioButton>(dialog, kIdScaleUp)->isChecked());
        QCOMPARE(dialog.BuildRequest().scaleMode, ScaleDown);
        QCOMPARE(dialog.BuildRequest().scaleFactor, 12);
    }

    void readUnsignedField_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::newRow("empty") << QString() << 0;
        QTest::newRow("digits") << QStringLiteral("25") << 25;
        QTest::newRow("leading zeros") << QStringLiteral("007") << 7;
        QTest::newRow("no number") << QStringLiteral("x") << 0;
        QTest::newRow("largest") << QStringLiteral("4294967295") << -1;
        QTest::newRow("too large") << QStringLiteral("4294967296") << 0;
    }
    void readUnsignedField()
    {
        QFETCH(QString, text);
        QFETCH(int, value);
        QCOMPARE(ReadUnsignedField(text), value);
    }

    void convertRunsTheJob()
    {
        TempDir dir;
        WriteFile(dir / "Crate.3ds", File({Material("Wood", "wood.bmp"), Object(Cube("Crate"))}));
        CConverterDlg dialog(&m_services);
        m_services.m_files = {QString::fromStdString((dir / "Crate.3ds").string())};
        Click(dialog, kIdOpenLod1);
        Click(dialog, kIdScaleUp);
        QTest::keyClicks(dialog.GetDlgItem(kIdScaleFactor), QStringLiteral("2"));

        const ConversionRequest request = dialog.BuildRequest();
        QCOMPARE(*request.lod1Path, (dir / "Crate.3ds").string());
        QCOMPARE(request.lod1Title, std::string("Crate"));
        QCOMPARE(request.outputDir, dir.Path().string());
        QVERIFY(!request.lod2Path);

        Click(dialog, kIdConvert);
        QCOMPARE(m_pNotes->m_events, (std::vector<std::string>{"wait", "restore", "Info: Conversion succeeded!"}));
        const std::string text = ReadWholeFile(dir / "crate.vnp");
        QVERIFY(text.find("\r\n2.0000, 2.0000, 2.0000\r\n") != std::string::npos);
        // The choices stay; Convert runs again at once.
        QCOMPARE(Text(dialog, kIdLod1Path), QString::fromStdString((dir / "Crate.3ds").string()));
        Click(dialog, kIdConvert);
        QCOMPARE(m_pNotes->m_events.size(), 6u);
    }

    void toolTips_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("tip");
        QTest::newRow("open lod1") << kIdOpenLod1 << QStringLiteral("Select a 3ds file to convert LOD 1");
        QTest::newRow("open lod2") << kIdOpenLod2 << QStringLiteral("Select a 3ds file to merge as LOD 2");
        QTest::newRow("output dir") << kIdSetOutputDir
                                    << QStringLiteral("Select the output directory for the converted file");
        QTest::newRow("keep") << kIdKeepSameDir
                              << QStringLiteral(
                                     "Prevent from changing the output directory, default is same as input directory");
        QTest::newRow("convert") << kIdConvert << QStringLiteral("Convert the 3ds file(s)");
        QTest::newRow("no scaling") << kIdNoScaling << QStringLiteral("No scaling will be applied");
        QTest::newRow("up") << kIdScaleUp << QStringLiteral("Increase the overall size by multiplier factor");
        QTest::newRow("down") << kIdScaleDown << QStringLiteral("Reduce the overall size by divisor factor");
        QTest::newRow("factor") << kIdScaleFactor << QStringLiteral("Multiplier or divisor for scaling operation");
        QTest::newRow("about") << kIdAbout << QStringLiteral("Info on this tool");
        QTest::newRow("exit") << kIdOk << QStringLiteral("Close this tool");
        QTest::newRow("lod1 path") << kIdLod1Path << QString();
        QTest::newRow("lod2 path") << kIdLod2Path << QString();
        QTest::newRow("output path") << kIdOutputDir << QString();
        QTest::newRow("none") << 0 << QString();
    }
    void toolTips()
    {
        QFETCH(int, id);
        QFETCH(QString, tip);
        QCOMPARE(CConverterDlg::ToolTipText(id), tip);
        CConverterDlg dialog(&m_services);
        if (QWidget* pControl = dialog.GetDlgItem(id))
            QCOMPARE(pControl->toolTip(), tip);
    }

    void enterEscapeAndExitEndTheDialog()
    {
        {
            CConverterDlg dialog(&m_services);
            dialog.show();
            dialog.GetDlgItem(kIdScaleFactor)->setEnabled(true);
            dialog.GetDlgItem(kIdScaleFactor)->setFocus();
            QTest::keyClick(dialog.GetDlgItem(kIdScaleFactor), Qt::Key_Return);
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
            QVERIFY(!dialog.isVisible());
        }
        {
            // Enter on a focused push button presses that button.
            CConverterDlg dialog(&m_services);
            dialog.show();
            m_services.m_folders = {QStringLiteral("/picked")};
            dialog.GetDlgItem(kIdSetOutputDir)->setFocus();
            QTest::keyClick(dialog.GetDlgItem(kIdSetOutputDir), Qt::Key_Return);
            QVERIFY(dialog.isVisible());
            QCOMPARE(Text(dialog, kIdOutputDir), QStringLiteral("/picked"));
        }
        {
            CConverterDlg dialog(&m_services);
            dialog.show();
            QTest::keyClick(&dialog, Qt::Key_Escape);
            QCOMPARE(dialog.result(), int(QDialog::Rejected));
            QVERIFY(!dialog.isVisible());
        }
        {
            CConverterDlg dialog(&m_services);
            dialog.show();
            Click(dialog, kIdOk);
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
            QVERIFY(!dialog.isVisible());
        }
    }

    void droppedModelBecomesLod1()
    {
        TempDir dir;
        WriteFile(dir / "Drop.3DS", Str("x"));
        WriteFile(dir / "notes.txt", Str("x"));
        CConverterDlg dialog(&m_services);
        dialog.show();
        const auto drop = [&](const std::filesystem::path& path) {
            QMimeData mime;
            mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(path.string()))});
            QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(&dialog, &enter);
            if (!enter.isAccepted())
                return false;
            QDropEvent dropped(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(&dialog, &dropped);
            return true;
        };
        QVERIFY(!drop(dir / "notes.txt"));
        QVERIFY(Text(dialog, kIdLod1Path).isEmpty());
        QVERIFY(drop(dir / "Drop.3DS"));
        QCOMPARE(Text(dialog, kIdLod1Path), QString::fromStdString((dir / "Drop.3DS").string()));
        QCOMPARE(Text(dialog, kIdOutputDir), QString::fromStdString(dir.Path().string()));
        QCOMPARE(dialog.BuildRequest().lod1Title, std::string("Drop"));
        QVERIFY(dialog.GetDlgItem(kIdConvert)->isEnabled());
    }

    void aboutLinksTurnPurpleOnlyAfterASuccessfulOpen()
    {
        std::vector<QUrl> opened;
        bool bSucceed = false;
        const auto previous = CLinkTarget::s_openUrl;
        CLinkTarget::s_openUrl = [&](const QUrl& url) {
            opened.push_back(url);
            return bSucceed;
        };

        CAboutDlg about;
        QCOMPARE(about.windowTitle(), QStringLiteral("About"));
        QCOMPARE(about.m_pLinkMail->m_textColor, CStaticLink::s_unvisitedColor);
        QTest::mouseClick(about.m_pLinkMail, Qt::LeftButton); // the desktop fails
        QCOMPARE(about.m_pLinkMail->m_textColor, CStaticLink::s_unvisitedColor);
        bSucceed = true;
        QTest::mouseClick(about.m_pLinkMail, Qt::LeftButton);
        QCOMPARE(about.m_pLinkMail->m_textColor, QColor(128, 0, 128));
        QCOMPARE(about.m_pLinkWeb->m_textColor, QColor(0, 0, 255));
        QTest::mouseClick(about.m_pLinkWeb, Qt::LeftButton);
        QCOMPARE(about.m_pLinkWeb->m_textColor, CStaticLink::s_visitedColor);

        QCOMPARE(opened.size(), 3u);
        QCOMPARE(opened[1].scheme(), QStringLiteral("mailto"));
        QCOMPARE(opened[1].path(), about.m_pLinkMail->text());
        QCOMPARE(opened[1].query(QUrl::FullyDecoded), QStringLiteral("subject=3ds to VNP converter v1.1"));
        QCOMPARE(opened[2].toString(), QStringLiteral("http://") + about.m_pLinkWeb->text());
        QCOMPARE(about.m_pLinkWeb->cursor().shape(), Qt::PointingHandCursor);

        // A new About box starts with both links blue.
        CAboutDlg again;
        QCOMPARE(again.m_pLinkMail->m_textColor, CStaticLink::s_unvisitedColor);
        CLinkTarget::s_openUrl = previous;
    }

    void linkTargetFallsBackToStringTableThenText()
    {
        std::vector<QUrl> opened;
        const auto previous = CLinkTarget::s_openUrl;
        CLinkTarget::s_openUrl = [&](const QUrl& url) {
            opened.push_back(url);
            return true;
        };
        struct Dialog : CTemplateDialog
        {
            Dialog() : CTemplateDialog(100, 100, nullptr)
            {
                given = AddControl(0, new CStaticLink("http://given.example.org"), {0, 0, 50, 8});
                given->setText(QStringLiteral("shown.example.org"));
                fromTable = AddControl(kIdsAboutBox, new CStaticLink, {0, 10, 50, 8});
                fromTable->setText(QStringLiteral("ignored.example.org"));
                fromText = AddControl(kIdWebLink, new CStaticLink, {0, 20, 50, 8});
                fromText->setText(QStringLiteral("text.example.org"));
                empty = AddControl(0, new CStaticLink, {0, 30, 50, 8});
            }
            CStaticLink* given;
            CStaticLink* fromTable;
            CStaticLink* fromText;
            CStaticLink* empty;
        } dialog;
        QTest::mouseClick(dialog.given, Qt::LeftButton);
        QTest::mouseClick(dialog.fromTable, Qt::LeftButton);
        QTest::mouseClick(dialog.fromText, Qt::LeftButton);
        QTest::mouseClick(dialog.empty, Qt::LeftButton);
        // The string table's text is no address the desktop can open: a
        // beep, no call. Order: constructor, string table, control text.
        QCOMPARE(opened.size(), 2u);
        QCOMPARE(opened[0].host(), QStringLiteral("given.example.org"));
        QCOMPARE(QString::fromStdString(dialog.fromTable->m_target.m_strTarget), LoadAppString(kIdsAboutBox));
        QCOMPARE(dialog.fromTable->m_textColor, CStaticLink::s_unvisitedColor);
        QCOMPARE(opened[1].host(), QStringLiteral("text.example.org"));
        QCOMPARE(dialog.empty->m_textColor, CStaticLink::s_unvisitedColor);
        CLinkTarget::s_openUrl = previous;
    }

    void qtMessageBoxAndWaitCursor()
    {
        QtPlatformBackend backend;
        QString caption, text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QTimer::singleShot(0, [&] {
            auto* pBox = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(pBox);
            caption = pBox->windowTitle();
            text = pBox->text();
            icon = pBox->icon();
            pBox->button(QMessageBox::Ok)->click();
        });
        backend.ShowMessage("Conversion failed", "Error", platform::MessageKind::Exclamation,
                            platform::MessageOwner::None);
        QCOMPARE(caption, QStringLiteral("Error"));
        QCOMPARE(text, QStringLiteral("Conversion failed"));
        QCOMPARE(icon, QMessageBox::Warning);

        const platform::CursorHandle previous = backend.SetWaitCursor();
        QVERIFY(QApplication::overrideCursor());
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        backend.RestoreCursor(previous);
        QVERIFY(!QApplication::overrideCursor());
    }

private:
    FakeServices m_services;
    std::unique_ptr<platform::RecordingBackend> m_pNotes;
};

QTEST_MAIN(ConverterDlgTest)
#include "converter_dlg_test.moc"
