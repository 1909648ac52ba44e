#include "qmailstore.h"
#include "qmailstorecontrol.h"
#include "storehelpers.h"

#include <QSet>
#include <QTest>

using namespace ZavekTest;

class TestQmfKeys : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QmfStandIn::resetStore();
        m_accounts = {addAccount("plain enabled", QMailAccount::Enabled),
                      addAccount("source", QMailAccount::CanRetrieve | QMailAccount::MessageSource),
                      addAccount("nothing", 0),
                      addAccount("everything", QMailAccount::Enabled | QMailAccount::CanRetrieve
                                                   | QMailAccount::MessageSource)};
    }

    void idsOrderHashTextAndTypeNames()
    {
        QVERIFY(!QMailMessageId().isValid() && QMailThreadId(Q_UINT64_C(0x1234567890)).isValid());
        QVERIFY(QMailMessageId(3) < QMailMessageId(12) && !(QMailMessageId(3) < QMailMessageId(3)));
        QCOMPARE(QSet<QMailAccountId>({QMailAccountId(1), QMailAccountId(1), QMailAccountId(2)}).size(), 2);

        // Text and debug output are the bare number.
        QString text;
        QTextStream stream(&text);
        stream << QMailFolderId(42) << ' ' << QMailMessageId();
        stream.flush();
        QCOMPARE(text, QStringLiteral("42 0"));
        QTest::ignoreMessage(QtWarningMsg, "id: 5");
        qWarning() << "id:" << QMailThreadId(5);

        // Queued signals find the types by name.
        const char *names[] = {"QMailAccountId",     "QMailFolderId",     "QMailMessageId",     "QMailThreadId",
                               "QMailAccountIdList", "QMailFolderIdList", "QMailMessageIdList", "QMailThreadIdList",
                               "QMailAccountKey",    "QMailFolderKey",    "QMailMessageKey"};
        for (const char *name : names)
            QVERIFY2(QMetaType::type(name) != QMetaType::UnknownType, name);
    }

    void emptyAndNonMatchingAlgebra()
    {
        const QMailAccountKey empty;
        const QMailAccountKey none = QMailAccountKey::nonMatchingKey();
        const QMailAccountKey a = QMailAccountKey::status(QMailAccount::Enabled);
        // ~ swaps the empty and the non-matching key; the empty key is the identity of & and |;
        // the non-matching key absorbs & and is the identity of |.
        QVERIFY((~empty).isNonMatching() && (~none).isEmpty() && (~a).isNegated());
        QCOMPARE(~~a, a);
        QCOMPARE(empty & a, a);
        QCOMPARE(a | empty, a);
        QVERIFY((a & none).isNonMatching() && (none & a).isNonMatching());
        QCOMPARE(none | a, a);
        QMailAccountKey accumulated;
        accumulated &= none;
        accumulated &= a;
        QVERIFY(accumulated.isNonMatching());
        // Order is kept, as in the real key.
        QVERIFY((a & QMailAccountKey::name("x")) != (QMailAccountKey::name("x") & a));

        // A list of one id is that id; an empty list matches nothing, or excluded, everything.
        const QMailFolderId id(5);
        QCOMPARE(QMailFolderKey::id(QMailFolderIdList{id}), QMailFolderKey::id(id));
        QCOMPARE(QMailFolderKey::id(QMailFolderIdList{id}, QMailDataComparator::Excludes),
                 QMailFolderKey::id(id, QMailDataComparator::NotEqual));
        QVERIFY(QMailMessageKey::id(QMailMessageIdList()).isNonMatching());
        QVERIFY(QMailMessageKey::id(QMailMessageIdList(), QMailDataComparator::Excludes).isEmpty());
        QVERIFY(QMailMessageKey::parentFolderId(QMailFolderIdList()).isNonMatching());
    }

    void accountKeysSelect_data()
    {
        // Accounts are made in init() in this order; ids follow it.
        const QMailAccountId plain(1), source(2), nothing(3), everything(4);
        QTest::addColumn<QMailAccountKey>("key");
        QTest::addColumn<QMailAccountIdList>("expected");

        using namespace QMailDataComparator;
        const quint64 usable = QMailAccount::Enabled | QMailAccount::CanRetrieve | QMailAccount::MessageSource;
        const QMailAccountKey enabled = QMailAccountKey::status(QMailAccount::Enabled);
        const QMailAccountKey isSource = QMailAccountKey::status(QMailAccount::MessageSource);
        const auto row = [](const char *name, const QMailAccountKey &key, const QMailAccountIdList &expected) {
            QTest::newRow(name) << key << expected;
        };
        row("includes any bit of a multi-bit mask", QMailAccountKey::status(usable), {plain, source, everything});
        row("excludes all bits of a multi-bit mask", QMailAccountKey::status(usable, Excludes), {nothing});
        row("excludes one bit", QMailAccountKey::status(QMailAccount::Enabled, Excludes), {source, nothing});
        row("equal is the exact value", QMailAccountKey::status(usable, Equal), {everything});
        row("equal zero", QMailAccountKey::status(0, Equal), {nothing});
        row("not equal", QMailAccountKey::status(QMailAccount::Enabled, NotEqual), {source, nothing, everything});
        row("includes an empty mask matches nothing", QMailAccountKey::status(0), {});
        row("negated includes", ~QMailAccountKey::status(QMailAccount::CanRetrieve), {plain, nothing});
        row("id not equal", QMailAccountKey::id(source, NotEqual), {plain, nothing, everything});
        row("id list, unknown id ignored", QMailAccountKey::id(QMailAccountIdList{everything, plain, QMailAccountId(99)}),
            {plain, everything});
        row("id list excluded", QMailAccountKey::id(QMailAccountIdList{everything, plain}, Excludes), {source, nothing});
        row("empty id list", QMailAccountKey::id(QMailAccountIdList()), {});
        row("empty id list excluded", QMailAccountKey::id(QMailAccountIdList(), Excludes), {plain, source, nothing, everything});
        row("invalid id", QMailAccountKey::id(QMailAccountId()), {});
        row("empty key", QMailAccountKey(), {plain, source, nothing, everything});
        row("non-matching key", QMailAccountKey::nonMatchingKey(), {});
        row("and", enabled & isSource, {everything});
        row("or", enabled | isSource, {plain, source, everything});
        row("negated or", ~(enabled | isSource), {nothing});
        row("negated and", ~(enabled & isSource), {plain, source, nothing});
        row("de Morgan", ~enabled | ~isSource, {plain, source, nothing});
        // Building an alternative from the empty key means "either", not "everything".
        QMailAccountKey either;
        either |= QMailAccountKey::id(nothing);
        either |= QMailAccountKey::name("SOURCE");
        row("alternative built from the empty key", either, {source, nothing});
    }

    void accountKeysSelect()
    {
        QFETCH(QMailAccountKey, key);
        QFETCH(QMailAccountIdList, expected);
        QCOMPARE(accounts(key), expected);
        QCOMPARE(QMailStore::instance()->countAccounts(key), expected.size());
    }

    void accountSubKeys()
    {
        const QMailFolderId inboxOfEnabled = addFolder("INBOX", m_accounts.at(0));
        const QMailFolderId inboxOfNothing = addFolder("INBOX", m_accounts.at(2));
        const QMailFolderId local = QMailFolderId::LocalStorageFolderId;
        QMailStore *store = QMailStore::instance();

        const QMailAccountKey enabled = QMailAccountKey::status(QMailAccount::Enabled);
        QCOMPARE(store->queryFolders(QMailFolderKey::parentAccountId(enabled)), QMailFolderIdList{inboxOfEnabled});
        // A folder without an account is never inside an account set, so the exclusion has it.
        QCOMPARE(store->queryFolders(QMailFolderKey::parentAccountId(enabled, QMailDataComparator::Excludes)),
                 (QMailFolderIdList{local, inboxOfNothing}));
        QCOMPARE(store->queryFolders(QMailFolderKey::parentAccountId(QMailAccountKey())),
                 (QMailFolderIdList{inboxOfEnabled, inboxOfNothing}));
        QCOMPARE(store->queryFolders(QMailFolderKey::parentAccountId(QMailAccountId())), QMailFolderIdList{local});
        QCOMPARE(store->queryFolders(QMailFolderKey::parentAccountId(m_accounts.at(2), QMailDataComparator::NotEqual)),
                 (QMailFolderIdList{local, inboxOfEnabled}));

        // The sub-query sees the accounts as they are now.
        QMailAccount nothing(m_accounts.at(2));
        nothing.setStatus(QMailAccount::Enabled, true);
        store->updateAccount(&nothing);
        QCOMPARE(store->queryFolders(QMailFolderKey::parentAccountId(enabled)),
                 (QMailFolderIdList{inboxOfEnabled, inboxOfNothing}));
    }

    void pathComparators_data()
    {
        QTest::addColumn<QMailFolderKey>("key");
        QTest::addColumn<QStringList>("expected");

        using namespace QMailDataComparator;
        QTest::newRow("equal ignores ASCII case") << QMailFolderKey::path("inbox") << QStringList{"INBOX"};
        QTest::newRow("equal is whole path") << QMailFolderKey::path("Sent") << QStringList{};
        QTest::newRow("not equal") << QMailFolderKey::path("inbox", NotEqual)
                                   << QStringList{"Local Storage", "[Gmail]/Sent Mail", "Deleted Items", "Äpfel"};
        QTest::newRow("includes is a substring") << QMailFolderKey::path("sent", Includes)
                                                 << QStringList{"[Gmail]/Sent Mail"};
        QTest::newRow("includes ignores case") << QMailFolderKey::path("DELETED", Includes)
                                               << QStringList{"Deleted Items"};
        QTest::newRow("excludes") << QMailFolderKey::path("e", Excludes) << QStringList{"INBOX"};
        QTest::newRow("only ASCII letters are folded") << QMailFolderKey::path("äpfel", Includes) << QStringList{};
        QTest::newRow("either name, as the standard folder search builds it")
            << (QMailFolderKey::path("trash", Includes) | QMailFolderKey::path("deleted", Includes))
            << QStringList{"Deleted Items"};
    }

    void pathComparators()
    {
        QFETCH(QMailFolderKey, key);

        for (const char *path : {"INBOX", "[Gmail]/Sent Mail", "Deleted Items", "Äpfel"})
            addFolder(QString::fromUtf8(path), m_accounts.at(0));

        QStringList found;
        for (const QMailFolderId &id : QMailStore::instance()->queryFolders(key))
            found.append(QMailFolder(id).path());
        QTEST(found, "expected");
    }

    void messageKeysOverFoldersAndAccounts()
    {
        const QMailFolderId favourite = addFolder("Work", m_accounts.at(0), QMailFolder::Favourite);
        const QMailFolderId plain = addFolder("Other", m_accounts.at(1));
        const QMailMessageId unread = addMessage(m_accounts.at(0), favourite, QMailMessageMetaData::New);
        const QMailMessageId read = addMessage(m_accounts.at(0), favourite, QMailMessageMetaData::Read);
        const QMailMessageId removed = addMessage(m_accounts.at(1), plain, QMailMessageMetaData::Removed);
        const QMailMessageId local = addMessage(QMailAccountId(), QMailFolderId::LocalStorageFolderId, 0);
        QMailStore *store = QMailStore::instance();
        // (Status keys on messages, as the unread key builds them: tst_utilsmessage, tst_utilsaccounts.)
        QCOMPARE(store->queryMessages(QMailMessageKey::parentFolderId(QMailFolderKey::status(QMailFolder::Favourite))),
                 (QMailMessageIdList{unread, read}));
        QCOMPARE(store->queryMessages(QMailMessageKey::parentFolderId(QMailFolderIdList{plain, QMailFolderId(1)})),
                 (QMailMessageIdList{removed, local}));
        QCOMPARE(store->queryMessages(QMailMessageKey::parentAccountId(
                     QMailAccountKey::status(QMailAccount::MessageSource), QMailDataComparator::Excludes)),
                 (QMailMessageIdList{unread, read, local}));
        QCOMPARE(store->queryMessages(QMailMessageKey::id(read, QMailDataComparator::NotEqual)
                                      & QMailMessageKey::parentFolderId(favourite)),
                 QMailMessageIdList{unread});
    }

private:
    QMailAccountIdList accounts(const QMailAccountKey &key) const
    {
        return QMailStore::instance()->queryAccounts(key);
    }

    // Account ids in creation order: 1 enabled only, 2 retrieving source, 3 none,
    // 4 enabled + retrieving source.
    QMailAccountIdList m_accounts;
};

QTEST_GUILESS_MAIN(TestQmfKeys)
#include "tst_qmfkeys.moc"
