#include "zavekutils.h"

#include "zavekcontentidscanner_p.h"

// Content-ID lookups: inline resources of an HTML body and pending forwarded parts.

const QString ZavekUtils::Message::forwardedContentID = QStringLiteral("zavek-forwaded-message:");

namespace ZavekUtils {
namespace Message {

QMailMessagePartContainer::Location findContentIDLocation(const QMailMessage &message, const QString &contentId)
{
    MessageHelper::ContentIDFinder finder(contentId);
    message.foreachPart(finder);
    return finder.location();
}

QList<const QMailMessagePart *> findContentIDParts(const QMailMessage &message, const QString &prefix)
{
    MessageHelper::ContentIDPartsFinder finder(prefix);
    message.foreachPart(finder);
    return finder.parts();
}

const QMailMessagePart *getPendingForwardedPart(const QMailMessage &message, uint *index, bool *ok)
{
    const QList<const QMailMessagePart *> parts = findContentIDParts(message, forwardedContentID);
    if (parts.isEmpty())
        return nullptr;
    const QMailMessagePart *part = parts.first();
    if (index)
        *index = part->contentID().mid(forwardedContentID.size()).toUInt(ok, 10);
    return part;
}

QHash<QString, QVariant> getResources(const QMailMessage &message, const QString &html)
{
    MessageHelper::ResourceFinder finder(html, MessageHelper::ResourceFinder::FindAvailable);
    message.foreachPart(finder);
    return finder.resources();
}

QStringList getMissingResources(const QMailMessage &message, const QString &html)
{
    MessageHelper::ResourceFinder finder(html, MessageHelper::ResourceFinder::FindMissing);
    message.foreachPart(finder);
    return finder.missing();
}

} // namespace Message
} // namespace ZavekUtils

namespace MessageHelper {

ContentIDFinder::ContentIDFinder(const QString &contentId)
    : _data(new Data)
    , _contentId(contentId)
{
}

bool ContentIDFinder::operator()(const QMailMessagePart &part)
{
    // An empty id names no part; it would otherwise pick the first part that has none.
    if (_contentId.isEmpty() || part.contentID() != _contentId)
        return true;
    _data->location = part.location();
    return false;
}

QMailMessagePartContainer::Location ContentIDFinder::location() const
{
    return _data->location;
}

ContentIDPartsFinder::ContentIDPartsFinder(const QString &prefix)
    : _data(new Data)
    , _prefix(prefix)
{
}

bool ContentIDPartsFinder::operator()(const QMailMessagePart &part)
{
    if (part.contentID().startsWith(_prefix))
        _data->parts.append(&part);
    return true;
}

QList<const QMailMessagePart *> ContentIDPartsFinder::parts() const
{
    return _data->parts;
}

// A visited part with a content ID. The copy shares the part's data, so keeping it is
// cheap, and its state is read only if the text turns out to refer to it.
struct ResourceFinder::Candidate
{
    QString contentId;
    QMailMessagePart part;
};

struct ResourceFinder::Pending
{
    QList<Candidate> candidates;
};

ResourceFinder::ResourceFinder(const QString &html, FindMode mode)
    : _mode(mode)
    , _html(html)
    , _pending(new Pending)
{
    if (mode != FindMissing)
        _resources.reset(new QHash<QString, QVariant>);
    if (mode != FindAvailable)
        _missing.reset(new QList<QString>);
}

bool ResourceFinder::operator()(const QMailMessagePart &part)
{
    const QString contentId = part.contentID();
    if (!contentId.isEmpty())
        _pending->candidates.append(Candidate{contentId, part});
    return true;
}

void ResourceFinder::resolve() const
{
    if (_pending->candidates.isEmpty())
        return;

    // One search for all distinct content IDs instead of one per part.
    QHash<QString, int> idIndex;
    QStringList ids;
    for (const Candidate &candidate : qAsConst(_pending->candidates)) {
        if (!idIndex.contains(candidate.contentId)) {
            idIndex.insert(candidate.contentId, ids.size());
            ids.append(candidate.contentId);
        }
    }
    const QVector<bool> occurs = ZavekUtils::Internal::ContentIdScanner(ids).occurrences(_html);

    // Apply in visiting order, so the list keeps the walk's order and the part visited
    // last wins in the map.
    for (const Candidate &candidate : qAsConst(_pending->candidates)) {
        if (!occurs.at(idIndex.value(candidate.contentId)))
            continue;
        const bool downloaded = ZavekUtils::isPartDownloaded(candidate.part);
        if (!downloaded && (_mode & FindMissing))
            _missing->append(candidate.part.location().toString(true));
        else if (downloaded && (_mode & FindAvailable))
            _resources->insert(candidate.contentId, QVariant(candidate.part.body().data(QMailMessageBody::Decoded)));
    }
    _pending->candidates.clear();
}

QHash<QString, QVariant> ResourceFinder::resources() const
{
    Q_ASSERT((_mode & FindAvailable));
    if (!_resources)
        return QHash<QString, QVariant>();
    resolve();
    return *_resources;
}

QList<QString> ResourceFinder::missing() const
{
    Q_ASSERT((_mode & FindMissing));
    if (!_missing)
        return QList<QString>();
    resolve();
    return *_missing;
}

} // namespace MessageHelper
