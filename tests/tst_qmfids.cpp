#include "qmailfolder.h"
#include "qmailid.h"
#include "qmailstorecontrol.h"

#include <QSet>
#include <QTest>

class TestQmfIds : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void validityAndValue();
    void comparisonOrderAndHash();
    void textAndDebugOutputAreTheBareNumber();
    void variantAndMetaTypes();
    void localStorageFolderId();
};

void TestQmfIds::init()
{
    QmfStandIn::resetStore();
}

void TestQmfIds::validityAndValue()
{
    QVERIFY(!QMailMessageId().isValid());
    QCOMPARE(QMailMessageId().toULongLong(), quint64(0));
    QVERIFY(!QMailAccountId(0).isValid());

    const quint64 large = Q_UINT64_C(0x1234567890);
    const QMailThreadId thread(large);
    QVERIFY(thread.isValid());
    QCOMPARE(thread.toULongLong(), large);

    QMailFolderId copy(QMailFolderId(7));
    QCOMPARE(copy.toULongLong(), quint64(7));
    copy = QMailFolderId();
    QVERIFY(!copy.isValid());
}

void TestQmfIds::comparisonOrderAndHash()
{
    const QMailMessageId a(3), b(3), c(12);
    QVERIFY(a == b);
    QVERIFY(!(a != b));
    QVERIFY(a != c);
    QVERIFY(a < c);
    QVERIFY(!(c < a));
    QVERIFY(!(a < b));
    QCOMPARE(qHash(a), qHash(b));

    QMailMessageIdList ids{QMailMessageId(9), QMailMessageId(2), QMailMessageId(5)};
    std::sort(ids.begin(), ids.end());
    QCOMPARE(ids, (QMailMessageIdList{QMailMessageId(2), QMailMessageId(5), QMailMessageId(9)}));

    QSet<QMailAccountId> set{QMailAccountId(1), QMailAccountId(1), QMailAccountId(2)};
    QCOMPARE(set.size(), 2);
    QVERIFY(set.contains(QMailAccountId(2)));
}

void TestQmfIds::textAndDebugOutputAreTheBareNumber()
{
    QString text;
    QTextStream stream(&text);
    stream << QMailFolderId(42) << ' ' << QMailMessageId();
    stream.flush();
    QCOMPARE(text, QStringLiteral("42 0"));

    QString debugText;
    QDebug debug(&debugText);
    debug << QMailAccountId(17);
    QCOMPARE(debugText.trimmed(), QStringLiteral("17"));

    QTest::ignoreMessage(QtWarningMsg, "id: 5");
    qWarning() << "id:" << QMailThreadId(5);
}

void TestQmfIds::variantAndMetaTypes()
{
    const QVariant variant = QMailMessageId(8);
    QVERIFY(variant.canConvert<QMailMessageId>());
    QCOMPARE(variant.value<QMailMessageId>(), QMailMessageId(8));

    const QVariant list = QVariant::fromValue(QMailFolderIdList{QMailFolderId(1), QMailFolderId(4)});
    QCOMPARE(list.value<QMailFolderIdList>().size(), 2);

    // Queued signals find the types by these names.
    const char *names[] = {"QMailAccountId",     "QMailFolderId",     "QMailMessageId",     "QMailThreadId",
                           "QMailAccountIdList", "QMailFolderIdList", "QMailMessageIdList", "QMailThreadIdList",
                           "QMailAccountKey",    "QMailFolderKey",    "QMailMessageKey"};
    for (const char *name : names)
        QVERIFY2(QMetaType::type(name) != QMetaType::UnknownType, name);
}

void TestQmfIds::localStorageFolderId()
{
    const QMailFolderId implicitId = QMailFolderId::LocalStorageFolderId;
    QCOMPARE(implicitId, QMailFolderId(quint64(1)));
    QCOMPARE(QMailFolder(implicitId).path(), QStringLiteral("Local Storage"));
}

QTEST_GUILESS_MAIN(TestQmfIds)
#include "tst_qmfids.moc"
