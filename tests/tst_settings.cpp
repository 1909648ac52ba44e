#include "zaveksettings.h"

#include "testenvironment.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QSettings>
#include <QScopedPointer>
#include <QSignalSpy>
#include <QtTest>

namespace {

QString settingsDirectory()
{
    return ZavekTest::configPath() + QStringLiteral("/Ulmar");
}

QString settingsFile()
{
    return settingsDirectory() + QStringLiteral("/Zavek.conf");
}

// The settings file as text, read past QSettings' per-process cache.
QByteArray fileContents()
{
    QFile file(settingsFile());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The text stored under key in the file, or a null array.
QByteArray fileValue(const QString &key)
{
    const QList<QByteArray> lines = fileContents().split('\n');
    const QByteArray prefix = key.toUtf8() + '=';
    for (const QByteArray &line : lines) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size());
    }
    return QByteArray();
}

// Rewrites the file as another program would: in place, or by an atomic rename.
void writeFile(const QByteArray &contents, bool atomic = false)
{
    QDir().mkpath(settingsDirectory());
    if (atomic) {
        QSaveFile file(settingsFile());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(contents);
        QVERIFY(file.commit());
    } else {
        QFile file(settingsFile());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(contents);
    }
}

QRegularExpression cannotWatchWarning()
{
    return QRegularExpression(QStringLiteral(
        "^void ZavekSettings::addWatcher\\(\\) The configuration file cannot be watched for changes! "
        "Re-start this process to try again! .+ Error code:  [1-9][0-9]*$"));
}

// Collects the warnings logged while it lives, for cases where Qt adds its own.
class WarningCollector
{
public:
    WarningCollector()
    {
        s_messages.clear();
        m_previous = qInstallMessageHandler(&WarningCollector::handle);
    }
    ~WarningCollector() { qInstallMessageHandler(m_previous); }

    int count(const QRegularExpression &pattern) const
    {
        int matches = 0;
        for (const QString &message : qAsConst(s_messages))
            matches += pattern.match(message).hasMatch() ? 1 : 0;
        return matches;
    }

private:
    static void handle(QtMsgType type, const QMessageLogContext &, const QString &message)
    {
        if (type == QtWarningMsg)
            s_messages.append(message);
    }

    static QStringList s_messages;
    QtMessageHandler m_previous;
};

QStringList WarningCollector::s_messages;

ZavekSettings::Flags flagsAt(const QSignalSpy &spy, int index)
{
    return spy.at(index).at(0).value<ZavekSettings::Flags>();
}

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void registryAndSignal();
    void absentFileGivesDefaultsAndIsWatched();
    void textValuesFromFile_data();
    void textValuesFromFile();
    void writeThroughSendsChangesToTheFile();
    void withoutWriteThroughChangesWaitForFlush();
    void notifyFalseStopsWatchingUntilTrue();
    void unchangedValueReturnsEarly();
    void atomicReplacementStaysWatched();
    void reloadKeepsChangesNotYetWritten();
    void unreadableOrGarbageFileGivesDefaults_data();
    void unreadableOrGarbageFileGivesDefaults();
    void entryWithoutValueCountsAsAbsent();
    void unwritableDirectoryKeepsValuesInMemory();
    void aboutToQuitDropsTheWatcher();
    void destructionWritesPendingValues();
    void instanceCanBeRecreatedForTests();

private:
    ZavekSettings *create();
    QScopedPointer<ZavekSettings> m_settings;
};

void TestSettings::init()
{
    QDir(ZavekTest::configPath()).removeRecursively();
}

void TestSettings::cleanup()
{
    m_settings.reset();
    QDir(ZavekTest::configPath()).removeRecursively();
    // The settings file's parsed state is cached per process, including writes that failed;
    // let them land now, so that the next test starts from an empty file.
    {
        QSettings drain(ZavekSettings::COMPANY, ZavekSettings::PACKAGE);
        drain.sync();
    }
    QDir(ZavekTest::configPath()).removeRecursively();
}

ZavekSettings *TestSettings::create()
{
    m_settings.reset(new ZavekSettings);
    return m_settings.data();
}

void TestSettings::registryAndSignal()
{
    ZavekSettings *settings = create();
    QVERIFY(settings->metaObject()->indexOfSignal("settingsChanged(ZavekSettings::Flags)") >= 0);
    // Keys and bits are shared with other programs reading the same file.
    const struct { QString key; const char *text; quint32 flag; QVariant defaultValue; } options[] = {
        { ZavekSettings::viewHtmlOption, "viewHtmlMailFormat", 0x1, true },
        { ZavekSettings::threadListOption, "messageListOption", 0x4, false },
        { ZavekSettings::downloadImagesOption, "downloadImagesOption", 0x8, true },
        { ZavekSettings::sendImmediatelyOption, "sendMessagesOption", 0x10, true },
        { ZavekSettings::useConnectivityManagerOption, "useConnectivityManager", 0x20, true },
        { ZavekSettings::showFavouritesInSummaryOption, "showFavouritesInSummary", 0x40, true },
        { ZavekSettings::previewLinesOption, "previewLines", 0x80, 2 },
        { ZavekSettings::sendAsPlaintextOption, "sendAsPlaintext", 0x100, false },
        { ZavekSettings::sortKeyOption, "sortKey", 0x200, 0 },
    };
    settings->flushWhenChanged(false);
    QSignalSpy spy(settings, &ZavekSettings::settingsChanged);
    for (const auto &option : options) {
        QCOMPARE(option.key, QLatin1String(option.text));
        QCOMPARE(settings->getValue(option.key), option.defaultValue);
        settings->setValue(option.key, QVariant(42), true);
        QCOMPARE(quint32(flagsAt(spy, spy.count() - 1)), option.flag);
    }
}

void TestSettings::absentFileGivesDefaultsAndIsWatched()
{
    // Not even the configuration directory exists, as on a fresh device.
    QVERIFY(!QFile::exists(ZavekTest::configPath()));
    ZavekSettings *settings = create();
    QVERIFY(QFile::exists(settingsFile()));
    QVERIFY(fileContents().isEmpty());
    QVERIFY(settings->viewHtml() && !settings->threadedList() && settings->downloadImages()
            && settings->sendImmediately() && settings->useConnectivityManager()
            && settings->showFavouritesInSummary() && !settings->sendAsPlaintext() && settings->sortKey() == 0);
    QCOMPARE(settings->previewLines(), ZavekSettings::PreviewTwoLines);

    settings->flush(true);
    QSignalSpy spy(settings, &ZavekSettings::settingsChanged);
    // A change to the file from the start: seen, though this process never wrote it.
    writeFile("[General]\nsortKey=3\n");
    QTRY_COMPARE(spy.count(), 1);
    QCOMPARE(flagsAt(spy, 0), ZavekSettings::Flags(ZavekSettings::SortKey));
    QCOMPARE(settings->sortKey(), 3);

    // Touched without a change: announced with no bit set.
    writeFile("[General]\nsortKey=3\n\n");
    QTRY_COMPARE(spy.count(), 2);
    QCOMPARE(flagsAt(spy, 1), ZavekSettings::Flags());

    // Defaults never reach the file.
    m_settings.reset();
    QCOMPARE(fileContents(), QByteArray("[General]\nsortKey=3\n\n"));
}

void TestSettings::textValuesFromFile_data()
{
    QTest::addColumn<QByteArray>("storedPreviewLines");
    QTest::newRow("too large") << QByteArray("5");
    QTest::newRow("negative") << QByteArray("-1");
}

void TestSettings::textValuesFromFile()
{
    QFETCH(QByteArray, storedPreviewLines);
    const QByteArray contents = "[General]\nviewHtmlMailFormat=false\npreviewLines=" + storedPreviewLines
        + "\nsortKey=-1\n";
    writeFile(contents);
    ZavekSettings *settings = create();
    QVERIFY(!settings->viewHtml());
    QVERIFY(!settings->getValue(ZavekSettings::viewHtmlOption).toBool());
    QCOMPARE(settings->sortKey(), -1);

    const QString warning = QStringLiteral("ZavekSettings::PreviewLinesType ZavekSettings::previewLines() const "
                                           "Illegal PreviewLinesType value: %1 Returning default value instead")
                                .arg(QString::fromLatin1(storedPreviewLines));
    QTest::ignoreMessage(QtWarningMsg, qPrintable(warning));
    QCOMPARE(settings->previewLines(), ZavekSettings::PreviewTwoLines);

    // The getter already yields two lines, so nothing is stored and the illegal value stays.
    QTest::ignoreMessage(QtWarningMsg, qPrintable(warning));
    settings->setPreviewLines(ZavekSettings::PreviewTwoLines, true);
    settings->flush(true);
    settings->setViewHtml(false, true);
    m_settings.reset();
    QCOMPARE(fileContents(), contents);

    settings = create();
    QTest::ignoreMessage(QtWarningMsg, qPrintable(warning));
    settings->setPreviewLines(ZavekSettings::PreviewOneLine, true);
    QCOMPARE(settings->previewLines(), ZavekSettings::PreviewOneLine);
    QCOMPARE(settings->partialContentSize(), 2048);
    m_settings.reset();
    QCOMPARE(fileValue(QStringLiteral("previewLines")), QByteArray("1"));
}

void TestSettings::writeThroughSendsChangesToTheFile()
{
    ZavekSettings *settings = create();
    QSignalSpy spy(settings, &ZavekSettings::settingsChanged);
    settings->setSortKey(3, true);
    settings->setShowFavouritesInSummary(false, true);
    QCOMPARE(spy.count(), 0);
    QCOMPARE(settings->sortKey(), 3);
    // The store writes on its own on a later event-loop turn; our watcher then sees a
    // file that holds what we hold already.
    QTRY_COMPARE(fileValue(QStringLiteral("sortKey")), QByteArray("3"));
    QCOMPARE(fileValue(QStringLiteral("showFavouritesInSummary")), QByteArray("false"));
    QTRY_VERIFY(spy.count() >= 1);
    for (int i = 0; i < spy.count(); ++i)
        QCOMPARE(flagsAt(spy, i), ZavekSettings::Flags());
}

void TestSettings::withoutWriteThroughChangesWaitForFlush()
{
    writeFile("[General]\nsortKey=1\n");
    ZavekSettings *settings = create();
    settings->flushWhenChanged(false);
    QSignalSpy spy(settings, &ZavekSettings::settingsChanged);

    settings->setSortKey(4, true);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(flagsAt(spy, 0), ZavekSettings::Flags(ZavekSettings::SortKey));
    settings->setThreadedList(true, false);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(settings->sortKey(), 4);
    QVERIFY(settings->threadedList());
    QCoreApplication::processEvents();
    QCOMPARE(fileValue(QStringLiteral("sortKey")), QByteArray("1"));

    settings->flush(true);
    QTRY_COMPARE(fileValue(QStringLiteral("sortKey")), QByteArray("4"));
    QCOMPARE(fileValue(QStringLiteral("messageListOption")), QByteArray("true"));
    // Only what changed was written.
    QCOMPARE(fileValue(QStringLiteral("viewHtmlMailFormat")), QByteArray());
}

void TestSettings::notifyFalseStopsWatchingUntilTrue()
{
    ZavekSettings *settings = create();
    QSignalSpy spy(settings, &ZavekSettings::settingsChanged);
    settings->setSortKey(2, false);
    QTRY_COMPARE(fileValue(QStringLiteral("sortKey")), QByteArray("2"));

    writeFile("[General]\nsortKey=2\npreviewLines=1\n");
    QTest::qWait(200); // a change that must not be announced: give it a chance to arrive
    QCOMPARE(spy.count(), 0);
    QCOMPARE(settings->previewLines(), ZavekSettings::PreviewTwoLines);

    settings->setNotify(true);
    writeFile("[General]\nsortKey=2\npreviewLines=0\n");
    QTRY_VERIFY(spy.count() >= 1);
    QCOMPARE(flagsAt(spy, spy.count() - 1), ZavekSettings::Flags(ZavekSettings::PreviewLines));
    QCOMPARE(settings->previewLines(), ZavekSettings::PreviewNone);
}

void TestSettings::unchangedValueReturnsEarly()
{
    ZavekSettings *settings = create();
    settings->flushWhenChanged(false);
    QSignalSpy spy(settings, &ZavekSettings::settingsChanged);
    // Already true: neither a signal nor the disconnection that notify false would cause.
    settings->setViewHtml(true, false);
    settings->setSortKey(0, true);
    settings->setPreviewLines(ZavekSettings::PreviewTwoLines, true);
    QCOMPARE(spy.count(), 0);

    writeFile("[General]\nsortKey=9\n");
    QTRY_COMPARE(spy.count(), 1);
    QCOMPARE(flagsAt(spy, 0), ZavekSettings::Flags(ZavekSettings::SortKey));
    settings->flush(true);
    QCoreApplication::processEvents();
    QCOMPARE(fileContents(), QByteArray("[General]\nsortKey=9\n"));
}

void TestSettings::atomicReplacementStaysWatched()
{
    ZavekSettings *settings = create();
    QSignalSpy spy(settings, &ZavekSettings::settingsChanged);
    // Wait for the values, not for a count: one write may arrive as several file events.
    writeFile("[General]\nsortKey=5\n", true);
    QTRY_COMPARE(settings->sortKey(), 5);
    // A different size: the store re-reads a file only when its time stamp or size changed,
    // and two writes may fall within one time stamp.
    writeFile("[General]\nsortKey=16\n", true);
    QTRY_COMPARE(settings->sortKey(), 16);
    QVERIFY(spy.count() >= 2);
}

void TestSettings::reloadKeepsChangesNotYetWritten()
{
    ZavekSettings *settings = create();
    settings->flushWhenChanged(false);
    settings->setViewHtml(false, true);
    QSignalSpy spy(settings, &ZavekSettings::settingsChanged);

    writeFile("[General]\nviewHtmlMailFormat=true\nsortKey=7\n");
    QTRY_COMPARE(spy.count(), 1);
    QCOMPARE(flagsAt(spy, 0), ZavekSettings::Flags(ZavekSettings::SortKey));
    QVERIFY(!settings->viewHtml());
    QCOMPARE(settings->sortKey(), 7);

    m_settings.reset();
    QCOMPARE(fileValue(QStringLiteral("viewHtmlMailFormat")), QByteArray("false"));
    QCOMPARE(fileValue(QStringLiteral("sortKey")), QByteArray("7"));
}

void TestSettings::unreadableOrGarbageFileGivesDefaults_data()
{
    QTest::addColumn<bool>("directoryInPlace");
    QTest::addColumn<QByteArray>("contents");
    QTest::newRow("garbage") << false << QByteArray("\x01\xff[[[=\n=\nsortKey\n\0\0[General\n", 25);
    QTest::newRow("directory in place of the file") << true << QByteArray();
}

void TestSettings::unreadableOrGarbageFileGivesDefaults()
{
    QFETCH(bool, directoryInPlace);
    QFETCH(QByteArray, contents);
    if (directoryInPlace)
        QVERIFY(QDir().mkpath(settingsFile()));
    else
        writeFile(contents);

    WarningCollector warnings;
    ZavekSettings *settings = create();
    QVERIFY(settings->viewHtml());
    QCOMPARE(settings->sortKey(), 0);
    QCOMPARE(settings->previewLines(), ZavekSettings::PreviewTwoLines);
    settings->setSortKey(8, true);
    QCOMPARE(settings->sortKey(), 8);
    m_settings.reset();

    if (directoryInPlace) {
        QVERIFY(warnings.count(cannotWatchWarning()) >= 1);
        QVERIFY(warnings.count(QRegularExpression(QStringLiteral("^ZavekSettings: the settings file .* cannot be accessed and was not fully written$"))) == 1);
    } else {
        // A malformed file is written over with what could be made of it, and our change.
        QCOMPARE(fileValue(QStringLiteral("sortKey")), QByteArray("8"));
    }
}

void TestSettings::entryWithoutValueCountsAsAbsent()
{
    writeFile("[General]\nuseConnectivityManager=@Invalid()\nsortKey=3\n");
    WarningCollector warnings;
    ZavekSettings *settings = create();
    QVERIFY(settings->useConnectivityManager());
    QCOMPARE(settings->sortKey(), 3);
    // Reloading an unchanged file announces nothing.
    QCOMPARE(settings->loadFromStore(QString()), ZavekSettings::Flags());
    QVERIFY(warnings.count(QRegularExpression(QStringLiteral("holds no usable value for useConnectivityManager"))) >= 1);
}

void TestSettings::unwritableDirectoryKeepsValuesInMemory()
{
    // A plain file where the configuration directory belongs: nothing can be created there,
    // whoever runs the test.
    QVERIFY(QDir().mkpath(ZavekTest::configPath()));
    QFile blocker(settingsDirectory());
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    WarningCollector warnings;
    ZavekSettings *settings = create();
    QCOMPARE(warnings.count(cannotWatchWarning()), 1);
    QCOMPARE(settings->sortKey(), 0);

    // Every later attempt tries again, and warns again.
    settings->setSortKey(5, true);
    QCOMPARE(settings->sortKey(), 5);
    settings->flushWhenChanged(false);
    settings->setViewHtml(false, true);
    QVERIFY(!settings->viewHtml());
    QCOMPARE(warnings.count(cannotWatchWarning()), 3);

    m_settings.reset();
    QCOMPARE(warnings.count(QRegularExpression(QStringLiteral("^ZavekSettings: the settings file .* written$"))), 1);
    QVERIFY(QFileInfo(settingsDirectory()).isFile());
}

void TestSettings::aboutToQuitDropsTheWatcher()
{
    ZavekSettings *settings = create();
    QSignalSpy spy(settings, &ZavekSettings::settingsChanged);
    QVERIFY(QMetaObject::invokeMethod(QCoreApplication::instance(), "aboutToQuit", Qt::DirectConnection));

    writeFile("[General]\nsortKey=3\n");
    settings->setPreviewLines(ZavekSettings::PreviewOneLine, true);
    QTRY_COMPARE(fileValue(QStringLiteral("previewLines")), QByteArray("1"));
    writeFile("[General]\nsortKey=4\npreviewLines=1\n");
    QTest::qWait(200); // changes that must not be announced: give them a chance to arrive
    QCOMPARE(spy.count(), 0);
    QCOMPARE(settings->previewLines(), ZavekSettings::PreviewOneLine);
}

void TestSettings::destructionWritesPendingValues()
{
    writeFile("[General]\nsortKey=1\n");
    ZavekSettings *settings = create();
    settings->flushWhenChanged(false);
    settings->setSortKey(8, true);
    settings->setSendAsPlaintext(true, true);
    m_settings.reset();
    // On disk at once, not merely handed to the store.
    QCOMPARE(fileValue(QStringLiteral("sortKey")), QByteArray("8"));
    QCOMPARE(fileValue(QStringLiteral("sendAsPlaintext")), QByteArray("true"));
}

void TestSettings::instanceCanBeRecreatedForTests()
{
    ZavekSettings::instance()->flushWhenChanged(false);
    ZavekSettings::instance()->setSortKey(6, true);
    ZavekSettings::resetInstanceForTesting(false);
    QCOMPARE(ZavekSettings::instance()->sortKey(), 6);
    ZavekSettings::resetInstanceForTesting();
    QCOMPARE(ZavekSettings::instance()->sortKey(), 0);
    QVERIFY(fileContents().isEmpty());
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
