#ifndef ZAVEKUTILS_H
#define ZAVEKUTILS_H

// Stateless questions and helpers over the message, account and folder model.
// Each theme keeps to its own section below; the sources are split the same way
// (zavekutils_<theme>.cpp).

#include <qmailaccount.h>
#include <qmailaddress.h>
#include <qmailfolder.h>
#include <qmailid.h>
#include <qmailmessage.h>

#include <QList>
#include <QString>
#include <QStringList>

// ---- section: message metadata and priority; accounts and folders ----
#include <qmailaccountkey.h>
#include <qmailfolderkey.h>
#include <qmailmessagekey.h>

#include <QDateTime>

namespace ZavekUtils {

// Read from the HighPriority / LowPriority status flags only; HighPriority wins when
// both are set. The numbers are part of the interface.
enum Priority {
    HighPriority = 0,
    NormalPriority = 1,
    LowPriority = 2
};

// Status bits of a message that is no longer unread: Read or Removed.
quint64 generateReadFlag();
// Messages with neither Read nor Removed; the same set as generateReadFlag() describes.
QMailMessageKey generateUnreadKey();

Priority messagePriority(const QMailMessageMetaData &message);
Priority messagePriority(const QMailMessageId &id);
// Writes the three priority header fields (or removes them for normal priority) and the
// two flags, in memory only; storing the message is the caller's business.
void setMessagePriority(QMailMessage &message, Priority priority);

bool messageHasAttachment(const QMailMessageId &id);
bool messageImportant(const QMailMessageId &id);
bool messageUnread(const QMailMessageId &id);
QDateTime messageTimeStamp(const QMailMessageId &id);
uint messageSize(const QMailMessageId &id);
QString messageSender(const QMailMessageId &id);
bool messageHasMultipleRecipients(const QMailMessageId &id);
// Display names of To, Cc and Bcc joined by "," (commas inside a name become blanks).
QString recipients(const QMailMessageId &id);
// The addresses without the user's own and without repeats (address part compared
// ignoring case; the first spelling is kept), as text.
QStringList filterAddresses(const QMailAddress &own, const QList<QMailAddress> &addresses);

// True when dateTime lies in the 24 hours that end at the next local midnight after
// now. An invalid dateTime is never today.
bool isToday(const QDateTime &dateTime);
bool isToday(const QDateTime &dateTime, const QDateTime &now);

// Enabled accounts that can retrieve mail: the accounts the application offers.
const QMailAccountKey &enabledAccountKey();
QList<QMailAccountId> account_list();
// The first usable account marked PreferredSender, else the first usable account.
QMailAccountId default_account_id();
void ensureDefaultAccountExists();
void ensureDefaultAccountUniqueness();
void changeDefaultAccount(QMailAccountId accountId);

bool canSmartReply(const QMailAccountId &accountId, const QMailAccountId &otherAccountId);
bool accountPushEnabled(const QMailAccountId &aid);

// An invalid account id counts over all accounts.
int getUnreadMessageCount(const QMailAccountId &accountId);
// Whether the account (all accounts for an invalid id) has an unread message. The answer
// is remembered per account id and reused until asked with refresh.
bool newContentExists(const QMailAccountId &accountId, bool refresh);

QList<QMailFolderId> getFavouriteFolders(const QMailAccountId &accountId);
// The folder recorded on the account for that role, else one found by status flag or
// by name (then recorded on the account), else the local storage folder. Inbox falls
// back to no folder; the outbox is never searched for.
QMailFolderId getStandardFolder(const QMailAccountId &accountId, QMailFolder::StandardFolder folder);
QMailFolderId getInboxFolder(const QMailAccountId &accountId);
// Appends, without clearing or removing repeats, the valid folder of each usable account.
void getFolderIdsForAllAcounts(QMailFolder::StandardFolder folder, QList<QMailFolderId> &folderIds);
// Where a message with these status flags belongs: trash, sent, outbox, else inbox.
QMailFolder::StandardFolder standardFolderFromFlags(quint64 flags);

} // namespace ZavekUtils
// ---- end section: message metadata and priority; accounts and folders ----

// ---- section: body parts, download state, content IDs and resources ----
#include <QExplicitlySharedDataPointer>
#include <QHash>
#include <QSharedData>
#include <QSharedPointer>
#include <QVariant>

namespace ZavekUtils {

// Whether one part needs no download: its content is present, or its
// Content-Disposition announces no positive size.
bool isPartDownloaded(const QMailMessagePart &part);

// Whether a container and everything below it needs no download. A null container
// gives false with a warning.
bool isDownloaded(const QMailMessagePartContainer *container);

namespace Message {

// Content-ID prefix of a pending forwarded part; the decimal index follows it.
extern const QString forwardedContentID;

// Chooses the body to show (plain text or HTML, following the view-HTML option read
// once at construction) and calls exactly one handler from perform(). The body
// containers point into the message, which must outlive the action.
class IBodyAction
{
public:
    explicit IBodyAction(const QMailMessage &message);
    virtual ~IBodyAction();

    void perform();

protected:
    virtual void onNoBody() = 0;
    virtual void onHtmlFallback() = 0; // HTML not preferred, but it is the only body
    virtual void onHtmlBody() = 0;
    virtual void onPlainBody() = 0;

    const QMailMessage &_message;
    bool _viewHtml;
    const QMailMessagePartContainer *_plainBody;
    const QMailMessagePartContainer *_htmlBody;
    // Left invalid when the body is missing or is the message itself.
    QMailMessagePartContainer::Location _plainLocation;
    QMailMessagePartContainer::Location _htmlLocation;

private:
    Q_DISABLE_COPY(IBodyAction)
};

// Whether the body the user will see is fully present (for HTML: with every inline
// resource it refers to). Unstored and local-only messages always are.
bool isDownloadedForViewing(const QMailMessage &message);

// The body container to use, or null; either may be the message itself.
const QMailMessagePartContainer *getBodyPart(const QMailMessage &message, bool preferPlainText);

// The container that must be fetched before the body can be shown: null when nothing is
// missing, the message itself when it has no usable body at all.
const QMailMessagePartContainer *getMissingBodyPart(const QMailMessage &message, bool preferPlainText);

// First part of the given content type (letter case ignored) that is not an attachment,
// in depth-first order, or null.
const QMailMessagePart *getPart(const QMailMessage &message, const QMailMessageContentType &type);

// Makes target hold the same multipart type and parts (or body) as source; header fields
// are left alone.
void copyStructure(QMailMessagePartContainer &target, const QMailMessagePartContainer &source);

// Moves the message's content into a single part of a new multipart of the given type;
// nothing happens when the message already has that type.
void convertToMultipart(QMailMessage &message, QMailMessagePartContainer::MultipartType type);

// Bytes of the message's own body and of every part; a part's disposition size wins over
// its body length.
uint calculateTotalSize(const QMailMessage &message);

// Location of the first part whose content ID equals contentId (case-sensitive), or an
// invalid location; an empty contentId names no part.
QMailMessagePartContainer::Location findContentIDLocation(const QMailMessage &message, const QString &contentId);

// Every part whose content ID starts with prefix, in depth-first order. The pointers
// point into message and stay valid while it lives unchanged.
QList<const QMailMessagePart *> findContentIDParts(const QMailMessage &message, const QString &prefix);

// The first pending forwarded part, or null. Its index goes to *index (0 when the text
// after the prefix is not a decimal number; *ok tells which); with index null, ok is not
// touched either.
const QMailMessagePart *getPendingForwardedPart(const QMailMessage &message, uint *index = nullptr, bool *ok = nullptr);

// Decoded content of every downloaded part whose content ID occurs in html, keyed by
// content ID (the part visited last wins).
QHash<QString, QVariant> getResources(const QMailMessage &message, const QString &html);

// Extended location texts of every part, in depth-first order, whose content ID occurs in
// html and whose content still has to be fetched.
QStringList getMissingResources(const QMailMessage &message, const QString &html);

} // namespace Message
} // namespace ZavekUtils

// Functors for QMailMessagePartContainer::foreachPart. The walk copies them at every
// level; the copies share one result.
namespace MessageHelper {

class PartFinder
{
public:
    PartFinder(const QMailMessageContentType &type,
               const QList<QMailMessagePartContainer::Location> &attachmentLocations,
               const QMailMessagePart **result);
    bool operator()(const QMailMessagePart &part);

private:
    QMailMessageContentType _type;
    QList<QMailMessagePartContainer::Location> _attachmentLocations;
    const QMailMessagePart **_result;
};

class SizeCounter
{
public:
    explicit SizeCounter(uint *total);
    bool operator()(const QMailMessagePart &part);

private:
    uint *_total;
};

class ContentIDFinder
{
public:
    struct Data : public QSharedData
    {
        QMailMessagePartContainer::Location location;
    };

    explicit ContentIDFinder(const QString &contentId);
    bool operator()(const QMailMessagePart &part);
    QMailMessagePartContainer::Location location() const;

private:
    QExplicitlySharedDataPointer<Data> _data;
    QString _contentId;
};

class ContentIDPartsFinder
{
public:
    struct Data : public QSharedData
    {
        QList<const QMailMessagePart *> parts;
    };

    explicit ContentIDPartsFinder(const QString &prefix);
    bool operator()(const QMailMessagePart &part);
    QList<const QMailMessagePart *> parts() const;

private:
    QExplicitlySharedDataPointer<Data> _data;
    QString _prefix;
};

// Collects the parts whose content ID occurs in an HTML text. The walk only records each
// part with a content ID (a shared copy, as it is at the visit); the text is searched once
// for all of them when a result is asked for, so the cost follows the text length plus the
// total length of the IDs, not their product. Both modes: FindMode(FindMissing | FindAvailable).
class ResourceFinder
{
public:
    enum FindMode {
        FindMissing = 1,   // locations of referenced parts still to be fetched
        FindAvailable = 2, // decoded content of referenced parts that are present
    };

    ResourceFinder(const QString &html, FindMode mode);
    bool operator()(const QMailMessagePart &part);

    QHash<QString, QVariant> resources() const; // needs FindAvailable
    QList<QString> missing() const;             // needs FindMissing

private:
    struct Candidate;
    struct Pending;
    void resolve() const;

    FindMode _mode;
    QString _html;
    QSharedPointer<QHash<QString, QVariant>> _resources;
    QSharedPointer<QList<QString>> _missing;
    QSharedPointer<Pending> _pending; // parts visited since the last search
};

} // namespace MessageHelper
// ---- end section: body parts, download state, content IDs and resources ----

// ---- section: files, attachments and text formatting ----
class QUrl;

namespace ZavekUtils {

// Result codes of checkFilesSize().
enum FilesSizeCheck {
    FilesOk = 0,      // every entry is a file and the total fits
    NotAFile = 1,     // an entry is missing, a directory or otherwise not a file
    SizeExceeded = 2  // the running total went over the limit
};

// ~/.qmf/tmp/zavek-temporary-files (neither cleaned nor created here).
QString getTemporaryDirectory();

// The directory of one part's temporary copy: the temporary directory and the MD5 of the
// part's extended location. A null string, with a warning, when the location is invalid.
QString getAttachmentTemporaryDirectory(const QMailMessagePart &part);

// Writes the part's decoded body into its own directory (created private to the user) and
// returns the file's path, replacing the copy of an earlier call. Parts of a message that
// has no id share directories with other unsaved messages, so theirs is not emptied first.
// A null or empty string when nothing could be written.
QString saveAttachmentToTemporaryFile(const QMailMessagePart &part);

// Adds the canonical path of each entry examined to canonicalPaths (which is not cleared)
// and stops at the first entry that is not a file or that takes the total over maxSize.
// Returns a FilesSizeCheck code.
int checkFilesSize(const QStringList &files, QStringList &canonicalPaths, long long maxSize);

// Loads an RFC 2822 message from a local regular file named by a file: URL.
bool loadMessageFromFile(const QUrl &url, QMailMessage &message);

// A minimal HTML document showing the plain text (markup characters escaped, line feeds
// turned into line breaks).
QString textToHtml(const QString &text);

// The byte count in bytes, kB, MB or GB with the unit's translated text.
QString get_formatted_size(const uint &size);

} // namespace ZavekUtils
// ---- end section: files, attachments and text formatting ----

#endif // ZAVEKUTILS_H
