// A message file with arbitrary content, loaded the way the application opens a file it
// was handed, then taken through what the application does next: choosing and checking
// the body, collecting inline resources, sizes, priority, copying the structure, and
// saving every part as a temporary attachment. Nothing may be written outside the part's
// own directory, and the file must load exactly as the same bytes parse from memory.

#include "fuzzsupport.h"

#include "zavekutils.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QUrl>

// The layer's hook for fixed boundaries.
void setQMailMessageBoundaryString(const QByteArray &boundary);

namespace {

QString sandboxPath;
QString messagePath;

class BodyChooser : public ZavekUtils::Message::IBodyAction
{
public:
    explicit BodyChooser(const QMailMessage &message)
        : IBodyAction(message)
    {
    }
    int calls = 0;

protected:
    void onNoBody() override { ++calls; }
    void onHtmlFallback() override { ++calls; }
    void onHtmlBody() override { ++calls; }
    void onPlainBody() override { ++calls; }
};

QString bodyText(const QMailMessagePartContainer *container)
{
    return container && container->hasBody() ? container->body().data() : QString();
}

void exerciseUtilities(const QMailMessage &message)
{
    using namespace ZavekUtils::Message;

    BodyChooser chooser(message);
    chooser.perform();
    if (chooser.calls != 1)
        FuzzSupport::fail("IBodyAction::perform called other than one handler");

    const QMailMessagePartContainer *html = getBodyPart(message, false);
    const QMailMessagePartContainer *plain = getBodyPart(message, true);
    getMissingBodyPart(message, false);
    getMissingBodyPart(message, true);
    isDownloadedForViewing(message);
    if (html)
        ZavekUtils::isDownloaded(html);

    const QString htmlText = bodyText(html);
    getResources(message, htmlText);
    getMissingResources(message, htmlText);
    ZavekUtils::textToHtml(bodyText(plain));

    getPart(message, QMailMessageContentType("text/html"));
    getPart(message, QMailMessageContentType("image/png"));
    uint index = 0;
    bool ok = false;
    getPendingForwardedPart(message, &index, &ok);
    findContentIDParts(message, forwardedContentID);
    calculateTotalSize(message);
    ZavekUtils::messagePriority(message);

    QMailMessage structure;
    copyStructure(structure, message);
    // A single-part source is copied by its body, which the copy may split into parts
    // when the body's own type says multipart; only multipart sources are compared.
    if (message.multipartType() != QMailMessagePartContainer::MultipartNone
        && (structure.multipartType() != message.multipartType() || structure.partCount() != message.partCount()))
        FuzzSupport::fail("copyStructure lost parts",
                          QStringLiteral("type %1, %2 parts -> type %3, %4 parts")
                              .arg(int(message.multipartType())).arg(message.partCount())
                              .arg(int(structure.multipartType())).arg(structure.partCount()));
    QMailMessage converted = message;
    convertToMultipart(converted, QMailMessagePartContainer::MultipartMixed);
    ZavekUtils::setMessagePriority(converted, ZavekUtils::HighPriority);
}

struct AttachmentSaver {
    int *budget;
    bool operator()(const QMailMessagePart &part) const
    {
        if (--*budget < 0)
            return false;
        const QString directory = ZavekUtils::getAttachmentTemporaryDirectory(part);
        const QString saved = ZavekUtils::saveAttachmentToTemporaryFile(part);
        if (saved.isEmpty())
            return true;
        const QFileInfo file(saved);
        if (QFileInfo(file.absolutePath()).canonicalFilePath() != QFileInfo(directory).canonicalFilePath()
            || file.fileName() == QLatin1String("..") || file.fileName() == QLatin1String(".") || file.isSymLink())
            FuzzSupport::fail("attachment saved outside its directory", saved + QStringLiteral(" not in ") + directory);
        return true;
    }
};

// Every file in the sandbox must be one we expect: the settings file, the message file, or
// an attachment directly inside one part directory of the temporary directory.
void checkSandbox()
{
    const QString temporary = QDir::cleanPath(ZavekUtils::getTemporaryDirectory()) + QLatin1Char('/');
    const QString config = sandboxPath + QStringLiteral("/config/");
    QDirIterator it(sandboxPath, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info = it.fileInfo();
        if (info.isDir() && !info.isSymLink())
            continue;
        if (path == messagePath || path.startsWith(config))
            continue;
        if (path.startsWith(temporary) && !info.isSymLink()
            && path.mid(temporary.size()).count(QLatin1Char('/')) == 1)
            continue;
        FuzzSupport::fail("a file appeared outside the attachment directories", path);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    sandboxPath = FuzzSupport::setUpSandbox(argc, argv);
    messagePath = sandboxPath + QStringLiteral("/message.eml");
    // A multipart whose boundary got lost gets a random one each time it is written, and
    // the file and the memory copy are compared as written.
    setQMailMessageBoundaryString("fuzz-boundary");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    const QByteArray content(reinterpret_cast<const char *>(bytes), int(size));
    {
        QFile file(messagePath);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) != content.size())
            FuzzSupport::fail("cannot write the message file", file.errorString());
    }

    QMailMessage message;
    const bool loaded = ZavekUtils::loadMessageFromFile(QUrl::fromLocalFile(messagePath), message);
    const QMailMessage fromMemory = QMailMessage::fromRfc2822(content);
    if (loaded != (fromMemory.messageType() == QMailMessage::Email))
        FuzzSupport::fail("file and memory disagree on the message type");
    // Compared as written without additions: other formats add a Date field made from the
    // clock when the message has none, and the clock may tick between the two writes.
    if (message.toRfc2822(QMailMessage::IdentityFormat) != fromMemory.toRfc2822(QMailMessage::IdentityFormat))
        FuzzSupport::fail("the file loads differently from the same bytes in memory");

    // A stored message: its parts get locations that name it, and their directories are
    // emptied before each save.
    message.setId(QMailMessageId(1));
    exerciseUtilities(message);

    QDir(ZavekUtils::getTemporaryDirectory()).removeRecursively();
    int budget = 16;
    message.foreachPart(AttachmentSaver{&budget});
    checkSandbox();
    return 0;
}
