#include "KeldaError.h"
#include "TestSupport.h"
#include "uDataModule.h"
#include "uEnvironment.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>
#include <cstdio>

// The store must survive the program being killed at any moment (a pulled drive, a killed
// process): the test binary re-runs itself as a writer that adds rows one by one and
// reports each commit on stdout, and is killed with SIGKILL while it writes.

namespace {

const char* const WriterVariable = "KELDA_STORE_WRITER";
const char* const RoundVariable = "KELDA_WRITER_ROUND";
const QString WriterGroup = QStringLiteral("crash");

void report(const QString& line) {
    const QByteArray bytes = (line + '\n').toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

QImage iconFor(int i) {
    QImage icon(32, 32, QImage::Format_RGB32);
    icon.fill(qRgb(i % 256, 255 - i % 256, 0x40));
    return icon;
}

QString shortCutFileName(const QString& round, int i) {
    return QStringLiteral("E:\\round %1\\程序 %2.bat").arg(round).arg(i);
}

// Adds categories and shortcuts until killed; prints each one after its commit.
void writeUntilKilled(Tdm& store, const QString& round) {
    for (int i = 0;; ++i) {
        if (i % 4 == 0) {
            const QString group = QStringLiteral("group %1-%2").arg(round).arg(i);
            store.AddGroup({group, i % 45});
            report("G " + group);
        }
        TQShortCut shortCut;
        shortCut.GroupName = WriterGroup;
        shortCut.FileName = shortCutFileName(round, i);
        shortCut.DisplayName = "名字 " + shortCut.FileName;
        shortCut.Parameters = QStringLiteral("-n %1").arg(i);
        shortCut.IconBitmap = iconFor(i);
        store.AddShortCut(shortCut);
        report("S " + shortCut.FileName);
    }
}

int runStoreWriter(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    TestPlatform platform;
    platform.exePath = qEnvironmentVariable(WriterVariable).toStdString();
    setPlatform(&platform);
    TEnvironment environment;
    Env = &environment;
    try {
        Tdm store;
        report("opening");
        store.DataModuleCreate();
        writeUntilKilled(store, qEnvironmentVariable(RoundVariable));
    } catch (const KeldaError& error) {
        report("error " + error.message());
    }
    return 3;
}

// What a killed writer reported: complete lines only.
struct Reported {
    QStringList shortCuts;
    QStringList groups;
    QStringList errors;
};

Reported parseReport(const QByteArray& output) {
    Reported reported;
    const int end = output.lastIndexOf('\n');
    for (const QByteArray& raw : output.left(end < 0 ? 0 : end).split('\n')) {
        const QString line = QString::fromUtf8(raw);
        if (line.startsWith("S "))
            reported.shortCuts.append(line.mid(2));
        else if (line.startsWith("G "))
            reported.groups.append(line.mid(2));
        else if (line.startsWith("error "))
            reported.errors.append(line.mid(6));
    }
    return reported;
}

class Writer {
public:
    Writer(const TestSandbox& sandbox, int round) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(WriterVariable, sandbox.exePath());
        environment.insert(RoundVariable, QString::number(round));
        m_process.setProcessEnvironment(environment);
        m_process.setProgram(QCoreApplication::applicationFilePath());
        m_process.start();
    }

    // Waits until the output holds `text` (at most 30 s); false when it never came.
    bool waitFor(const QByteArray& text) {
        QElapsedTimer timer;
        timer.start();
        while (!m_output.contains(text) && timer.elapsed() < 30000 &&
               m_process.state() != QProcess::NotRunning) {
            m_process.waitForReadyRead(100);
            m_output += m_process.readAllStandardOutput();
        }
        return m_output.contains(text);
    }

    void killAfter(int milliseconds) {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < milliseconds && m_process.state() != QProcess::NotRunning) {
            m_process.waitForReadyRead(qMax(1, milliseconds - int(timer.elapsed())));
            m_output += m_process.readAllStandardOutput();
        }
        m_process.kill();
        m_process.waitForFinished(30000);
        m_output += m_process.readAllStandardOutput();
    }

    bool wasKilled() const { return m_process.exitStatus() == QProcess::CrashExit; }
    QByteArray errorOutput() { return m_process.readAllStandardError(); }
    Reported reported() const { return parseReport(m_output); }

private:
    QProcess m_process;
    QByteArray m_output;
};

// PRAGMA integrity_check of a table file on a connection of its own.
QString integrityOf(const QString& tableFile) {
    QString result = "<cannot open>";
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "integrity");
        db.setDatabaseName(tableFile);
        if (db.open()) {
            QSqlQuery query(db);
            result = query.exec("PRAGMA integrity_check") && query.next()
                         ? query.value(0).toString()
                         : "<check failed>";
        }
    }
    QSqlDatabase::removeDatabase("integrity");
    return result;
}

QString errorOpening(Tdm& store) {
    try {
        store.DataModuleCreate();
    } catch (const KeldaError& error) {
        return error.message();
    }
    return {};
}

QMap<QString, TQShortCut> storedShortCuts(const Tdm& store) {
    TQShortCutList list;
    store.LoadShortCuts(WriterGroup, list);
    QMap<QString, TQShortCut> byFileName;
    for (const TQShortCut& shortCut : list)
        byFileName.insert(shortCut.FileName, shortCut);
    return byFileName;
}

QStringList storedGroups(const Tdm& store) {
    TQShortCutGroupList groups;
    store.LoadGroups(groups);
    QStringList names;
    for (const TQShortCutGroup& group : groups)
        names.append(group.GroupName);
    return names;
}

} // namespace

class TestCrashSafety : public QObject {
    Q_OBJECT

private:
    // Reopens the store as the next start does and checks the files and the reported rows.
    void verifyStore(const TestSandbox& sandbox, const Reported& reported,
                     int* storedShortCutCount = nullptr) {
        const QString data = sandbox.exeDir() + "/data/";
        {
            Tdm store;
            QCOMPARE(errorOpening(store), QString());
            const QMap<QString, TQShortCut> shortCuts = storedShortCuts(store);
            for (const QString& fileName : reported.shortCuts) {
                QVERIFY2(shortCuts.contains(fileName), qPrintable("lost " + fileName));
                const TQShortCut& shortCut = shortCuts[fileName];
                QCOMPARE(shortCut.DisplayName, "名字 " + fileName);
                QVERIFY(shortCut.Parameters.startsWith("-n "));
                QCOMPARE(shortCut.IconBitmap.size(), QSize(32, 32));
            }
            const QStringList groups = storedGroups(store);
            for (const QString& group : reported.groups)
                QVERIFY2(groups.contains(group), qPrintable("lost " + group));
            if (storedShortCutCount)
                *storedShortCutCount = shortCuts.size();
        }
        QCOMPARE(integrityOf(data + "t_sc.dat"), QString("ok"));
        QCOMPARE(integrityOf(data + "t_scg.dat"), QString("ok"));
    }

private slots:
    void killedWriterLosesNoReportedRow() {
        TestSandbox sandbox;
        Reported all;
        int storedBefore = 0;
        const int rounds = 24;
        for (int round = 0; round < rounds; ++round) {
            Writer writer(sandbox, round);
            // Every fourth kill lands while the store opens; the others among the commits.
            const bool duringOpening = round % 4 == 0;
            QVERIFY(writer.waitFor(duringOpening ? "opening" : "S "));
            writer.killAfter(duringOpening ? round : (round * 37) % 200);
            QVERIFY2(writer.wasKilled(), writer.errorOutput().constData());
            const Reported reported = writer.reported();
            QCOMPARE(reported.errors, QStringList());
            all.shortCuts += reported.shortCuts;
            all.groups += reported.groups;

            int stored = 0;
            verifyStore(sandbox, all, &stored);
            if (QTest::currentTestFailed())
                return;
            // At most the one commit whose report the kill cut off is stored unreported.
            const int added = stored - storedBefore;
            QVERIFY2(added - reported.shortCuts.size() <= 1,
                     qPrintable(QStringLiteral("round %1: %2 stored, %3 reported")
                                    .arg(round)
                                    .arg(added)
                                    .arg(reported.shortCuts.size())));
            storedBefore = stored;
        }
        QVERIFY2(all.shortCuts.size() >= rounds, "the kills came before the commits");
    }

    void killDuringFirstStartLeavesAUsableStore_data() {
        QTest::addColumn<int>("delay");
        for (int delay = 0; delay <= 45; delay += 3)
            QTest::addRow("%d ms after opening", delay) << delay;
    }

    void killDuringFirstStartLeavesAUsableStore() {
        QFETCH(int, delay);
        TestSandbox sandbox;
        Writer writer(sandbox, 0);
        QVERIFY(writer.waitFor("opening"));
        writer.killAfter(delay);
        QVERIFY2(writer.wasKilled(), writer.errorOutput().constData());
        verifyStore(sandbox, writer.reported());
    }
};

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsSet(WriterVariable))
        return runStoreWriter(argc, argv);
    QCoreApplication application(argc, argv);
    TestCrashSafety test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_crash_safety.moc"
