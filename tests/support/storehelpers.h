#ifndef STOREHELPERS_H
#define STOREHELPERS_H

// A populated store for the suites that query it. Each helper returns the new id; a store
// that refuses is a broken set-up, not a finding, so it stops the test.

#include <qmailstore.h>

#include <QDateTime>

namespace ZavekTest {

inline QMailAccountId addAccount(const QString &name, quint64 status = QMailAccount::Enabled,
                                 QMailAccountConfiguration *configuration = nullptr)
{
    QMailAccount account;
    account.setName(name);
    account.setStatus(status);
    if (!QMailStore::instance()->addAccount(&account, configuration))
        qFatal("cannot store a test account");
    return account.id();
}

inline QMailFolderId addFolder(const QString &path, const QMailAccountId &account, quint64 status = 0,
                               const QMailFolderId &parent = QMailFolderId())
{
    QMailFolder folder(path, parent, account);
    folder.setStatus(status);
    if (!QMailStore::instance()->addFolder(&folder))
        qFatal("cannot store a test folder");
    return folder.id();
}

// An e-mail; without a folder it goes to the local storage folder.
inline QMailMessageId storeMessage(QMailMessage message)
{
    message.setMessageType(QMailMessage::Email);
    if (!message.parentFolderId().isValid())
        message.setParentFolderId(QMailFolderId(QMailFolderId::LocalStorageFolderId));
    if (!QMailStore::instance()->addMessage(&message))
        qFatal("cannot store a test message");
    return message.id();
}

inline QMailMessageId addMessage(const QMailAccountId &account, const QMailFolderId &folder = QMailFolderId(),
                                 quint64 status = 0, const QDateTime &date = QDateTime())
{
    QMailMessage message;
    message.setParentAccountId(account);
    message.setParentFolderId(folder);
    message.setStatus(status);
    if (date.isValid())
        message.setDate(QMailTimeStamp(date));
    return storeMessage(message);
}

} // namespace ZavekTest

#endif // STOREHELPERS_H
