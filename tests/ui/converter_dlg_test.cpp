#include "dialog/control_ids.h"
#include "test_support.h"
#include "ui/about_dlg.h"
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

#include <functional>
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

template <typename Widget = QWidget> Widget* Item(const QWidget& dialog, int id)
{
    auto* pWidget = dialog.findChild<Widget*>(QStringLiteral("id%1").arg(id));
    if (!pWidget)
        qFatal("no control %d of that kind", id);
    return pWidget;
}

QString Text(const QWidget& dialog, int id)
{
    return Item<QLineEdit>(dialog, id)->text();
}

void Click(const QWidget& dialog, int id)
{
    QTest::mouseClick(Item(dialog, id), Qt::LeftButton);
}

} // namespace

// The Qt view's wiring: each control reaches the dialog logic, and the
// controls show the logic's state. The rules themselves are tested on the
// logic.
class ConverterDlgTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_services = FakeServices(); }

    void initialStateToolTipsAndIcon()
    {
        CConverterDlg dialog(&m_services);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("3ds to Vantrel v1.1"));
        QVERIFY(!Item(dialog, kIdConvert)->isEnabled() && !Item(dialog, kIdOpenLod2)->isEnabled());
        QVERIFY(!Item(dialog, kIdScaleFactor)->isEnabled());
        QVERIFY(Item<QRadioButton>(dialog, kIdNoScaling)->isChecked());
        for (const int id : {kIdOpenLod1, kIdOpenLod2, kIdSetOutputDir, kIdKeepSameDir, kIdConvert, kIdNoScaling,
                             kIdScaleUp, kIdScaleDown, kIdScaleFactor, kIdAbout, kIdOk, kIdLod1Path})
            QCOMPARE(Item(dialog, id)->toolTip(), QString::fromUtf8(CConverterLogic::ToolTipText(id)));
        // The application icon is an SVG: it needs Qt's SVG image plugin.
        const QImage icon = QIcon(QStringLiteral(":/res/icon.svg")).pixmap(32, 32).toImage();
        QVERIFY(!icon.isNull() && qAlpha(icon.pixel(16, 16)) > 0);
    }

    void tabVisitsTheControlsInTemplateOrder()
    {
        // Real Tab presses, each scale option included; the disabled
        // Convert, factor box and LOD 2 chooser are passed over.
        CConverterDlg dialog(&m_services);
        dialog.show();
        QApplication::setActiveWindow(&dialog);
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        Item(dialog, kIdOpenLod1)->setFocus();
        const int order[] = {kIdOk,      kIdAbout,     kIdSetOutputDir, kIdKeepSameDir,
                             kIdScaleUp, kIdScaleDown, kIdNoScaling,    kIdOpenLod1};
        for (const int id : order)
        {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), Item(dialog, id));
        }
    }

    void choicesReachTheLogicAndShow()
    {
        TempDir dir;
        WriteFile(dir / "Crate.3ds", File({Material("Wood", "wood.bmp"), Object(Cube("Crate"))}));
        const QString crate = PathText((dir / "Crate.3ds").string());
        RecordingNotifier notes;
        CConverterDlg dialog(&m_services);
        m_services.m_files = {QStringLiteral("/models/ship.3ds"), QStringLiteral("/models/low/ship_low.3ds"), QString(),
                              crate};
        Click(dialog, kIdOpenLod1);
        QCOMPARE(Text(dialog, kIdLod1Path), QStringLiteral("/models/ship.3ds"));
        QCOMPARE(Text(dialog, kIdOutputDir), QStringLiteral("/models"));
        QVERIFY(Item(dialog, kIdConvert)->isEnabled() && Item(dialog, kIdOpenLod2)->isEnabled());
        Click(dialog, kIdOpenLod2);
        QCOMPARE(Text(dialog, kIdLod2Path), QStringLiteral("/models/low/ship_low.3ds"));
        Click(dialog, kIdOpenLod2); // cancelled
        QVERIFY(Text(dialog, kIdLod2Path).isEmpty());

        Click(dialog, kIdKeepSameDir);
        m_services.m_folders = {QStringLiteral("/chosen")};
        Click(dialog, kIdSetOutputDir);
        QCOMPARE(m_services.m_lastTitle, QStringLiteral("Please select a destination folder for the converted file"));
        QCOMPARE(m_services.m_lastStart, QStringLiteral("/models"));
        Click(dialog, kIdOpenLod1);
        QCOMPARE(Text(dialog, kIdOutputDir), QStringLiteral("/chosen")); // kept: the box reached the logic

        auto* pFactor = Item<QLineEdit>(dialog, kIdScaleFactor);
        Click(dialog, kIdScaleDown);
        QVERIFY(pFactor->isEnabled());
        QTest::keyClicks(pFactor, QStringLiteral("1x2"));
        QCOMPARE(pFactor->text(), QStringLiteral("12")); // digits only
        Click(dialog, kIdScaleUp);
        QVERIFY(!Item<QRadioButton>(dialog, kIdScaleDown)->isChecked());
        QCOMPARE(dialog.Logic().BuildRequest().scaleFactor, 12);
        Click(dialog, kIdNoScaling);
        Click(dialog, kIdNoScaling); // a second click keeps it checked
        QVERIFY(Item<QRadioButton>(dialog, kIdNoScaling)->isChecked() && !pFactor->isEnabled());

        m_services.m_folders = {PathText(dir.Path().string())};
        Click(dialog, kIdSetOutputDir);
        Click(dialog, kIdConvert);
        QCOMPARE(notes.m_events, (std::vector<std::string>{"wait", "restore", "Info: Conversion succeeded!"}));
        QVERIFY(std::filesystem::exists(dir / "crate.vnp"));
    }

    void enterEscapeAndExitEndTheDialog()
    {
        const auto ends = [&](const std::function<void(CConverterDlg&)>& act) {
            CConverterDlg dialog(&m_services);
            dialog.show();
            act(dialog);
            return dialog.isVisible() ? -1 : dialog.result();
        };
        QCOMPARE(ends([](CConverterDlg& dialog) {
                     Item(dialog, kIdScaleFactor)->setEnabled(true);
                     Item(dialog, kIdScaleFactor)->setFocus();
                     QTest::keyClick(Item(dialog, kIdScaleFactor), Qt::Key_Return);
                 }),
                 int(QDialog::Accepted));
        QCOMPARE(ends([](CConverterDlg& dialog) { QTest::keyClick(&dialog, Qt::Key_Escape); }), int(QDialog::Rejected));
        QCOMPARE(ends([](CConverterDlg& dialog) { Click(dialog, kIdOk); }), int(QDialog::Accepted));
        // Enter on a focused push button presses that button.
        m_services.m_folders = {QStringLiteral("/picked")};
        QCOMPARE(ends([](CConverterDlg& dialog) {
                     Item(dialog, kIdSetOutputDir)->setFocus();
                     QTest::keyClick(Item(dialog, kIdSetOutputDir), Qt::Key_Return);
                     QCOMPARE(Text(dialog, kIdOutputDir), QStringLiteral("/picked"));
                 }),
                 -1);
    }

    void droppedModelBecomesLod1()
    {
        TempDir dir;
        WriteFile(dir / "Drop.3DS", Str("x"));
        WriteFile(dir / "notes.txt", Str("x"));
        CConverterDlg dialog(&m_services);
        dialog.show();
        const auto drop = [&](const std::filesystem::path& path)
        {
            QMimeData mime;
            mime.setUrls({QUrl::fromLocalFile(PathText(path.string()))});
            QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(&dialog, &enter);
            if (!enter.isAccepted())
                return false;
            QDropEvent dropped(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(&dialog, &dropped);
            return true;
        };
        QVERIFY(!drop(dir / "notes.txt"));
        QVERIFY(drop(dir / "Drop.3DS"));
        QCOMPARE(Text(dialog, kIdLod1Path), PathText((dir / "Drop.3DS").string()));
        QVERIFY(Item(dialog, kIdConvert)->isEnabled());
    }

    void aboutLinksTurnPurpleOnlyAfterASuccessfulOpen()
    {
        std::vector<QUrl> opened;
        bool bSucceed = false;
        const auto previous = CLinkTarget::s_openUrl;
        CLinkTarget::s_openUrl = [&](const QUrl& url)
        {
            opened.push_back(url);
            return bSucceed;
        };

        CAboutDlg about;
        QCOMPARE(about.windowTitle(), QStringLiteral("About"));
        QTest::mouseClick(about.m_pLinkMail, Qt::LeftButton); // the desktop fails
        QCOMPARE(about.m_pLinkMail->m_textColor, CStaticLink::s_unvisitedColor);
        bSucceed = true;
        QTest::mouseClick(about.m_pLinkMail, Qt::LeftButton);
        QCOMPARE(about.m_pLinkMail->m_textColor, QColor(128, 0, 128));
        QCOMPARE(about.m_pLinkWeb->m_textColor, QColor(0, 0, 255));
        QTest::mouseClick(about.m_pLinkWeb, Qt::LeftButton);
        QCOMPARE(opened.size(), 3u);
        QCOMPARE(opened[1].scheme(), QStringLiteral("mailto"));
        QCOMPARE(opened[1].path(), about.m_pLinkMail->text());
        QCOMPARE(opened[1].query(QUrl::FullyDecoded), QStringLiteral("subject=3ds to VNP converter v1.1"));
        QCOMPARE(opened[2].toString(), QStringLiteral("http://") + about.m_pLinkWeb->text());
        QCOMPARE(about.m_pLinkWeb->cursor().shape(), Qt::PointingHandCursor);

        // A link without a target opens its own text.
        CStaticLink bare;
        bare.setText(QStringLiteral("text.example.org"));
        QTest::mouseClick(&bare, Qt::LeftButton);
        QCOMPARE(opened.back().host(), QStringLiteral("text.example.org"));

        CLinkTarget::s_openUrl = previous;
    }

    void qtMessageBoxAndWaitCursor()
    {
        QtNotifier backend;
        QString caption, text;
        Qt::TextFormat format = Qt::AutoText;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QTimer::singleShot(0,
                           [&]
                           {
                               auto* pBox = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                               QVERIFY(pBox);
                               caption = pBox->windowTitle();
                               text = pBox->text();
                               format = pBox->textFormat();
                               icon = pBox->icon();
                               pBox->button(QMessageBox::Ok)->click();
                           });
        backend.ShowMessage("Unable to find the file: /m/<b>x</b>&lt;.3ds",
                            platform::MessageKind::Error, platform::MessageOwner::None);
        QCOMPARE(caption, QStringLiteral("Error"));
        QCOMPARE(text, QStringLiteral("Unable to find the file: /m/<b>x</b>&lt;.3ds"));
        QCOMPARE(format, Qt::PlainText);
        QCOMPARE(icon, QMessageBox::Warning);

        const platform::CursorHandle previous = backend.SetWaitCursor();
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        backend.RestoreCursor(previous);
        QVERIFY(!QApplication::overrideCursor());
    }

private:
    FakeServices m_services;
};

QTEST_MAIN(ConverterDlgTest)
#include "converter_dlg_test.moc"
