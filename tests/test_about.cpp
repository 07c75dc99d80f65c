#include "About.h"
#include "AppWorld.h"
#include "uUiKit.h"

#include <QLabel>
#include <QPushButton>
#include <QtTest>

namespace {

// Records the web addresses it is asked to open instead of starting a browser.
class UrlRecordingPlatform : public TestPlatform {
public:
    QStringList opened;
    void openUrl(const std::string& url) override { opened.append(QString::fromStdString(url)); }
};

} // namespace

class TestAbout : public AppWorldTest {
    Q_OBJECT

private:
    UrlRecordingPlatform m_platform;

private slots:
    void init() {
        AppWorldTest::init();
        m_platform.opened.clear();
        m_platform.exePath = m_world->sandbox.platform.exePath;
        setPlatform(&m_platform);
    }

    void showsProductAndVersion() {
        TAboutBox box;
        QCOMPARE(box.objectName(), QString("AboutBox"));
        QCOMPARE(box.windowTitle(), QString("关于"));
        QCOMPARE(widget<QLabel>(box, "ProductName")->text(), QString("KELDA"));
        QCOMPARE(widget<QLabel>(box, "Version")->text(), QString("Version:1.5.2.17"));
    }

    void showsTheApplicationIconAt36Pixels() {
        TAboutBox box;
        box.show();
        QLabel* icon = widget<QLabel>(box, "ProgramIcon");
        QVERIFY(!icon->pixmap().isNull());
        QCOMPARE(icon->size(), QSize(36, 36));
    }

    void linkClickOpensThePageOnceAndStaysOpen() {
        TAboutBox box;
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));

        QTest::mouseClick(widget<QLabel>(box, "RzURLLabel1"), Qt::LeftButton);

        QCOMPARE(m_platform.opened, QStringList(TAboutBox::AuthorPage));
        QVERIFY(box.isVisible());
        QVERIFY(UiTestHooks::shownMessages().isEmpty());
    }

    void closes_data() {
        QTest::addColumn<bool>("byEnter");
        QTest::newRow("button") << false;
        QTest::newRow("Enter") << true;
    }

    void closes() {
        QFETCH(bool, byEnter);
        m_world->openWindow();
        int result = mrNone;
        UiTestHooks::queueDialog([&](QDialog& box) {
            box.show();
            if (byEnter)
                QTest::keyClick(&box, Qt::Key_Return);
            else
                widget<QPushButton>(box, "OKButton")->click();
            result = box.result() == QDialog::Accepted ? mrOk : mrCancel;
            return result;
        });
        frmMain->ActionAboutExecute();

        QCOMPARE(result, int(mrOk));
        QVERIFY(m_platform.opened.isEmpty());
    }
};

QTEST_MAIN(TestAbout)
#include "test_about.moc"
