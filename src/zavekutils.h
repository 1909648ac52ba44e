#ifndef ZAVEKUTILS_H
#define ZAVEKUTILS_H

/**
 * @file
 * Questions and helpers over messages, accounts and folders: ZavekUtils,
 * ZavekUtils::Message and the MessageHelper part-walking functors.
 */

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

/**
 * Questions about messages, accounts and folders, and a few helpers for files and text.
 *
 * The functions keep no state of their own (newContentExists() remembers its answers) and
 * run on the caller's thread. Those that take a QMailMessageId or a QMailAccountId read
 * the mail store synchronously; the ones that write (the default-account functions,
 * getStandardFolder()) write to it synchronously. Failures are told by the result (false,
 * an invalid id, an empty or null value) and, where noted, a warning through qWarning;
 * nothing throws.
 *
 * Functions on one message id expect a valid id: a debug assertion checks it, and release
 * builds answer as for an empty message.
 */
namespace ZavekUtils {

/**
 * A message's priority. The numbers are part of the interface.
 *
 * Read from the QMailMessage::HighPriority and QMailMessage::LowPriority status flags
 * only; HighPriority wins when both are set.
 */
enum Priority {
    /// QMailMessage::HighPriority set.
    HighPriority = 0,
    /// Neither flag set.
    NormalPriority = 1,
    /// QMailMessage::LowPriority set, HighPriority not.
    LowPriority = 2
};

/**
 * Status bits of a message that is no longer unread: QMailMessage::Read or
 * QMailMessage::Removed.
 */
quint64 generateReadFlag();
/**
 * Store key of the unread messages: neither Read nor Removed, the same set as
 * generateReadFlag() describes. A removed message never counts as unread.
 */
QMailMessageKey generateUnreadKey();

/// The priority of a message whose metadata the caller holds; reads nothing from the store.
Priority messagePriority(const QMailMessageMetaData &message);
/// The priority of a stored message.
Priority messagePriority(const QMailMessageId &id);
/**
 * Sets the priority of @p message: writes the "X-Priority", "X-MSMail-Priority" and
 * "Importance" header fields (removes them for normal priority) and the two status flags.
 *
 * Changes the object in memory only; storing the message is the caller's business. A
 * number that is not a Priority counts as NormalPriority.
 */
void setMessagePriority(QMailMessage &message, Priority priority);

/// Whether the message's status says it has attachments (QMailMessage::HasAttachments).
bool messageHasAttachment(const QMailMessageId &id);
/**
 * Whether the message is marked important, here or on its server (QMailMessage::Important
 * or QMailMessage::ImportantElsewhere). An invalid id gives false, without an assertion.
 */
bool messageImportant(const QMailMessageId &id);
/// Whether the message is unread: neither Read nor Removed (see generateReadFlag()).
bool messageUnread(const QMailMessageId &id);
/// The message's date, in local time.
QDateTime messageTimeStamp(const QMailMessageId &id);
/// The message's size in bytes, as the store records it.
uint messageSize(const QMailMessageId &id);
/// Display name of the message's sender; empty when the address has none.
QString messageSender(const QMailMessageId &id);
/// Whether the message has more than one recipient in To, Cc and Bcc; loads the whole message.
bool messageHasMultipleRecipients(const QMailMessageId &id);
/**
 * The display names of the To, Cc and Bcc recipients, in that order, joined by "," with
 * no blank; commas inside a name become blanks. Empty without recipients. Loads the whole
 * message.
 */
QString recipients(const QMailMessageId &id);
/**
 * The addresses without the user's own and without repeats, as text, in their order.
 *
 * Addresses are compared by their address part, ignoring case; of repeats the first, with
 * its own display name, is kept.
 * @param own the user's own address.
 * @param addresses the addresses to filter, for instance the recipients of a reply to all.
 */
QStringList filterAddresses(const QMailAddress &own, const QList<QMailAddress> &addresses);

/**
 * Whether @p dateTime lies in the 24 hours that end at the next local midnight after now.
 * An invalid date and time is never today.
 */
bool isToday(const QDateTime &dateTime);
/// isToday() with the present moment given as @p now rather than read from the clock.
bool isToday(const QDateTime &dateTime, const QDateTime &now);

/**
 * Store key of the accounts the application offers: enabled accounts that can retrieve
 * mail (Enabled, CanRetrieve and MessageSource). Built once; the reference stays valid
 * for the life of the process.
 */
const QMailAccountKey &enabledAccountKey();
/**
 * The accounts the application offers (enabledAccountKey()), in the store's order.
 * Without a mail store: a warning ("ENFORCE failed") and an empty list.
 */
QList<QMailAccountId> account_list();
/**
 * The default account: the first usable account marked QMailAccount::PreferredSender,
 * else the first usable account; an invalid id when there is none. Writes nothing.
 */
QMailAccountId default_account_id();
/// Marks the first usable account as the default when no usable account is marked.
void ensureDefaultAccountExists();
/**
 * Leaves at most one default mark: among the accounts that are mail sources, enabled or
 * not, the first enabled account that carries the mark keeps it; every other account
 * loses it. No account gains the mark here.
 */
void ensureDefaultAccountUniqueness();
/**
 * Makes @p accountId the default account: clears the mark of the current default, then
 * marks the new one (also when it is the same account).
 *
 * An account that does not exist logs a warning and changes nothing. With no current
 * default only the new account is marked.
 */
void changeDefaultAccount(QMailAccountId accountId);

/**
 * Whether a reply from @p accountId to a message of @p otherAccountId may leave the
 * original's content on the server (smart reply): the accounts must be the same one and
 * it must be marked QMailAccount::UseSmartReply. An invalid account id gives false.
 */
bool canSmartReply(const QMailAccountId &accountId, const QMailAccountId &otherAccountId);
/**
 * Whether push e-mail is configured for the account: its custom field "pushEnabled", or
 * that value of one of its service configurations, is "1". The id must be valid (debug
 * assertion).
 */
bool accountPushEnabled(const QMailAccountId &aid);

/// Number of unread messages in the account; an invalid account id counts over all accounts.
int getUnreadMessageCount(const QMailAccountId &accountId);
/**
 * Whether the account (all accounts for an invalid id) has an unread message.
 *
 * The answer is remembered per account id and given again without a query until asked
 * with @p refresh true. A failed query logs a warning and is not remembered. For the
 * event-loop thread only: the remembered answers are not locked.
 */
bool newContentExists(const QMailAccountId &accountId, bool refresh);

/**
 * The account's folders marked QMailFolder::Favourite; for an invalid id, those of every
 * usable account.
 */
QList<QMailFolderId> getFavouriteFolders(const QMailAccountId &accountId);
/**
 * The account's folder that plays a standard role (inbox, drafts, sent, trash, junk).
 *
 * In order: the folder recorded on the account for that role; else a folder of the
 * account whose status carries the role's flag; else one whose path contains the role's
 * name ("inbox", "drafts", "sent", "trash" or "deleted", "junk" or "spam"). A folder found
 * by search is recorded on the account (a store write), so that the next call finds it at
 * once. When nothing is found: an invalid id for the inbox, the local storage folder for
 * the other roles. An invalid account id gives that fallback at once. The outbox, and
 * numbers that are no standard role, are not searched for: only the recorded folder, else
 * an invalid id.
 */
QMailFolderId getStandardFolder(const QMailAccountId &accountId, QMailFolder::StandardFolder folder);
/// getStandardFolder() for the inbox: an invalid id when the account has none.
QMailFolderId getInboxFolder(const QMailAccountId &accountId);
/**
 * Appends to @p folderIds the valid folder of that role (getStandardFolder()) of each
 * usable account, in account order. The list is not cleared and repeats are kept: several
 * accounts may all give the local storage folder.
 */
void getFolderIdsForAllAcounts(QMailFolder::StandardFolder folder, QList<QMailFolderId> &folderIds);
/**
 * Where a message with these status flags belongs: trash, else sent, else outbox, else
 * inbox. Drafts and junk are never given.
 */
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

/**
 * Whether one part needs no download: its content is present, or its Content-Disposition
 * announces no positive size.
 */
bool isPartDownloaded(const QMailMessagePart &part);

/**
 * Whether a container and every part below it needs no download (isPartDownloaded()). A
 * multipart without parts needs none. A null container logs a warning and gives false.
 */
bool isDownloaded(const QMailMessagePartContainer *container);

/**
 * Questions about the body and the parts of one message held in memory.
 *
 * Nothing here reads or writes the mail store. Pointers and locations returned point into
 * the message given, and stay valid while it lives unchanged.
 */
namespace Message {

/**
 * Content-ID prefix of a pending forwarded part, "zavek-forwaded-message:" (spelt so); the
 * part's decimal index follows it. See getPendingForwardedPart().
 */
extern const QString forwardedContentID;

/**
 * Chooses the body of a message to show, plain text or HTML, and calls one handler for the
 * choice.
 *
 * Subclass it, implement the four handlers, and call perform(). The choice follows the
 * ZavekSettings::viewHtml() option, read once at construction: HTML when it is preferred
 * and present, else plain text when present, else the HTML body as a fallback. The body
 * containers point into the message, which must outlive the action.
 */
class IBodyAction
{
public:
    /// Finds the message's bodies and reads the view-HTML option; @p message must outlive the action.
    explicit IBodyAction(const QMailMessage &message);
    virtual ~IBodyAction();

    /// Calls exactly one of the four handlers, as the class description says.
    void perform();

protected:
    /// The message has neither a plain-text nor an HTML body.
    virtual void onNoBody() = 0;
    /// HTML is not preferred, but the message has only an HTML body.
    virtual void onHtmlFallback() = 0;
    /// HTML is preferred and the message has an HTML body.
    virtual void onHtmlBody() = 0;
    /// The plain-text body is to be shown.
    virtual void onPlainBody() = 0;

    /// The message examined.
    const QMailMessage &_message;
    /// The view-HTML option, as read at construction.
    bool _viewHtml;
    /// The plain-text body: a part of the message, the message itself, or null.
    const QMailMessagePartContainer *_plainBody;
    /// The HTML body: a part of the message, the message itself, or null.
    const QMailMessagePartContainer *_htmlBody;
    /**
     * Location of the plain-text body part; left invalid when the body is missing or is
     * the message itself.
     */
    QMailMessagePartContainer::Location _plainLocation;
    /// Location of the HTML body part; invalid as for #_plainLocation.
    QMailMessagePartContainer::Location _htmlLocation;

private:
    Q_DISABLE_COPY(IBodyAction)
};

/**
 * Whether the body the user will see (IBodyAction's choice) is fully present; for an HTML
 * body, with every inline resource it refers to (getMissingResources()).
 *
 * Messages not yet stored (invalid id) and local-only messages always are; a message
 * without a body is not.
 */
bool isDownloadedForViewing(const QMailMessage &message);

/**
 * The body container to use: the preferred kind, else the other; null when the message
 * has neither. Either may be the message itself (a single-part message).
 */
const QMailMessagePartContainer *getBodyPart(const QMailMessage &message, bool preferPlainText);

/**
 * The container that must be fetched before the body can be shown (see getBodyPart()):
 * null when nothing is missing, the message itself when it has no usable body at all.
 */
const QMailMessagePartContainer *getMissingBodyPart(const QMailMessage &message, bool preferPlainText);

/**
 * The first part of the given content type (letter case ignored) that is not an
 * attachment, in depth-first order, or null.
 */
const QMailMessagePart *getPart(const QMailMessage &message, const QMailMessageContentType &type);

/**
 * Makes @p target hold the same multipart type and parts (or body) as @p source; header
 * fields are left alone.
 */
void copyStructure(QMailMessagePartContainer &target, const QMailMessagePartContainer &source);

/**
 * Moves the message's content (its body, or its parts) into a single part of a new
 * multipart of the given type; nothing happens when the message already has that type.
 */
void convertToMultipart(QMailMessage &message, QMailMessagePartContainer::MultipartType type);

/**
 * Bytes of the message's own body and of every part; a size that a part's
 * Content-Disposition announces wins over its body's length, so parts not yet downloaded
 * count with their full size.
 */
uint calculateTotalSize(const QMailMessage &message);

/**
 * Location of the first part, depth first, whose content ID equals @p contentId exactly
 * (case-sensitive, angle brackets as stored), or an invalid location. An empty
 * @p contentId names no part.
 */
QMailMessagePartContainer::Location findContentIDLocation(const QMailMessage &message, const QString &contentId);

/**
 * Every part whose content ID starts with @p prefix (case-sensitive), in depth-first
 * order. The pointers point into @p message and stay valid while it lives unchanged.
 */
QList<const QMailMessagePart *> findContentIDParts(const QMailMessage &message, const QString &prefix);

/**
 * The first pending forwarded part (content ID starting with #forwardedContentID), in
 * depth-first order, or null.
 *
 * @param message the message to search.
 * @param index receives the part's index, the decimal number after the prefix (0 when
 *        that text is not a number); may be null.
 * @param ok receives whether the text after the prefix was a number; set only when
 *        @p index is given.
 * Without a forwarded part neither @p index nor @p ok is touched.
 */
const QMailMessagePart *getPendingForwardedPart(const QMailMessage &message, uint *index = nullptr, bool *ok = nullptr);

/**
 * The decoded content of every downloaded part whose content ID occurs anywhere in
 * @p html (case-sensitive), keyed by content ID; of parts sharing a content ID, the one
 * visited last wins. Parts without a content ID never count.
 */
QHash<QString, QVariant> getResources(const QMailMessage &message, const QString &html);

/**
 * The parts whose content ID occurs in @p html and whose content still has to be fetched,
 * as extended location texts (QMailMessagePartContainer::Location::toString(true)), in
 * depth-first order. Hand them to ZavekServiceActionManager::retrieveMessagePart().
 */
QStringList getMissingResources(const QMailMessage &message, const QString &html);

} // namespace Message
} // namespace ZavekUtils

/**
 * Functors for QMailMessagePartContainer::foreachPart(), which the ZavekUtils::Message
 * functions use.
 *
 * The walk visits the parts depth first, each before its children, and copies the functor
 * at every level; the copies share one result. A functor stops the walk by returning
 * false. Applications rarely need them directly.
 */
namespace MessageHelper {

/// Finds the first part of a content type that is not an attachment (ZavekUtils::Message::getPart()).
class PartFinder
{
public:
    /**
     * @param type the content type sought; compared ignoring letter case.
     * @param attachmentLocations the parts to skip: the message's attachments.
     * @param result receives the part found; left alone while none is. Must outlive the walk.
     */
    PartFinder(const QMailMessageContentType &type,
               const QList<QMailMessagePartContainer::Location> &attachmentLocations,
               const QMailMessagePart **result);
    /// Records a matching part and stops the walk (false); otherwise goes on (true).
    bool operator()(const QMailMessagePart &part);

private:
    QMailMessageContentType _type;
    QList<QMailMessagePartContainer::Location> _attachmentLocations;
    const QMailMessagePart **_result;
};

/// Adds up the sizes of the parts (ZavekUtils::Message::calculateTotalSize()).
class SizeCounter
{
public:
    /// @p total receives the sum (added to, not reset); it must outlive the walk.
    explicit SizeCounter(uint *total);
    /// Adds the part's announced size, else its body's length; always goes on.
    bool operator()(const QMailMessagePart &part);

private:
    uint *_total;
};

/// Finds the part with a given content ID (ZavekUtils::Message::findContentIDLocation()).
class ContentIDFinder
{
public:
    /// The result that the copies of one finder share.
    struct Data : public QSharedData
    {
        /// Location of the part found; invalid while none is.
        QMailMessagePartContainer::Location location;
    };

    /// Seeks the part whose content ID equals @p contentId exactly; an empty ID matches none.
    explicit ContentIDFinder(const QString &contentId);
    /// Records a matching part and stops the walk (false); otherwise goes on (true).
    bool operator()(const QMailMessagePart &part);
    /// Location of the part found, or an invalid location.
    QMailMessagePartContainer::Location location() const;

private:
    QExplicitlySharedDataPointer<Data> _data;
    QString _contentId;
};

/// Collects the parts whose content ID starts with a prefix (ZavekUtils::Message::findContentIDParts()).
class ContentIDPartsFinder
{
public:
    /// The result that the copies of one finder share.
    struct Data : public QSharedData
    {
        /// The parts found, in visiting order; they point into the message walked.
        QList<const QMailMessagePart *> parts;
    };

    /// Collects the parts whose content ID starts with @p prefix (case-sensitive).
    explicit ContentIDPartsFinder(const QString &prefix);
    /// Records a matching part; always goes on.
    bool operator()(const QMailMessagePart &part);
    /// The parts found, in visiting order.
    QList<const QMailMessagePart *> parts() const;

private:
    QExplicitlySharedDataPointer<Data> _data;
    QString _prefix;
};

/**
 * Collects the parts whose content ID occurs in an HTML text (ZavekUtils::Message::getResources()
 * and ZavekUtils::Message::getMissingResources()).
 *
 * The walk only records each part with a content ID (a shared copy, as it is at the
 * visit); the text is searched once for all of them when a result is asked for, so the
 * cost follows the text length plus the total length of the IDs, not their product.
 */
class ResourceFinder
{
public:
    /// What to collect; both: FindMode(FindMissing | FindAvailable).
    enum FindMode {
        /// Extended location texts of referenced parts still to be fetched.
        FindMissing = 1,
        /// Decoded content of referenced parts that are present, by content ID.
        FindAvailable = 2,
    };

    /// Searches @p html (case-sensitive) for the content IDs of the parts visited.
    ResourceFinder(const QString &html, FindMode mode);
    /// Records a part that has a content ID; always goes on.
    bool operator()(const QMailMessagePart &part);

    /**
     * The decoded content of the referenced parts that are present, by content ID. Needs
     * FindAvailable (debug assertion; otherwise empty).
     */
    QHash<QString, QVariant> resources() const;
    /**
     * The extended location texts of the referenced parts still to be fetched, in visiting
     * order. Needs FindMissing (debug assertion; otherwise empty).
     */
    QList<QString> missing() const;

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

/// Result codes of checkFilesSize().
enum FilesSizeCheck {
    /// Every entry is a file and the total fits.
    FilesOk = 0,
    /// An entry is missing, a directory or otherwise not a file.
    NotAFile = 1,
    /// The running total went over the limit.
    SizeExceeded = 2
};

/**
 * The directory of the temporary copies of attachments, `~/.qmf/tmp/zavek-temporary-files`.
 * Neither created nor cleaned here.
 */
QString getTemporaryDirectory();

/**
 * The directory of one part's temporary copy: below getTemporaryDirectory(), named by the
 * MD5 of the part's extended location, so every part has one of its own, the same at every
 * call. A null string, with a warning, when the part's location is invalid.
 */
QString getAttachmentTemporaryDirectory(const QMailMessagePart &part);

/**
 * Writes the part's decoded content into its own directory (getAttachmentTemporaryDirectory())
 * and returns the file's path. The message layer names the file after the part's file
 * name, made safe.
 *
 * Directories created on the way are private to the user. An earlier copy of the same part
 * is removed first, except for parts of a message without an id (not yet stored): those
 * share directories with other unsaved messages. A file name that would lead out of the
 * directory is refused with a warning. The file stays until someone removes it.
 * @return the file's path; a null or empty string, mostly with a warning, when nothing
 *         could be written.
 */
QString saveAttachmentToTemporaryFile(const QMailMessagePart &part);

/**
 * Checks that every entry of @p files is a file and that their sizes add up to no more
 * than @p maxSize bytes, for instance before attaching them.
 *
 * Stops at the first entry that is not a file or that takes the total over the limit.
 * @param files paths of the files.
 * @param canonicalPaths receives, appended, the canonical path of each file examined, the
 *        one that went over the limit included; it is not cleared.
 * @param maxSize the limit in bytes.
 * @return a FilesSizeCheck code.
 */
int checkFilesSize(const QStringList &files, QStringList &canonicalPaths, long long maxSize);

/**
 * Loads an RFC 2822 message (CR LF line ends) from a local file named by a @c file: URL.
 *
 * Only readable regular files are read: another URL scheme, a missing file, a directory, a
 * FIFO or device, or an unreadable file gives false with a warning and leaves @p message
 * alone. A file that does not parse as an e-mail message gives false with a warning.
 * @return true when @p message now holds the e-mail message from the file. After a
 *         parse failure it holds what was read.
 */
bool loadMessageFromFile(const QUrl &url, QMailMessage &message);

/**
 * A minimal HTML document showing the plain text: "&", "<" and ">" are escaped and line
 * feeds become line breaks.
 */
QString textToHtml(const QString &text);

/**
 * The byte count for display, in bytes, kB, MB or GB (steps of 1024), as a whole number
 * with the unit's translated text (qtTrId() of qtn_comm::bytes, qtn_comm::kilobytes,
 * qtn_comm::megabytes or qtn_comm::gigabytes). 1000 to 1023 of a unit show as 1 of the
 * next. Without a loaded catalogue the identifiers themselves are returned.
 */
QString get_formatted_size(const uint &size);

} // namespace ZavekUtils
// ---- end section: files, attachments and text formatting ----

#endif // ZAVEKUTILS_H
