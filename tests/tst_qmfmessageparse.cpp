#include "qmailmessage.h"
#include "qmailstore.h"
#include "testenvironment.h"

#include <QtTest>

// Loading handwritten mail files: structure, decoding and the metadata taken from headers.
class TestQmfMessageParse : public QObject
{
    Q_OBJECT

private:
    static QMailMessage load(const QString &name)
    {
        return QMailMessage::fromRfc2822File(ZavekTest::dataPath(QStringLiteral("mail/") + name));
    }

private slots:
    void plainMessageMetaData()
    {
        const QMailMessage message = load(QStringLiteral("plain.eml"));
        QCOMPARE(message.from().name(), QStringLiteral("Olga Berg"));
        QCOMPARE(message.from().address(), QStringLiteral("olga@north.example"));
        QCOMPARE(message.subject(), QStringLiteral("Weekly plan"));
        QCOMPARE(message.date().toUTC(), QDateTime(QDate(2026, 3, 3), QTime(8, 14, 55), Qt::UTC));
        QCOMPARE(message.rfcId(), QStringLiteral("<plan-0303@north.example>"));
        QCOMPARE(message.listId(), QStringLiteral("<plans.north.example>"));

        const QList<QMailAddress> to = message.to();
        QCOMPARE(to.size(), 2);
        QCOMPARE(to.at(0).name(), QStringLiteral("Piet"));
        QCOMPARE(to.at(1).address(), QStringLiteral("team@south.example"));
        QCOMPARE(message.cc().first().name(), QStringLiteral("Berg, Anna"));
        QCOMPARE(message.QMailMessageMetaData::recipients(), message.recipients());
        QVERIFY(message.contentAvailable());

        // No Content-Type: text/plain is supplied, and the CRLF text reads as lines.
        QCOMPARE(message.contentType().content(), QByteArray("text/plain"));
        QCOMPARE(message.contentType().charset(), QByteArray("us-ascii"));
        QCOMPARE(message.multipartType(), QMailMessage::MultipartNone);
        QVERIFY(message.hasBody());
        QVERIFY(message.body().data().startsWith(QStringLiteral("Hello Piet,\n\nthe plan")));
        QVERIFY(!message.body().data().contains(QLatin1Char('\r')));
    }

    void singlePartBodySearch_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("plainIsMessage");
        QTest::addColumn<bool>("htmlIsMessage");
        QTest::newRow("plain") << QStringLiteral("plain.eml") << true << false;
        QTest::newRow("html") << QStringLiteral("html-only.eml") << false << true;
    }

    void singlePartBodySearch()
    {
        QFETCH(QString, file);
        QFETCH(bool, plainIsMessage);
        QFETCH(bool, htmlIsMessage);
        const QMailMessage message = load(file);
        const QMailMessagePartContainer *self = &message;
        QCOMPARE(message.findPlainTextContainer() == self, plainIsMessage);
        QCOMPARE(message.findPlainTextContainer() == nullptr, !plainIsMessage);
        QCOMPARE(message.findHtmlContainer() == self, htmlIsMessage);
        QCOMPARE(message.findHtmlContainer() == nullptr, !htmlIsMessage);
        QVERIFY(message.findAttachmentLocations().isEmpty());
        int visited = 0;
        QVERIFY(message.foreachPart([&visited](const QMailMessagePart &) { ++visited; return true; }));
        QCOMPARE(visited, 0);
    }

    void alternative()
    {
        const QMailMessage message = load(QStringLiteral("alternative.eml"));
        QCOMPARE(message.multipartType(), QMailMessage::MultipartAlternative);
        QCOMPARE(message.partCount(), 2u);
        auto *plain = dynamic_cast<QMailMessagePart *>(message.findPlainTextContainer());
        auto *html = dynamic_cast<QMailMessagePart *>(message.findHtmlContainer());
        QVERIFY(plain && html);
        QCOMPARE(plain->location().toString(false), QStringLiteral("1"));
        QCOMPARE(html->location().toString(false), QStringLiteral("2"));
        QCOMPARE(html->body().data(), QStringLiteral("<p>Dinner at <i>eight</i>?</p>"));
        QVERIFY(message.findAttachmentLocations().isEmpty());
    }

    void relatedWithContentIds()
    {
        const QMailMessage message = load(QStringLiteral("related.eml"));
        QCOMPARE(message.multipartType(), QMailMessage::MultipartRelated);
        QCOMPARE(message.partCount(), 3u);
        const QMailMessagePart &alternative = message.partAt(0);
        QCOMPARE(alternative.multipartType(), QMailMessage::MultipartAlternative);
        QVERIFY(alternative.contentAvailable());

        auto *html = dynamic_cast<QMailMessagePart *>(message.findHtmlContainer());
        QVERIFY(html);
        QCOMPARE(html->location().toString(false), QStringLiteral("1.2"));
        auto *plain = dynamic_cast<QMailMessagePart *>(message.findPlainTextContainer());
        QVERIFY(plain);
        QCOMPARE(plain->location().toString(false), QStringLiteral("1.1"));

        const QMailMessagePart &logo = message.partAt(1);
        QCOMPARE(logo.contentID(), QStringLiteral("logo@north.example"));
        QCOMPARE(logo.displayName(), QStringLiteral("logo.png"));
        QCOMPARE(logo.body().data(QMailMessageBody::Decoded).left(4), QByteArray("\x89PNG"));
        QVERIFY(logo.contentAvailable());
        // Without a name the content id names the part.
        QCOMPARE(message.partAt(2).displayName(), QStringLiteral("stripe@north.example"));
        QCOMPARE(message.partAt(2).body().data(QMailMessageBody::Decoded).left(6), QByteArray("GIF89a"));
        // Not a mixed container: no attachments by the 2012 rule.
        QVERIFY(message.findAttachmentLocations().isEmpty());
        QVERIFY(!(message.status() & QMailMessage::HasAttachments));
    }

    void mixedAttachments()
    {
        const QMailMessage message = load(QStringLiteral("mixed.eml"));
        QCOMPARE(message.multipartType(), QMailMessage::MultipartMixed);
        QCOMPARE(message.partCount(), 5u);
        QVERIFY(message.status() & QMailMessage::HasAttachments);
        QVERIFY(message.hasAttachments());

        // Attachment, inline image, and the binary part without disposition; not the inline text.
        const QList<QMailMessagePart::Location> attachments = message.findAttachmentLocations();
        QStringList texts;
        for (const QMailMessagePart::Location &location : attachments)
            texts << location.toString(true);
        QCOMPARE(texts, QStringList({QStringLiteral("0-2"), QStringLiteral("0-3"), QStringLiteral("0-5")}));

        auto *plain = dynamic_cast<QMailMessagePart *>(message.findPlainTextContainer());
        QVERIFY(plain);
        QCOMPARE(plain->location().toString(false), QStringLiteral("1.1"));
        QCOMPARE(plain->body().data(), QStringLiteral("Here are the documents, Olga. Gr\u00fc\u00dfe"));
        QCOMPARE(plain->body().transferEncoding(), QMailMessageBody::QuotedPrintable);

        const QMailMessagePart &pdf = message.partAt(1);
        QCOMPARE(pdf.contentDisposition().type(), QMailMessageContentDisposition::Attachment);
        QCOMPARE(pdf.contentDisposition().size(), 11);
        QCOMPARE(pdf.body().data(QMailMessageBody::Decoded), QByteArray("%PDF-1.4\n%"));
        QCOMPARE(message.partAt(2).contentDisposition().size(), -1);
        QCOMPARE(message.partAt(4).displayName(), QStringLiteral("data.bin"));
        QCOMPARE(message.partAt(4).body().data(QMailMessageBody::Decoded), QByteArray("\x00\x01\x02\x03\x04\x05\x06\x07", 8));
    }

    void nestedMessage()
    {
        const QMailMessage message = load(QStringLiteral("nested.eml"));
        QCOMPARE(message.partCount(), 2u);
        const QMailMessagePart &forwarded = message.partAt(1);
        QCOMPARE(forwarded.contentType().content(), QByteArray("message/rfc822"));
        QCOMPARE(forwarded.multipartType(), QMailMessage::MultipartNone);
        QCOMPARE(forwarded.displayName(), QStringLiteral("Wochenplan f\u00fcr M\u00e4rz"));
        QCOMPARE(message.findAttachmentLocations().size(), 1);

        // The enclosed message is kept whole and loads on its own.
        const QMailMessage inner = QMailMessage::fromRfc2822(forwarded.body().data(QMailMessageBody::Decoded));
        QCOMPARE(inner.subject(), QStringLiteral("Wochenplan f\u00fcr M\u00e4rz"));
        QCOMPARE(inner.multipartType(), QMailMessage::MultipartAlternative);
        QVERIFY(inner.findPlainTextContainer());
        // The body search does not descend into the enclosed message.
        auto *plain = dynamic_cast<QMailMessagePart *>(message.findPlainTextContainer());
        QVERIFY(plain);
        QCOMPARE(plain->location().toString(false), QStringLiteral("1"));
    }

    void encodingsAndCharsets()
    {
        const QMailMessage message = load(QStringLiteral("encodings.eml"));
        QCOMPARE(message.from().name(), QStringLiteral("J\u00f6rg M\u00fcller"));
        QCOMPARE(message.subject(), QStringLiteral("Caf\u00e9 cr\u00e8me"));
        QCOMPARE(message.date().toUTC(), QDateTime(QDate(2026, 3, 9), QTime(12, 45), Qt::UTC));
        QCOMPARE(message.partCount(), 4u);

        QCOMPARE(message.partAt(0).body().data(), QStringLiteral("Gr\u00fc\u00dfe aus K\u00f6ln.\n"));
        QCOMPARE(message.partAt(0).body().data(QMailMessageBody::Encoded), QByteArray("R3LDvMOfZSBhdXMgS8O2bG4uCg=="));

        const QMailMessagePart &russian = message.partAt(1);
        QCOMPARE(russian.displayName(), QStringLiteral("pr\u00e9vision.txt"));
        QCOMPARE(russian.body().data(), QStringLiteral("\u041f\u0440\u0438\u0432\u0435\u0442"));

        QCOMPARE(message.partAt(2).displayName(), QStringLiteral("\u00fcbersicht M\u00e4rz.xlsx"));
        QCOMPARE(message.partAt(3).displayName(), QStringLiteral("long-name.txt"));
        QCOMPARE(message.partAt(3).body().data(), QStringLiteral("Price: 5 \u20ac, soft break"));
    }

    void priorities_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<quint64>("expected");
        QTest::newRow("X-Priority 1") << QStringLiteral("priority-high1.eml") << QMailMessage::HighPriority;
        QTest::newRow("X-Priority 5") << QStringLiteral("priority-low5.eml") << QMailMessage::LowPriority;
        QTest::newRow("X-Priority 3") << QStringLiteral("priority-normal3.eml") << quint64(0);
        QTest::newRow("X-MSMail-Priority") << QStringLiteral("priority-mshigh.eml") << QMailMessage::HighPriority;
        QTest::newRow("Importance any case") << QStringLiteral("priority-importancelow.eml") << QMailMessage::LowPriority;
        QTest::newRow("X-Priority before Importance") << QStringLiteral("priority-xprioritywins.eml") << quint64(0);
    }

    void priorities()
    {
        QFETCH(QString, file);
        QFETCH(quint64, expected);
        const QMailMessage message = load(file);
        QCOMPARE(message.status() & (QMailMessage::HighPriority | QMailMessage::LowPriority), expected);
    }

    void dateFallbacks()
    {
        const QMailMessage received = load(QStringLiteral("received-date.eml"));
        QCOMPARE(received.date().toUTC(), QDateTime(QDate(2026, 3, 11), QTime(11, 11, 11), Qt::UTC));

        const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
        const QMailMessage undated = QMailMessage::fromRfc2822("Subject: x\n\ny\n");
        QVERIFY(undated.date().toUTC() >= before);
    }

    void brokenInputIsSafe()
    {
        const QMailMessage broken = load(QStringLiteral("broken.eml"));
        QCOMPARE(broken.subject(), QStringLiteral("broken structure"));
        // No boundary: no parts can be found, and the text stays as body.
        QCOMPARE(broken.partCount(), 0u);
        QVERIFY(broken.hasBody());
        QVERIFY(broken.body().data(QMailMessageBody::Encoded).contains("names no boundary"));
        QVERIFY(!broken.findPlainTextContainer());

        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^QMailMessage::fromRfc2822File: cannot open")));
        const QMailMessage missing = load(QStringLiteral("does-not-exist.eml"));
        QCOMPARE(missing.messageType(), QMailMessage::Email);
        QCOMPARE(missing.partCount(), 0u);

        const QMailMessage empty = QMailMessage::fromRfc2822(QByteArray());
        QCOMPARE(empty.messageType(), QMailMessage::Email);
        QVERIFY(empty.subject().isEmpty());
    }

    void lineEndings_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("LF") << QByteArray("Subject: s\nX-A: 1\n\nbody\nline\n");
        QTest::newRow("CRLF") << QByteArray("Subject: s\r\nX-A: 1\r\n\r\nbody\r\nline\r\n");
        QTest::newRow("CR") << QByteArray("Subject: s\rX-A: 1\r\rbody\rline\r");
    }

    void lineEndings()
    {
        QFETCH(QByteArray, text);
        const QMailMessage message = QMailMessage::fromRfc2822(text);
        QCOMPARE(message.subject(), QStringLiteral("s"));
        QCOMPARE(message.headerFieldText(QStringLiteral("x-a")), QStringLiteral("1"));
        QCOMPARE(message.body().data(), QStringLiteral("body\nline\n"));
    }

    void digestAndFoldedHeaders()
    {
        const QMailMessage message = QMailMessage::fromRfc2822(
            "Subject: a folded\n"
            "\tsubject line\n"
            "X-Empty:\n"
            "Received: first; Mon, 2 Mar 2026 10:00:00 +0000\n"
            "Received: second; Sun, 1 Mar 2026 10:00:00 +0000\n"
            "content-type: Multipart/Digest; boundary=\"d d\"\n"
            "\n"
            "--d d\n"
            "\n"
            "Subject: first digest entry\n"
            "\n"
            "one\n"
            "--d d\n"
            "Content-Type: text/plain\n"
            "\n"
            "two\n"
            "--d d--\n");
        QCOMPARE(message.subject(), QStringLiteral("a folded\tsubject line"));
        QCOMPARE(message.headerFieldsText(QStringLiteral("received")).size(), 2);
        QCOMPARE(message.headerFieldText(QStringLiteral("X-Empty")), QString());
        QCOMPARE(message.multipartType(), QMailMessage::MultipartDigest);
        QCOMPARE(message.partCount(), 2u);
        // Inside a digest a part without Content-Type is an enclosed message.
        QCOMPARE(message.partAt(0).contentType().content(), QByteArray("message/rfc822"));
        QCOMPARE(message.partAt(0).displayName(), QStringLiteral("first digest entry"));
        QCOMPARE(message.partAt(1).contentType().content(), QByteArray("text/plain"));
        // The digest's own type decides the search order: first to last.
        auto *plain = dynamic_cast<QMailMessagePart *>(message.findPlainTextContainer());
        QVERIFY(plain);
        QCOMPARE(plain->body().data(), QStringLiteral("two"));
    }

    void identityRoundTrip_data()
    {
        QTest::addColumn<QString>("file");
        const QStringList files = {"plain.eml", "html-only.eml", "alternative.eml", "related.eml",
                                   "mixed.eml", "nested.eml", "encodings.eml"};
        for (const QString &file : files)
            QTest::newRow(file.toLatin1().constData()) << file;
    }

    void identityRoundTrip()
    {
        // Writing a loaded message out and loading it again keeps structure, names and content.
        // (The storage format leaves out the bodies of parts, which a store keeps apart.)
        QFETCH(QString, file);
        const QMailMessage original = load(file);
        const QMailMessage again = QMailMessage::fromRfc2822(original.toRfc2822(QMailMessage::IdentityFormat));
        QCOMPARE(again.subject(), original.subject());
        QCOMPARE(again.from(), original.from());
        QCOMPARE(again.recipients(), original.recipients());
        QCOMPARE(again.date(), original.date());
        QCOMPARE(again.status(), original.status());
        QCOMPARE(again.findAttachmentLocations(), original.findAttachmentLocations());
        QCOMPARE(again.body().data(QMailMessageBody::Decoded), original.body().data(QMailMessageBody::Decoded));

        QStringList originalParts;
        original.foreachPart([&originalParts](const QMailMessagePart &part) {
            originalParts << part.location().toString(true) + QLatin1Char(' ') + part.displayName() + QLatin1Char(' ')
                                 + QString::fromLatin1(part.body().data(QMailMessageBody::Decoded).toHex());
            return true;
        });
        QStringList againParts;
        again.foreachPart([&againParts](const QMailMessagePart &part) {
            againParts << part.location().toString(true) + QLatin1Char(' ') + part.displayName() + QLatin1Char(' ')
                              + QString::fromLatin1(part.body().data(QMailMessageBody::Decoded).toHex());
            return true;
        });
        QCOMPARE(againParts, originalParts);
    }

    void storedMessageLoadsById()
    {
        QMailMessage message = load(QStringLiteral("mixed.eml"));
        message.setParentFolderId(QMailFolderId(QMailFolderId::LocalStorageFolderId));
        QVERIFY(QMailStore::instance()->addMessage(&message));
        QVERIFY(message.id().isValid());

        const QMailMessage loaded(message.id());
        QCOMPARE(loaded.partCount(), 5u);
        QCOMPARE(loaded.findAttachmentLocations().first().toString(true),
                 QString::number(message.id().toULongLong()) + QStringLiteral("-2"));
        const QMailMessageMetaData metaData(message.id());
        QCOMPARE(metaData.subject(), QStringLiteral("Documents"));
        QVERIFY(metaData.status() & QMailMessage::HasAttachments);
    }
};

QTEST_GUILESS_MAIN(TestQmfMessageParse)
#include "tst_qmfmessageparse.moc"
