#include "testenvironment.h"
#include "zavekutils.h"

#include <QFile>
#include <functional>
#include <QRandomGenerator>
#include <QtTest>

using namespace ZavekUtils::Message;
using MessageHelper::ResourceFinder;

namespace {

const quint64 fixtureId = 5;

QMailMessage loadFixture(const QString &name)
{
    QFile file(ZavekTest::dataPath(QStringLiteral("body/") + name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing fixture %s", qPrintable(name));
    QMailMessage message = QMailMessage::fromRfc2822(file.readAll());
    message.setId(QMailMessageId(fixtureId));
    return message;
}

QMailMessagePart resourcePart(const QString &contentId, const QByteArray &content, int announcedSize = -1)
{
    QMailMessageContentDisposition disposition(QMailMessageContentDisposition::Inline);
    if (announcedSize >= 0)
        disposition.setSize(announcedSize);
    QMailMessagePart part = QMailMessagePart::fromData(content, disposition, QMailMessageContentType("image/png"),
                                                       QMailMessageBody::Base64);
    if (!contentId.isNull())
        part.setContentID(contentId);
    return part;
}

QMailMessagePart multipart(QMailMessagePartContainer::MultipartType type, const QList<QMailMessagePart> &parts)
{
    QMailMessagePart container;
    container.setMultipartType(type);
    for (const QMailMessagePart &part : parts)
        container.appendPart(part);
    return container;
}

QMailMessage messageWith(const QList<QMailMessagePart> &parts)
{
    QMailMessage message;
    message.setMultipartType(QMailMessagePartContainer::MultipartRelated);
    for (const QMailMessagePart &part : parts)
        message.appendPart(part);
    message.setId(QMailMessageId(fixtureId));
    return message;
}

// The plain per-part search the fast scan must agree with.
struct ReferenceScan
{
    QString html;
    QHash<QString, QVariant> resources;
    QStringList missing;

    void visit(const QMailMessagePart &part)
    {
        const QString id = part.contentID();
        if (!id.isEmpty() && html.indexOf(id) >= 0) {
            if (ZavekUtils::isPartDownloaded(part))
                resources.insert(id, part.body().data(QMailMessageBody::Decoded));
            else
                missing.append(part.location().toString(true));
        }
        for (uint i = 0; i < part.partCount(); ++i)
            visit(part.partAt(i));
    }
};

} // namespace

class TestUtilsResources : public QObject
{
    Q_OBJECT

private slots:
    void forwardedPrefix();
    void findContentIDLocation_data();
    void findContentIDLocation();
    void findContentIDPartsInWalkOrder();
    void pendingForwardedPart();
    void pendingForwardedIndex_data();
    void pendingForwardedIndex();
    void resourcesOfFixture();
    void resourceMovesWhenDownloaded();
    void matchingRules();
    void duplicateContentIdsLastVisitedWins();
    void finderWithBothModes();
    void sameResultsAsPerPartSearch();
};

void TestUtilsResources::forwardedPrefix()
{
    QCOMPARE(forwardedContentID, QStringLiteral("zavek-forwaded-message:"));
    QCOMPARE(forwardedContentID.size(), 23);
}

void TestUtilsResources::findContentIDLocation_data()
{
    QTest::addColumn<QString>("contentId");
    QTest::addColumn<QString>("location");

    QTest::newRow("first image") << "logo@zavek.test" << "5-2";
    QTest::newRow("pending image") << "banner@zavek.test" << "5-3";
    QTest::newRow("brackets are not stripped") << "<logo@zavek.test>" << QString();
    QTest::newRow("letter case matters") << "Logo@zavek.test" << QString();
    QTest::newRow("prefix is not equality") << "logo" << QString();
    QTest::newRow("empty never matches a part without id") << QString() << QString();
}

void TestUtilsResources::findContentIDLocation()
{
    QFETCH(QString, contentId);
    QFETCH(QString, location);

    const QMailMessage message = loadFixture(QStringLiteral("html-missing-image.eml"));
    const QMailMessagePartContainer::Location found = ZavekUtils::Message::findContentIDLocation(message, contentId);
    if (location.isEmpty()) {
        QVERIFY(!found.isValid(false));
    } else {
        QVERIFY(found.isValid());
        QCOMPARE(found.toString(true), location);
    }

    QMailMessage single;
    single.setBody(QMailMessageBody::fromData(QStringLiteral("logo@zavek.test"), QMailMessageContentType("text/plain"),
                                              QMailMessageBody::EightBit));
    QVERIFY(!ZavekUtils::Message::findContentIDLocation(single, contentId).isValid(false));
}

void TestUtilsResources::findContentIDPartsInWalkOrder()
{
    const QMailMessage message = loadFixture(QStringLiteral("forwarded.eml"));
    const QList<const QMailMessagePart *> parts = findContentIDParts(message, QStringLiteral("zavek-forwaded-message:"));
    QCOMPARE(parts.size(), 2);
    QCOMPARE(parts.at(0)->location().toString(true), QStringLiteral("5-2.1"));
    QCOMPARE(parts.at(1)->location().toString(true), QStringLiteral("5-3"));

    // Prefix match is case-sensitive, and an empty prefix takes every part.
    QCOMPARE(findContentIDParts(message, QStringLiteral("Zavek-")).size(), 1);
    QCOMPARE(findContentIDParts(message, QString()).size(), 4);
}

void TestUtilsResources::pendingForwardedPart()
{
    // The nested part comes first depth first; the capitalised prefix does not count.
    const QMailMessage message = loadFixture(QStringLiteral("forwarded.eml"));
    uint index = 99;
    bool ok = false;
    const QMailMessagePart *part = getPendingForwardedPart(message, &index, &ok);
    QVERIFY(part);
    QCOMPARE(part->location().toString(true), QStringLiteral("5-2.1"));
    QCOMPARE(index, 3u);
    QVERIFY(ok);

    // Nothing pending: the outputs are left alone.
    const QMailMessage plain = loadFixture(QStringLiteral("plain-missing.eml"));
    index = 42;
    ok = true;
    QVERIFY(!getPendingForwardedPart(plain, &index, &ok));
    QCOMPARE(index, 42u);
    QVERIFY(ok);
}

void TestUtilsResources::pendingForwardedIndex_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<uint>("index");
    QTest::addColumn<bool>("ok");

    QTest::newRow("digit") << "7" << 7u << true;
    QTest::newRow("several digits") << "1024" << 1024u << true;
    QTest::newRow("letter") << "x" << 0u << false;
    QTest::newRow("nothing after the prefix") << "" << 0u << false;
    QTest::newRow("negative") << "-1" << 0u << false;
}

void TestUtilsResources::pendingForwardedIndex()
{
    QFETCH(QString, suffix);
    QFETCH(uint, index);
    QFETCH(bool, ok);

    const QMailMessage message = messageWith({resourcePart(forwardedContentID + suffix, QByteArray(), 10)});

    uint gotIndex = 99;
    bool gotOk = !ok;
    const QMailMessagePart *part = getPendingForwardedPart(message, &gotIndex, &gotOk);
    QVERIFY(part);
    QCOMPARE(gotIndex, index);
    QCOMPARE(gotOk, ok);

    // Without an index the part is still returned and ok stays untouched.
    gotOk = !ok;
    QCOMPARE(getPendingForwardedPart(message, nullptr, &gotOk), part);
    QCOMPARE(gotOk, !ok);

    // Without ok the index is still parsed.
    gotIndex = 99;
    QCOMPARE(getPendingForwardedPart(message, &gotIndex, nullptr), part);
    QCOMPARE(gotIndex, index);
}

void TestUtilsResources::resourcesOfFixture()
{
    const QMailMessage message = loadFixture(QStringLiteral("html-missing-image.eml"));
    const QMailMessagePartContainer *html = message.findHtmlContainer();
    QVERIFY(html);
    const QString text = html->body().data();

    // The spare image is pending too, but the text does not mention it.
    QCOMPARE(getMissingResources(message, text), QStringList{QStringLiteral("5-3")});
    const QHash<QString, QVariant> resources = getResources(message, text);
    QCOMPARE(resources.keys(), QStringList{QStringLiteral("logo@zavek.test")});
    QCOMPARE(resources.value(QStringLiteral("logo@zavek.test")).toByteArray(), QByteArray("\x89PNG\r\n\x1a\n"));

    QVERIFY(getMissingResources(message, QString()).isEmpty());
    QVERIFY(getResources(message, QString()).isEmpty());
}

void TestUtilsResources::resourceMovesWhenDownloaded()
{
    QMailMessage message = loadFixture(QStringLiteral("html-missing-image.eml"));
    const QString text = QStringLiteral("<img src=\"cid:banner@zavek.test\">");
    QCOMPARE(getMissingResources(message, text), QStringList{QStringLiteral("5-3")});
    QVERIFY(getResources(message, text).isEmpty());

    message.partAt(QMailMessagePartContainer::Location(QStringLiteral("5-3")))
        .setBody(QMailMessageBody::fromData(QByteArray("banner bytes"), QMailMessageContentType("image/png"),
                                            QMailMessageBody::Base64, QMailMessageBody::RequiresEncoding));
    QVERIFY(getMissingResources(message, text).isEmpty());
    QCOMPARE(getResources(message, text).value(QStringLiteral("banner@zavek.test")).toByteArray(),
             QByteArray("banner bytes"));
}

void TestUtilsResources::matchingRules()
{
    const QMailMessage message = messageWith({
        resourcePart(QStringLiteral("part1.abc@host"), "one"),
        resourcePart(QStringLiteral("Part2@Host"), "two"),
        resourcePart(QString(), "no id"),
        resourcePart(QStringLiteral("pending@host"), QByteArray(), 300),
        resourcePart(QStringLiteral("unsized@host"), QByteArray()),
    });

    // Any form of mention counts: a cid URL, an attribute value, plain text.
    QCOMPARE(getResources(message, QStringLiteral("<img src=\"cid:part1.abc@host\">")).keys(),
             QStringList{QStringLiteral("part1.abc@host")});
    QCOMPARE(getResources(message, QStringLiteral("<a title=\"Part2@Host\">")).keys(),
             QStringList{QStringLiteral("Part2@Host")});
    QCOMPARE(getMissingResources(message, QStringLiteral("see pending@host below")),
             QStringList{QStringLiteral("5-4")});

    // Other letter case is not a reference; neither is a part without an id, nor a
    // pending part that announces no size (it counts as downloaded, with empty content).
    QVERIFY(getResources(message, QStringLiteral("cid:PART1.ABC@HOST cid:part2@host")).isEmpty());
    QVERIFY(getMissingResources(message, QStringLiteral("PENDING@HOST")).isEmpty());
    QCOMPARE(getResources(message, QStringLiteral("no id at all")).size(), 0);
    QCOMPARE(getResources(message, QStringLiteral("unsized@host")).value(QStringLiteral("unsized@host")).toByteArray(),
             QByteArray());

    // A single-part message has no parts to refer to.
    QMailMessage single;
    single.setBody(QMailMessageBody::fromData(QStringLiteral("part1.abc@host"), QMailMessageContentType("text/html"),
                                              QMailMessageBody::EightBit));
    QVERIFY(getResources(single, QStringLiteral("part1.abc@host")).isEmpty());
    QVERIFY(getMissingResources(single, QStringLiteral("part1.abc@host")).isEmpty());
}

void TestUtilsResources::duplicateContentIdsLastVisitedWins()
{
    const QMailMessage message = messageWith({
        resourcePart(QStringLiteral("same@host"), "first"),
        multipart(QMailMessagePartContainer::MultipartMixed,
                  {resourcePart(QStringLiteral("same@host"), "nested"),
                   resourcePart(QStringLiteral("same@host"), QByteArray(), 10)}),
        resourcePart(QStringLiteral("same@host"), "last"),
        resourcePart(QStringLiteral("same@host"), QByteArray(), 20),
    });
    const QString html = QStringLiteral("cid:same@host");
    const QHash<QString, QVariant> resources = getResources(message, html);
    QCOMPARE(resources.size(), 1);
    QCOMPARE(resources.value(QStringLiteral("same@host")).toByteArray(), QByteArray("last"));
    QCOMPARE(getMissingResources(message, html), (QStringList{QStringLiteral("5-2.2"), QStringLiteral("5-4")}));
}

void TestUtilsResources::finderWithBothModes()
{
    const QMailMessage message = loadFixture(QStringLiteral("html-missing-image.eml"));
    ResourceFinder finder(QStringLiteral("logo@zavek.test banner@zavek.test spare@zavek.test"),
                          ResourceFinder::FindMode(ResourceFinder::FindMissing | ResourceFinder::FindAvailable));
    QVERIFY(message.foreachPart(finder));
    QCOMPARE(finder.missing(), (QStringList{QStringLiteral("5-3"), QStringLiteral("5-4")}));
    QCOMPARE(finder.resources().keys(), QStringList{QStringLiteral("logo@zavek.test")});
    // Asking again gives the same answer.
    QCOMPARE(finder.missing().size(), 2);
}

void TestUtilsResources::sameResultsAsPerPartSearch()
{
    // Content IDs from a small alphabet, so that they are prefixes of each other, overlap
    // in the text, repeat across parts and occur in other letter case; a few large rounds
    // take the scanner past its dense table.
    QRandomGenerator random(20260306);
    const QString smallAlphabet = QStringLiteral("aAb@.");
    const QString largeAlphabet =
        QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.@-_\u00e9\u00df\u4e2d\u0416");

    for (int round = 0; round < 400; ++round) {
        const bool large = round % 40 == 39;
        const QString &alphabet = large ? largeAlphabet : smallAlphabet;
        auto randomText = [&](int maxLength) {
            QString text;
            const int length = random.bounded(maxLength + 1);
            for (int i = 0; i < length; ++i)
                text += alphabet.at(random.bounded(alphabet.size()));
            return text;
        };

        const QString html = randomText(large ? 30000 : 80);
        QStringList ids;
        auto randomId = [&]() -> QString {
            switch (random.bounded(6)) {
            case 0:
                return QString();
            case 1:
                if (!html.isEmpty())
                    return html.mid(random.bounded(html.size()), 1 + random.bounded(large ? 30 : 6));
                break;
            case 2:
                if (!ids.isEmpty())
                    return ids.at(random.bounded(ids.size())).left(1 + random.bounded(4));
                break;
            case 3:
                if (!ids.isEmpty())
                    return ids.at(random.bounded(ids.size())).toUpper();
                break;
            case 4:
                if (!ids.isEmpty())
                    return ids.at(random.bounded(ids.size()));
                break;
            }
            return randomText(large ? 30 : 5);
        };

        std::function<QMailMessagePart(int)> randomPart = [&](int depth) {
            if (depth < 2 && random.bounded(5) == 0) {
                QList<QMailMessagePart> children;
                const int count = random.bounded(4);
                for (int i = 0; i < count; ++i)
                    children.append(randomPart(depth + 1));
                QMailMessagePart container = multipart(QMailMessagePartContainer::MultipartMixed, children);
                return container;
            }
            QString id = randomId();
            // Brackets are the header's, not the id's; keep them out of generated ids.
            id.remove(QLatin1Char('<')).remove(QLatin1Char('>'));
            ids.append(id);
            const bool present = random.bounded(2) == 0;
            return resourcePart(id, present ? QByteArray::number(random.generate()) : QByteArray(),
                                present ? -1 : 1 + random.bounded(5000));
        };

        QList<QMailMessagePart> parts;
        const int partCount = large ? 300 : random.bounded(10);
        for (int i = 0; i < partCount; ++i)
            parts.append(randomPart(0));
        const QMailMessage message = messageWith(parts);

        ReferenceScan reference{html, {}, {}};
        for (uint i = 0; i < message.partCount(); ++i)
            reference.visit(message.partAt(i));

        QCOMPARE(getMissingResources(message, html), reference.missing);
        QCOMPARE(getResources(message, html), reference.resources);
    }
}

QTEST_GUILESS_MAIN(TestUtilsResources)
#include "tst_utilsresources.moc"
