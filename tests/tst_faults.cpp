// Faults from outside the library: the message server's IPC connection dropping under a
// running operation, reports from service actions that run nothing of ours, and settings and
// attachment files that vanish or cannot be read or written. Each must give a warning and a
// safe result, lose nothing and crash nothing. Permission faults run in a helper process
// that gives up root first, since root ignores file permissions.

#include "managerfixture.h"
#include "testenvironment.h"

#include <QCryptographicHash>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

using Manager = ZavekServiceActionManager;
using Status = QMailServiceAction::Status;

const uid_t unprivileged = 65534;

class TestFaults : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        fixture.start();
        account = fixture.addAccount();
    }
    void cleanup()
    {
        fixture.finish();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void ipcDropFailsTheRunAndLaterWorkWaitsForTheConnection()
    {
        Manager *manager = fixture.manager.data();
        const uint running = manager->retrieveMessagePart(fixture.part(1, 1));
        const uint queued = manager->deleteMessages({QMailMessageId(2)});
        fixture.log->take();

        // The run is lost with the connection: it fails once; the next one may not start.
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Action finished .* error: 1027"));
        QTest::ignoreMessage(QtWarningMsg, ipcWarning);
        fixture.server()->dropIpcConnection();
        QCOMPARE(fixture.log->take(), (QStringList{line("S%1 1027", running), line("A%1 Failed 1027", running)}));
        QCOMPARE(fixture.server()->requestCount(), 1);
        QVERIFY(manager->operationInfo(queued));
        QCOMPARE(manager->operations(QMailMessageId(2)), QList<uint>{queued});

        // Requests made meanwhile wait too, and none is merged away or dropped.
        const uint later = manager->flagMessages({QMailMessageId(3)}, QMailMessage::Read, 0);
        const uint add = manager->addMessages({QMailMessage()});
        QCOMPARE(fixture.server()->requestCount(), 1);
        QCOMPARE(fixture.log->take(), (QStringList{line("A%1 Pending 0", later), line("A%1 Pending 0", add)}));

        fixture.server()->establishIpcConnection();
        fixture.succeedAll();
        QCOMPARE(fixture.calls(), (QStringList{"retrieveMessagePart", "deleteMessages", "flagMessages", "addMessages"}));
        QCOMPARE(ends(fixture.log->lines), (QStringList{line("A%1 Successful 0", queued), line("A%1 Successful 0", later),
                                                         line("A%1 Successful 0", add)}));
        QVERIFY(manager->operations(QMailMessageId(2)).isEmpty());
    }

    void reportsWithoutACurrentRunAreDropped()
    {
        // Another client's storage action is not wired to the manager; its own shared ones are,
        // and with nothing current (or a current operation that has not started) a report of
        // theirs concerns no serial.
        Manager *manager = fixture.manager.data();
        const auto reportsAreDropped = [this](QMailServiceAction *action) {
            const QRegularExpression dropped("^void ZavekServiceActionManager::on\\w+Changed\\(.*\\) report from a service action "
                                             "that runs no current operation: dropped$");
            for (int report = 0; report < 3; ++report)
                QTest::ignoreMessage(QtWarningMsg, dropped);
            emit action->statusChanged(Status(Status::ErrTimeout, QStringLiteral("late"), account, QMailFolderId(), QMailMessageId()));
            emit action->progressChanged(5, 10);
            emit action->activityChanged(QMailServiceAction::Successful);
            QVERIFY(fixture.log->lines.isEmpty());
        };
        manager->deleteMessages({QMailMessageId(1)});
        QMailServiceAction *storage = fixture.running();
        fixture.server()->succeed(storage);
        fixture.log->take();
        reportsAreDropped(storage);

        // Offline: a sync is chosen but waits; the retrieval action reports anyway.
        fixture.network->setOnline(false);
        QTest::ignoreMessage(QtWarningMsg, "void ZavekServiceActionManager::goOnline(QNetworkConfigurationManager*)");
        const uint waiting = manager->sync(account);
        fixture.log->take();
        reportsAreDropped(manager->findChild<QMailRetrievalAction *>());
        QVERIFY(manager->operationInfo(waiting));

        // The waiting operation still runs, once, when the device comes online; the storage
        // action still speaks for no serial.
        fixture.network->setOnline(true);
        fixture.log->take();
        reportsAreDropped(storage);
        fixture.server()->succeed(fixture.running());
        QCOMPARE(fixture.calls(), (QStringList{"deleteMessages", "synchronizeAll"}));
        QCOMPARE(ends(fixture.log->lines), QStringList{line("A%1 Successful 0", waiting)});
    }

    void deletedSettingsFileIsRecreatedAndKeepsTheOptions()
    {
        ZavekSettings::resetInstanceForTesting();
        ZavekSettings *settings = ZavekSettings::instance();
        const QString path = ZavekTest::configPath() + QStringLiteral("/Ulmar/Zavek.conf");
        QVERIFY(QFile::exists(path));
        settings->setSortKey(4, true);
        QSignalSpy changes(settings, &ZavekSettings::settingsChanged);

        // Someone removes the file: a fresh file takes its place, and the option set here stands.
        QVERIFY(QFile::remove(path));
        QTRY_VERIFY(changes.count() >= 1);
        QTRY_VERIFY(QFile::exists(path));
        QCOMPARE(settings->sortKey(), 4);

        // The new file is watched: another program replacing it by rename is noticed. (A size
        // of its own: the store re-reads a file only when its time stamp or size changed, and
        // this write may fall within the time stamp of the recreated file.)
        QSaveFile replacement(path);
        QVERIFY(replacement.open(QIODevice::WriteOnly));
        replacement.write("[General]\nsortKey=19\nmessageListOption=false\n");
        QVERIFY(replacement.commit());
        QTRY_COMPARE(settings->sortKey(), 19);

        // What this process sets afterwards reaches the new file.
        settings->setSortKey(6, true);
        ZavekSettings::resetInstanceForTesting(false);
        QCOMPARE(ZavekSettings::instance()->sortKey(), 6);
        ZavekSettings::resetInstanceForTesting();
    }

    void permissionFaults_data()
    {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<QStringList>("expectedOutput");
        QTest::addColumn<QString>("expectedWarning");

        QTest::newRow("settings file unreadable while watched")
            << "unreadable-settings"
            << QStringList{"before 4", "unreadable-sortKey 4", "replaced-sortKey 4", "replaced-viewHtml false",
                           "readable-sortKey 5", "readable-threadList true"}
            << "cannot be accessed and was not fully read";
        QTest::newRow("settings directory read-only while watched")
            << "read-only-settings-directory"
            << QStringList{"readonly-sortKey 7", "readonly-file [General] sortKey=4",
                           "final-file [General] sortKey=7 viewHtmlMailFormat=false"}
            << "cannot be accessed";
        QTest::newRow("attachment root not writable")
            << "unwritable-attachment-directory" << QStringList{"saved <null>"} << "Error creating path";
        QTest::newRow("attachment directory not writable")
            << "unwritable-attachment-directory" << QStringList{"saved <null>"} << "";
        QTest::newRow("message file unreadable") << "unreadable-message-file" << QStringList{"loaded false"}
                                                 << "Unable to read file";
    }

    void permissionFaults()
    {
        QFETCH(QString, scenario);
        QFETCH(QString, expectedWarning);
        const bool root = ::getuid() == 0;
        const bool attachment = scenario.contains(QLatin1String("attachment"));
        if (attachment && !root)
            QSKIP("needs root, to give the attachment directory to another user");

        // The helper's own directory, reachable by the user it becomes (the test's HOME is not).
        QTemporaryDir directory(QStringLiteral("/tmp/zavek-faults-XXXXXX"));
        QVERIFY(directory.isValid());
        const QByteArray home = QFile::encodeName(directory.path());
        QCOMPARE(::chmod(home.constData(), 0755), 0);
        if (root)
            QCOMPARE(::chown(home.constData(), unprivileged, unprivileged), 0);
        if (attachment) {
            // Directories the library may want to write into, kept by root.
            const QString temporary = directory.path() + QStringLiteral("/.qmf/tmp/zavek-temporary-files");
            QString blocked = temporary;
            if (QTest::currentDataTag() == QLatin1String("attachment directory not writable"))
                blocked += QLatin1Char('/') + QString::fromLatin1(QCryptographicHash::hash("5-1", QCryptographicHash::Md5).toHex());
            QVERIFY(QDir().mkpath(blocked));
            for (QString path = blocked; path.startsWith(directory.path() + QLatin1Char('/')); path = QFileInfo(path).path())
                QCOMPARE(::chmod(QFile::encodeName(path).constData(), 0755), 0);
        }

        QProcess helper;
        helper.start(QStringLiteral(ZAVEK_FAULTS_HELPER), {scenario, directory.path()});
        QVERIFY(helper.waitForFinished(30000));
        const QString output = QString::fromLocal8Bit(helper.readAllStandardOutput());
        const QString errors = QString::fromLocal8Bit(helper.readAllStandardError());
        QVERIFY2(helper.exitStatus() == QProcess::NormalExit && helper.exitCode() == 0, qPrintable(output + errors));
        if (root)
            QVERIFY2(output.startsWith(QStringLiteral("uid %1\n").arg(unprivileged)), qPrintable(output));

        QStringList lines = output.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        lines.removeFirst();
        QTEST(lines, "expectedOutput");
        if (!expectedWarning.isEmpty())
            QVERIFY2(errors.contains(expectedWarning), qPrintable(errors));
        if (attachment)
            QVERIFY2(!errors.isEmpty(), "a failed save must say why");
        // Restore what the scenario locked, so the temporary directory can be removed.
        QProcess::execute(QStringLiteral("chmod"), {QStringLiteral("-R"), QStringLiteral("u+rwx"), directory.path()});
    }

private:
    ManagerFixture fixture;
    QMailAccountId account;
};

QTEST_GUILESS_MAIN(TestFaults)
#include "tst_faults.moc"
