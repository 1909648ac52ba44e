#include "qmailid.h"
#include "qmailstorecontrol.h"

#include <QSet>
#include <QTest>

class TestQmfIds : public QObject
{
    Q_OBJECT

private slots:
    void init() { QmfStandIn::resetStore(); }
    void orderHashAndText();
    void queuedSignalsFindTheTypesByName();
};

void TestQmfIds::orderHashAndText()
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
}

void TestQmfIds::queuedSignalsFindTheTypesByName()
{
    const char *names[] = {"QMailAccountId",     "QMailFolderId",     "QMailMessageId",     "QMailThreadId",
                           "QMailAccountIdList", "QMailFolderIdList", "QMailMessageIdList", "QMailThreadIdList",
                           "QMailAccountKey",    "QMailFolderKey",    "QMailMessageKey"};
    for (const char *name : names)
        QVERIFY2(QMetaType::type(name) != QMetaType::UnknownType, name);
}

QTEST_GUILESS_MAIN(TestQmfIds)
#include "tst_qmfids.moc"
