// The options in their per-user file: defaults, write-through and flushing, the watch on
// the file (also when another program replaces it, or another process writes it), and
// files that are malformed, unreadable or in the way.

#include "zaveksettings.h"

#include "testenvironment.h"

#include <QDir>
#include <QFile>
#include <QProcess>
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
    const QByteArray prefix = key.toUtf8() + '=';
    for (const QByteArray &line : fileContents().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size());
    }
    return QByteArray();
}

// Rewrites the file in place, as another program would.
void writeFile(const QByteArray &contents)
{
    QDir().mkpath(settingsDirectory());
    QFile file(settingsFile());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(contents);
}

const QRegularExpression cannotWatch(QStringLiteral(
    "^void ZavekSettings::addWatcher\\(\\) The configuration file cannot be watched for changes! "
    "Re-start this process to try again! .+ Error code:  [1-9][0-9]*$"));

ZavekSettings::Flags flagsAt(const QSignalSpy &spy, int index)
{
    return spy.at(index).at(0).value<ZavekSettings::Flags>();
}

// The announcements that carried at least one bit: a write can reach the watcher as more
// than one file event, and the later ones find nothing new.
QList<ZavekSettings::Flags> changes(const QSignalSpy &spy)
{
    QList<ZavekSettings::Flags> result;
    for (int i = 0; i < spy.count(); ++i) {
        if (flagsAt(spy, i))
            result.append(flagsAt(spy, i));
    }
    return result;
}

// Another program on the same file (settings_helper.cpp).
void runHelper(QProcess &process, const QStringList &arguments, bool wait = true)
{
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QStringLiteral(ZAVEK_SETTINGS_HELPER), arguments);
    QVERIFY2(process.waitForStarted(), qPrintable(process.errorString()));
    if (!wait)
        return;
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitCode(), 0);
}

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup()
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

    void optionKeyBitAndDefault_data()
    {
        // Keys and bits are shared with other programs reading the same file.
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<uint>("bit");
        QTest::addColumn<QVariant>("fallback");
        QTest::newRow("viewHtml") << ZavekSettings::viewHtmlOption << "viewHtmlMailFormat" << 0x1u << QVariant(true);
        QTest::newRow("threadList") << ZavekSettings::threadListOption << "messageListOption" << 0x4u << QVariant(false);
        QTest::newRow("downloadImages") << ZavekSettings::downloadImagesOption << "downloadImagesOption" << 0x8u << QVariant(true);
        QTest::newRow("sendImmediately") << ZavekSettings::sendImmediatelyOption << "sendMessagesOption" << 0x10u << QVariant(true);
        QTest::newRow("useConnectivityManager") << ZavekSettings::useConnectivityManagerOption << "useConnectivityManager"
                                                << 0x20u << QVariant(true);
        QTest::newRow("showFavourites") << ZavekSettings::showFavouritesInSummaryOption << "showFavouritesInSummary" << 0x40u
                                        << QVariant(true);
        QTest::newRow("previewLines") << ZavekSettings::previewLinesOption << "previewLines" << 0x80u << QVariant(2);
        QTest::newRow("sendAsPlaintext") << ZavekSettings::sendAsPlaintextOption << "sendAsPlaintext" << 0x100u << QVariant(false);
        QTest::newRow("sortKey") << ZavekSettings::sortKeyOption << "sortKey" << 0x200u << QVariant(0);
    }

    void optionKeyBitAndDefault()
    {
        QFETCH(QString, key);
        QFETCH(uint, bit);
        QTEST(key, "stored");
        ZavekSettings *settings = create();
        settings->flushWhenChanged(false);
        QTEST(settings->getValue(key), "fallback");
        QSettings(ZavekSettings::COMPANY, ZavekSettings::PACKAGE).setValue(key, 7);   // a writer in this process
        QCOMPARE(uint(settings->loadFromStore(key)), bit);
        QSignalSpy spy(settings, &ZavekSettings::settingsChanged);
        settings->setValue(key, QVariant(42), true);
        QCOMPARE(uint(flagsAt(spy, 0)), bit);
    }

    void absentFileGivesDefaultsAndIsWatched()
    {
        // Not even the configuration directory exists, as on a fresh device.
        ZavekSettings *settings = create();
        QVERIFY(QFile::exists(settingsFile()));
        QVERIFY(settings->viewHtml() && !settings->threadedList() && settings->useConnectivityManager());
        {
            const WarningLog warnings;   // two lines is legal, not a fallback
            QCOMPARE(settings->previewLines(), ZavekSettings::PreviewTwoLines);
            QCOMPARE(warnings.count(QRegularExpression(QStringLiteral("Illegal"))), 0);
        }

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
        settings->flush(true);
        m_settings.reset();
        QCOMPARE(fileContents(), QByteArray("[General]\nsortKey=3\n\n"));
    }

    void illegalPreviewLinesGivesTheDefaultAndStays()
    {
        const QByteArray contents = "[General]\npreviewLines=5\n";
        writeFile(contents);
        ZavekSettings *settings = create();
        const char warning[] = "ZavekSettings::PreviewLinesType ZavekSettings::previewLines() const "
                               "Illegal PreviewLinesType value: 5 Returning default value instead";
        QTest::ignoreMessage(QtWarningMsg, warning);
        QCOMPARE(settings->previewLines(), ZavekSettings::PreviewTwoLines);
        // The getter already yields two lines, so nothing is stored and the illegal value stays.
        QTest::ignoreMessage(QtWarningMsg, warning);
        settings->setPreviewLines(ZavekSettings::PreviewTwoLines, true);
        m_settings.reset();
        QCOMPARE(fileContents(), contents);

        settings = create();
        QTest::ignoreMessage(QtWarningMsg, warning);
        settings->setPreviewLines(ZavekSettings::PreviewOneLine, true);
        m_settings.reset();
        QCOMPARE(fileValue(QStringLiteral("previewLines")), QByteArray("1"));
    }

    void writeThroughSendsChangesToTheFile()
    {
        ZavekSettings *settings = create();
        QSignalSpy spy(settings, &ZavekSettings::settingsChanged);
        settings->setSortKey(3, true);
        settings->setShowFavouritesInSummary(false, true);
        QCOMPARE(spy.count(), 0);
        // The store writes on a later event-loop turn; our watcher then sees a file that holds
        // what we hold already.
        QTRY_COMPARE(fileValue(QStringLiteral("sortKey")), QByteArray("3"));
        QCOMPARE(fileValue(QStringLiteral("showFavouritesInSummary")), QByteArray("false"));
        QTRY_VERIFY(spy.count() >= 1);
        QVERIFY(changes(spy).isEmpty());
    }

    void withoutWriteThroughChangesWaitForFlush()
    {
        writeFile("[General]\nsortKey=1\n");
        ZavekSettings *settings = create();
        settings->flushWhenChanged(false);
        QSignalSpy spy(settings, &ZavekSettings::settingsChanged);
        settings->setSortKey(4, true);
        settings->setThreadedList(true, false);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(flagsAt(spy, 0), ZavekSettings::Flags(ZavekSettings::SortKey));
        QCoreApplication::processEvents();
        QCOMPARE(fileValue(QStringLiteral("sortKey")), QByteArray("1"));

        settings->flush(true);
        QTRY_COMPARE(fileValue(QStringLiteral("sortKey")), QByteArray("4"));
        QCOMPARE(fileValue(QStringLiteral("messageListOption")), QByteArray("true"));
        // Only what changed was written.
        QCOMPARE(fileValue(QStringLiteral("viewHtmlMailFormat")), QByteArray());
    }

    void notifyFalseStopsWatchingUntilTrueAndQuitForGood()
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
        QTRY_COMPARE(settings->previewLines(), ZavekSettings::PreviewNone);
        QCOMPARE(changes(spy), QList<ZavekSettings::Flags>{ZavekSettings::PreviewLines});

        // Once the application is about to quit, the watch is gone; writes still reach the file.
        QVERIFY(QMetaObject::invokeMethod(QCoreApplication::instance(), "aboutToQuit", Qt::DirectConnection));
        const int seen = spy.count();
        writeFile("[General]\nsortKey=3\n");
        settings->setPreviewLines(ZavekSettings::PreviewOneLine, true);
        QTRY_COMPARE(fileValue(QStringLiteral("previewLines")), QByteArray("1"));
        writeFile("[General]\nsortKey=4\npreviewLines=1\n");
        QTest::qWait(200); // changes that must not be announced: give them a chance to arrive
        QCOMPARE(spy.count(), seen);
    }

    void unchangedValueChangesNothing()
    {
        ZavekSettings *settings = create();
        settings->flushWhenChanged(false);
        QSignalSpy spy(settings, &ZavekSettings::settingsChanged);
        // Already so: no signal, nothing to write, and notify false does not stop the watch.
        settings->setViewHtml(true, false);
        settings->setSortKey(0, true);
        QCOMPARE(spy.count(), 0);
        writeFile("[General]\nsortKey=9\n");
        QTRY_COMPARE(spy.count(), 1);
        settings->flush(true);
        QCoreApplication::processEvents();
        QCOMPARE(fileContents(), QByteArray("[General]\nsortKey=9\n"));
    }

    void reloadKeepsChangesNotYetWritten()
    {
        ZavekSettings *settings = create();
        settings->flushWhenChanged(false);
        settings->setViewHtml(false, true);
        QSignalSpy spy(settings, &ZavekSettings::settingsChanged);
        writeFile("[General]\nviewHtmlMailFormat=true\nsortKey=7\n");
        QTRY_COMPARE(spy.count(), 1);
        QCOMPARE(flagsAt(spy, 0), ZavekSettings::Flags(ZavekSettings::SortKey));
        QVERIFY(!settings->viewHtml());
        m_settings.reset();
        QCOMPARE(fileValue(QStringLiteral("viewHtmlMailFormat")), QByteArray("false"));
        QCOMPARE(fileValue(QStringLiteral("sortKey")), QByteArray("7"));
    }

    void garbageFileIsRewrittenWithOurChange()
    {
        writeFile("\x01\xff[[[=\n=\nsortKey\n[General\nsortKey=3\nuseConnectivityManager=@Invalid()\n");
        const WarningLog warnings;
        ZavekSettings *settings = create();
        QCOMPARE(settings->sortKey(), 3);
        // An entry without a value counts as absent; reading the unchanged file again announces nothing.
        QVERIFY(settings->useConnectivityManager());
        QCOMPARE(settings->loadFromStore(QString()), ZavekSettings::Flags());
        settings->setSortKey(8, true);
        m_settings.reset();
        // What could be made of the file, and our change: malformed is no failed write.
        QCOMPARE(fileValue(QStringLiteral("sortKey")), QByteArray("8"));
        QVERIFY(warnings.count(QRegularExpression(QStringLiteral("is malformed and was not fully read$"))) >= 1);
        QVERIFY(warnings.count(QRegularExpression(QStringLiteral("holds no usable value for useConnectivityManager"))) >= 1);
        QCOMPARE(warnings.count(QRegularExpression(QStringLiteral("not fully written$"))), 0);
    }

    void entriesNoReaderSeesStayOutOfTheRewrittenFile_data()
    {
        simultaneousChangesAreBothKept_data();
    }

    void entriesNoReaderSeesStayOutOfTheRewrittenFile()
    {
        QFETCH(bool, writeThrough);
        // An empty group name, or a key with a leading, trailing or doubled slash, hides entries
        // from every reader, and a rewrite would move them where readers look: here previewLines
        // 0 would replace the default in use.
        writeFile("[]\xff]\npreviewLines=0\n[a/]\nb=1\n[General]\nc/=1\nsortKey=3\n");
        const WarningLog warnings;
        ZavekSettings *settings = create();
        QCOMPARE(warnings.count(QRegularExpression(QStringLiteral("is malformed and was not fully read$"))), 1);
        QCOMPARE(settings->previewLines(), ZavekSettings::PreviewTwoLines);
        settings->flushWhenChanged(writeThrough);
        settings->setSortKey(8, true);
        m_settings.reset();
        QCOMPARE(fileContents(), QByteArray("[General]\nsortKey=8\n"));
        QCOMPARE(warnings.count(QRegularExpression(QStringLiteral("no reader can see; they are dropped as it is written$"))), 1);
    }

    void valuesNoReaderCanDecodeAreRemovedFirst()
    {
        // Lists that claim hundreds of millions of elements make the store abort or take
        // gigabytes at its first lookup, also behind an escaped "@", an empty escape, quotes or
        // a quoted ';' in a list; a plain bool in the same form is kept.
        const QByteArray hostile = "x=@Variant(\\0\\0\\0\\void))\ny=\\x10040Variant(\\0\\0\\0\\x9\\x7f\\xff\\xff\\xff)\n"
                                   "v=@\\xVariant(\\0\\0\\0\\x9\\x7f\\xff\\xff\\xff)\nq=\"@Var\"iant(\\0\\0\\0\\v\\xa\\x7f\\xff\\xff\\xff)\n"
                                   "l=\"a;\", @Variant(\\0\\0\\0\\v\\x7f\\xff\\xff\\xff)\n";
        // Text that only looks like one, at a value's end or in a comment, stays with its neighbours.
        const QByteArray kept = "[General]\nnote=ends in @Variant(r)\nsortKey=3\nremark=1 ;@Variant(\\0\\0\\0\\v\\x7f\\xff\\xff\\xff)\n"
                                "showFavouritesInSummary=@Variant(\\0\\0\\0\\x1\\0\\0)\n";
        const QRegularExpression removed(QStringLiteral("no reader can decode safely; lines removed: 5$"));
        writeFile(kept + hostile);
        const WarningLog warnings;
        ZavekSettings *settings = create();
        QCOMPARE(settings->sortKey(), 3);
        QVERIFY(!settings->showFavouritesInSummary());
        QCOMPARE(fileContents(), kept);
        QCOMPARE(warnings.count(removed), 1);

        // The same written by another program while we watch.
        writeFile(kept + hostile + "sortKey=4\n");
        QTRY_COMPARE(settings->sortKey(), 4);
        QCOMPARE(warnings.count(removed), 2);

        // And unheard, just before our last write reads the file again.
        settings->setNotify(false);
        settings->flushWhenChanged(false);
        settings->setSortKey(5, false);
        writeFile(kept + hostile);
        m_settings.reset();
        QCOMPARE(fileValue(QStringLiteral("sortKey")), QByteArray("5"));
        QCOMPARE(warnings.count(removed), 3);

        // Opening the file, and ending it.
        writeFile("x=@Variant(\\0\\0\\0\\x7f)\n[General]\nsortKey=6\ny=@Variant(\\0\\0\\0\\x7f");
        QCOMPARE(create()->sortKey(), 6);
        QCOMPARE(fileContents(), QByteArray("[General]\nsortKey=6"));
    }

    void typedValueReadsTheSameAfterTheRewrite()
    {
        // A typed true is 1 as a sort key; written back as the text "true" it would read 0. A
        // rectangle, false as an option, is written back as it is.
        writeFile("[General]\nsortKey=@Variant(\\0\\0\\0\\x1\\x1)\nviewHtmlMailFormat=@Rect(0 0 1 1)\n");
        ZavekSettings *settings = create();
        QCOMPARE(settings->sortKey(), 1);
        QVERIFY(!settings->viewHtml());
        settings->setThreadedList(true, true);
        m_settings.reset();
        QCOMPARE(fileValue(QStringLiteral("sortKey")), QByteArray("1"));
        QCOMPARE(fileValue(QStringLiteral("viewHtmlMailFormat")), QByteArray("@Rect(0 0 1 1)"));
    }

    void directoryInPlaceOfTheFileWarnsAndKeepsValues()
    {
        QVERIFY(QDir().mkpath(settingsFile()));
        const WarningLog warnings;
        ZavekSettings *settings = create();
        QVERIFY(settings->viewHtml());
        settings->setSortKey(8, true);
        QCOMPARE(settings->sortKey(), 8);
        m_settings.reset();
        QVERIFY(warnings.count(cannotWatch) >= 1);
        QCOMPARE(warnings.count(QRegularExpression(QStringLiteral("^ZavekSettings: the settings file .* cannot be accessed and was not fully written$"))), 1);
    }

    void unwritableDirectoryKeepsValuesInMemory()
    {
        // A plain file where the configuration directory belongs: nothing can be created there,
        // whoever runs the test.
        QVERIFY(QDir().mkpath(ZavekTest::configPath()));
        QFile blocker(settingsDirectory());
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();

        const WarningLog warnings;
        ZavekSettings *settings = create();
        QCOMPARE(warnings.count(cannotWatch), 1);
        // Every later attempt tries again, and warns again.
        settings->setSortKey(5, true);
        settings->flushWhenChanged(false);
        settings->setViewHtml(false, true);
        QVERIFY(!settings->viewHtml() && settings->sortKey() == 5);
        QCOMPARE(warnings.count(cannotWatch), 3);
        m_settings.reset();
        QCOMPARE(warnings.count(QRegularExpression(QStringLiteral("^ZavekSettings: the settings file .* written$"))), 1);
    }

    void otherProcessChangesAreAnnouncedOnce()
    {
        ZavekSettings *settings = create();
        QSignalSpy spy(settings, &ZavekSettings::settingsChanged);
        QProcess other;
        runHelper(other, {"set", "sortKey", "3", "previewLines", "1"});
        QTRY_VERIFY(!changes(spy).isEmpty());
        QCoreApplication::processEvents();
        QCOMPARE(changes(spy), QList<ZavekSettings::Flags>{ZavekSettings::SortKey | ZavekSettings::PreviewLines});
        QCOMPARE(settings->previewLines(), ZavekSettings::PreviewOneLine);

        // The same values again: the file changes, the options do not.
        const int seen = spy.count();
        QProcess again;
        runHelper(again, {"set", "viewHtmlMailFormat", "true"});
        QTRY_VERIFY(spy.count() > seen);
        QCOMPARE(changes(spy).size(), 1);
    }

    void simultaneousChangesAreBothKept_data()
    {
        QTest::addColumn<bool>("writeThrough");
        QTest::newRow("write-through") << true;
        QTest::newRow("flushed at exit") << false;
    }

    void simultaneousChangesAreBothKept()
    {
        QFETCH(bool, writeThrough);
        ZavekSettings *settings = create();
        settings->flushWhenChanged(writeThrough);
        QProcess other;
        runHelper(other, {"set", "sortKey", "7"}, false);
        // Not listening: this object never learns of the other change, and must not undo it.
        settings->setViewHtml(false, false);
        QVERIFY(other.waitForFinished(30000));
        QCOMPARE(other.exitCode(), 0);
        // A later change of ours makes the store read the file again before it writes.
        settings->setDownloadImages(false, false);
        settings->flush(false);
        QTRY_COMPARE(fileValue(QStringLiteral("downloadImagesOption")), QByteArray("false"));
        QCOMPARE(settings->sortKey(), 0);
        m_settings.reset();
        QCOMPARE(fileValue(QStringLiteral("viewHtmlMailFormat")), QByteArray("false"));
        QCOMPARE(fileValue(QStringLiteral("sortKey")), QByteArray("7"));
    }

    void otherProcessesPendingValueReachesTheDisk()
    {
        // The other process constructs the object before its application object exists; then
        // it changes a value without write-through and exits without flushing.
        QProcess early, pending;
        runHelper(early, {"early"});
        runHelper(pending, {"pending", "sortKey", "9"});
        QCOMPARE(fileValue(QStringLiteral("sortKey")), QByteArray("9"));
    }

private:
    ZavekSettings *create();
    QScopedPointer<ZavekSettings> m_settings;
};

ZavekSettings *TestSettings::create()
{
    m_settings.reset(new ZavekSettings);
    return m_settings.data();
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
