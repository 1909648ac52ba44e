#include "zavekutils.h"

#include <qmailstore.h>
#include <qmailstorecontrol.h>
#include <storehelpers.h>

#include <QtTest>

using ZavekUtils::Priority;
using namespace ZavekTest;

Q_DECLARE_METATYPE(ZavekUtils::Priority)

class TestUtilsMessage : public QObject
{
    Q_OBJECT

private slots:
    void init() { QmfStandIn::resetStore(); }

    void statusQuestions_data()
    {
        QTest::addColumn<quint64>("status");
        QTest::addColumn<Priority>("priority");
        QTest::addColumn<bool>("attachment");
        QTest::addColumn<bool>("important");
        QTest::addColumn<bool>("unread");
        const auto row = [](const char *name, quint64 status, Priority priority, bool attachment, bool important, bool unread) {
            QTest::newRow(name) << status << priority << attachment << important << unread;
        };
        row("new", QMailMessage::Incoming | QMailMessage::New, ZavekUtils::NormalPriority, false, false, true);
        row("read", QMailMessage::Read, ZavekUtils::NormalPriority, false, false, false);
        row("removed but unread", QMailMessage::Removed, ZavekUtils::NormalPriority, false, false, false);
        row("high", QMailMessage::HighPriority, ZavekUtils::HighPriority, false, false, true);
        row("low, read", QMailMessage::LowPriority | QMailMessage::Read, ZavekUtils::LowPriority, false, false, false);
        row("both priorities", QMailMessage::HighPriority | QMailMessage::LowPriority, ZavekUtils::HighPriority, false, false, true);
        row("attachment", QMailMessage::HasAttachments, ZavekUtils::NormalPriority, true, false, true);
        row("important, read", QMailMessage::Important | QMailMessage::Read, ZavekUtils::NormalPriority, false, true, false);
        row("important elsewhere only", QMailMessage::ImportantElsewhere, ZavekUtils::NormalPriority, false, true, true);
    }

    void statusQuestions()
    {
        QFETCH(quint64, status);
        QFETCH(bool, unread);

        QMailMessageMetaData metaData;
        metaData.setStatus(status);
        QTEST(ZavekUtils::messagePriority(metaData), "priority");
        const QMailMessageId id = addMessage(QMailAccountId(), {}, status);
        addMessage(QMailAccountId(), {}, unread ? QMailMessage::Read : 0); // the unread key must not match this one
        QTEST(ZavekUtils::messagePriority(id), "priority");
        QTEST(ZavekUtils::messageHasAttachment(id), "attachment");
        QTEST(ZavekUtils::messageImportant(id), "important");
        QCOMPARE(ZavekUtils::messageUnread(id), unread);
        QCOMPARE(bool(status & ZavekUtils::generateReadFlag()), !unread);
        QCOMPARE(QMailStore::instance()->countMessages(ZavekUtils::generateUnreadKey() & QMailMessageKey::id(id)), unread ? 1 : 0);
        // Exactly one of the two messages is unread.
        QCOMPARE(QMailStore::instance()->countMessages(ZavekUtils::generateUnreadKey()), 1);
    }

    void setPriority_data()
    {
        QTest::addColumn<quint64>("initialStatus");
        QTest::addColumn<int>("priority");
        QTest::addColumn<QStringList>("fields"); // X-Priority, X-MSMail-Priority, Importance
        QTest::addColumn<quint64>("status");

        const quint64 high = QMailMessage::HighPriority;
        const quint64 low = QMailMessage::LowPriority;
        const quint64 read = QMailMessage::Read;
        const QStringList none{QString(), QString(), QString()};

        QTest::newRow("high to low") << (high | read) << int(ZavekUtils::LowPriority) << QStringList{"5", "low", "low"} << (low | read);
        QTest::newRow("low to high") << low << int(ZavekUtils::HighPriority) << QStringList{"1", "high", "high"} << high;
        QTest::newRow("high to normal") << (high | read) << int(ZavekUtils::NormalPriority) << none << read;
        QTest::newRow("unknown number is normal") << (high | low) << 7 << none << quint64(0);
    }

    void setPriority()
    {
        QFETCH(quint64, initialStatus);
        QFETCH(int, priority);
        QFETCH(QStringList, fields);

        QMailMessage message;
        message.setHeaderField("Subject", "Lunch");
        message.setHeaderField("X-Priority", "3");
        message.setHeaderField("X-MSMail-Priority", "Normal");
        message.setHeaderField("Importance", "normal");
        message.setStatus(initialStatus);

        ZavekUtils::setMessagePriority(message, Priority(priority));

        const QStringList names{"X-Priority", "X-MSMail-Priority", "Importance"};
        for (int i = 0; i < names.size(); ++i) {
            QCOMPARE(message.headerFieldText(names.at(i)), fields.at(i).isNull() ? QString("") : fields.at(i));
            QCOMPARE(message.headerField(names.at(i)).isNull(), fields.at(i).isNull());
        }
        QCOMPARE(message.headerFieldText("Subject"), QString("Lunch"));
        QTEST(message.status(), "status");
    }

    void recipientsLine_data()
    {
        QTest::addColumn<QStringList>("fields"); // To, Cc, Bcc
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("multiple");

        QTest::newRow("comma inside a name") << QStringList{"\"A, B\" <ab@example.org>", "C <c@example.org>", ""} << "A  B,C" << true;
        QTest::newRow("no recipients") << QStringList{"", "", ""} << "" << false;
        QTest::newRow("one, in bcc") << QStringList{"", "", "B1 <b1@example.org>"} << "B1" << false;
        QTest::newRow("to, cc, bcc order") << QStringList{"T1 <t1@example.org>, T2 <t2@example.org>", "C1 <c1@example.org>", "B1 <b1@example.org>"}
                                           << "T1,T2,C1,B1" << true;
    }

    void recipientsLine()
    {
        QFETCH(QStringList, fields);
        QMailMessage message;
        message.setHeaderField("From", "Sam Sender <sam@example.org>");
        const char *const names[] = {"To", "Cc", "Bcc"};
        for (int i = 0; i < 3; ++i) {
            if (!fields.at(i).isEmpty())
                message.setHeaderField(names[i], fields.at(i));
        }
        const QMailMessageId id = storeMessage(message);
        QTEST(ZavekUtils::recipients(id), "line");
        QTEST(ZavekUtils::messageHasMultipleRecipients(id), "multiple");
        QCOMPARE(ZavekUtils::messageSender(id), QStringLiteral("Sam Sender"));
    }

    void filterAddresses_data()
    {
        QTest::addColumn<QString>("own");
        QTest::addColumn<QList<QMailAddress>>("addresses");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("own and duplicates in other case")
            << "Pat <pat@example.org>"
            << QMailAddress::fromStringList("Patricia <PAT@Example.org>, Quinn <quinn@example.org>, "
                                            "QUINN AGAIN <QUINN@EXAMPLE.ORG>, rob@example.org")
            << QStringList{"Quinn <quinn@example.org>", "rob@example.org"};
        QTest::newRow("only own") << "pat@example.org" << QMailAddress::fromStringList("Pat <pat@example.org>, pat@EXAMPLE.org")
                                  << QStringList();
        QTest::newRow("name needing quotes kept")
            << "pat@example.org" << QMailAddress::fromStringList("\"Doe, Jane\" <jane@example.org>, jane@example.org")
            << QStringList{"\"Doe, Jane\" <jane@example.org>"};
        QTest::newRow("no name: no brackets") << "pat@example.org"
                                              << QList<QMailAddress>{QMailAddress(QString(), "rob@example.org")}
                                              << QStringList{"rob@example.org"};
    }

    void filterAddresses()
    {
        QFETCH(QString, own);
        QFETCH(QList<QMailAddress>, addresses);
        QTEST(ZavekUtils::filterAddresses(QMailAddress(own), addresses), "expected");
    }

    void isToday_data()
    {
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QDateTime>("dateTime");
        QTest::addColumn<bool>("today");

        const QDate date(2021, 6, 15);
        const QDateTime now(date, QTime(14, 30), Qt::LocalTime);
        const QDateTime midnight(date, QTime(0, 0), Qt::LocalTime);
        const QDateTime nextMidnight(date.addDays(1), QTime(0, 0), Qt::LocalTime);

        QTest::newRow("next midnight") << now << nextMidnight << true;
        QTest::newRow("one second after next midnight") << now << nextMidnight.addSecs(1) << false;
        QTest::newRow("today's midnight") << now << midnight << true;
        QTest::newRow("one second before today's midnight") << now << midnight.addSecs(-1) << false;
        QTest::newRow("now in UTC") << now << now.toUTC() << true;
        QTest::newRow("yesterday evening, just after midnight")
            << midnight.addSecs(1) << midnight.addSecs(-3600) << false;
        QTest::newRow("invalid date") << now << QDateTime() << false;
    }

    void isToday()
    {
        QFETCH(QDateTime, now);
        QFETCH(QDateTime, dateTime);
        QTEST(ZavekUtils::isToday(dateTime, now), "today");
        // The system clock form: two days ahead is outside the window at any hour.
        QVERIFY(!ZavekUtils::isToday(QDateTime::currentDateTime().addDays(2)));
    }
};

QTEST_GUILESS_MAIN(TestUtilsMessage)

#include "tst_utilsmessage.moc"
