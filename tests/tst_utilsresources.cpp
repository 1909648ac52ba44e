#include "bodytesthelpers.h"
#include "zavekutils.h"

#include <QRandomGenerator>
#include <QtTest>

#include <functional>

using namespace BodyTest;
using namespace ZavekUtils::Message;

namespace {

QMailMessagePart resource(const QString &contentId, const QByteArray &content, int announcedSize = -1)
{
    return part("image/png", content, announcedSize, contentId);
}

QMailMessagePart nest(const QList<QMailMessagePart> &parts)
{
    return multipart<QMailMessagePart>(QMailMessagePartContainer::MultipartMixed, parts);
}

// The plain per-part search that the one-pass scan must agree with.
void referenceScan(const QMailMessagePart &part, const QString &html, QHash<QString, QVariant> *resources,
                   QStringList *missing)
{
    const QString id = part.contentID();
    if (!id.isEmpty() && html.indexOf(id) >= 0) {
        if (ZavekUtils::isPartDownloaded(part))
            resources->insert(id, part.body().data(QMailMessageBody::Decoded));
        else
            missing->append(part.location().toString(true));
    }
    for (uint i = 0; i < part.partCount(); ++i)
        referenceScan(part.partAt(i), html, resources, missing);
}

} // namespace

class TestUtilsResources : public QObject
{
    Q_OBJECT

private slots:
    void contentIdLookups();
    void forwardedIndex();
    void resourcesOfHtmlBody();
    void matchingRules();
    void sameResultsAsPerPartSearch();
};

void TestUtilsResources::contentIdLookups()
{
    const QMailMessage message = loadFixture(QStringLiteral("html-missing-image.eml"));
    QCOMPARE(findContentIDLocation(message, QStringLiteral("banner@zavek.test")).toString(true), QStringLiteral("5-3"));
    // Brackets, letter case and prefixes do not match; an empty id names no part, although
    // the first parts carry none.
    for (const QString &id : {QStringLiteral("<logo@zavek.test>"), QStringLiteral("Logo@zavek.test"),
                              QStringLiteral("logo"), QString()})
        QVERIFY2(!findContentIDLocation(message, id).isValid(false), qPrintable(id));

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

void TestUtilsResources::forwardedIndex()
{
    struct Case { QString suffix; uint index; bool ok; };
    for (const Case &c : {Case{"7", 7, true}, Case{"x", 0, false}, Case{"", 0, false}, Case{"-1", 0, false}}) {
        const QMailMessage forwarded = message({resource(forwardedContentID + c.suffix, QByteArray(), 10)});
        uint index = 99;
        bool ok = !c.ok;
        const QMailMessagePart *found = getPendingForwardedPart(forwarded, &index, &ok);
        QVERIFY(found);
        QCOMPARE(index, c.index);
        QCOMPARE(ok, c.ok);
        // Without an index, ok is not touched.
        QCOMPARE(getPendingForwardedPart(forwarded, nullptr, &ok), found);
        QCOMPARE(ok, c.ok);
    }
}

void TestUtilsResources::resourcesOfHtmlBody()
{
    QMailMessage message = loadFixture(QStringLiteral("html-missing-image.eml"));
    const QString html = message.findHtmlContainer()->body().data();

    // The spare image is pending too, but the text does not mention it.
    QCOMPARE(getMissingResources(message, html), QStringList{QStringLiteral("5-3")});
    QHash<QString, QVariant> resources = getResources(message, html);
    QCOMPARE(resources.keys(), QStringList{QStringLiteral("logo@zavek.test")});
    QCOMPARE(resources.value(QStringLiteral("logo@zavek.test")).toByteArray(), QByteArray("\x89PNG\r\n\x1a\n"));

    // Once downloaded, the banner moves from one result to the other.
    message.partAt(QMailMessagePartContainer::Location(QStringLiteral("5-3")))
        .setBody(QMailMessageBody::fromData(QByteArray("banner"), QMailMessageContentType("image/png"),
                                            QMailMessageBody::Base64, QMailMessageBody::RequiresEncoding));
    QVERIFY(getMissingResources(message, html).isEmpty());
    QCOMPARE(getResources(message, html).value(QStringLiteral("banner@zavek.test")).toByteArray(), QByteArray("banner"));
}

void TestUtilsResources::matchingRules()
{
    const QMailMessage mail = message({
        resource(QStringLiteral("Part1@Host"), "one"),
        resource(QString(), "no id"),
        resource(QStringLiteral("same@host"), "first"),
        nest({resource(QStringLiteral("same@host"), QByteArray(), 10), resource(QStringLiteral("same@host"), "last")}),
        resource(QStringLiteral("same@host"), QByteArray(), 20),
    });

    // Any mention counts, case-sensitively; a part without id never counts.
    QCOMPARE(getResources(mail, QStringLiteral("<a title=\"Part1@Host\">")).keys(),
             QStringList{QStringLiteral("Part1@Host")});
    QVERIFY(getResources(mail, QStringLiteral("cid:part1@host PART1@HOST no id")).isEmpty());

    // Duplicate ids: one entry, from the part visited last; every pending one is listed.
    const QHash<QString, QVariant> resources = getResources(mail, QStringLiteral("same@host"));
    QCOMPARE(resources.size(), 1);
    QCOMPARE(resources.value(QStringLiteral("same@host")).toByteArray(), QByteArray("last"));
    QCOMPARE(getMissingResources(mail, QStringLiteral("same@host")),
             (QStringList{QStringLiteral("5-4.1"), QStringLiteral("5-5")}));
}

void TestUtilsResources::sameResultsAsPerPartSearch()
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
        auto randomId = [&]() -> QString {
            const int kind = random.bounded(5);
            if (kind == 0 || (kind > 1 && ids.isEmpty()))
                return randomText(large ? 30 : 5); // may be empty
            if (kind == 1)
                return html.mid(random.bounded(html.size() + 1), 1 + random.bounded(large ? 30 : 5));
            const QString earlier = ids.at(random.bounded(ids.size()));
            return kind == 2 ? earlier.left(1 + random.bounded(4)) : kind == 3 ? earlier.toUpper() : earlier;
        };
        std::function<QMailMessagePart(int)> randomPart = [&](int depth) {
            if (depth < 2 && random.bounded(5) == 0) {
                QList<QMailMessagePart> children;
                for (int i = random.bounded(4); i > 0; --i)
                    children.append(randomPart(depth + 1));
                return nest(children);
            }
            ids.append(randomId());
            const bool present = random.bounded(2) == 0;
            return resource(ids.last(), present ? QByteArray::number(random.generate()) : QByteArray(),
                            present ? -1 : 1 + random.bounded(5000));
        };
        QList<QMailMessagePart> parts;
        for (int i = large ? 300 : random.bounded(10); i > 0; --i)
            parts.append(randomPart(0));
        const QMailMessage mail = message(parts);

        QHash<QString, QVariant> resources;
        QStringList missing;
        for (uint i = 0; i < mail.partCount(); ++i)
            referenceScan(mail.partAt(i), html, &resources, &missing);
        QCOMPARE(getMissingResources(mail, html), missing);
        QCOMPARE(getResources(mail, html), resources);
    }
}

QTEST_GUILESS_MAIN(TestUtilsResources)
#include "tst_utilsresources.moc"
