// Store changes on the real platform, checked where they end up: the IMAP server's own Maildir
// on disk. Each case is a sequence the random run on the real stack once got wrong; the cases
// run in order on one mailbox.

#include "realqmfstack.h"
#include "testenvironment.h"

#include <zavekserviceactionmanager.h>
#include <zaveksettings.h>

#include <qmailfolder.h>
#include <qmailfolderkey.h>
#include <qmailmessagekey.h>
#include <qmailstore.h>

#include <QDir>
#include <QtTest>

using Manager = ZavekServiceActionManager;

namespace {

const int runTimeoutMs = 60000;

QByteArray note(const QByteArray &subject)
{
    return "From: Ana <ana@example.org>\r\nTo: user@example.org\r\nSubject: " + subject
           + "\r\nDate: Mon, 2 Nov 2026 10:00:00 +0000\r\nMessage-ID: <" + subject.toLower().replace(' ', '.')
           + "@example.org>\r\nContent-Type: text/plain\r\n\r\n" + subject + "\r\n";
}

} // namespace

class TestRealQmfChanges : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Work's own messages take the same UIDs as the inbox's first ones.
        stack.setExtraMessages({{QStringLiteral("Archive"), note("Archive one")},
                                {QStringLiteral("Archive"), note("Archive two")},
                                {QStringLiteral("Work"), note("Work one")},
                                {QStringLiteral("Work"), note("Work two")},
                                {QStringLiteral("Work"), note("Work three")}});
        QString error;
        QVERIFY2(stack.start(&error), qPrintable(error));
        account = stack.addAccount(QStringLiteral("Changes"), stack.password());
        ZavekSettings::instance()->setUseConnectivityManager(false, false);
        manager.reset(new Manager);
        connect(manager.data(), &Manager::activityChanged, this, [this](uint serial, QMailServiceAction::Activity activity) {
            if (activity == QMailServiceAction::Successful || activity == QMailServiceAction::Failed)
                ended.insert(serial, activity);
        });
        QVERIFY(runs(manager->retrieveFolderList(account, QMailFolderId(), true)));
        for (const QString &path : {QStringLiteral("INBOX"), QStringLiteral("Archive"), QStringLiteral("Work")})
            QVERIFY(runs(manager->retrieveMessageList(account, folder(path), 100, QMailMessageSortKey())));
        QCOMPARE(QMailStore::instance()->countMessages(QMailMessageKey::parentAccountId(account)), 8);
    }

    void listRetrievalAfterAFlagChange();
    void metadataOfAOnePartMessageEndsWhenCancelled();
    void moveReachesTheServerWithTheExport();
    void movesFromTwoFoldersIntoOne();

private:
    bool runs(uint serial)
    {
        return QTest::qWaitFor([&] { return ended.contains(serial); }, runTimeoutMs)
               && ended.value(serial) == QMailServiceAction::Successful;
    }
    QMailFolderId folder(const QString &path) const
    {
        const QMailFolderIdList ids = QMailStore::instance()->queryFolders(QMailFolderKey::parentAccountId(account)
                                                                           & QMailFolderKey::path(path));
        return ids.value(0);
    }
    QMailMessageId message(const QString &subject) const
    {
        return QMailStore::instance()->queryMessages(QMailMessageKey::subject(subject)).value(0);
    }
    // The subjects in a folder of the server's Maildir, sorted; "(deleted)" marks a message
    // flagged for removal but not yet expunged.
    QStringList onServer(const QString &folder) const
    {
        QStringList subjects;
        for (const char *subdirectory : {"/cur", "/new"}) {
            const QDir directory(stack.maildirFolder(folder) + QLatin1String(subdirectory));
            for (const QFileInfo &info : directory.entryInfoList(QDir::Files)) {
                QFile file(info.filePath());
                file.open(QIODevice::ReadOnly);
                const QByteArray text = file.readAll();
                const int start = text.indexOf("Subject: ") + 9;
                QString subject = QString::fromUtf8(text.mid(start, text.indexOf('\n', start) - start)).trimmed();
                if (info.fileName().section(QStringLiteral(":2,"), 1).contains(QLatin1Char('T')))
                    subject += QStringLiteral(" (deleted)");
                subjects << subject;
            }
        }
        subjects.sort();
        return subjects;
    }

    RealQmfStack stack;
    QMailAccountId account;
    QScopedPointer<Manager> manager;
    QHash<uint, QMailServiceAction::Activity> ended;
};

void TestRealQmfChanges::listRetrievalAfterAFlagChange()
{
    const QMailMessageId one = message(QStringLiteral("Work one"));
    const QMailMessageId three = message(QStringLiteral("Work three"));
    QVERIFY(runs(manager->flagMessages({one}, QMailMessage::Important, 0)));
    QVERIFY(runs(manager->exportUpdates(account)));
    // Changed since the last export: one back to what the server still holds, three for the
    // first time.
    QVERIFY(runs(manager->flagMessages({one}, 0, QMailMessage::Important)));
    QVERIFY(runs(manager->flagMessages({three}, QMailMessage::Important, 0)));
    QVERIFY(runs(manager->retrieveMessageList(account, folder(QStringLiteral("Work")), 100, QMailMessageSortKey())));
    // The message server's list retrieval takes the server's flags over a change that undoes
    // an exported one: the user's change is gone, and the next export has nothing to send.
    QEXPECT_FAIL("", "the message server's list retrieval overwrites a change not yet exported", Continue);
    QVERIFY(!(QMailMessageMetaData(one).status() & QMailMessage::Important));
    QVERIFY(QMailMessageMetaData(three).status() & QMailMessage::Important);
    // An export before the list keeps it: the order the soak asks in.
    QVERIFY(runs(manager->flagMessages({one}, 0, QMailMessage::Important)));
    QVERIFY(runs(manager->exportUpdates(account)));
    QVERIFY(runs(manager->retrieveMessageList(account, folder(QStringLiteral("Work")), 100, QMailMessageSortKey())));
    QVERIFY(!(QMailMessageMetaData(one).status() & QMailMessage::Important));
}

void TestRealQmfChanges::metadataOfAOnePartMessageEndsWhenCancelled()
{
    // The message server never ends the metadata retrieval of a one-part message whose body
    // it has not fetched (its IMAP client finds no section to fetch and stops without a
    // word); it fails the request only when it expires it, 120 s later. The queue waits for
    // that, or for the caller's cancel, which ends it at once.
    const uint metadata = manager->retrieveMessages({message(QStringLiteral("Work two"))}, QMailRetrievalAction::MetaData);
    QEXPECT_FAIL("", "the message server's metadata retrieval of a one-part message", Continue);
    QVERIFY(QTest::qWaitFor([&] { return ended.contains(metadata); }, 5000));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Action finished .* error: 7 "));
    manager->cancelOperation(metadata);
    QVERIFY(QTest::qWaitFor([&] { return ended.contains(metadata); }, runTimeoutMs));
    QCOMPARE(ended.value(metadata), QMailServiceAction::Failed);
    QVERIFY(runs(manager->retrieveMessages({message(QStringLiteral("Work one"))}, QMailRetrievalAction::Content)));
}

void TestRealQmfChanges::moveReachesTheServerWithTheExport()
{
    QVERIFY(runs(manager->moveMessages({message(QStringLiteral("Plain text note"))}, folder(QStringLiteral("Work")))));
    QCOMPARE(onServer(QStringLiteral("Work")), (QStringList{QStringLiteral("Work one"), QStringLiteral("Work three"), QStringLiteral("Work two")}));
    QVERIFY(runs(manager->exportUpdates(account)));
    QCOMPARE(onServer(QStringLiteral("Work")), (QStringList{QStringLiteral("Plain text note"), QStringLiteral("Work one"),
                                                            QStringLiteral("Work three"), QStringLiteral("Work two")}));
    QCOMPARE(onServer(QString()), (QStringList{QStringLiteral("Newsletter with two pictures"), QStringLiteral("Quarterly figures attached")}));
}

void TestRealQmfChanges::movesFromTwoFoldersIntoOne()
{
    // Two folders' messages moved into a third, whose own messages have the UIDs the inbox's
    // had, and then exported together.
    QVERIFY(runs(manager->moveMessages({message(QStringLiteral("Archive one"))}, folder(QStringLiteral("Work")))));
    QVERIFY(runs(manager->moveMessages({message(QStringLiteral("Newsletter with two pictures"))}, folder(QStringLiteral("Work")))));
    QVERIFY(runs(manager->exportUpdates(account)));
    QVERIFY(runs(manager->sync(account)));
    // The message server copies the first folder's message, then takes the second folder's
    // for one already in the destination: it appends a new copy, leaves the original where
    // it was, and marks the destination's message of the same UID deleted (Work one). Nothing
    // the library asks for differs from the move of the case before.
    QEXPECT_FAIL("", "the message server's export of moves from two folders into one", Continue);
    QCOMPARE(onServer(QStringLiteral("Work")), (QStringList{QStringLiteral("Archive one"), QStringLiteral("Newsletter with two pictures"),
                                                            QStringLiteral("Plain text note"), QStringLiteral("Work one"),
                                                            QStringLiteral("Work three"), QStringLiteral("Work two")}));
    QEXPECT_FAIL("", "the message server's export of moves from two folders into one", Continue);
    QCOMPARE(onServer(QString()), QStringList{QStringLiteral("Quarterly figures attached")});
    QCOMPARE(onServer(QStringLiteral("Archive")), QStringList{QStringLiteral("Archive two")});
}

int main(int argc, char *argv[])
{
    if (!RealQmfStack::runOnPrivateBus(argc, argv))
        return 1;
    QCoreApplication application(argc, argv);
    TestRealQmfChanges test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_realqmf_changes.moc"
