#include "zavekutils.h"

#include "zaveksettings.h"

#include <QDebug>

// Body choice, download state and structural helpers over the part tree.

bool ZavekUtils::isPartDownloaded(const QMailMessagePart &part)
{
    if (part.contentAvailable())
        return true;
    // Without content, only a part that announces a size is known to have something left
    // on the server.
    return part.contentDisposition().size() <= 0;
}

bool ZavekUtils::isDownloaded(const QMailMessagePartContainer *container)
{
    if (!container) {
        qWarning() << "bool ZavekUtils::isDownloaded(const QMailMessagePartContainer*)"
                   << "called with a null container";
        return false;
    }
    if (container->multipartType() != QMailMessagePartContainer::MultipartNone) {
        for (uint i = 0; i < container->partCount(); ++i) {
            if (!isDownloaded(&container->partAt(i)))
                return false;
        }
        return true;
    }
    if (const auto *part = dynamic_cast<const QMailMessagePart *>(container))
        return isPartDownloaded(*part);
    return container->contentAvailable();
}

namespace ZavekUtils {
namespace Message {

IBodyAction::IBodyAction(const QMailMessage &message)
    : _message(message)
    , _viewHtml(ZavekSettings::instance()->viewHtml())
    , _plainBody(message.findPlainTextContainer())
    , _htmlBody(nullptr)
{
    if (_plainBody && _plainBody != &message) {
        const auto *part = dynamic_cast<const QMailMessagePart *>(_plainBody);
        Q_ASSERT_X(part, "IBodyAction::IBodyAction", "dynamic_cast<QMailMessagePart*>(_plainBody)");
        if (part)
            _plainLocation = part->location();
    }
    _htmlBody = message.findHtmlContainer();
    if (_htmlBody && _htmlBody != &message) {
        const auto *part = dynamic_cast<const QMailMessagePart *>(_htmlBody);
        Q_ASSERT_X(part, "IBodyAction::IBodyAction", "dynamic_cast<QMailMessagePart*>(_htmlBody)");
        if (part)
            _htmlLocation = part->location();
    }
}

IBodyAction::~IBodyAction() = default;

void IBodyAction::perform()
{
    if (!_plainBody && !_htmlBody)
        onNoBody();
    else if (_viewHtml && _htmlBody)
        onHtmlBody();
    else if (_plainBody)
        onPlainBody();
    else
        onHtmlFallback();
}

bool isDownloadedForViewing(const QMailMessage &message)
{
    // Unstored and local-only messages have nothing on a server to wait for.
    if (!message.id().isValid())
        return true;
    if (message.status() & QMailMessage::LocalOnly)
        return true;

    class Action : public IBodyAction
    {
    public:
        explicit Action(const QMailMessage &message)
            : IBodyAction(message)
        {
        }

        bool _result = false;

    protected:
        void onNoBody() override { _result = false; }
        void onHtmlFallback() override { onHtmlBody(); }
        void onHtmlBody() override
        {
            _result = false;
            if (isDownloaded(_htmlBody))
                _result = getMissingResources(_message, _htmlBody->body().data()).isEmpty();
        }
        void onPlainBody() override { _result = isDownloaded(_plainBody); }
    };

    Action action(message);
    action._result = false;
    action.perform();
    return action._result;
}

const QMailMessagePartContainer *getBodyPart(const QMailMessage &message, bool preferPlainText)
{
    const QMailMessagePartContainer &container = message;
    const QMailMessagePartContainer *body =
        preferPlainText ? container.findPlainTextContainer() : container.findHtmlContainer();
    if (!body)
        body = preferPlainText ? container.findHtmlContainer() : container.findPlainTextContainer();
    return body;
}

const QMailMessagePartContainer *getMissingBodyPart(const QMailMessage &message, bool preferPlainText)
{
    const QMailMessagePartContainer *body = getBodyPart(message, preferPlainText);
    if (!body)
        return &message;
    return isDownloaded(body) ? nullptr : body;
}

const QMailMessagePart *getPart(const QMailMessage &message, const QMailMessageContentType &type)
{
    const QMailMessagePart *result = nullptr;
    message.foreachPart(MessageHelper::PartFinder(type, message.findAttachmentLocations(), &result));
    return result;
}

void copyStructure(QMailMessagePartContainer &target, const QMailMessagePartContainer &source)
{
    target.setMultipartType(source.multipartType());
    if (source.multipartType() != QMailMessagePartContainer::MultipartNone) {
        target.clearParts();
        for (uint i = 0; i < source.partCount(); ++i)
            target.appendPart(source.partAt(i));
    } else {
        target.setBody(source.body());
    }
}

void convertToMultipart(QMailMessage &message, QMailMessagePartContainer::MultipartType type)
{
    if (message.multipartType() == type)
        return;
    QMailMessagePart wrapped;
    copyStructure(wrapped, message);
    message.clearParts();
    message.setMultipartType(type);
    message.appendPart(wrapped);
}

uint calculateTotalSize(const QMailMessage &message)
{
    uint total = 0;
    if (message.hasBody())
        total += uint(message.body().length());
    message.foreachPart(MessageHelper::SizeCounter(&total));
    return total;
}

} // namespace Message
} // namespace ZavekUtils

namespace MessageHelper {

PartFinder::PartFinder(const QMailMessageContentType &type,
                       const QList<QMailMessagePartContainer::Location> &attachmentLocations,
                       const QMailMessagePart **result)
    : _type(type)
    , _attachmentLocations(attachmentLocations)
    , _result(result)
{
}

bool PartFinder::operator()(const QMailMessagePart &part)
{
    if (part.contentType().content().toLower() != _type.content().toLower())
        return true;
    const QMailMessagePartContainer::Location location = part.location();
    for (const QMailMessagePartContainer::Location &attachment : qAsConst(_attachmentLocations)) {
        if (attachment == location)
            return true;
    }
    *_result = &part;
    return false;
}

SizeCounter::SizeCounter(uint *total)
    : _total(total)
{
}

bool SizeCounter::operator()(const QMailMessagePart &part)
{
    const int announced = part.contentDisposition().size();
    if (announced > 0)
        *_total += uint(announced);
    else if (part.hasBody())
        *_total += uint(part.body().length());
    return true;
}

} // namespace MessageHelper
