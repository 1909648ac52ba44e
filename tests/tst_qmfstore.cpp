#include "qmailstore.h"
#include "qmailstorecontrol.h"
#include "storehelpers.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

using namespace ZavekTest;

namespace {

const char addAccountRefused[] = "bool QMailStore::addAccount(QMailAccount*, QMailAccountConfiguration*) "
                                 "Cannot add an account that is null or already has an id";

} // namespace

class TestQmfStore : public QObject
{
    Q_OBJECT

private slots:
    void init() { QmfStandIn::resetStore(); }

    void addWritesIdsAndRefusesStoredObjects()
    {
        QMailStore *store = QMailStore::instance();
        QSignalSpy added(store, SIGNAL(accountsAdded(QMailAccountIdList)));

        QMailAccount first, second;
        QVERIFY(store->addAccount(&first, nullptr));
        QVERIFY(store->addAccount(&second, nullptr));
        QVERIFY(first.id().isValid());
        QVERIFY(first.id() != second.id());
        QCOMPARE(added.count(), 2);
        QCOMPARE(added.at(1).at(0).value<QMailAccountIdList>(), QMailAccountIdList{second.id()});

        QTest::ignoreMessage(QtWarningMsg, addAccountRefused);
        QVERIFY(!store->addAccount(&first, nullptr));
        QCOMPARE(store->lastError(), QMailStore::ConstraintFailure);
        QCOMPARE(store->countAccounts(), 2);
        QCOMPARE(store->lastError(), QMailStore::NoError); // every call starts afresh

        QTest::ignoreMessage(QtWarningMsg, addAccountRefused);
        QVERIFY(!store->addAccount(nullptr, nullptr));

        QMailMessage message;
        QVERIFY(store->addMessage(&message));
        QTest::ignoreMessage(QtWarningMsg, "bool QMailStore::addMessage(QMailMessage*) "
                                           "Cannot add a message that is null or already has an id");
        QVERIFY(!store->addMessage(&message));
        QCOMPARE(store->countMessages(), 1);

        QMailFolder folder(QStringLiteral("Inbox"));
        QVERIFY(store->addFolder(&folder));
        QTest::ignoreMessage(QtWarningMsg, "bool QMailStore::addFolder(QMailFolder*) "
                                           "Cannot add a folder that is null or already has an id");
        QVERIFY(!store->addFolder(&folder));
        QCOMPARE(store->countFolders(), 2); // the local storage folder and the one added
        QCOMPARE(added.count(), 2);
    }

    void addFolderChecksParents()
    {
        QMailStore *store = QMailStore::instance();
        const QMailAccountId account = addAccount("a");

        QMailFolder orphan("x", QMailFolderId(77));
        QTest::ignoreMessage(QtWarningMsg, "bool QMailStore::addFolder(QMailFolder*) Unknown parent folder or account: 77 0");
        QVERIFY(!store->addFolder(&orphan));
        QCOMPARE(store->lastError(), QMailStore::ConstraintFailure);
        QVERIFY(!orphan.id().isValid());

        QMailFolder lost("x", QMailFolderId(), QMailAccountId(55));
        QTest::ignoreMessage(QtWarningMsg, "bool QMailStore::addFolder(QMailFolder*) Unknown parent folder or account: 0 55");
        QVERIFY(!store->addFolder(&lost));

        const QMailFolderId parent = addFolder("INBOX", account);
        QMailFolder child("INBOX/Work", parent, account);
        QVERIFY(store->addFolder(&child));
        QCOMPARE(QMailFolder(child.id()).parentFolderId(), parent);
        QCOMPARE(QMailFolder(child.id()).parentAccountId(), account);

        // A folder cannot become its own ancestor.
        QMailFolder loop(parent);
        loop.setParentFolderId(child.id());
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Unknown or circular parent folder"));
        QVERIFY(!store->updateFolder(&loop));
        QCOMPARE(store->lastError(), QMailStore::ConstraintFailure);
    }

    void updateNeedsStoredItem()
    {
        QMailStore *store = QMailStore::instance();
        QMailAccount account;
        QTest::ignoreMessage(QtWarningMsg, "bool QMailStore::updateAccount(QMailAccount*, QMailAccountConfiguration*) "
                                           "Cannot update an account that is not stored");
        QVERIFY(!store->updateAccount(&account));
        QCOMPARE(store->lastError(), QMailStore::InvalidId);

        QMailFolder folder("f");
        folder.setId(QMailFolderId(40));
        QTest::ignoreMessage(QtWarningMsg, "bool QMailStore::updateFolder(QMailFolder*) Cannot update a folder that is not stored");
        QVERIFY(!store->updateFolder(&folder));
        QCOMPARE(store->countFolders(), 1);

        QMailMessage message;
        message.setId(QMailMessageId(3));
        QTest::ignoreMessage(QtWarningMsg, "bool QMailStore::updateMessage(QMailMessage*) Cannot update a message that is not stored");
        QVERIFY(!store->updateMessage(&message));
        QCOMPARE(store->countMessages(), 0);

        const QMailFolderId stored = addFolder("old", QMailAccountId());
        QSignalSpy updated(store, SIGNAL(foldersUpdated(QMailFolderIdList)));
        QMailFolder changed(stored);
        changed.setPath("new");
        QVERIFY(store->updateFolder(&changed));
        QCOMPARE(QMailFolder(stored).path(), QStringLiteral("new"));
        QCOMPARE(updated.count(), 1);
    }

    void updateAccountLeavesConfigurationUnlessGiven()
    {
        QMailStore *store = QMailStore::instance();
        QMailAccount account;
        QMailAccountConfiguration config;
        config.addServiceConfiguration("imap4");
        config.serviceConfiguration("imap4").setValue("pushEnabled", "1");
        QVERIFY(store->addAccount(&account, &config));
        QCOMPARE(config.id(), account.id());

        account.setStatus(QMailAccount::PreferredSender, true);
        account.setCustomField("pushEnabled", "0");
        QVERIFY(store->updateAccount(&account, nullptr));
        QCOMPARE(QMailAccount(account.id()).status(), QMailAccount::PreferredSender);
        QCOMPARE(QMailAccount(account.id()).customField("pushEnabled"), QStringLiteral("0"));
        QCOMPARE(QMailAccountConfiguration(account.id()).serviceConfiguration("imap4").value("pushEnabled"),
                 QStringLiteral("1"));

        QMailAccountConfiguration replacement;
        replacement.addServiceConfiguration("smtp");
        QVERIFY(store->updateAccount(&account, &replacement));
        QCOMPARE(QMailAccountConfiguration(account.id()).services(), QStringList{"smtp"});
    }

    void unknownIdsGiveDefaultObjects()
    {
        QMailStore *store = QMailStore::instance();
        const QMailAccount account = store->account(QMailAccountId(9));
        QVERIFY(!account.id().isValid());
        QCOMPARE(account.status(), quint64(0));
        QCOMPARE(store->lastError(), QMailStore::InvalidId);

        QVERIFY(!QMailFolder(QMailFolderId(9)).id().isValid());
        QVERIFY(store->accountConfiguration(QMailAccountId(9)).services().isEmpty());
        const QMailMessageMetaData metaData = store->messageMetaData(QMailMessageId(9));
        QVERIFY(!metaData.id().isValid());
        QCOMPARE(metaData.status(), quint64(0));
        QVERIFY(!store->message(QMailMessageId()).id().isValid());

        QTest::ignoreMessage(QtWarningMsg, "bool QMailStore::removeMessage(const QMailMessageId&, "
                                           "QMailStore::MessageRemovalOption) Unknown message: 9");
        QVERIFY(!store->removeMessage(QMailMessageId(9)));
        QCOMPARE(store->lastError(), QMailStore::InvalidId);
    }

    void queryOrderLimitAndOffset()
    {
        QMailStore *store = QMailStore::instance();
        QMailMessageIdList ids;
        for (int i = 0; i < 5; ++i)
            ids.append(addMessage(QMailAccountId(), QMailFolderId::LocalStorageFolderId));

        QCOMPARE(store->queryMessages(), ids);
        QCOMPARE(store->queryMessages(QMailMessageKey(), QMailMessageSortKey(), 2), ids.mid(0, 2));
        QCOMPARE(store->queryMessages(QMailMessageKey(), QMailMessageSortKey(), 2, 2), ids.mid(2, 2));
        QCOMPARE(store->queryMessages(QMailMessageKey(), QMailMessageSortKey(), 0, 3), ids.mid(3));
        QCOMPARE(store->queryMessages(QMailMessageKey(), QMailMessageSortKey(), 10, 5), QMailMessageIdList());
        QCOMPARE(store->queryMessages(QMailMessageKey(), QMailMessageSortKey(), 1, uint(-1)), QMailMessageIdList());
        QCOMPARE(store->queryMessages(QMailMessageKey(), QMailMessageSortKey::id(Qt::DescendingOrder), 2),
                 (QMailMessageIdList{ids.at(4), ids.at(3)}));
    }

    void sortKeys()
    {
        QMailStore *store = QMailStore::instance();
        const QDateTime base(QDate(2012, 2, 1), QTime(10, 0), Qt::UTC);
        const QMailMessageId late = addMessage(QMailAccountId(), QMailFolderId(1), 0, base.addDays(2));
        const QMailMessageId undated = addMessage(QMailAccountId(), QMailFolderId(1));
        const QMailMessageId early = addMessage(QMailAccountId(), QMailFolderId(1), 0, base);
        const QMailMessageId sameAsEarly = addMessage(QMailAccountId(), QMailFolderId(1), 0, base);

        QCOMPARE(store->queryMessages(QMailMessageKey(), QMailMessageSortKey::timeStamp()),
                 (QMailMessageIdList{undated, early, sameAsEarly, late}));
        QCOMPARE(store->queryMessages(QMailMessageKey(), QMailMessageSortKey::timeStamp(Qt::DescendingOrder), 3),
                 (QMailMessageIdList{late, early, sameAsEarly}));
        QCOMPARE(store->queryMessages(QMailMessageKey(),
                                      QMailMessageSortKey::timeStamp(Qt::DescendingOrder)
                                          & QMailMessageSortKey::id(Qt::DescendingOrder)),
                 (QMailMessageIdList{late, sameAsEarly, early, undated}));

        const QMailAccountId zulu = addAccount("zulu");
        const QMailAccountId alpha = addAccount("alpha");
        QCOMPARE(store->queryAccounts(QMailAccountKey(), QMailAccountSortKey::name()), (QMailAccountIdList{alpha, zulu}));
        const QMailFolderId beta = addFolder("beta", zulu);
        QCOMPARE(store->queryFolders(QMailFolderKey(), QMailFolderSortKey::path(Qt::DescendingOrder)),
                 (QMailFolderIdList{beta, QMailFolderId(1)}));
    }

    void removalCascadesAndKeepsTheLocalStorageFolder()
    {
        QMailStore *store = QMailStore::instance();
        const QMailAccountId doomed = addAccount("doomed");
        const QMailAccountId kept = addAccount("kept");
        const QMailFolderId inbox = addFolder("INBOX", doomed);
        const QMailFolderId sub = addFolder("INBOX/sub", QMailAccountId(), 0, inbox);
        const QMailFolderId keptInbox = addFolder("INBOX", kept);
        const QMailMessageId inInbox = addMessage(doomed, inbox);
        const QMailMessageId inSub = addMessage(QMailAccountId(), sub);
        const QMailMessageId localOfDoomed = addMessage(doomed, QMailFolderId(1));
        const QMailMessageId keptMessage = addMessage(kept, keptInbox);

        QSignalSpy messagesRemoved(store, SIGNAL(messagesRemoved(QMailMessageIdList)));
        QSignalSpy foldersRemoved(store, SIGNAL(foldersRemoved(QMailFolderIdList)));
        QSignalSpy accountsRemoved(store, SIGNAL(accountsRemoved(QMailAccountIdList)));

        QVERIFY(store->removeAccount(doomed));
        QCOMPARE(store->queryAccounts(), QMailAccountIdList{kept});
        QCOMPARE(store->queryFolders(), (QMailFolderIdList{QMailFolderId(1), keptInbox}));
        QCOMPARE(store->queryMessages(), QMailMessageIdList{keptMessage});
        QVERIFY(store->accountConfiguration(doomed).services().isEmpty());
        QCOMPARE(store->lastError(), QMailStore::InvalidId);

        QCOMPARE(messagesRemoved.count(), 1);
        QCOMPARE(messagesRemoved.at(0).at(0).value<QMailMessageIdList>(),
                 (QMailMessageIdList{inInbox, inSub, localOfDoomed}));
        QCOMPARE(foldersRemoved.at(0).at(0).value<QMailFolderIdList>(), (QMailFolderIdList{inbox, sub}));
        QCOMPARE(accountsRemoved.at(0).at(0).value<QMailAccountIdList>(), QMailAccountIdList{doomed});

        QVERIFY(store->removeMessages(QMailMessageKey::parentAccountId(kept)));
        QCOMPARE(store->countMessages(), 0);
        QVERIFY(store->removeMessages(QMailMessageKey::nonMatchingKey()));
        QCOMPARE(messagesRemoved.count(), 2);

        // The local storage folder stays, alone or among all.
        QTest::ignoreMessage(QtWarningMsg, "bool QMailStore::removeFolder(const QMailFolderId&, "
                                           "QMailStore::MessageRemovalOption) The local storage folder cannot be removed");
        QVERIFY(!store->removeFolder(QMailFolderId(1)));
        QCOMPARE(store->lastError(), QMailStore::ConstraintFailure);
        QVERIFY(store->removeFolders(QMailFolderKey()));
        QCOMPARE(store->queryFolders(), QMailFolderIdList{QMailFolderId(1)});
        QVERIFY(!QMailFolder(keptInbox).id().isValid());
    }

    void removedFolderLeavesAccountStandardFolders()
    {
        QMailStore *store = QMailStore::instance();
        QMailAccount account(addAccount("a"));
        const QMailFolderId trash = addFolder("Trash", account.id());
        const QMailFolderId drafts = addFolder("Drafts", account.id());
        account.setStandardFolder(QMailFolder::TrashFolder, trash);
        account.setStandardFolder(QMailFolder::DraftsFolder, drafts);
        store->updateAccount(&account);

        QSignalSpy accountsUpdated(store, SIGNAL(accountsUpdated(QMailAccountIdList)));
        QVERIFY(store->removeFolder(trash));
        const QMailAccount reloaded(account.id());
        QVERIFY(!reloaded.standardFolder(QMailFolder::TrashFolder).isValid());
        QCOMPARE(reloaded.standardFolder(QMailFolder::DraftsFolder), drafts);
        QCOMPARE(accountsUpdated.count(), 1);
    }

    void updateMessagesMetaDataFlagsAndKeepsContent()
    {
        QMailStore *store = QMailStore::instance();
        const QMailAccountId account = addAccount("a");
        const QMailMessageId first = addMessage(account, QMailFolderId(1));
        const QMailMessageId second = addMessage(account, QMailFolderId(1));
        const QMailMessageId other = addMessage(QMailAccountId(), QMailFolderId(1));
        QSignalSpy updated(store, SIGNAL(messagesUpdated(QMailMessageIdList)));

        const quint64 flags = QMailMessageMetaData::Read | QMailMessageMetaData::Important;
        QVERIFY(store->updateMessagesMetaData(QMailMessageKey::parentAccountId(account), flags, true));
        QCOMPARE(updated.at(0).at(0).value<QMailMessageIdList>(), (QMailMessageIdList{first, second}));
        QVERIFY(store->updateMessagesMetaData(QMailMessageKey::id(first), QMailMessageMetaData::Important, false));

        QCOMPARE(QMailMessageMetaData(first).status(), QMailMessageMetaData::Read);
        QCOMPARE(QMailMessageMetaData(second).status(), flags);
        QCOMPARE(QMailMessageMetaData(other).status(), quint64(0));

        // An update of the metadata alone keeps the content.
        QMailMessage message;
        message.setBody(QMailMessageBody::fromData(QStringLiteral("hello"), QMailMessageContentType("text/plain"),
                                                   QMailMessageBody::EightBit));
        QVERIFY(store->addMessage(&message));
        QMailMessageMetaData metaData(message.id());
        metaData.setStatus(QMailMessageMetaData::Read, true);
        QVERIFY(store->updateMessage(&metaData));
        const QMailMessage stored(message.id());
        QVERIFY(stored.status() & QMailMessageMetaData::Read);
        QCOMPARE(stored.body().data(), QStringLiteral("hello"));
    }
};

QTEST_GUILESS_MAIN(TestQmfStore)
#include "tst_qmfstore.moc"
