// The message part tree: which body is shown, what is downloaded, structural helpers, and
// the content-ID lookups of inline resources and forwarded parts. Messages are parsed from
// tests/data/body or built in code; every one gets id 5, so part locations read "5-<indices>".

#include "testenvironment.h"
#include "zavekcontentidscanner_p.h"
#include "zaveksettings.h"
#include "zavekutils.h"

#include <QFile>
#include <QRandomGenerator>
#include <QtTest>

using namespace ZavekUtils::Message;
using Container = QMailMessagePartContainer;

namespace {

QMailMessage loadFixture(const QString &name)
{
    QFile file(ZavekTest::dataPath(QStringLiteral("body/") + name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing fixture %s", qPrintable(name));
    QMailMessage message = QMailMessage::fromRfc2822(file.readAll());
    message.setId(QMailMessageId(5));
    return message;
}

// Present with the given content, or (empty content) pending with the announced size,
// none when announcedSize < 0.
QMailMessagePart part(const QByteArray &type, const QByteArray &content, int announcedSize = -1,
                      const QString &contentId = QString())
{
    QMailMessageContentDisposition disposition(QMailMessageContentDisposition::Inline);
    if (announcedSize >= 0)
        disposition.setSize(announcedSize);
    QMailMessagePart result = QMailMessagePart::fromData(content, disposition, QMailMessageContentType(type),
                                                         QMailMessageBody::EightBit);
    if (!contentId.isEmpty())
        result.setContentID(contentId);
    return result;
}

template <typename Result>
Result multipart(Container::MultipartType type, const QList<QMailMessagePart> &parts)
{
    Result container;
    container.setMultipartType(type);
    for (const QMailMessagePart &p : parts)
        container.appendPart(p);
    return container;
}

QMailMessage message(const QList<QMailMessagePart> &parts, Container::MultipartType type = Container::MultipartMixed)
{
    QMailMessage result = multipart<QMailMessage>(type, parts);
    result.setId(QMailMessageId(5));
    return result;
}

QMailMessage singlePart(const QByteArray &type, const QString &text, bool contentAvailable)
{
    QMailMessage result;
    result.setBody(QMailMessageBody::fromData(text, QMailMessageContentType(type), QMailMessageBody::EightBit));
    result.setId(QMailMessageId(5));
    result.setStatus(QMailMessage::ContentAvailable, contentAvailable);
    return result;
}

// Base64 on the wire, as images travel: what is found must be the decoded bytes.
QMailMessagePart resource(const QString &contentId, const QByteArray &content, int announcedSize = -1)
{
    QMailMessagePart result = part("image/png", content, announcedSize, contentId);
    result.setBody(QMailMessageBody::fromData(content, QMailMessageContentType("image/png"), QMailMessageBody::Base64));
    return result;
}

class RecordingAction : public IBodyAction
{
public:
    using IBodyAction::IBodyAction;
    QString call;
    QString locations() const { return _plainLocation.toString(true) + QLatin1Char(' ') + _htmlLocation.toString(true); }

protected:
    void onNoBody() override { call += QStringLiteral("none"); }
    void onHtmlFallback() override { call += QStringLiteral("fallback"); }
    void onHtmlBody() override { call += QStringLiteral("html"); }
    void onPlainBody() override { call += QStringLiteral("plain"); }
};

} // namespace

class TestUtilsBody : public QObject
{
    Q_OBJECT

private slots:
    void init() { ZavekSettings::resetInstanceForTesting(); }

    void bodyChoice_data()
    {
        QTest::addColumn<bool>("plain");
        QTest::addColumn<bool>("html");
        QTest::addColumn<bool>("viewHtml");
        QTest::addColumn<QString>("call");
        QTest::addColumn<QString>("locations");

        QTest::newRow("no body") << false << false << true << "none" << "0- 0-";
        QTest::newRow("both, html on") << true << true << true << "html" << "5-1 5-2";
        QTest::newRow("both, html off") << true << true << false << "plain" << "5-1 5-2";
        QTest::newRow("plain only, html on") << true << false << true << "plain" << "5-1 0-";
        QTest::newRow("html only, html on") << false << true << true << "html" << "0- 5-1";
        QTest::newRow("html only, html off") << false << true << false << "fallback" << "0- 5-1";
    }

    void bodyChoice()
    {
        QFETCH(bool, plain);
        QFETCH(bool, html);
        QFETCH(bool, viewHtml);

        QList<QMailMessagePart> parts;
        if (plain)
            parts << part("text/plain", "plain");
        if (html)
            parts << part("text/html", "<p>html</p>");
        const QMailMessage mail = message(parts << part("image/png", "x"));

        // The option is read once, at construction.
        ZavekSettings::instance()->setViewHtml(viewHtml, false);
        RecordingAction action(mail);
        ZavekSettings::instance()->setViewHtml(!viewHtml, false);
        action.perform();
        QTEST(action.call, "call");
        QTEST(action.locations(), "locations");
    }

    void downloadedForViewing_data()
    {
        QTest::addColumn<QMailMessage>("message");
        QTest::addColumn<bool>("viewHtml");
        QTest::addColumn<bool>("viewable");

        // HTML and its logo are here, the banner it shows is not; the plain text is complete.
        const QMailMessage missingImage = loadFixture(QStringLiteral("html-missing-image.eml"));
        QTest::newRow("missing inline image, html on") << missingImage << true << false;
        QTest::newRow("missing inline image, html off") << missingImage << false << true;
        QMailMessage unstored = missingImage;
        unstored.setId(QMailMessageId());
        QTest::newRow("unstored") << unstored << true << true;
        QMailMessage localOnly = missingImage;
        localOnly.setStatus(QMailMessage::LocalOnly, true);
        QTest::newRow("local only") << localOnly << true << true;
        QMailMessage imageArrived = missingImage;
        imageArrived.partAt(Container::Location(QStringLiteral("5-3"))).setBody(QMailMessageBody::fromData(
            QByteArray("png"), QMailMessageContentType("image/png"), QMailMessageBody::Base64, QMailMessageBody::RequiresEncoding));
        QTest::newRow("image arrived, unreferenced one still missing") << imageArrived << true << true;

        // The plain text is still on the server, the HTML is here.
        const QMailMessage plainMissing = loadFixture(QStringLiteral("plain-missing.eml"));
        QTest::newRow("plain missing, html on") << plainMissing << true << true;
        QTest::newRow("plain missing, html off") << plainMissing << false << false;

        QTest::newRow("no body") << message({part("image/png", "x")}) << false << false;
        QTest::newRow("only html, present, html off") << singlePart("text/html", QStringLiteral("<p/>"), true) << false << true;
        QTest::newRow("only html, absent, html off") << singlePart("text/html", QStringLiteral("<p/>"), false) << false << false;
        const QMailMessage relatedHtml = message({part("text/html", "<img src=\"cid:logo@x\">"),
                                                  part("image/png", QByteArray(), 10, QStringLiteral("logo@x"))},
                                                 Container::MultipartRelated);
        QTest::newRow("only html, image missing, html off") << relatedHtml << false << false;
    }

    void downloadedForViewing()
    {
        QFETCH(QMailMessage, message);
        QFETCH(bool, viewHtml);

        ZavekSettings::instance()->setViewHtml(viewHtml, false);
        QTEST(isDownloadedForViewing(message), "viewable");
    }

    void downloadState_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("announcedSize");
        QTest::addColumn<bool>("downloaded");

        QTest::newRow("content and size") << QByteArray("data") << 4096 << true;
        QTest::newRow("no content, no size") << QByteArray() << -1 << true;
        QTest::newRow("no content, size 0") << QByteArray() << 0 << true;
        QTest::newRow("no content, size 1") << QByteArray() << 1 << false;
    }

    void downloadState()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, announcedSize);
        QFETCH(bool, downloaded);

        const QMailMessagePart leaf = part("image/png", content, announcedSize);
        QCOMPARE(ZavekUtils::isPartDownloaded(leaf), downloaded);

        // A multipart answers for all its parts, the first as well, however deep; an empty one
        // is downloaded.
        const auto nested = multipart<QMailMessagePart>(Container::MultipartRelated, {leaf, part("text/html", "<p/>"),
                                                       multipart<QMailMessagePart>(Container::MultipartMixed, {})});
        const QMailMessage mail = message({nested, part("text/plain", "a")});
        QCOMPARE(ZavekUtils::isDownloaded(&mail), downloaded);
        const QMailMessage last = message({part("text/plain", "a"), leaf});   // and the last
        QCOMPARE(ZavekUtils::isDownloaded(&last), downloaded);

        QTest::ignoreMessage(QtWarningMsg, "bool ZavekUtils::isDownloaded(const QMailMessagePartContainer*) called with a null container");
        QVERIFY(!ZavekUtils::isDownloaded(nullptr));
    }

    void bodyAndPartLookup()
    {
        // No body at all: the whole message is what is missing.
        const QMailMessage noBody = message({part("image/png", "x")});
        QCOMPARE(getMissingBodyPart(noBody, true), static_cast<const Container *>(&noBody));
        // Only a downloaded HTML body: it stands in for plain text, and nothing is missing.
        const QMailMessage htmlOnly = singlePart("text/html", QStringLiteral("<p/>"), true);
        QCOMPARE(getBodyPart(htmlOnly, true), static_cast<const Container *>(&htmlOnly));
        QVERIFY(!getMissingBodyPart(htmlOnly, true));
        const QMailMessage plainMissing = loadFixture(QStringLiteral("plain-missing.eml"));
        QCOMPARE(getMissingBodyPart(plainMissing, true), getBodyPart(plainMissing, true));
        QVERIFY(!getMissingBodyPart(plainMissing, false));

        // The first HTML part is an attachment; the wanted one is nested. Case is ignored.
        const QMailMessage mixed = loadFixture(QStringLiteral("mixed-attachments.eml"));
        for (const QByteArray &type : {QByteArray("text/html"), QByteArray("TEXT/html")}) {
            const QMailMessagePart *html = getPart(mixed, QMailMessageContentType(type));
            QVERIFY(html);
            QCOMPARE(html->location().toString(true), QStringLiteral("5-3.2"));
        }
        QVERIFY(!getPart(mixed, QMailMessageContentType("image/png")));
        // Of two candidates, the first.
        const QMailMessage twoTexts = message({part("text/plain", "a"), part("text/plain", "b")});
        QCOMPARE(getPart(twoTexts, QMailMessageContentType("text/plain"))->location().toString(false), QStringLiteral("1"));
    }

    void structureAndSize()
    {
        QMailMessage mail = message({part("image/png", QByteArray(), 500), part("text/plain", QByteArray(300, 'a'))});
        QCOMPARE(calculateTotalSize(mail), 800u);

        // The same type leaves the message alone; another moves the parts one level down.
        convertToMultipart(mail, Container::MultipartMixed);
        QCOMPARE(mail.partCount(), 2u);
        convertToMultipart(mail, Container::MultipartRelated);
        QCOMPARE(mail.multipartType(), Container::MultipartRelated);
        QCOMPARE(mail.partCount(), 1u);
        QCOMPARE(mail.partAt(0).multipartType(), Container::MultipartMixed);
        QCOMPARE(mail.partAt(0).partAt(1).location().toString(true), QStringLiteral("5-1.2"));
        // A part with both a body and an announced size counts by the size only.
        QMailMessageContentDisposition announced(QMailMessageContentDisposition::Inline);
        announced.setSize(42);
        mail.partAt(0).partAt(1).setContentDisposition(announced);
        QCOMPARE(calculateTotalSize(mail), 542u);
        // An announced size of 0 tells nothing: the body counts.
        announced.setSize(0);
        mail.partAt(0).partAt(1).setContentDisposition(announced);
        QCOMPARE(calculateTotalSize(mail), 800u);

        // A target that has parts already holds only the source's afterwards.
        QMailMessage target = message({part("text/plain", "old")});
        copyStructure(target, mail.partAt(0));
        QCOMPARE(target.partCount(), 2u);
        QCOMPARE(target.partAt(0).contentType().content(), QByteArray("image/png"));

        QMailMessage single = singlePart("text/plain", QStringLiteral("only text"), true);
        QCOMPARE(calculateTotalSize(single), 9u);
        convertToMultipart(single, Container::MultipartMixed);
        QCOMPARE(single.partCount(), 1u);
        QCOMPARE(single.partAt(0).body().data(), QStringLiteral("only text"));
        QCOMPARE(calculateTotalSize(single), 9u);
    }

    void contentIdLookups()
    {
        const QMailMessage message = loadFixture(QStringLiteral("html-missing-image.eml"));
        QCOMPARE(findContentIDLocation(message, QStringLiteral("banner@zavek.test")).toString(true), QStringLiteral("5-3"));
        // Brackets, letter case and prefixes do not match; an empty id names no part, although
        // the first parts carry none.
        for (const QString &id : {QStringLiteral("<logo@zavek.test>"), QStringLiteral("Logo@zavek.test"),
                                  QStringLiteral("logo"), QString()})
            QVERIFY2(!findContentIDLocation(message, id).isValid(false), qPrintable(id));
        // Two parts under one id: the first one walked is the one meant.
        const auto twins = multipart<QMailMessage>(Container::MultipartRelated, {part("image/png", "a", -1, "twin"),
                                                                                 part("image/png", "b", -1, "twin")});
        QCOMPARE(findContentIDLocation(twins, QStringLiteral("twin")).toString(false), QStringLiteral("1"));

        // Depth first: the nested forwarded part comes before the later top-level one, and a
        // capitalised prefix is not the forwarded prefix.
        const QMailMessage forwarded = loadFixture(QStringLiteral("forwarded.eml"));
        const QList<const QMailMessagePart *> parts = findContentIDParts(forwarded, forwardedContentID);
        QCOMPARE(parts.size(), 2);
        QCOMPARE(parts.at(1)->location().toString(true), QStringLiteral("5-3"));
        uint index = 0;
        bool ok = false;
        QCOMPARE(getPendingForwardedPart(forwarded, &index, &ok), parts.at(0));
        QCOMPARE(parts.at(0)->location().toString(true), QStringLiteral("5-2.1"));
        QCOMPARE(index, 3u);
        QVERIFY(ok);

        // Nothing pending: null, and the outputs are left alone.
        index = 42;
        QVERIFY(!getPendingForwardedPart(message, &index, &ok));
        QCOMPARE(index, 42u);
        QVERIFY(ok);
    }

    void forwardedIndex_data()
    {
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<uint>("index");
        QTest::addColumn<bool>("ok");
        QTest::newRow("number") << "7" << 7u << true;
        QTest::newRow("letter") << "x" << 0u << false;
        QTest::newRow("nothing") << "" << 0u << false;
        QTest::newRow("negative") << "-1" << 0u << false;
    }

    void forwardedIndex()
    {
        QFETCH(QString, suffix);
        QFETCH(bool, ok);
        const QMailMessage forwarded = message({resource(forwardedContentID + suffix, QByteArray(), 10)});
        uint index = 99;
        bool parsed = !ok;
        const QMailMessagePart *found = getPendingForwardedPart(forwarded, &index, &parsed);
        QVERIFY(found);
        QTEST(index, "index");
        QCOMPARE(parsed, ok);
        // Without an index, ok is not touched.
        parsed = !ok;
        QCOMPARE(getPendingForwardedPart(forwarded, nullptr, &parsed), found);
        QCOMPARE(parsed, !ok);
    }

    void matchingRules()
    {
        const QMailMessage mail = message({
            resource(QStringLiteral("Part1@Host"), "one"),
            resource(QString(), "no id"),
            resource(QStringLiteral("same@host"), "first"),
            multipart<QMailMessagePart>(Container::MultipartMixed, {resource(QStringLiteral("same@host"), QByteArray(), 10),
                                                                    resource(QStringLiteral("same@host"), "last")}),
            resource(QStringLiteral("same@host"), QByteArray(), 20),
            resource(QStringLiteral("unmentioned@host"), QByteArray(), 30),
        });

        // Any mention counts, case-sensitively; a part without id, or not mentioned, never counts.
        QCOMPARE(getResources(mail, QStringLiteral("<a title=\"Part1@Host\">")).keys(),
                 QStringList{QStringLiteral("Part1@Host")});
        QVERIFY(getResources(mail, QStringLiteral("cid:part1@host PART1@HOST no id")).isEmpty());

        // Duplicate ids: one entry, from the part visited last; every pending one is listed.
        const QHash<QString, QVariant> resources = getResources(mail, QStringLiteral("same@host"));
        QCOMPARE(resources.size(), 1);
        QCOMPARE(resources.value(QStringLiteral("same@host")).toByteArray(), QByteArray("last"));
        QCOMPARE(getMissingResources(mail, QStringLiteral("same@host")),
                 (QStringList{QStringLiteral("5-4.1"), QStringLiteral("5-5")}));
        // A finder asked again, for either result, does not search the same parts twice.
        using Finder = MessageHelper::ResourceFinder;
        Finder finder(QStringLiteral("same@host"), Finder::FindMode(Finder::FindMissing | Finder::FindAvailable));
        mail.foreachPart(finder);
        QCOMPARE(finder.resources().size(), 1);
        QCOMPARE(finder.missing().size(), 2);
    }

    void scannerAgreesWithPlainSearch()
    {
        // Ids from a small alphabet are prefixes of each other, overlap in the text, repeat
        // and occur in other letter case; every tenth round is large enough to take the
        // scanner past its dense table.
        QRandomGenerator random(20260306);
        for (int round = 0; round < 200; ++round) {
            const bool large = round % 10 == 9;
            // Units above Latin-1 arrive in no particular order; code unit 0 is one like any other.
            const QString alphabet = large ? QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.@-_\u00e9\u4e2d\u0416\u4e00")
                                           : QStringLiteral("aAb@\u00e9\u4e2d\u0416") + QChar(0);
            auto randomText = [&](int maxLength) {
                QString text;
                for (int i = random.bounded(maxLength + 1); i > 0; --i)
                    text += alphabet.at(random.bounded(alphabet.size()));
                return text;
            };
            const QString html = randomText(large ? 20000 : 60);
            QStringList ids;
            for (int i = large ? 300 : random.bounded(10); i > 0; --i) {
                const int kind = random.bounded(5);
                if (kind == 0 || (kind > 1 && ids.isEmpty())) {
                    ids.append(randomText(large ? 30 : 5)); // may be empty
                } else if (kind == 1) {
                    ids.append(html.mid(random.bounded(html.size() + 1), 1 + random.bounded(large ? 30 : 5)));
                } else {
                    const QString earlier = ids.at(random.bounded(ids.size()));
                    ids.append(kind == 2 ? earlier.left(1 + random.bounded(4)) : kind == 3 ? earlier.toUpper() : earlier);
                }
            }
            QVector<bool> expected;
            for (const QString &id : qAsConst(ids))
                expected.append(!id.isEmpty() && html.contains(id));
            QCOMPARE(ZavekUtils::Internal::ContentIdScanner(ids).occurrences(html), expected);
        }
    }
};

QTEST_GUILESS_MAIN(TestUtilsBody)
#include "tst_utilsbody.moc"
