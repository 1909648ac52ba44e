// The message server in automatic mode: requests carried out against the store and a
// directory of .eml files standing for the remote mailbox.

#include <qmailaccount.h>
#include <qmailfolder.h>
#include <qmailfolderkey.h>
#include <qmailmessagekey.h>
#include <qmailmessageserver.h>
#include <qmailserviceaction.h>
#include <qmailstore.h>
#include <qmailstorecontrol.h>

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using QmfStandIn::MessageServer;
using Status = QMailServiceAction::Status;

namespace {

MessageServer *server()
{
    return MessageServer::instance();
}

QMailStore *store()
{
    return QMailStore::instance();
}

QMailAccountId addAccount()
{
    QMailAccount account;
    account.setName(QStringLiteral("Work"));
    account.setStatus(QMailAccount::Enabled | QMailAccount::CanRetrieve | QMailAccount::MessageSource, true);
    if (!store()->addAccount(&account, nullptr))
        qWarning("cannot add the test account");
    return account.id();
}

QMailFolderId addFolder(const QMailAccountId &account, const QString &path, quint64 flags = 0)
{
    QMailFolder folder(path, QMailFolderId(), account);
    folder.setStatus(flags | QMailFolder::MessagesPermitted, true);
    if (!store()->addFolder(&folder))
        qWarning("cannot add the test folder");
    return folder.id();
}

QMailMessageId addMessage(const QMailAccountId &account, const QMailFolderId &folder, quint64 status = 0)
{
    QMailMessage message;
    message.setMessageType(QMailMessage::Email);
    message.setParentAccountId(account);
    message.setParentFolderId(folder);
    message.setStatus(status);
    if (!store()->addMessage(&message))
        qWarning("cannot add the test message");
    return message.id();
}

void writeMail(const QString &path, const QString &subject, const QByteArray &body)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    file.write("From: Ada Example <ada@example.org>\r\n"
               "To: bo@example.org\r\n"
               "Subject: " + subject.toUtf8() + "\r\n"
               "Date: Mon, 5 Feb 2024 10:00:00 +0100\r\n"
               "Message-ID: <" + subject.toUtf8() + "@example.org>\r\n"
               "MIME-Version: 1.0\r\n"
               "Content-Type: multipart/mixed; boundary=\"b1\"\r\n"
               "\r\n"
               "--b1\r\n"
               "Content-Type: text/plain; charset=us-ascii\r\n"
               "\r\n" + body + "\r\n"
               "--b1\r\n"
               "Content-Type: application/octet-stream\r\n"
               "Content-Disposition: attachment; filename=\"data.bin\"\r\n"
               "Content-Transfer-Encoding: base64\r\n"
               "\r\n"
               "AAECAwQF\r\n"
               "--b1--\r\n");
}

// Waits for the running request of `action` to end and returns how it ended.
QMailServiceAction::Activity waitForEnd(QMailServiceAction *action)
{
    if (!QTest::qWaitFor([action] { return !action->isRunning(); }, 5000))
        qWarning("the request did not end");
    return action->activity();
}

} // namespace

class TestQmfActionsAutomatic : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        QmfStandIn::resetStore();
        server()->reset();
        server()->setMode(MessageServer::Automatic);
    }

    void requestRunsThroughAllSteps()
    {
        const QMailAccountId account = addAccount();
        QMailRetrievalAction action;
        QStringList log;
        connect(&action, &QMailServiceAction::connectivityChanged, this,
                [&](QMailServiceAction::Connectivity c) { log << QStringLiteral("connectivity:%1").arg(c); });
        connect(&action, &QMailServiceAction::activityChanged, this,
                [&](QMailServiceAction::Activity a) { log << QStringLiteral("activity:%1").arg(a); });
        connect(&action, &QMailServiceAction::progressChanged, this,
                [&](uint v, uint t) { log << QStringLiteral("progress:%1/%2").arg(v).arg(t); });

        action.exportUpdates(account);
        QCOMPARE(log, QStringList({ "activity:0" }));
        QCOMPARE(waitForEnd(&action), QMailServiceAction::Successful);
        QCOMPARE(log, QStringList({ "activity:0", "connectivity:2", "activity:1", "progress:0/2", "progress:1/2",
                                    "progress:2/2", "activity:2" }));
    }

    void storageActionsChangeTheStore()
    {
        const QMailAccountId account = addAccount();
        const QMailFolderId inbox = addFolder(account, QStringLiteral("INBOX"), QMailFolder::Incoming);
        const QMailFolderId archive = addFolder(account, QStringLiteral("Archive"));
        const QMailMessageId first = addMessage(account, inbox, QMailMessage::Important);
        const QMailMessageId second = addMessage(account, inbox);
        const QMailMessageId third = addMessage(account, inbox);
        QMailStorageAction action;

        // Bits both set and cleared end up cleared.
        action.flagMessages({ first, second }, QMailMessage::Read | QMailMessage::Important, QMailMessage::Important);
        QCOMPARE(store()->messageMetaData(first).status() & QMailMessage::Read, quint64(0));   // not yet
        QCOMPARE(waitForEnd(&action), QMailServiceAction::Successful);
        for (const QMailMessageId &id : { first, second }) {
            const quint64 status = store()->messageMetaData(id).status();
            QVERIFY(status & QMailMessage::Read);
            QVERIFY(!(status & QMailMessage::Important));
        }

        action.moveMessages({ first }, archive);
        QCOMPARE(waitForEnd(&action), QMailServiceAction::Successful);
        QCOMPARE(store()->messageMetaData(first).parentFolderId(), archive);
        action.moveToFolder({ second }, archive);
        QCOMPARE(waitForEnd(&action), QMailServiceAction::Successful);
        QCOMPARE(store()->countMessages(QMailMessageKey::parentFolderId(archive)), 2);

        action.deleteMessages({ third });
        QCOMPARE(waitForEnd(&action), QMailServiceAction::Successful);
        QCOMPARE(store()->countMessages(), 2);
    }

    void unknownIdsFail_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<int>("code");
        QTest::newRow("delete") << "deleteMessages" << int(Status::ErrNonexistentMessage);
        QTest::newRow("flag") << "flagMessages" << int(Status::ErrNonexistentMessage);
        QTest::newRow("part") << "retrieveMessagePart" << int(Status::ErrNonexistentMessage);
        QTest::newRow("move to missing folder") << "moveMessages" << int(Status::ErrInvalidData);
    }

    void unknownIdsFail()
    {
        QFETCH(QString, call);
        QFETCH(int, code);
        const QMailAccountId account = addAccount();
        const QMailMessageId existing = addMessage(account, addFolder(account, QStringLiteral("INBOX")), 0);
        const QMailMessageId missing(existing.toULongLong() + 100);

        QMailStorageAction storage;
        QMailRetrievalAction retrieval;
        QMailServiceAction *action = &storage;
        if (call == QLatin1String("deleteMessages")) {
            storage.deleteMessages({ existing, missing });
        } else if (call == QLatin1String("flagMessages")) {
            storage.flagMessages({ missing }, QMailMessage::Read, 0);
        } else if (call == QLatin1String("moveMessages")) {
            storage.moveMessages({ existing }, QMailFolderId(999));
        } else {
            retrieval.retrieveMessagePart(QMailMessagePart::Location(QStringLiteral("%1-1").arg(missing.toULongLong())));
            action = &retrieval;
        }
        QSignalSpy status(action, &QMailServiceAction::statusChanged);
        QCOMPARE(waitForEnd(action), QMailServiceAction::Failed);
        QCOMPARE(int(action->status().errorCode), code);
        QVERIFY(!action->status().text.isEmpty());
        QCOMPARE(status.size(), 1);
        // Nothing was changed half-way.
        QCOMPARE(store()->countMessages(), 1);
        QCOMPARE(store()->messageMetaData(existing).status() & QMailMessage::Read, quint64(0));
    }

    void cancelledRequestChangesNothing()
    {
        const QMailAccountId account = addAccount();
        const QMailMessageId id = addMessage(account, addFolder(account, QStringLiteral("INBOX")));
        QMailStorageAction action;
        action.deleteMessages({ id });
        action.cancelOperation();
        QCOMPARE(waitForEnd(&action), QMailServiceAction::Failed);
        QCOMPARE(action.status().errorCode, Status::ErrCancel);
        QCOMPARE(action.status().text, QStringLiteral("Cancelled by user"));
        QCoreApplication::processEvents();
        QCOMPARE(store()->countMessages(), 1);
    }

    void addAndUpdateMessages()
    {
        const QMailAccountId account = addAccount();
        const QMailFolderId drafts = addFolder(account, QStringLiteral("Drafts"));
        QMailMessage message;
        message.setParentAccountId(account);
        message.setParentFolderId(drafts);
        message.setSubject(QStringLiteral("draft"));

        // Through the server: stored one turn later, ids reported by messagesAdded().
        QMailStorageAction action;
        action.addMessages({ message });
        QCOMPARE(store()->countMessages(), 0);
        QCOMPARE(waitForEnd(&action), QMailServiceAction::Successful);
        QCOMPARE(action.messagesAdded().size(), 1);
        const QMailMessageId added = action.messagesAdded().first();
        QCOMPARE(store()->message(added).subject(), QStringLiteral("draft"));

        // A message sent by another program is written inside the call.
        QMailMessage external = store()->message(added);
        external.setSubject(QStringLiteral("outgoing"));
        external.setStatus(QMailMessage::TransmitFromExternal, true);
        QSignalSpy activity(&action, &QMailServiceAction::activityChanged);
        action.updateMessages({ external });
        QCOMPARE(activity.size(), 2);
        QCOMPARE(activity.at(0).first().value<QMailServiceAction::Activity>(), QMailServiceAction::Pending);
        QCOMPARE(activity.at(1).first().value<QMailServiceAction::Activity>(), QMailServiceAction::Successful);
        QVERIFY(!action.isRunning());
        QCOMPARE(store()->message(added).subject(), QStringLiteral("outgoing"));

        QMailMessage unresolved;
        unresolved.setParentAccountId(account);
        unresolved.setParentFolderId(drafts);
        unresolved.setStatus(QMailMessage::HasUnresolvedReferences, true);
        action.addMessages({ unresolved });
        QCOMPARE(action.activity(), QMailServiceAction::Successful);
        QCOMPARE(action.messagesAdded().size(), 1);
        QVERIFY(action.messagesAdded().first() != added);
        QCOMPARE(store()->countMessages(), 2);
    }

    void observerFollowsRunningActions()
    {
        const QMailAccountId account = addAccount();
        QMailActionObserver observer;
        QSignalSpy changed(&observer, &QMailActionObserver::actionsChanged);
        QTRY_COMPARE(changed.size(), 1);

        QMailRetrievalAction action;
        action.exportUpdates(account);
        QCOMPARE(changed.size(), 2);
        QCOMPARE(observer.actions().size(), 1);
        const QSharedPointer<QMailActionInfo> info = observer.actions().first();
        QCOMPARE(info->id(), server()->lastRequest().id);
        QCOMPARE(info->requestType(), ExportUpdatesRequestType);

        QCOMPARE(waitForEnd(&action), QMailServiceAction::Successful);
        QCOMPARE(info->activity(), QMailServiceAction::Successful);
        QTRY_COMPARE(changed.size(), 3);
        QVERIFY(observer.actions().isEmpty());
    }

    void retrievalImportsTheRemoteMailbox()
    {
        QTemporaryDir remote;
        QVERIFY(remote.isValid());
        writeMail(remote.filePath(QStringLiteral("1.eml")), QStringLiteral("first"), "Hello one");
        writeMail(remote.filePath(QStringLiteral("2.eml")), QStringLiteral("second"), "Hello two");
        QFile(remote.filePath(QStringLiteral("notes.txt"))).open(QIODevice::WriteOnly);
        const QMailAccountId account = addAccount();
        server()->setRemoteMailbox(account, remote.path());

        QMailRetrievalAction action;
        action.synchronize(account, 20);
        QCOMPARE(waitForEnd(&action), QMailServiceAction::Successful);

        // The account had no inbox: one is made and recorded.
        const QMailFolderId inbox = QMailAccount(account).standardFolder(QMailFolder::InboxFolder);
        QVERIFY(inbox.isValid());
        QCOMPARE(QMailFolder(inbox).path(), QStringLiteral("Inbox"));
        QVERIFY(QMailFolder(inbox).status() & QMailFolder::Incoming);

        const QMailMessageIdList ids = store()->queryMessages(QMailMessageKey::parentFolderId(inbox));
        QCOMPARE(ids.size(), 2);
        QStringList subjects;
        for (const QMailMessageId &id : ids) {
            const QMailMessage message(id);
            subjects << message.subject();
            QCOMPARE(message.parentAccountId(), account);
            QVERIFY(message.status() & QMailMessage::Incoming);
            QVERIFY(!server()->remoteFileOf(id).isEmpty());
        }
        subjects.sort();
        QCOMPARE(subjects, QStringList({ "first", "second" }));

        // Only new remote files are imported by the next synchronisation.
        writeMail(remote.filePath(QStringLiteral("3.eml")), QStringLiteral("third"), "Hello three");
        action.synchronizeAll(account);
        QCOMPARE(waitForEnd(&action), QMailServiceAction::Successful);
        QCOMPARE(store()->countMessages(QMailMessageKey::parentFolderId(inbox)), 3);

        // Imported without content; parts and the whole message come in on request.
        const QMailMessageId id = ids.first();
        QMailMessage partial(id);
        QVERIFY(!partial.contentAvailable());
        QCOMPARE(partial.partCount(), 2u);
        QVERIFY(!partial.partAt(0).contentAvailable());
        QVERIFY(!partial.partAt(1).contentAvailable());

        action.retrieveMessagePart(partial.partAt(0).location());
        QCOMPARE(waitForEnd(&action), QMailServiceAction::Successful);
        partial = QMailMessage(id);
        QVERIFY(partial.partAt(0).contentAvailable());
        QVERIFY(partial.partAt(0).body().data().contains(QStringLiteral("Hello")));
        QVERIFY(!partial.partAt(1).contentAvailable());

        action.retrieveMessages({ id }, QMailRetrievalAction::Content);
        QCOMPARE(waitForEnd(&action), QMailServiceAction::Successful);
        const QMailMessage complete(id);
        QVERIFY(complete.contentAvailable());
        QVERIFY(complete.partAt(1).contentAvailable());
        QCOMPARE(complete.partAt(1).body().data(QMailMessageBody::Decoded), QByteArray("\x00\x01\x02\x03\x04\x05", 6));

        // A message that did not come from the remote mailbox has nothing to fetch.
        const QMailMessageId local = addMessage(account, inbox);
        action.retrieveMessageRange(local, 100);
        QCOMPARE(waitForEnd(&action), QMailServiceAction::Failed);
        QCOMPARE(action.status().errorCode, Status::ErrNonexistentMessage);
    }

    void folderListCreatesTheInbox()
    {
        const QMailAccountId account = addAccount();
        const QMailFolderId existing = addFolder(account, QStringLiteral("INBOX"), QMailFolder::Incoming);
        QMailRetrievalAction action;
        action.retrieveFolderList(account, QMailFolderId());
        QCOMPARE(waitForEnd(&action), QMailServiceAction::Successful);
        // An inbox found by its flag is used, not duplicated.
        QCOMPARE(QMailAccount(account).standardFolder(QMailFolder::InboxFolder), existing);
        QCOMPARE(store()->countFolders(QMailFolderKey::parentAccountId(account)), 1);

        action.retrieveFolderList(QMailAccountId(77), QMailFolderId());
        QCOMPARE(waitForEnd(&action), QMailServiceAction::Failed);
        QCOMPARE(action.status().errorCode, Status::ErrConfiguration);
    }

    void transmissionMovesOutboxToSent()
    {
        const QMailAccountId account = addAccount();
        const QMailFolderId drafts = addFolder(account, QStringLiteral("Drafts"));
        const QMailMessageId queued = addMessage(account, drafts, QMailMessage::Outbox | QMailMessage::Outgoing);
        const QMailMessageId draft = addMessage(account, drafts, QMailMessage::Draft);

        QMailTransmitAction action;
        QSignalSpy transmitted(&action, &QMailTransmitAction::messagesTransmitted);
        action.transmitMessages(account);
        QCOMPARE(waitForEnd(&action), QMailServiceAction::Successful);

        QCOMPARE(transmitted.size(), 1);
        QCOMPARE(transmitted.first().first().value<QMailMessageIdList>(), QMailMessageIdList({ queued }));
        const QMailMessageMetaData sent = store()->messageMetaData(queued);
        QCOMPARE(sent.parentFolderId(), QMailAccount(account).standardFolder(QMailFolder::SentFolder));
        QVERIFY(sent.status() & QMailMessage::Sent);
        QVERIFY(!(sent.status() & QMailMessage::Outbox));
        QCOMPARE(store()->messageMetaData(draft).parentFolderId(), drafts);
    }
};

QTEST_GUILESS_MAIN(TestQmfActionsAutomatic)
#include "tst_qmfactions_automatic.moc"
