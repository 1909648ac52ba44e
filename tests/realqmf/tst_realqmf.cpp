// End to end on the real platform: the manager and the utilities drive the real client
// library, the real message server and a real IMAP server over loopback. The cases run in
// order on one mailbox (see RealQmfStack). Where a run must be caught in the middle, the
// IMAP server is frozen first, so that nothing depends on how fast the stack is.

#include "realqmfstack.h"
#include "testenvironment.h"

#include <zavekserviceactionmanager.h>
#include <zaveksettings.h>
#include <zavekutils.h>

#include <qmailfolder.h>
#include <qmailfolderkey.h>
#include <qmailmessagekey.h>
#include <qmailstore.h>

#include <QDir>
#include <QtTest>

using Manager = ZavekServiceActionManager;
using Activity = QMailServiceAction::Activity;
using Status = QMailServiceAction::Status;

namespace {

// Bound of every wait for the stack; runs take well under a second here.
const int runTimeoutMs = 60000;

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray dataBytes(const char *name)
{
    return fileBytes(ZavekTest::dataPath(QStringLiteral("realqmf/") + QLatin1String(name)));
}

QMailMessage messageWithSubject(const QString &subject)
{
    const QMailMessageIdList ids = QMailStore::instance()->queryMessages(QMailMessageKey::subject(subject));
    return ids.size() == 1 ? QMailMessage(ids.first()) : QMailMessage();
}

// The first top-level part of that type: the suite's messages are one level deep.
QMailMessagePartContainer::Location partOfType(const QMailMessage &message, const QByteArray &type)
{
    for (uint i = 0; i < message.partCount(); ++i) {
        if (message.partAt(i).contentType().content() == type)
            return message.partAt(i).location();
    }
    return QMailMessagePartContainer::Location();
}

const QRegularExpression failureWarning("onActionActivityChanged\\(QMailServiceAction::Activity\\) Action finished");

} // namespace

// Every activity the manager reports, per serial, the order in which serials end, and the
// messaging system's busy and idle changes.
class Outcomes : public QObject
{
public:
    explicit Outcomes(Manager *manager)
    {
        connect(manager, &Manager::activityChanged, this, [this](uint serial, Activity activity, const Status &status) {
            activities[serial] << activity;
            if (activity == QMailServiceAction::Successful || activity == QMailServiceAction::Failed) {
                ended << serial;
                last[serial] = status;
            }
        });
        connect(manager, &Manager::serviceActivityChanged, this, [this](Manager::Activity activity) { service << activity; });
    }
    bool hasEnded(uint serial) const { return ended.contains(serial); }
    Activity outcome(uint serial) const { return activities.value(serial).value(activities.value(serial).size() - 1); }

    QHash<uint, QList<Activity> > activities;
    QHash<uint, Status> last;
    QList<uint> ended;
    QList<Manager::Activity> service;
};

class TestRealQmf : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(stack.start(&error), qPrintable(error));
        account = stack.addAccount(QStringLiteral("Loopback"), stack.password());
        QVERIFY(account.isValid());
    }
    void init()
    {
        ZavekSettings::instance()->setUseConnectivityManager(false, false);
        manager.reset(new Manager);
        outcomes.reset(new Outcomes(manager.data()));
    }
    void cleanup()
    {
        stack.freezeImapServer(false);
        // One terminal signal per serial, whatever happened.
        for (uint serial : qAsConst(outcomes->ended))
            QCOMPARE(outcomes->ended.count(serial), 1);
        outcomes.reset();
        manager.reset();
    }

    void syncQueuesOneFollowUpAndFillsTheStore();
    void partRetrievalIsListedWhileItRunsAndSavesTheAttachment();
    void htmlBodyIsViewableOnceItsImagesAreRetrieved();
    void messageRequestPreemptsARunningSync();
    void cancellingARunningSyncFailsItOnce();
    void readFlagReachesTheServer();
    void productionNetworkPathRunsOnTheQtBearer();
    void wrongPasswordRelaysTheLoginError();
    void imapServerDyingDuringASyncFailsIt();
    void messageServerKilledDuringARetrievalEndsItOnce();
    void managerMadeWhileTheMessageServerIsDownWaitsForIt();

private:
    // Waits until the serial's run has started on the server.
    bool running(uint serial)
    {
        return QTest::qWaitFor([&] { return outcomes->activities.value(serial).contains(QMailServiceAction::InProgress); },
                               runTimeoutMs);
    }
    // Waits until the serial has ended; true when it ended so.
    bool endsAs(uint serial, Activity expected)
    {
        return QTest::qWaitFor([&] { return outcomes->hasEnded(serial); }, runTimeoutMs) && outcomes->outcome(serial) == expected;
    }

    RealQmfStack stack;
    QMailAccountId account;
    QScopedPointer<Manager> manager;
    QScopedPointer<Outcomes> outcomes;
};

void TestRealQmf::syncQueuesOneFollowUpAndFillsTheStore()
{
    const uint sync = manager->sync(account);
    // The running sync took its snapshot: an equal request queues one follow-up, and a
    // third merges into that.
    const uint followUp = manager->sync(account);
    QVERIFY(followUp != sync);
    QCOMPARE(manager->sync(account), followUp);
    QVERIFY(endsAs(followUp, QMailServiceAction::Successful));
    QCOMPARE(outcomes->ended, (QList<uint>{sync, followUp}));
    QCOMPARE(outcomes->outcome(sync), QMailServiceAction::Successful);

    const uint folders = manager->retrieveFolderList(account, QMailFolderId(), true);
    QVERIFY(endsAs(folders, QMailServiceAction::Successful));
    const QMailFolderIdList inbox = QMailStore::instance()->queryFolders(
        QMailFolderKey::parentAccountId(account) & QMailFolderKey::path(QStringLiteral("INBOX")));
    QCOMPARE(inbox.size(), 1);
    const uint list = manager->retrieveMessageList(account, inbox.first(), 10, QMailMessageSortKey());
    QVERIFY(endsAs(list, QMailServiceAction::Successful));
    QCOMPARE(QMailStore::instance()->countMessages(QMailMessageKey::parentFolderId(inbox.first())), 3);

    // The whole messaging system fell idle after being busy.
    QVERIFY(outcomes->service.contains(Manager::Busy));
    QTRY_COMPARE_WITH_TIMEOUT(outcomes->service.last(), Manager::Idle, runTimeoutMs);
}

void TestRealQmf::partRetrievalIsListedWhileItRunsAndSavesTheAttachment()
{
    const QMailMessage message = messageWithSubject(QStringLiteral("Quarterly figures attached"));
    const QMailMessagePartContainer::Location location = partOfType(message, "application/octet-stream");
    QVERIFY(location.isValid(true));
    QVERIFY(!message.partAt(location).contentAvailable());

    const uint retrieval = manager->retrieveMessagePart(location);
    QCOMPARE(manager->operations(location), QList<uint>{retrieval});
    QVERIFY(endsAs(retrieval, QMailServiceAction::Successful));

    const QMailMessage retrieved(message.id());
    QCOMPARE(fileBytes(ZavekUtils::saveAttachmentToTemporaryFile(retrieved.partAt(location))), dataBytes("report.bin"));
}

void TestRealQmf::htmlBodyIsViewableOnceItsImagesAreRetrieved()
{
    using namespace ZavekUtils::Message;
    const QMailMessage message = messageWithSubject(QStringLiteral("Newsletter with two pictures"));
    const uint body = manager->retrieveMessagePart(partOfType(message, "text/html"));
    QVERIFY(endsAs(body, QMailServiceAction::Successful));

    // The text is there, its two images are not.
    QMailMessage withBody(message.id());
    const QString html = getPart(withBody, QMailMessageContentType("text/html"))->body().data();
    const QStringList missing = getMissingResources(withBody, html);
    QCOMPARE(missing.size(), 2);
    QVERIFY(!isDownloadedForViewing(withBody));

    QList<uint> images;
    for (const QString &location : missing)
        images << manager->retrieveMessagePart(QMailMessagePartContainer::Location(location));
    QVERIFY(endsAs(images.first(), QMailServiceAction::Successful) && endsAs(images.last(), QMailServiceAction::Successful));

    const QMailMessage complete(message.id());
    QVERIFY(getMissingResources(complete, html).isEmpty());
    QVERIFY(isDownloadedForViewing(complete));
    const QHash<QString, QVariant> resources = getResources(complete, html);
    QCOMPARE(resources.value(QStringLiteral("red-logo@example.org")).toByteArray(), dataBytes("logo-red.png"));
    QCOMPARE(resources.value(QStringLiteral("blue-logo@example.org")).toByteArray(), dataBytes("logo-blue.png"));
}

void TestRealQmf::messageRequestPreemptsARunningSync()
{
    // The sync hangs on the frozen server until the urgent request has interrupted it.
    stack.freezeImapServer(true);
    const uint sync = manager->sync(account);
    QVERIFY(running(sync));
    const QMailMessage plain = messageWithSubject(QStringLiteral("Plain text note"));
    const uint urgent = manager->retrieveMessages({plain.id()}, QMailRetrievalAction::Content);
    outcomes->activities.remove(sync);
    // Queued again under its serial once its interrupted run has ended.
    QTRY_VERIFY_WITH_TIMEOUT(outcomes->activities.value(sync).contains(QMailServiceAction::Pending), runTimeoutMs);
    QVERIFY(!outcomes->hasEnded(sync));
    stack.freezeImapServer(false);

    QVERIFY(endsAs(sync, QMailServiceAction::Successful));
    QCOMPARE(outcomes->ended, (QList<uint>{urgent, sync}));
    QCOMPARE(outcomes->outcome(urgent), QMailServiceAction::Successful);
    QVERIFY(QMailMessage(plain.id()).contentAvailable());
}

void TestRealQmf::cancellingARunningSyncFailsItOnce()
{
    stack.freezeImapServer(true);
    const uint sync = manager->sync(account);
    QVERIFY(running(sync));
    QTest::ignoreMessage(QtWarningMsg, failureWarning);
    manager->cancelOperation(sync);
    QVERIFY(endsAs(sync, QMailServiceAction::Failed));
    QCOMPARE(outcomes->last.value(sync).errorCode, Status::ErrCancel);
}

void TestRealQmf::readFlagReachesTheServer()
{
    // The server marks a message seen with S among the flags after ":2," in its file name.
    const auto seenOnServer = [this](const QByteArray &subject) {
        const QFileInfoList files = QDir(stack.maildir() + QStringLiteral("/cur")).entryInfoList(QDir::Files);
        for (const QFileInfo &file : files) {
            if (fileBytes(file.filePath()).contains("Subject: " + subject))
                return file.fileName().section(QStringLiteral(":2,"), 1).contains(QLatin1Char('S'));
        }
        return false;
    };
    QVERIFY(!seenOnServer("Quarterly figures attached"));
    const QMailMessage message = messageWithSubject(QStringLiteral("Quarterly figures attached"));
    const uint flag = manager->flagMessages({message.id()}, QMailMessage::Read, 0);
    const uint exported = manager->exportUpdates(account);
    QVERIFY(endsAs(exported, QMailServiceAction::Successful));
    QCOMPARE(outcomes->outcome(flag), QMailServiceAction::Successful);
    QTRY_VERIFY_WITH_TIMEOUT(seenOnServer("Quarterly figures attached"), runTimeoutMs);
}

void TestRealQmf::productionNetworkPathRunsOnTheQtBearer()
{
    // The option on, the Qt bearer backend: Qt's generic plugin reports an interface that is
    // up as an active configuration, so the device counts as online and no session is
    // opened (the plugin cannot start an interface that is down).
    ZavekSettings::instance()->setUseConnectivityManager(true, false);
    manager.reset(new Manager);
    outcomes.reset(new Outcomes(manager.data()));
    if (!manager->isOnline())
        QSKIP("the Qt bearer plugins see no active network interface on this machine");
    manager->setNetworkSessionIdleInterval(200);

    const uint folders = manager->retrieveFolderList(account, QMailFolderId(), true);
    QVERIFY(endsAs(folders, QMailServiceAction::Successful));
    QTRY_VERIFY_WITH_TIMEOUT(!outcomes->service.isEmpty() && outcomes->service.last() == Manager::Idle, runTimeoutMs);
    QCOMPARE(manager->networkSessionIdleRemaining(), -1);
}

void TestRealQmf::wrongPasswordRelaysTheLoginError()
{
    const QMailAccountId wrong = stack.addAccount(QStringLiteral("Wrong password"), QStringLiteral("not-the-password"));
    QTest::ignoreMessage(QtWarningMsg, failureWarning);
    const uint failing = manager->sync(wrong);
    const uint next = manager->sync(account);
    QVERIFY(endsAs(next, QMailServiceAction::Successful));
    QCOMPARE(outcomes->outcome(failing), QMailServiceAction::Failed);
    QCOMPARE(outcomes->last.value(failing).errorCode, Status::ErrLoginFailed);
    QVERIFY(QMailStore::instance()->removeAccount(wrong));
}

void TestRealQmf::imapServerDyingDuringASyncFailsIt()
{
    stack.freezeImapServer(true);
    const uint sync = manager->sync(account);
    QVERIFY(running(sync));
    QTest::ignoreMessage(QtWarningMsg, failureWarning);
    stack.killImapServer();
    QVERIFY(endsAs(sync, QMailServiceAction::Failed));

    QVERIFY(stack.startImapServer());
    const uint again = manager->sync(account);
    QVERIFY(endsAs(again, QMailServiceAction::Successful));
}

void TestRealQmf::messageServerKilledDuringARetrievalEndsItOnce()
{
    const QMailMessage message = messageWithSubject(QStringLiteral("Quarterly figures attached"));
    const QMailMessagePartContainer::Location text = partOfType(message, "text/plain");
    stack.freezeImapServer(true);
    const uint retrieval = manager->retrieveMessagePart(text);
    QVERIFY(running(retrieval));
    const uint queued = manager->retrieveFolderList(account, QMailFolderId(), true);

    // The client library says nothing of the lost run; the manager ends it on its own.
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("the message server left the session bus"));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("the message server is gone: waiting for it"));
    stack.killMessageServer();
    QVERIFY(endsAs(retrieval, QMailServiceAction::Failed));
    QCOMPARE(outcomes->last.value(retrieval).errorCode, Status::ErrInternalServer);
    QVERIFY(!outcomes->hasEnded(queued));

    // Back again: the waiting request runs, and so does the lost one asked anew.
    stack.freezeImapServer(false);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("the message server is back"));
    QVERIFY(stack.startMessageServer());
    QVERIFY(endsAs(queued, QMailServiceAction::Successful));
    const uint again = manager->retrieveMessagePart(text);
    QVERIFY(endsAs(again, QMailServiceAction::Successful));
    QVERIFY(QMailMessage(message.id()).partAt(text).contentAvailable());
}

void TestRealQmf::managerMadeWhileTheMessageServerIsDownWaitsForIt()
{
    // A client started while the message server is being restarted after a crash: its
    // requests wait for the server, and run once it is there.
    outcomes.reset();
    manager.reset();
    stack.killMessageServer();
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("the message server is not on the session bus"));
    manager.reset(new Manager);
    outcomes.reset(new Outcomes(manager.data()));
    const uint sync = manager->sync(account);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("the message server is back"));
    QVERIFY(stack.startMessageServer());
    QVERIFY(endsAs(sync, QMailServiceAction::Successful));
    const uint again = manager->sync(account);
    QVERIFY(endsAs(again, QMailServiceAction::Successful));
}

int main(int argc, char *argv[])
{
    if (!RealQmfStack::runOnPrivateBus(argc, argv))
        return 1;
    QCoreApplication application(argc, argv);
    TestRealQmf test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_realqmf.moc"
