#include "zaveksettings.h"

#include "testenvironment.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopedPointer>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

namespace {

QString settingsFile()
{
    return ZavekTest::configPath() + QStringLiteral("/Ulmar/Zavek.conf");
}

QByteArray fileValue(const QString &key)
{
    QFile file(settingsFile());
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    const QByteArray prefix = key.toUtf8() + '=';
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (const QByteArray &line : lines) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size());
    }
    return QByteArray();
}

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

} // namespace

class TestSettingsProcess : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void otherProcessChangesAreAnnouncedOnce();
    void replacedFileStaysWatched();
    void simultaneousChangesAreBothKept_data();
    void simultaneousChangesAreBothKept();
    void pendingValueIsOnDiskAfterProcessExit();
    void constructionBeforeApplicationObject();

private:
    void startHelper(QProcess &process, const QStringList &arguments);
    void runHelper(const QStringList &arguments);
    QScopedPointer<ZavekSettings> m_settings;
};

void TestSettingsProcess::init()
{
    QDir(ZavekTest::configPath()).removeRecursively();
}

void TestSettingsProcess::cleanup()
{
    m_settings.reset();
    QDir(ZavekTest::configPath()).removeRecursively();
}

void TestSettingsProcess::startHelper(QProcess &process, const QStringList &arguments)
{
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QStringLiteral(ZAVEK_SETTINGS_HELPER), arguments);
    QVERIFY2(process.waitForStarted(), qPrintable(process.errorString()));
}

void TestSettingsProcess::runHelper(const QStringList &arguments)
{
    QProcess process;
    startHelper(process, arguments);
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
}

void TestSettingsProcess::otherProcessChangesAreAnnouncedOnce()
{
    m_settings.reset(new ZavekSettings);
    QSignalSpy spy(m_settings.data(), &ZavekSettings::settingsChanged);
    runHelper({ QStringLiteral("set"), QStringLiteral("sortKey"), QStringLiteral("3"),
                QStringLiteral("previewLines"), QStringLiteral("1") });
    QTRY_VERIFY(!changes(spy).isEmpty());
    QCoreApplication::processEvents();
    QCOMPARE(changes(spy).size(), 1);
    QCOMPARE(quint32(changes(spy).at(0)), quint32(0x200 | 0x80));
    QCOMPARE(m_settings->sortKey(), 3);
    QCOMPARE(m_settings->previewLines(), ZavekSettings::PreviewOneLine);

    // The same values again: the file changes, the options do not.
    const int seen = spy.count();
    runHelper({ QStringLiteral("set"), QStringLiteral("viewHtmlMailFormat"), QStringLiteral("true") });
    QTRY_VERIFY(spy.count() > seen);
    QCOMPARE(changes(spy).size(), 1);
}

void TestSettingsProcess::replacedFileStaysWatched()
{
    m_settings.reset(new ZavekSettings);
    QSignalSpy spy(m_settings.data(), &ZavekSettings::settingsChanged);
    // The other process's store replaces the file by an atomic rename each time.
    runHelper({ QStringLiteral("set"), QStringLiteral("sortKey"), QStringLiteral("1") });
    QTRY_COMPARE(m_settings->sortKey(), 1);
    runHelper({ QStringLiteral("set"), QStringLiteral("sortKey"), QStringLiteral("2") });
    QTRY_COMPARE(m_settings->sortKey(), 2);
    runHelper({ QStringLiteral("set"), QStringLiteral("sendAsPlaintext"), QStringLiteral("true") });
    QTRY_VERIFY(m_settings->sendAsPlaintext());
    QCOMPARE(changes(spy).size(), 3);
}

void TestSettingsProcess::simultaneousChangesAreBothKept_data()
{
    QTest::addColumn<bool>("writeThrough");
    QTest::newRow("write-through") << true;
    QTest::newRow("flushed at exit") << false;
}

void TestSettingsProcess::simultaneousChangesAreBothKept()
{
    QFETCH(bool, writeThrough);
    m_settings.reset(new ZavekSettings);
    m_settings->flushWhenChanged(writeThrough);
    QProcess other;
    startHelper(other, { QStringLiteral("set"), QStringLiteral("sortKey"), QStringLiteral("7") });
    // Not listening: this object never learns of the other change, and must not undo it.
    m_settings->setViewHtml(false, false);
    QVERIFY(other.waitForFinished(30000));
    QCOMPARE(other.exitCode(), 0);
    // A later change of ours makes the store read the file again before it writes.
    m_settings->setDownloadImages(false, false);
    m_settings->flush(false);
    QTRY_COMPARE(fileValue(QStringLiteral("downloadImagesOption")), QByteArray("false"));
    QCOMPARE(m_settings->sortKey(), 0);

    m_settings.reset();
    QCOMPARE(fileValue(QStringLiteral("viewHtmlMailFormat")), QByteArray("false"));
    QCOMPARE(fileValue(QStringLiteral("sortKey")), QByteArray("7"));
}

void TestSettingsProcess::pendingValueIsOnDiskAfterProcessExit()
{
    runHelper({ QStringLiteral("pending"), QStringLiteral("sortKey"), QStringLiteral("9") });
    QCOMPARE(fileValue(QStringLiteral("sortKey")), QByteArray("9"));
}

void TestSettingsProcess::constructionBeforeApplicationObject()
{
    runHelper({ QStringLiteral("early") });
}

QTEST_GUILESS_MAIN(TestSettingsProcess)
#include "tst_settingsprocess.moc"
