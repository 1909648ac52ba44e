// Differential fuzzing of the inline-resource scan: part trees and HTML derived from the
// input, the one-pass results compared with the plain search of the text once per part.
// The content-ID scanner is also checked on its own, with repeated and empty ids and with
// alphabets wide enough to take it past its dense transition table.

#include "fuzzsupport.h"

#include "zavekcontentidscanner_p.h"
#include "zavekutils.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QDebug>

#include <functional>

namespace {

const int maxParts = 160;
const int maxDepth = 3;

class Generator
{
public:
    explicit Generator(FuzzedDataProvider &provider)
        : data(provider)
        , alphabet(data.ConsumeIntegralInRange<int>(0, 2))
    {
    }

    QString text(int maxLength)
    {
        QString result;
        for (int length = data.ConsumeIntegralInRange<int>(0, maxLength); length > 0; --length)
            result += symbol();
        return result;
    }

    // Ids that are prefixes of each other, occur in the text, repeat, differ only in
    // letter case, or are empty: the cases a matcher gets wrong.
    QString contentId(const QString &html)
    {
        const int maxLength = alphabet == 0 ? 5 : 24;
        switch (ids.isEmpty() ? data.ConsumeIntegralInRange<int>(0, 1) : data.ConsumeIntegralInRange<int>(0, 5)) {
        case 0:
            return text(maxLength);
        case 1:
            return html.mid(data.ConsumeIntegralInRange<int>(0, html.size()), data.ConsumeIntegralInRange<int>(1, maxLength));
        case 2:
            return earlierId().left(data.ConsumeIntegralInRange<int>(1, 4));
        case 3:
            return earlierId().toUpper();
        case 4:
            return earlierId() + text(3);
        default:
            return earlierId();
        }
    }

    QMailMessagePart part(const QString &html, int depth)
    {
        ++partCount;
        if (depth < maxDepth && data.ConsumeIntegralInRange<int>(0, 4) == 0) {
            QMailMessagePart container;
            container.setMultipartType(QMailMessagePartContainer::MultipartRelated);
            for (int children = data.ConsumeIntegralInRange<int>(0, 4); children > 0 && partCount < maxParts; --children)
                container.appendPart(part(html, depth + 1));
            if (data.ConsumeBool()) {
                // A container may carry an id of its own.
                ids.append(contentId(html));
                container.setContentID(ids.last());
            }
            return container;
        }

        ids.append(contentId(html));
        // Present; pending with an announced size; or absent with a size of 0, which counts
        // as downloaded.
        const int state = data.ConsumeIntegralInRange<int>(0, 2);
        QMailMessageContentDisposition disposition(QMailMessageContentDisposition::Inline);
        if (state != 0)
            disposition.setSize(state == 1 ? data.ConsumeIntegralInRange<int>(1, 5000) : 0);
        const QByteArray content = state == 0 ? QByteArray::fromStdString(data.ConsumeRandomLengthString(16)) : QByteArray();
        QMailMessagePart leaf = QMailMessagePart::fromData(content, disposition, QMailMessageContentType("image/png"),
                                                           QMailMessageBody::Base64);
        if (!ids.last().isEmpty())
            leaf.setContentID(ids.last());
        return leaf;
    }

    QStringList ids;
    int partCount = 0;

private:
    QChar symbol()
    {
        static const QString small = QStringLiteral("aAb@\u00e9");
        static const QString medium = QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.@-_<>\"=:\u00e9\u4e2d");
        switch (alphabet) {
        case 0:
            return small.at(data.ConsumeIntegralInRange<int>(0, small.size() - 1));
        case 1:
            return medium.at(data.ConsumeIntegralInRange<int>(0, medium.size() - 1));
        default:
            // Mostly a few letters (so ids still meet), sometimes any code unit at all,
            // surrogates included: many symbols make the dense table small.
            if (data.ConsumeIntegralInRange<int>(0, 3) != 0)
                return small.at(data.ConsumeIntegralInRange<int>(0, small.size() - 1));
            return QChar(data.ConsumeIntegral<quint16>());
        }
    }

    QString earlierId()
    {
        return ids.at(data.ConsumeIntegralInRange<int>(0, ids.size() - 1));
    }

    FuzzedDataProvider &data;
    const int alphabet;
};

// The plain per-part search.
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

QString describe(const QString &html, const QStringList &ids)
{
    QString text;
    QDebug(&text) << "html" << html << "ids" << ids;
    return text;
}

void checkScanner(const QStringList &ids, const QString &html)
{
    const QVector<bool> found = ZavekUtils::Internal::ContentIdScanner(ids).occurrences(html);
    if (found.size() != ids.size())
        FuzzSupport::fail("scanner answered for a different number of ids", describe(html, ids));
    for (int i = 0; i < ids.size(); ++i) {
        const bool expected = !ids.at(i).isEmpty() && html.indexOf(ids.at(i)) >= 0;
        if (found.at(i) != expected)
            FuzzSupport::fail(expected ? "scanner missed an id" : "scanner found an absent id",
                              QStringLiteral("id %1: %2\n").arg(i).arg(ids.at(i)) + describe(html, ids));
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    FuzzSupport::setUpSandbox(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    FuzzedDataProvider data(bytes, size);
    Generator generate(data);

    QString html = generate.text(data.ConsumeIntegralInRange<int>(0, 2000));
    QMailMessage message;
    message.setMultipartType(QMailMessagePartContainer::MultipartRelated);
    for (int parts = data.ConsumeIntegralInRange<int>(0, 12); parts > 0 && generate.partCount < maxParts; --parts)
        message.appendPart(generate.part(html, 0));
    message.setId(QMailMessageId(5));

    // Some ids written into the text after the fact, at arbitrary places (even inside
    // another occurrence).
    for (int inserts = data.ConsumeIntegralInRange<int>(0, 4); inserts > 0 && !generate.ids.isEmpty(); --inserts) {
        const QString &id = generate.ids.at(data.ConsumeIntegralInRange<int>(0, generate.ids.size() - 1));
        html.insert(data.ConsumeIntegralInRange<int>(0, html.size()), id);
    }

    QHash<QString, QVariant> expectedResources;
    QStringList expectedMissing;
    for (uint i = 0; i < message.partCount(); ++i)
        referenceScan(message.partAt(i), html, &expectedResources, &expectedMissing);

    const QStringList missing = ZavekUtils::Message::getMissingResources(message, html);
    if (missing != expectedMissing) {
        QString detail;
        QDebug(&detail) << "got" << missing << "expected" << expectedMissing;
        FuzzSupport::fail("getMissingResources differs from the per-part search", detail + describe(html, generate.ids));
    }
    const QHash<QString, QVariant> resources = ZavekUtils::Message::getResources(message, html);
    if (resources != expectedResources) {
        QString detail;
        QDebug(&detail) << "got" << resources.keys() << "expected" << expectedResources.keys();
        FuzzSupport::fail("getResources differs from the per-part search", detail + describe(html, generate.ids));
    }

    checkScanner(generate.ids, html);
    return 0;
}
