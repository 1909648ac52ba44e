#include "qmailmessage.h"
#include "testenvironment.h"

#include <QtTest>

// The in-memory message model: locations, part containers and their walk, header fields,
// bodies, addresses and time stamps.
class TestQmfMessageModel : public QObject
{
    Q_OBJECT

private:
    using Disposition = QMailMessageContentDisposition;
    static QMailMessagePart textPart(const QByteArray &type, const QString &text, Disposition::DispositionType disposition = Disposition::None)
    {
        return QMailMessagePart::fromData(text, Disposition(disposition), QMailMessageContentType(type), QMailMessageBody::EightBit);
    }

    template <typename Container>
    static Container multipart(QMailMessagePartContainer::MultipartType type, const QList<QMailMessagePart> &parts)
    {
        Container container;
        container.setMultipartType(type);
        for (const QMailMessagePart &part : parts)
            container.appendPart(part);
        return container;
    }

    // mixed( alternative(plain, html), image, mixed(plain) )
    static QMailMessage nestedMessage()
    {
        const QMailMessagePart image = QMailMessagePart::fromData(QByteArray("img"), Disposition(Disposition::Attachment),
                                                                  QMailMessageContentType("image/png"), QMailMessageBody::Base64);
        const auto alternative = multipart<QMailMessagePart>(QMailMessage::MultipartAlternative,
                                                             {textPart("text/plain", "plain"), textPart("text/html", "<b>html</b>")});
        return multipart<QMailMessage>(QMailMessage::MultipartMixed,
                                       {alternative, image, multipart<QMailMessagePart>(QMailMessage::MultipartMixed, {textPart("text/plain", "inner")})});
    }

private slots:
    void locationText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shortText");
        QTest::addColumn<quint64>("messageId");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<bool>("validShort");
        QTest::newRow("part of stored message") << "42-2" << "2" << quint64(42) << true << true;
        QTest::newRow("nested") << "42-2.3" << "2.3" << quint64(42) << true << true;
        QTest::newRow("unsaved message") << "0-2" << "2" << quint64(0) << false << true;
        QTest::newRow("default") << "0-" << "" << quint64(0) << false << false;
        QTest::newRow("message only") << "7-" << "" << quint64(7) << false << false;
    }

    void locationText()
    {
        QFETCH(QString, text);
        QFETCH(QString, shortText);
        QFETCH(quint64, messageId);
        const QMailMessagePart::Location location(text);
        QCOMPARE(location.toString(true), text);
        QCOMPARE(location.toString(false), shortText);
        QCOMPARE(location.containingMessageId(), QMailMessageId(messageId));
        QTEST(location.isValid(), "valid");
        QTEST(location.isValid(false), "validShort");
        QVERIFY(QMailMessagePart::Location(location.toString(true)) == location);
        // Text without a dash is all indices.
        if (!shortText.isEmpty())
            QCOMPARE(QMailMessagePart::Location(shortText).toString(false), shortText);
    }

    void locationRejectsJunk_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("leading zero index") << "42-01";
        QTest::newRow("letters") << "abc-1";
        QTest::newRow("zero index") << "1-0";
        QTest::newRow("huge index") << "1-99999999999";
    }

    void locationRejectsJunk()
    {
        QFETCH(QString, text);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^QMailMessagePartContainer::Location: invalid location text")));
        const QMailMessagePart::Location location(text);
        QVERIFY(!location.isValid(false));
        QVERIFY(!location.containingMessageId().isValid());
    }

    void partNumbersLocationsAndWalk()
    {
        QMailMessage message = nestedMessage();
        QCOMPARE(message.partCount(), 3u);
        QCOMPARE(message.partAt(0).partAt(1).location().toString(true), QStringLiteral("0-1.2"));
        QCOMPARE(message.partAt(2).partAt(0).partNumber(), 0);
        QCOMPARE(message.partAt(1).partNumber(), 1);

        message.setId(QMailMessageId(5));
        QCOMPARE(message.partAt(0).partAt(1).location().toString(true), QStringLiteral("5-1.2"));
        QVERIFY(message.contains(QMailMessagePart::Location(QStringLiteral("5-3.1"))));
        QVERIFY(!message.contains(QMailMessagePart::Location(QStringLiteral("5-3.2"))));
        QVERIFY(!message.contains(QMailMessagePart::Location(QStringLiteral("5-4"))));
        QCOMPARE(message.partAt(QMailMessagePart::Location(QStringLiteral("5-3.1"))).body().data(), QStringLiteral("inner"));

        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^QMailMessage::partAt: no part at")));
        QVERIFY(message.partAt(QMailMessagePart::Location(QStringLiteral("5-9"))).partCount() == 0);

        // The walk is depth first.
        QMailMessage walked = nestedMessage();
        QStringList order;
        QVERIFY(walked.foreachPart([&order](QMailMessagePart &part) {
            order << part.location().toString(false);
            return true;
        }));
        QCOMPARE(order, QStringList({"1", "1.1", "1.2", "2", "3", "3.1"}));

        // The first false ends the whole walk, also from inside a nested level.
        order.clear();
        const QMailMessage &constMessage = walked;
        QVERIFY(!constMessage.foreachPart([&order](const QMailMessagePart &part) {
            order << part.location().toString(false);
            return part.location().toString(false) != QLatin1String("1.1");
        }));
        QCOMPARE(order, QStringList({"1", "1.1"}));

        // A functor that counts in itself: the copy used for a nested level does not
        // report back to the level above.
        struct Counter {
            int seen = 0;
            QList<int> *log;
            bool operator()(const QMailMessagePart &)
            {
                log->append(++seen);
                return true;
            }
        };
        QList<int> log;
        QVERIFY(constMessage.foreachPart(Counter{0, &log}));
        QCOMPARE(log, QList<int>({1, 2, 3, 2, 3, 4}));
    }

    void bodySearchAndContentAvailability()
    {
        // (Where the search finds bodies in loaded messages: tst_qmfmessageparse.)
        // Signed: only the first part counts.
        const auto signedMessage = multipart<QMailMessage>(QMailMessage::MultipartSigned,
                                                           {textPart("application/pgp-signature", "sig"), textPart("text/plain", "late")});
        QVERIFY(!signedMessage.findPlainTextContainer());

        // A text attachment is never the body.
        const auto withTextAttachment = multipart<QMailMessage>(QMailMessage::MultipartMixed,
                                                                {textPart("text/plain", "notes", Disposition::Attachment)});
        QVERIFY(!withTextAttachment.findPlainTextContainer());
        QCOMPARE(withTextAttachment.findAttachmentLocations().size(), 1);

        // Content is available unless a part is marked partial or is empty; a multipart always.
        QMailMessagePart part = textPart("text/plain", QStringLiteral("text"));
        QVERIFY(part.contentAvailable());
        part.setHeaderField(QStringLiteral("X-qmf-internal-partial-content"), QStringLiteral("true"));
        QVERIFY(!part.contentAvailable());
        part.removeHeaderField(QStringLiteral("x-QMF-internal-partial-content"));
        QVERIFY(part.contentAvailable());
        QVERIFY(!QMailMessagePart().contentAvailable());
        QVERIFY(multipart<QMailMessagePart>(QMailMessage::MultipartAlternative, {}).contentAvailable());
        QVERIFY(!QMailMessageMetaData().partialContentAvailable());
    }

    void copiesAreIndependent()
    {
        const QMailMessage original = nestedMessage();
        QMailMessage copy = original;
        copy.partAt(0).partAt(0).setBody(QMailMessageBody::fromData(QStringLiteral("changed"), QMailMessageContentType("text/plain"), QMailMessageBody::EightBit));
        copy.partAt(2).appendPart(textPart("text/plain", QStringLiteral("added")));
        copy.setSubject(QStringLiteral("copy"));
        copy.setId(QMailMessageId(3));

        QCOMPARE(original.partAt(0).partAt(0).body().data(), QStringLiteral("plain"));
        QCOMPARE(original.partAt(2).partCount(), 1u);
        QVERIFY(original.subject().isEmpty());
        QCOMPARE(original.partAt(2).partAt(0).location().toString(true), QStringLiteral("0-3.1"));
        QCOMPARE(copy.partAt(2).partAt(1).location().toString(true), QStringLiteral("3-3.2"));

        // A part appended elsewhere takes its new place.
        const auto other = multipart<QMailMessage>(QMailMessage::MultipartMixed, {textPart("text/plain", "x"), original.partAt(0)});
        QCOMPARE(other.partAt(1).partAt(1).location().toString(false), QStringLiteral("2.2"));
        QCOMPARE(original.partAt(0).location().toString(false), QStringLiteral("1"));
    }

    void multipartTypeAndBody()
    {
        QMailMessage message;
        QVERIFY(message.contentType().content().isEmpty());
        QVERIFY(!message.hasBody());

        // Text without a charset gets the one it is detected in.
        message.setBody(QMailMessageBody::fromData(QStringLiteral("h\u00e9"), QMailMessageContentType("text/plain"), QMailMessageBody::QuotedPrintable));
        QVERIFY(message.hasBody());
        QCOMPARE(message.contentType().charset(), QByteArray("utf-8"));
        QCOMPARE(message.body().data(), QStringLiteral("h\u00e9"));
        QCOMPARE(message.headerFieldText(QStringLiteral("content-transfer-encoding")), QStringLiteral("quoted-printable"));

        message.setMultipartType(QMailMessage::MultipartRelated);
        QVERIFY(!message.hasBody());
        QCOMPARE(message.contentType().content(), QByteArray("multipart/related"));
        // The boundary is chosen when the message is written.
        QVERIFY(message.contentType().boundary().isEmpty());
        QVERIFY(message.toRfc2822().contains("boundary="));
        QVERIFY(message.headerFieldText(QStringLiteral("Content-Transfer-Encoding")).isEmpty());

        message.setMultipartType(QMailMessage::MultipartNone);
        QVERIFY(message.headerFieldText(QStringLiteral("Content-Type")).isEmpty());

        // A multipart body becomes parts.
        QMailMessage fromBody;
        fromBody.setBody(QMailMessageBody::fromData(QByteArray("--b\nContent-Type: text/html\n\n<p>x</p>\n--b--\n"),
                                                    QMailMessageContentType("multipart/alternative; boundary=b"),
                                                    QMailMessageBody::SevenBit, QMailMessageBody::AlreadyEncoded));
        QCOMPARE(fromBody.multipartType(), QMailMessage::MultipartAlternative);
        QCOMPARE(fromBody.partCount(), 1u);
        QCOMPARE(fromBody.partAt(0).location().toString(false), QStringLiteral("1"));
        QVERIFY(fromBody.findHtmlContainer());
    }

    void headersUpdateMetaDataAndTheWireForm()
    {
        // (From, To and Cc written as header fields, names with commas included, reach the
        // metadata in tst_utilsmessage.)
        QMailMessage message;
        message.setHeaderField(QStringLiteral("To"), QStringLiteral("b@x.example, c@x.example"));
        message.setHeaderField(QStringLiteral("Cc"), QStringLiteral("e@x.example"));
        message.setHeaderField(QStringLiteral("subject"), QStringLiteral("Hello"));
        message.setHeaderField(QStringLiteral("Date"), QStringLiteral("Sat, 1 Feb 2025 10:00:00 +0000"));
        message.setHeaderField(QStringLiteral("Message-ID"), QStringLiteral("<m1@x>"));
        QCOMPARE(message.subject(), QStringLiteral("Hello"));
        QCOMPARE(message.date().toUTC(), QDateTime(QDate(2025, 2, 1), QTime(10, 0), Qt::UTC));
        QCOMPARE(message.rfcId(), QStringLiteral("<m1@x>"));
        QCOMPARE(message.QMailMessageMetaData::recipients().size(), 3);

        message.removeHeaderField(QStringLiteral("TO"));
        QCOMPARE(message.QMailMessageMetaData::recipients().size(), 1);
        message.setSubject(QStringLiteral("Changed"));
        QCOMPARE(message.headerFieldText(QStringLiteral("Subject")), QStringLiteral("Changed"));
        message.setBcc(QList<QMailAddress>() << QMailAddress(QStringLiteral("hidden@x.example")));
        QCOMPARE(message.recipients().last().address(), QStringLiteral("hidden@x.example"));
        // A group without a name is still a group.
        QCOMPARE(QMailAddress(QStringLiteral(": a@x.example, b@x.example;")).groupMembers().size(), 2);

        // On the wire: CRLF, no Bcc, an encoded subject. (Structure and content surviving the
        // round trip: tst_qmfmessageparse.)
        message.setSubject(QStringLiteral("Round \u00e4"));
        const QByteArray wire = message.toRfc2822();
        QVERIFY(wire.contains("\r\n"));
        QVERIFY(!wire.contains("hidden@x.example"));
        QCOMPARE(QMailMessage::fromRfc2822(wire).subject(), QStringLiteral("Round \u00e4"));
        QVERIFY(QMailMessage::fromRfc2822(message.toRfc2822(QMailMessage::StorageFormat)).bcc().size() == 1);
    }

    void timeStampParsing_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDateTime>("utc");   // invalid: must parse as null
        QTest::newRow("offset +0130") << "Tue, 3 Mar 2026 09:14:55 +0130" << QDateTime({2026, 3, 3}, {7, 44, 55}, Qt::UTC);
        QTest::newRow("two-digit year, GMT") << "3 Mar 26 09:14 GMT" << QDateTime({2026, 3, 3}, {9, 14}, Qt::UTC);
        QTest::newRow("zone EST") << "Mon, 9 Mar 2026 07:45:00 EST" << QDateTime({2026, 3, 9}, {12, 45}, Qt::UTC);
        QTest::newRow("words") << "yesterday" << QDateTime();
        QTest::newRow("31 February") << "31 Feb 2026 10:00:00 +0000" << QDateTime();
    }

    void timeStampParsing()
    {
        QFETCH(QString, text);
        QFETCH(QDateTime, utc);
        const QMailTimeStamp stamp(text);
        QCOMPARE(stamp.isNull(), !utc.isValid());
        QCOMPARE(stamp.toUTC(), utc);
        QCOMPARE(stamp.toLocalTime().toUTC(), utc);
    }

    // A value too long for one line goes into RFC 2231 sections; however long the name,
    // writing them ends, and reading joins them again.
    void parameterSections_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QByteArray>("written");
        QTest::addColumn<bool>("warns");
        const QByteArray n68(68, 'n'), n69(69, 'n');
        QTest::newRow("one byte a section") << n68 << QByteArray("abc") << "; " + n68 + "*0=a; " + n68 + "*1=b; " + n68 + "*2=c" << false;
        QTest::newRow("no room: whole") << n69 << QByteArray("abc") << "; " + n69 + "=abc" << true;
        QTest::newRow("escape opens a short section") << n68 + '*' << QByteArray("%41%42") << "; " + n68 + "*0*=%41; " + n68 + "*1*=%42" << false;
    }

    void parameterSections()
    {
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, value);
        QFETCH(QByteArray, written);
        QFETCH(bool, warns);
        if (warns)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^QMailMessageHeaderField::setParameter: a name of")));
        QMailMessageContentType type("text/plain");
        type.setParameter(name, value);
        QCOMPARE(type.toString(false, false), "text/plain" + written);
        QCOMPARE(type.parameter(name.split('*').first()), value);
    }
};

QTEST_GUILESS_MAIN(TestQmfMessageModel)
#include "tst_qmfmessagemodel.moc"
