#include "TestSupport.h"
#include "fuzz/FuzzChecks.h"

#include <QDirIterator>
#include <QtTest>
#include <memory>

// Replays the fuzz targets' seeds and every kept crash input (tests/fuzz/<target>/ and its
// regressions/ folder) through the same checks, in the ordinary build.

class TestFuzzCorpus : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TestSandbox> m_sandbox;
    std::unique_ptr<TEnvironment> m_environment;
    std::unique_ptr<fuzzchecks::FiconStore> m_ficonStore;

private slots:
    void initTestCase() {
        m_sandbox = std::make_unique<TestSandbox>();
        qputenv("removedrive", "E:");
        m_environment = std::make_unique<TEnvironment>();
        Env = m_environment.get();
        m_ficonStore = std::make_unique<fuzzchecks::FiconStore>(m_sandbox->exeDir());
    }

    void cleanupTestCase() {
        m_ficonStore.reset();
        Env = nullptr;
        m_environment.reset();
        m_sandbox.reset();
    }

    void inputPassesItsTarget_data() {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("input");
        const QString root = QFINDTESTDATA("fuzz");
        QVERIFY(!root.isEmpty());
        int count = 0;
        for (const char* target : {"fuzz_paths", "fuzz_pe_icon", "fuzz_ficon"}) {
            QDirIterator inputs(root + "/" + target, QDir::Files, QDirIterator::Subdirectories);
            while (inputs.hasNext()) {
                const QString input = inputs.next();
                QTest::addRow("%s", qPrintable(input.mid(root.size() + 1))) << target << input;
                ++count;
            }
        }
        QVERIFY(count > 0);
    }

    void inputPassesItsTarget() {
        QFETCH(QString, target);
        QFETCH(QString, input);
        QFile file(input);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.constData());
        const std::size_t size = static_cast<std::size_t>(bytes.size());
        const char* failure = target == "fuzz_paths"     ? fuzzchecks::checkPaths(data, size)
                              : target == "fuzz_pe_icon" ? fuzzchecks::checkPeIcon(data, size)
                                                         : m_ficonStore->check(data, size);
        QVERIFY2(failure == nullptr, failure);
    }
};

QTEST_GUILESS_MAIN(TestFuzzCorpus)
#include "test_fuzz_corpus.moc"
