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
// ---- end section: message metadata and priority; accounts and folders ----

// ---- section: body parts, download state, content IDs and resources ----
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
