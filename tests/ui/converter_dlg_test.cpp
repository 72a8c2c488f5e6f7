#include "dialog/control_ids.h"
#include "test_support.h"
#include "ui/about_dlg.h"
#include "ui/converter_dlg.h"
#include "ui/dialog_services.h"
#include "ui/qt_platform.h"
#include "ui/static_link.h"

#include <QAccessible>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QUrl>

#include <QtTest>
#include <functional>

using namespace build3ds;

namespace
{

// Answers the file chooser and folder browser from queues; an empty
// answer, or none left, is a cancel.
struct FakeServices final : IDialogServices
{
    std::optional<QString> ChooseModelFile(QWidget*) override { return Next(m_files); }
    std::optional<QString> ChooseFolder(QWidget*, const QString& title, const QString& start) override
    {
        m_lastCall = title + "|" + start;
        return Next(m_folders);
    }
    bool AskToStop(QWidget*) override
    {
        ++m_nAsked;
        return m_bStop;
    }
    static std::optional<QString> Next(QStringList& answers)
    {
        const QString answer = answers.isEmpty() ? QString() : answers.takeFirst();
        return answer.isEmpty() ? std::nullopt : std::optional(answer);
    }
    QStringList m_files, m_folders;
    QString m_lastCall;
    int m_nAsked = 0;
    bool m_bStop = false;
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
// controls show the logic's state. The rules are tested on the logic.
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
        QVERIFY(!Item(dialog, kIdScaleFactor)->isEnabled() &&
                Item<QRadioButton>(dialog, kIdNoScaling)->isChecked());
        for (const int id : {kIdOpenLod1, kIdOpenLod2, kIdSetOutputDir, kIdKeepSameDir, kIdConvert,
                             kIdNoScaling, kIdScaleUp, kIdScaleDown, kIdScaleFactor, kIdAbout, kIdOk,
                             kIdLod1Path, kIdSmoothingGroups, kIdCopyTextures})
            QCOMPARE(Item(dialog, id)->toolTip(), QString::fromUtf8(CConverterLogic::ToolTipText(id)));
        // The application icon is an SVG: it needs Qt's SVG image plugin.
        const QImage icon = QIcon(QStringLiteral(":/res/icon.svg")).pixmap(32, 32).toImage();
        QVERIFY(!icon.isNull() && qAlpha(icon.pixel(16, 16)) > 0);
    }

    // Real key presses, as on Windows: Tab passes over the disabled
    // Convert, factor box and LOD 2 chooser, stops once on the checked
    // scale option and last on the preview; the arrow keys go round the
    // scale options in template order (up, down, none) and check them.
    void tabStopsOnceOnTheCheckedScaleOption()
    {
        CConverterDlg dialog(&m_services);
        dialog.show();
        QApplication::setActiveWindow(&dialog);
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        auto* pPreview = dialog.findChild<QWidget*>(QStringLiteral("preview"));
        Item(dialog, kIdOpenLod1)->setFocus();
        const auto tabTo = [&](QWidget* pExpected) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            return QApplication::focusWidget() == pExpected;
        };
        for (const int id : {kIdOk, kIdAbout, kIdSetOutputDir, kIdKeepSameDir, kIdNoScaling})
            QVERIFY2(tabTo(Item(dialog, id)), qPrintable(QString::number(id)));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        QCOMPARE(QApplication::focusWidget(), Item(dialog, kIdScaleUp));
        QVERIFY(Item<QRadioButton>(dialog, kIdScaleUp)->isChecked() &&
                Item(dialog, kIdScaleFactor)->isEnabled());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
        QCOMPARE(QApplication::focusWidget(), Item(dialog, kIdScaleDown));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
        QCOMPARE(QApplication::focusWidget(), Item(dialog, kIdNoScaling));
        QVERIFY(!Item<QRadioButton>(dialog, kIdScaleUp)->isChecked() &&
                !Item(dialog, kIdScaleFactor)->isEnabled());
        for (QWidget* pNext : {Item(dialog, kIdSmoothingGroups), Item(dialog, kIdCopyTextures), pPreview,
                               Item(dialog, kIdOpenLod1)})
            QVERIFY(tabTo(pNext));
        // From the other end, Tab comes to the scale option checked now.
        Click(dialog, kIdScaleDown);
        Item(dialog, kIdKeepSameDir)->setFocus();
        QVERIFY(tabTo(Item(dialog, kIdScaleDown)));
    }

    // Screen readers: the scale options are radio buttons, the boxes carry
    // their labels' names, the two "Open file..." buttons are told apart,
    // and the preview says what it shows.
    void accessibleNamesAndRoles()
    {
        const TempDir dir;
        WriteFile(dir / "crate.3ds", File({Material("Wood", "wood.bmp"), Object(Cube("Crate"))}));
        CConverterDlg dialog(&m_services);
        dialog.show();
        const auto role = [&](int id) {
            return QAccessible::queryAccessibleInterface(Item(dialog, id))->role();
        };
        const auto name = [&](QWidget* pWidget) {
            return QAccessible::queryAccessibleInterface(pWidget)->text(QAccessible::Name);
        };
        for (const int id : {kIdScaleUp, kIdScaleDown, kIdNoScaling})
            QCOMPARE(role(id), QAccessible::RadioButton);
        QCOMPARE(name(Item(dialog, kIdLod1Path)), QStringLiteral("Level of detail 1"));
        QCOMPARE(name(Item(dialog, kIdLod2Path)), QStringLiteral("Level of detail 2 (optional)"));
        QCOMPARE(name(Item(dialog, kIdOutputDir)), QStringLiteral("Output directory"));
        QCOMPARE(name(Item(dialog, kIdScaleFactor)), QStringLiteral("Scale factor"));
        QCOMPARE(name(Item(dialog, kIdOpenLod1)), QStringLiteral("Open file... (level of detail 1)"));
        QCOMPARE(name(Item(dialog, kIdOpenLod2)), QStringLiteral("Open file... (level of detail 2)"));
        QCOMPARE(Item<QPushButton>(dialog, kIdOpenLod1)->text(), QStringLiteral("&Open file..."));

        auto* pPreview = dialog.findChild<QWidget*>(QStringLiteral("preview"));
        const QAccessibleInterface* pPreviewInfo = QAccessible::queryAccessibleInterface(pPreview);
        QCOMPARE(pPreviewInfo->text(QAccessible::Name), QStringLiteral("Preview"));
        QCOMPARE(pPreviewInfo->text(QAccessible::Description),
                 QStringLiteral("Choose a model to see it here"));
        dialog.OpenStartupModel(QString::fromStdString((dir / "crate.3ds").string()));
        QTRY_COMPARE(pPreviewInfo->text(QAccessible::Description),
                     QStringLiteral("crate.3ds: 1 mesh, 12 faces; textures 0 found"));
    }

    void choicesReachTheLogicAndShow()
    {
        TempDir dir;
        WriteFile(dir / "Crate.3ds", File({Material("Wood", "wood.bmp"), Object(Cube("Crate"))}));
        WriteFile(dir / "wood.bmp", Str("wood"));
        RecordingNotifier notes;
        CConverterDlg dialog(&m_services);
        m_services.m_files = {"/models/ship.3ds", "/models/low/ship_low.3ds", "",
                              PathText((dir / "Crate.3ds").string())};
        Click(dialog, kIdOpenLod1);
        QCOMPARE(Text(dialog, kIdLod1Path) + "|" + Text(dialog, kIdOutputDir),
                 QStringLiteral("/models/ship.3ds|/models"));
        QVERIFY(Item(dialog, kIdConvert)->isEnabled() && Item(dialog, kIdOpenLod2)->isEnabled());
        Click(dialog, kIdOpenLod2);
        QCOMPARE(Text(dialog, kIdLod2Path), QStringLiteral("/models/low/ship_low.3ds"));
        Click(dialog, kIdOpenLod2); // cancelled
        QVERIFY(Text(dialog, kIdLod2Path).isEmpty());

        Click(dialog, kIdKeepSameDir);
        std::filesystem::create_directory(dir / "out");
        m_services.m_folders = {PathText((dir / "out").string())};
        Click(dialog, kIdSetOutputDir);
        QCOMPARE(m_services.m_lastCall,
                 QStringLiteral("Please select a destination folder for the converted file|/models"));
        Click(dialog, kIdOpenLod1);
        QCOMPARE(Text(dialog, kIdOutputDir),
                 PathText((dir / "out").string())); // kept: the box reached the logic

        auto* pFactor = Item<QLineEdit>(dialog, kIdScaleFactor);
        Click(dialog, kIdScaleDown);
        QTest::keyClicks(pFactor, QStringLiteral("1x2"));
        QCOMPARE(pFactor->text(), QStringLiteral("12")); // digits only
        Click(dialog, kIdScaleUp);
        QVERIFY(!Item<QRadioButton>(dialog, kIdScaleDown)->isChecked());
        QCOMPARE(dialog.Logic().BuildRequest().scaleFactor, 12);
        Click(dialog, kIdNoScaling);
        Click(dialog, kIdNoScaling); // a second click keeps it checked
        QVERIFY(Item<QRadioButton>(dialog, kIdNoScaling)->isChecked() && !pFactor->isEnabled());

        Click(dialog, kIdSmoothingGroups);
        Click(dialog, kIdCopyTextures);
        QVERIFY(dialog.Logic().BuildRequest().smoothingGroups && dialog.Logic().BuildRequest().copyTextures);
        Click(dialog, kIdSmoothingGroups);
        QVERIFY(!dialog.Logic().BuildRequest().smoothingGroups);

        Click(dialog, kIdConvert);
        QTRY_COMPARE(notes.m_events,
                     (std::vector<std::string>{"wait", "restore", "Info: Conversion succeeded!"}));
    }

    // The run goes on a worker thread: the window lives, shows after half
    // a second how far the run is, and stops it on Cancel, or on a close
    // that the user confirms, once the run has stopped.
    void aRunLeavesTheWindowAliveAndStopsOnCancelOrClose()
    {
        TempDir dir; // version 4: the run's warning is where the test acts
        WriteFile(dir / "v4.3ds",
                  Chunk(kChunkPrimary, {Version(4), Chunk(kChunkEditor, {Material("A"), Object(Cube())})}));
        RecordingNotifier notes;
        CConverterDlg dialog(&m_services);
        dialog.show();
        m_services.m_files = {PathText((dir / "v4.3ds").string())};
        Click(dialog, kIdOpenLod1);
        auto* pConvert = Item<QPushButton>(dialog, kIdConvert);
        notes.m_onMessage = [&] {
            QTest::qWait(600);
            // The reading has moved the percentage on by the warning.
            QVERIFY(QRegularExpression(QStringLiteral("v1\\.1 - \\d+%$"))
                        .match(dialog.windowTitle())
                        .hasMatch() &&
                    pConvert->text() == "Cancel" && !Item(dialog, kIdOpenLod1)->isEnabled());
            Click(dialog, kIdConvert);
        };
        Click(dialog, kIdConvert);
        QTRY_VERIFY(!dialog.Logic().IsRunning());
        QCOMPARE(dialog.windowTitle() + pConvert->text(), QStringLiteral("3ds to Vantrel v1.1&Convert file"));

        // A run that ends well: the warning's caption says how far it is,
        // the success box's does not.
        QStringList titles;
        notes.m_onMessage = [&] {
            QTest::qWait(600);
            titles.append(dialog.windowTitle());
        };
        Click(dialog, kIdConvert);
        QTRY_VERIFY(!dialog.Logic().IsRunning());
        QCOMPARE(titles.size(), 2);
        QVERIFY(QRegularExpression(QStringLiteral("^3ds to Vantrel v1\\.1 - \\d+%$"))
                    .match(titles[0])
                    .hasMatch());
        QCOMPARE(titles[1], QStringLiteral("3ds to Vantrel v1.1"));
        m_services.m_nAsked = 0;
        notes.m_events.clear();
        const std::string written = ReadWholeFile(dir / "v4.vnp");

        notes.m_onMessage = [&] {
            dialog.reject(); // answered No: the run goes on
            m_services.m_bStop = true;
            dialog.reject(); // Yes: the window goes at once, the run ends after
            QVERIFY(!dialog.isVisible() && dialog.Logic().IsRunning());
        };
        Click(dialog, kIdConvert);
        QTRY_VERIFY(!dialog.isVisible() && !dialog.Logic().IsRunning());
        QCOMPARE(m_services.m_nAsked, 2);
        QCOMPARE(notes.m_events.size(), 3u); // wait, the warning, restore
        QCOMPARE(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 2);
        QVERIFY(ReadWholeFile(dir / "v4.vnp") == written);
    }

    void enterEscapeAndExitEndTheDialog()
    {
        // Enter in the factor box gives the OK command, as does "E&xit";
        // Enter on a focused push button presses that button.
        m_services.m_folders = {QStringLiteral("/picked")};
        for (const int id : {kIdScaleFactor, kIdOk, kIdSetOutputDir})
        {
            CConverterDlg dialog(&m_services);
            dialog.show();
            Item(dialog, id)->setEnabled(true);
            Item(dialog, id)->setFocus();
            if (id == kIdOk)
                Click(dialog, id);
            else
                QTest::keyClick(Item(dialog, id), Qt::Key_Return);
            QCOMPARE(dialog.isVisible(), id == kIdSetOutputDir);
            QCOMPARE(dialog.result(), id == kIdSetOutputDir ? 0 : int(QDialog::Accepted));
        }
        QVERIFY(m_services.m_folders.isEmpty()); // the browser was asked
    }

    void droppedModelBecomesLod1()
    {
        TempDir dir;
        WriteFile(dir / "Drop.3DS", Str("x"));
        WriteFile(dir / "notes.txt", Str("x"));
        CConverterDlg dialog(&m_services);
        for (const char* name : {"notes.txt", "Drop.3DS"})
        {
            QMimeData mime;
            mime.setUrls({QUrl::fromLocalFile(PathText((dir / name).string()))});
            QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(&dialog, &enter);
            QCOMPARE(enter.isAccepted(), name[0] == 'D'); // only the model
            QDropEvent dropped(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(&dialog, &dropped);
        }
        QCOMPARE(Text(dialog, kIdLod1Path), PathText((dir / "Drop.3DS").string()));
        QVERIFY(Item(dialog, kIdConvert)->isEnabled());
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
        QTest::mouseClick(about.m_pLinkMail, Qt::LeftButton); // the desktop fails
        QCOMPARE(about.m_pLinkMail->m_textColor, CStaticLink::s_unvisitedColor);
        bSucceed = true;
        QTest::mouseClick(about.m_pLinkMail, Qt::LeftButton);
        QCOMPARE(QList({about.m_pLinkMail->m_textColor, about.m_pLinkWeb->m_textColor}),
                 QList({QColor(128, 0, 128), QColor(0, 0, 255)}));
        QTest::mouseClick(about.m_pLinkWeb, Qt::LeftButton);
        QCOMPARE(opened.size(), 3u);
        QCOMPARE(opened[1].scheme() + ":" + opened[1].path(), "mailto:" + about.m_pLinkMail->text());
        QCOMPARE(opened[1].query(QUrl::FullyDecoded), QStringLiteral("subject=3ds to VNP converter v1.1"));
        QCOMPARE(opened[2].toString(), QStringLiteral("http://") + about.m_pLinkWeb->text());
        QCOMPARE(about.m_pLinkWeb->cursor().shape(), Qt::PointingHandCursor);
        CLinkTarget::s_openUrl = previous;
    }

    void messageBoxShowsPlainTextAndTheCursorWaits()
    {
        // The main window owns the active window's messages, also when
        // another program is active.
        CQtNotifier notifier;
        QWidget owner;
        notifier.SetOwner(&owner);
        QString seen;
        QTimer::singleShot(0, [&] {
            auto* pBox = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            seen = pBox->windowTitle() + "|" + pBox->text() + "|" + QString::number(pBox->textFormat()) +
                   "|" + QString::number(pBox->icon()) + "|" +
                   QString::number(pBox->parentWidget() == &owner);
            pBox->button(QMessageBox::Ok)->click();
        });
        notifier.ShowMessage("/m/<b>x</b>&lt;.3ds", platform::MessageKind::Error,
                             platform::MessageOwner::ActiveWindow);
        QCOMPARE(
            seen,
            QStringLiteral("Error|/m/<b>x</b>&lt;.3ds|%1|%2|1").arg(Qt::PlainText).arg(QMessageBox::Warning));
        const platform::CursorHandle previous = notifier.SetWaitCursor();
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        notifier.RestoreCursor(previous);
        QVERIFY(!QApplication::overrideCursor());
    }

    // The preview reads off the window's thread, shows the model, its
    // counts and its scaled size, turns with the mouse, and shows why a
    // model cannot be read instead of a message box.
    void previewShowsTheModelOrWhyNot()
    {
        const TempDir dir;
        WriteFile(dir / "ship.3ds", File({Material("Hull"), Object(Cube("Hull"))}));
        WriteFile(dir / "bad.3ds", Bytes{1, 2, 3});
        RecordingNotifier notes;
        CConverterDlg dialog(&m_services);
        auto* pCaption = dialog.findChild<QLabel*>(QStringLiteral("previewCaption"));
        auto* pPreview = dialog.findChild<QWidget*>(QStringLiteral("preview"));
        QVERIFY(pCaption && pPreview && pPreview->x() >= Item(dialog, kIdAbout)->geometry().right());
        dialog.OpenStartupModel(QString::fromStdString((dir / "ship.3ds").string()));
        QTRY_VERIFY(pCaption->text().startsWith(QStringLiteral("LOD 1: 1 mesh, 12 faces, 8 vertices\n")));
        Click(dialog, kIdScaleUp);
        Item<QLineEdit>(dialog, kIdScaleFactor)->setText(QStringLiteral("3"));
        QVERIFY(pCaption->text().endsWith(QStringLiteral("Size: 3 x 3 x 3")));

        const auto picture = [pPreview] { return pPreview->grab().toImage(); };
        QTRY_VERIFY(picture().pixelColor(pPreview->rect().center()) !=
                    pPreview->palette().color(QPalette::Base));
        const QImage first = picture();
        const QPointF from(10, 10), to(60, 30);
        for (const auto& [type, pos] : {std::pair{QEvent::MouseButtonPress, from}, {QEvent::MouseMove, to}})
        {
            QMouseEvent event(type, pos, pPreview->mapToGlobal(pos), Qt::LeftButton, Qt::LeftButton, {});
            QCoreApplication::sendEvent(pPreview, &event);
        }
        QTRY_VERIFY(picture() != first);
        QTest::mouseDClick(pPreview, Qt::LeftButton);
        QTRY_COMPARE(picture(), first);

        dialog.OpenStartupModel(QString::fromStdString((dir / "bad.3ds").string()));
        QTRY_VERIFY(!pCaption->text().isEmpty() && !pCaption->text().startsWith(QStringLiteral("Reading")));
        QVERIFY(pCaption->text().contains(QStringLiteral("bad.3ds")));
        QVERIFY(notes.m_messages.empty());
    }

private:
    FakeServices m_services;
};

QTEST_MAIN(ConverterDlgTest)
#include "converter_dlg_test.moc"
