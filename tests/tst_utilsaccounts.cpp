#include "zavekutils.h"

#include <qmailaccountconfiguration.h>
#include <qmailstore.h>
#include <qmailstorecontrol.h>
#include <storehelpers.h>

#include <QtTest>

Q_DECLARE_METATYPE(QMailFolder::StandardFolder)

using namespace ZavekTest;

namespace {

quint64 usable()
{
    return QMailAccount::Enabled | QMailAccount::CanRetrieve | QMailAccount::MessageSource;
}

bool isMarked(const QMailAccountId &id)
{
    return QMailAccount(id).status() & QMailAccount::PreferredSender;
}

void setStatus(const QMailAccountId &id, quint64 mask, bool set)
{
    QMailAccount account(id);
    account.setStatus(mask, set);
    QMailStore::instance()->updateAccount(&account, nullptr);
}

} // namespace

class TestUtilsAccounts : public QObject
{
    Q_OBJECT

private slots:
    void init() { QmfStandIn::resetStore(); }

    void defaultAccount()
    {
        QCOMPARE(ZavekUtils::account_list(), QList<QMailAccountId>());
        QVERIFY(!ZavekUtils::default_account_id().isValid());
        ZavekUtils::ensureDefaultAccountExists(); // nothing to mark

        const QMailAccountId sendOnly = addAccount("send only", QMailAccount::CanTransmit);
        const QMailAccountId first = addAccount("first", usable());
        const QMailAccountId second = addAccount("second", usable());
        QCOMPARE(ZavekUtils::account_list(), (QList<QMailAccountId>{first, second}));

        // Asking does not write the answer.
        QCOMPARE(ZavekUtils::default_account_id(), first);
        QVERIFY(!isMarked(first));

        ZavekUtils::ensureDefaultAccountExists();
        QVERIFY(isMarked(first));
        QVERIFY(!isMarked(second));
        QVERIFY(!isMarked(sendOnly));

        // A marked account further down wins over list order, and is left alone.
        setStatus(first, QMailAccount::PreferredSender, false);
        setStatus(second, QMailAccount::PreferredSender, true);
        QCOMPARE(ZavekUtils::default_account_id(), second);
        ZavekUtils::ensureDefaultAccountExists();
        QVERIFY(!isMarked(first));
        QVERIFY(isMarked(second));
    }

    void defaultAccountUniqueness()
    {
        const quint64 marked = QMailAccount::PreferredSender | QMailAccount::MessageSource;
        const QMailAccountId disabled = addAccount("disabled", marked);
        const QMailAccountId kept = addAccount("kept", marked | QMailAccount::Enabled);
        const QMailAccountId third = addAccount("third", marked | QMailAccount::Enabled);
        const QMailAccountId noSource = addAccount("no source", QMailAccount::PreferredSender);
        ZavekUtils::ensureDefaultAccountUniqueness();
        QVERIFY(!isMarked(disabled) && isMarked(kept) && !isMarked(third));
        QVERIFY(isMarked(noSource)); // not a message source: not looked at
        // No account gains the mark here.
        setStatus(kept, QMailAccount::PreferredSender, false);
        ZavekUtils::ensureDefaultAccountUniqueness();
        QVERIFY(!isMarked(kept) && !isMarked(third));
    }

    void changeDefaultAccount()
    {
        // No usable account at all: only the new one gets the mark.
        const QMailAccountId sendOnly = addAccount("send only", QMailAccount::CanTransmit);
        ZavekUtils::changeDefaultAccount(sendOnly);
        QVERIFY(isMarked(sendOnly));

        const QMailAccountId first = addAccount("first", usable() | QMailAccount::PreferredSender);
        const QMailAccountId second = addAccount("second", usable());
        ZavekUtils::changeDefaultAccount(second);
        QVERIFY(!isMarked(first) && isMarked(second));
        QCOMPARE(ZavekUtils::default_account_id(), second);
        // Moving the mark onto the current default keeps it there.
        ZavekUtils::changeDefaultAccount(second);
        QVERIFY(isMarked(second));

        // An unknown account: the current default keeps its mark.
        QTest::ignoreMessage(QtWarningMsg, "void ZavekUtils::changeDefaultAccount(QMailAccountId) No such account: 99");
        ZavekUtils::changeDefaultAccount(QMailAccountId(99));
        QVERIFY(isMarked(second));
    }

    void smartReply_data()
    {
        QTest::addColumn<bool>("flag");
        QTest::addColumn<bool>("sameAccount");
        QTest::addColumn<bool>("validId");
        QTest::addColumn<bool>("allowed");

        QTest::newRow("flag, same account") << true << true << true << true;
        QTest::newRow("flag, other account") << true << false << true << false;
        QTest::newRow("no flag") << false << true << true << false;
        QTest::newRow("invalid id") << true << true << false << false;
    }

    void smartReply()
    {
        QFETCH(bool, flag);
        QFETCH(bool, sameAccount);
        QFETCH(bool, validId);
        const quint64 smart = QMailAccount::UseSmartReply;
        const QMailAccountId account = validId ? addAccount("one", usable() | (flag ? smart : 0)) : QMailAccountId();
        const QMailAccountId other = sameAccount ? account : addAccount("two", usable() | smart);
        QTEST(ZavekUtils::canSmartReply(account, other), "allowed");
    }

    void pushEnabled_data()
    {
        // The account's own field, and "pushEnabled" of its services as "service=value".
        QTest::addColumn<QString>("field");
        QTest::addColumn<QStringList>("services");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("second service on") << "true" << QStringList{"imap4=0", "smtp=1"} << true;
        QTest::newRow("field on, no configuration") << "1" << QStringList() << true;
        QTest::newRow("neither exactly on") << "yes" << QStringList{"imap4= 1"} << false;
        QTest::newRow("neither set") << QString() << QStringList() << false;
    }

    void pushEnabled()
    {
        QFETCH(QString, field);
        QFETCH(QStringList, services);
        QMailAccountConfiguration configuration;
        for (const QString &service : services) {
            configuration.addServiceConfiguration(service.section('=', 0, 0));
            configuration.serviceConfiguration(service.section('=', 0, 0)).setValue("pushEnabled", service.section('=', 1));
        }
        QMailAccount account;
        account.setStatus(usable());
        if (!field.isNull())
            account.setCustomField("pushEnabled", field);
        QVERIFY(QMailStore::instance()->addAccount(&account, services.isEmpty() ? nullptr : &configuration));
        QTEST(ZavekUtils::accountPushEnabled(account.id()), "enabled");
    }

    void newContentCache()
    {
        const QMailAccountId one = addAccount("one", usable());
        const QMailAccountId two = addAccount("two", usable());
        const QMailMessageId unread = addMessage(one, {}, QMailMessage::Incoming);
        addMessage(two, {}, QMailMessage::Read);

        // The cache outlives the store between tests, so every account starts with a refresh.
        QVERIFY(ZavekUtils::newContentExists(one, true));
        QVERIFY(!ZavekUtils::newContentExists(two, true));

        QMailMessage message(unread);
        message.setStatus(QMailMessage::Read, true);
        QVERIFY(QMailStore::instance()->updateMessage(&message));
        QVERIFY(ZavekUtils::newContentExists(one, false)); // the remembered answer, no query
        QVERIFY(!ZavekUtils::newContentExists(one, true));
        QVERIFY(!ZavekUtils::newContentExists(one, false));

        // An invalid id covers all accounts and is remembered under its own key.
        addMessage(two, {}, QMailMessage::New);
        QVERIFY(ZavekUtils::newContentExists(QMailAccountId(), true));
        QVERIFY(!ZavekUtils::newContentExists(one, false));
        QVERIFY(!ZavekUtils::newContentExists(two, false));
        QVERIFY(ZavekUtils::newContentExists(two, true));
        QCOMPARE(ZavekUtils::getUnreadMessageCount(one), 0);
        QCOMPARE(ZavekUtils::getUnreadMessageCount(two), 1);
        QCOMPARE(ZavekUtils::getUnreadMessageCount(QMailAccountId()), 1);

        // A failed query answers no, and does not replace the remembered answer.
        QmfStandIn::setNextError(QMailStore::StorageInaccessible);
        QTest::ignoreMessage(QtWarningMsg, "bool ZavekUtils::newContentExists(const QMailAccountId&, bool) Cannot perform operation!");
        QVERIFY(!ZavekUtils::newContentExists(two, true));
        QVERIFY(ZavekUtils::newContentExists(two, false));
    }

    void favouriteFolders()
    {
        const QMailAccountId enabled = addAccount("enabled", usable());
        const QMailAccountId unusable = addAccount("unusable", QMailAccount::CanTransmit);
        const QMailFolderId favourite = addFolder("INBOX", enabled, QMailFolder::Favourite | QMailFolder::Incoming);
        addFolder("Archive", enabled, QMailFolder::Incoming);
        const QMailFolderId otherFavourite = addFolder("Work", unusable, QMailFolder::Favourite);

        QCOMPARE(ZavekUtils::getFavouriteFolders(enabled), QList<QMailFolderId>{favourite});
        QCOMPARE(ZavekUtils::getFavouriteFolders(unusable), QList<QMailFolderId>{otherFavourite});
        // Without an account: only the favourites of usable accounts.
        QCOMPARE(ZavekUtils::getFavouriteFolders(QMailAccountId()), QList<QMailFolderId>{favourite});
    }

    void standardFolderByNameIsRecordedAndFlagsComeFirst()
    {
        const QMailAccountId account = addAccount("one", usable());
        const QMailAccountId other = addAccount("other", usable());
        addFolder("Trash", other);
        addFolder("INBOX", account);
        const QMailFolderId deleted = addFolder("INBOX/Deleted Items", account);

        QCOMPARE(ZavekUtils::getStandardFolder(account, QMailFolder::TrashFolder), deleted);

        // Once recorded, the account answers: a folder flagged as trash now would otherwise win.
        addFolder("Bin", account, QMailFolder::Trash);
        QCOMPARE(ZavekUtils::getStandardFolder(account, QMailFolder::TrashFolder), deleted);

        // Names are tried together: "spam" matches though "junk" is listed first.
        const QMailFolderId spam = addFolder("Spam", account);
        QCOMPARE(ZavekUtils::getStandardFolder(account, QMailFolder::JunkFolder), spam);
        const QMailFolderId inbox = ZavekUtils::getInboxFolder(account);
        QCOMPARE(QMailFolder(inbox).path(), QString("INBOX"));

        // A flag beats a name ("Presentations" holds "sent"); "Drafts" flagged as trash is the
        // trash, and by its name still the drafts.
        const QMailAccountId flagged = addAccount("flagged", usable());
        addFolder("Presentations", flagged);
        const QMailFolderId outgoing = addFolder("Outgoing mail", flagged, QMailFolder::Sent);
        const QMailFolderId drafts = addFolder("Drafts", flagged, QMailFolder::Trash);
        QCOMPARE(ZavekUtils::getStandardFolder(flagged, QMailFolder::SentFolder), outgoing);
        QCOMPARE(ZavekUtils::getStandardFolder(flagged, QMailFolder::TrashFolder), drafts);
        QCOMPARE(ZavekUtils::getStandardFolder(flagged, QMailFolder::DraftsFolder), drafts);
    }

    void standardFolderFallback_data()
    {
        QTest::addColumn<bool>("validAccount");
        QTest::addColumn<QMailFolder::StandardFolder>("folder");
        QTest::addColumn<bool>("localStorage");

        QTest::newRow("drafts") << true << QMailFolder::DraftsFolder << true;
        QTest::newRow("inbox") << true << QMailFolder::InboxFolder << false;
        QTest::newRow("outbox") << true << QMailFolder::OutboxFolder << false;
        QTest::newRow("seven") << true << QMailFolder::StandardFolder(7) << false;
        QTest::newRow("drafts, invalid account") << false << QMailFolder::DraftsFolder << true;
        QTest::newRow("inbox, invalid account") << false << QMailFolder::InboxFolder << false;
        QTest::newRow("outbox, invalid account") << false << QMailFolder::OutboxFolder << true;
    }

    void standardFolderFallback()
    {
        QFETCH(bool, validAccount);
        QFETCH(QMailFolder::StandardFolder, folder);
        QFETCH(bool, localStorage);

        const QMailAccountId account = addAccount("one", usable());
        const QMailAccountId other = addAccount("other", usable());
        addFolder("Archive", account, QMailFolder::Favourite);
        // Folders of another account never count, whatever their names and flags.
        addFolder("Drafts and Junk in INBOX Outbox", other,
                  QMailFolder::Drafts | QMailFolder::Junk | QMailFolder::Incoming | QMailFolder::Outgoing);

        const QMailFolderId expected = localStorage ? QMailFolderId(QMailFolderId::LocalStorageFolderId) : QMailFolderId();
        QCOMPARE(ZavekUtils::getStandardFolder(validAccount ? account : QMailAccountId(), folder), expected);
        // A fallback is not a found folder: nothing is recorded.
        QVERIFY(!QMailAccount(account).standardFolder(folder).isValid());
    }

    void folderIdsForAllAccounts()
    {
        const QMailAccountId withDrafts = addAccount("with drafts", usable());
        addAccount("no drafts", usable());
        const QMailAccountId unusable = addAccount("unusable", QMailAccount::CanTransmit);
        const QMailFolderId drafts = addFolder("Drafts", withDrafts);
        addFolder("Drafts", unusable);

        const QMailFolderId local(QMailFolderId::LocalStorageFolderId);
        QList<QMailFolderId> ids{QMailFolderId(77)};
        ZavekUtils::getFolderIdsForAllAcounts(QMailFolder::DraftsFolder, ids);
        QCOMPARE(ids, (QList<QMailFolderId>{QMailFolderId(77), drafts, local}));

        ids.clear();
        ZavekUtils::getFolderIdsForAllAcounts(QMailFolder::InboxFolder, ids);
        QCOMPARE(ids, QList<QMailFolderId>());
    }

    void standardFolderFromFlags_data()
    {
        QTest::addColumn<quint64>("flags");
        QTest::addColumn<QMailFolder::StandardFolder>("folder");

        QTest::newRow("sent and trash") << (QMailMessage::Sent | QMailMessage::Trash) << QMailFolder::TrashFolder;
        QTest::newRow("sent and outbox") << (QMailMessage::Sent | QMailMessage::Outbox) << QMailFolder::SentFolder;
        QTest::newRow("outbox") << quint64(QMailMessage::Outbox) << QMailFolder::OutboxFolder;
        QTest::newRow("draft") << quint64(QMailMessage::Draft) << QMailFolder::InboxFolder;
    }

    void standardFolderFromFlags()
    {
        QFETCH(quint64, flags);
        QTEST(ZavekUtils::standardFolderFromFlags(flags), "folder");
    }
};

QTEST_GUILESS_MAIN(TestUtilsAccounts)

#include "tst_utilsaccounts.moc"
