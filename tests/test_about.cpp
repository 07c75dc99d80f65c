#include "About.h"
#include "TestSupport.h"
#include "uDataModule.h"
#include "uFrmMain.h"
#include "uUiKit.h"

#include <QLabel>
#include <QPushButton>
#include <QtTest>
#include <memory>

namespace {

template <typename T> T* widget(QWidget& parent, const char* name) {
    T* found = parent.findChild<T*>(name);
    if (found == nullptr)
        qFatal("widget %s not found", name);
    return found;
}

// Records the web addresses it is asked to open instead of starting a browser.
class UrlRecordingPlatform : public TestPlatform {
public:
    QStringList opened;
    void openUrl(const std::string& url) override { opened.append(QString::fromStdString(url)); }
};

} // namespace

class TestAbout : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TestSandbox> m_sandbox;
    UrlRecordingPlatform m_platform;

private slots:
    void initTestCase() { UiTestHooks::enable(); }

    void init() {
        UiTestHooks::reset();
        m_sandbox = std::make_unique<TestSandbox>();
        m_platform.opened.clear();
        m_platform.exePath = m_sandbox->platform.exePath;
        setPlatform(&m_platform);
    }

    void cleanup() {
        QCOMPARE(UiTestHooks::pendingCount(), 0);
        delete frmMain;
        frmMain = nullptr;
        delete dm;
        dm = nullptr;
        m_sandbox.reset();
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
        dm = new Tdm;
        dm->DataModuleCreate();
        frmMain = new TfrmMain;
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
