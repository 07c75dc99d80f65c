#include "PeFixture.h"
#include "PeIconReader.h"
#include "TestSupport.h"
#include "uEnvironment.h"
#include "uShortCut.h"

#include <QDir>
#include <QtTest>

namespace {

QImage decodeIco(const std::vector<std::uint8_t>& ico) {
    return QImage::fromData(
        QByteArray(reinterpret_cast<const char*>(ico.data()), static_cast<qsizetype>(ico.size())),
        "ICO");
}

void verifyFixtureIcon(const QImage& image) {
    QCOMPARE(image.size(), QSize(32, 32));
    for (const QPoint& p : {QPoint(0, 0), QPoint(31, 0), QPoint(5, 20), QPoint(31, 31)})
        QCOMPARE(image.pixelColor(p), PeFixture::pixel32(p.x(), p.y()));
}

// The icon group entries start 6 bytes after the group count field.
std::size_t groupEntry(const PeFixture& fixture, int index) {
    return fixture.groupCountField + 2 + 14 * index;
}

} // namespace

class TestShortcutIcon : public QObject {
    Q_OBJECT

private slots:
    void fixtureGivesItsIconAsIcoFile();
    void chosenGroupEntry_data();
    void chosenGroupEntry();
    void damagedFileGivesNothing_data();
    void damagedFileGivesNothing();
    void everyDamagedByteIsSurvived();
    void fileReaderReadsAndRefuses();
    void captureIcon_data();
    void captureIcon();
    void programExists_data();
    void programExists();
};

void TestShortcutIcon::fixtureGivesItsIconAsIcoFile() {
    const std::vector<std::uint8_t> ico = firstIconFromPeImage(PeFixture().bytes);
    QVERIFY(ico.size() > 22);
    const std::vector<std::uint8_t> header(ico.begin(), ico.begin() + 6);
    QCOMPARE(header, (std::vector<std::uint8_t>{0, 0, 1, 0, 1, 0}));
    QCOMPARE(ico[6], std::uint8_t(32));
    QCOMPARE(ico[18], std::uint8_t(22)); // image offset
    const std::uint32_t dataSize = ico[14] | ico[15] << 8 | ico[16] << 16 | ico[17] << 24;
    QCOMPARE(std::size_t(dataSize), ico.size() - 22);
    verifyFixtureIcon(decodeIco(ico));
}

void TestShortcutIcon::chosenGroupEntry_data() {
    QTest::addColumn<int>("groupCount");
    QTest::addColumn<int>("secondEntrySide");
    QTest::addColumn<QSize>("decodedSize");
    QTest::addColumn<int>("entryWidthByte");
    QTest::newRow("32x32 wins over an earlier 16x16") << 2 << 32 << QSize(32, 32) << 32;
    QTest::newRow("without 32x32 the largest") << 2 << 48 << QSize() << 48;
    QTest::newRow("a single 16x16") << 1 << 32 << QSize(16, 16) << 16;
}

void TestShortcutIcon::chosenGroupEntry() {
    QFETCH(int, groupCount);
    QFETCH(int, secondEntrySide);
    QFETCH(QSize, decodedSize);
    QFETCH(int, entryWidthByte);
    PeFixture fixture;
    fixture.put16(fixture.groupCountField, groupCount);
    fixture.bytes[groupEntry(fixture, 1)] = static_cast<std::uint8_t>(secondEntrySide);
    fixture.bytes[groupEntry(fixture, 1) + 1] = static_cast<std::uint8_t>(secondEntrySide);
    const std::vector<std::uint8_t> ico = firstIconFromPeImage(fixture.bytes);
    QVERIFY(!ico.empty());
    QCOMPARE(int(ico[6]), entryWidthByte);
    if (decodedSize.isValid())
        QCOMPARE(decodeIco(ico).size(), decodedSize);
}

void TestShortcutIcon::damagedFileGivesNothing_data() {
    QTest::addColumn<std::vector<std::uint8_t>>("image");
    const PeFixture intact;
    for (std::size_t length :
         {std::size_t(0), std::size_t(2), std::size_t(0x3E), std::size_t(0x50), std::size_t(0x200),
          std::size_t(0x2F0), std::size_t(PeFixture::SectionFileOffset + 244 + 100)}) {
        const std::vector<std::uint8_t> truncated(intact.bytes.begin(),
                                                  intact.bytes.begin() + length);
        QTest::addRow("truncated at %zu", length) << truncated;
    }
    const auto damaged = [&intact](std::size_t field, std::uint32_t value, int width = 4) {
        PeFixture copy = intact;
        width == 4 ? copy.put32(field, value) : copy.put16(field, value);
        return copy.bytes;
    };
    QTest::newRow("no MZ") << damaged(0, 0x4D5A, 2);
    QTest::newRow("PE header out of range") << damaged(intact.peOffsetField, 0xFFFFFFF0u);
    QTest::newRow("section data out of range")
        << damaged(intact.sectionRawPointerField, 0xFFFFFF00u);
    QTest::newRow("directory pointing to the root")
        << damaged(intact.groupTypeTargetField, 0x80000000u);
    QTest::newRow("directory as language leaf")
        << damaged(intact.groupTypeTargetField, 0x80000000u | 64u);
    QTest::newRow("huge icon size") << damaged(intact.iconDataSizeField, 0x7FFFFFFFu);
    QTest::newRow("icon size past the section") << damaged(intact.iconDataSizeField, 0x2000u);
    QTest::newRow("huge root entry count") << damaged(intact.rootIdCountField, 0xFFFF, 2);
    QTest::newRow("huge group count") << damaged(intact.groupCountField, 0xFFFF, 2);
    QTest::newRow("empty group") << damaged(intact.groupCountField, 0, 2);
}

void TestShortcutIcon::damagedFileGivesNothing() {
    QFETCH(std::vector<std::uint8_t>, image);
    QVERIFY(firstIconFromPeImage(image).empty());
}

// Sets each byte of headers and resource tree to values that break offsets and counts: the
// reader must neither crash nor return more than the file could hold.
void TestShortcutIcon::everyDamagedByteIsSurvived() {
    const PeFixture intact;
    for (std::size_t i = 0; i < PeFixture::SectionFileOffset + 244; ++i) {
        for (std::uint8_t value : {std::uint8_t(0x00), std::uint8_t(0x7F), std::uint8_t(0xFF)}) {
            std::vector<std::uint8_t> copy = intact.bytes;
            copy[i] = value;
            QVERIFY(firstIconFromPeImage(copy).size() <= copy.size() + 22);
        }
    }
}

void TestShortcutIcon::fileReaderReadsAndRefuses() {
    TestSandbox sandbox;
    const QString exe = sandbox.writeFile("app/tool.exe", PeFixture().toByteArray());
    QCOMPARE(firstIconFromPeFile(exe.toStdString()), firstIconFromPeImage(PeFixture().bytes));
    QVERIFY(firstIconFromPeFile((sandbox.root() + "/missing.exe").toStdString()).empty());
    QVERIFY(firstIconFromPeFile(sandbox.exeDir().toStdString()).empty());
    const QString empty = sandbox.writeFile("app/empty.exe", QByteArray());
    QVERIFY(firstIconFromPeFile(empty.toStdString()).empty());
}

void TestShortcutIcon::captureIcon_data() {
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("captured");
    const QByteArray pe = PeFixture().toByteArray();
    QTest::newRow("upper-case .EXE") << "app/TOOL.EXE" << pe << true;
    QTest::newRow("through removedrive") << "%removedrive%/app/tool.exe" << pe << true;
    QTest::newRow(".bat keeps its picture") << "app/tool.bat" << pe << false;
    QTest::newRow(".exe without icons") << "app/plain.exe" << QByteArray("MZ") << false;
    QTest::newRow("missing .exe") << "app/missing.exe" << QByteArray() << false;
}

void TestShortcutIcon::captureIcon() {
    QFETCH(QString, fileName);
    QFETCH(QByteArray, content);
    QFETCH(bool, captured);
    TestSandbox sandbox;
    TEnvironment environment;
    Env = &environment;
    qputenv("removedrive", sandbox.root().toLocal8Bit());
    const QString relative = QString(fileName).remove("%removedrive%/");
    if (!content.isEmpty())
        sandbox.writeFile(relative, content);
    TQShortCut shortCut;
    shortCut.FileName = fileName.startsWith('%') ? fileName : sandbox.root() + "/" + relative;
    QImage before(8, 8, QImage::Format_ARGB32);
    before.fill(Qt::green);
    shortCut.IconBitmap = before;
    shortCut.CaptureIcon();
    Env = nullptr;
    if (captured)
        verifyFixtureIcon(shortCut.IconBitmap);
    else
        QCOMPARE(shortCut.IconBitmap, before);
}

void TestShortcutIcon::programExists_data() {
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("exists");
    QTest::newRow("a file") << "<root>/app/tool.exe" << true;
    QTest::newRow("through removedrive") << "%removedrive%/app/tool.exe" << true;
    QTest::newRow("a folder") << "<root>/app" << false;
    QTest::newRow("missing") << "<root>/app/gone.exe" << false;
}

void TestShortcutIcon::programExists() {
    QFETCH(QString, fileName);
    QFETCH(bool, exists);
    TestSandbox sandbox;
    TEnvironment environment;
    Env = &environment;
    qputenv("removedrive", sandbox.root().toLocal8Bit());
    sandbox.writeFile("app/tool.exe");
    TQShortCut shortCut;
    shortCut.FileName = QString(fileName).replace("<root>", sandbox.root());
    const bool result = shortCut.ProgramExists();
    Env = nullptr;
    QCOMPARE(result, exists);
}

QTEST_GUILESS_MAIN(TestShortcutIcon)
#include "test_shortcut_icon.moc"
