#ifndef ZAVEKCTL_MAILSESSION_H
#define ZAVEKCTL_MAILSESSION_H

#include "progressview.h"
#include "sessionaccount.h"

#include <zavekserviceactionmanager.h>

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QTextStream>

#include <functional>

class ZavekScriptedNetwork;
class ZavekScriptedNetworkSession;

// The scripted story of one mail session: the device comes online on demand, the account
// is synchronised, what each message lacks for viewing is fetched (pre-empting a running
// sync), flags are set, the messages are listed, and the network session closes once the
// messaging system has been idle for the idle interval.
class MailSession : public QObject
{
    Q_OBJECT
public:
    struct Options {
        SessionAccountRequest account;
        int idleInterval = 7000;
        int linkDelay = 400;
    };

    MailSession(const Options &options, ZavekScriptedNetwork *network, QTextStream &out);

    // Runs the whole session in the event loop; the process exit status.
    int run();

private:
    bool setUpAccount();
    QMailFolderId inbox() const;
    void synchronise();
    void refreshAndFetchMissingContent();
    void fetchMissingResources();
    void setFlags();
    void finish();

    ZavekServiceActionManager::Serial track(const QString &label, ZavekServiceActionManager::Serial serial);
    void whenAllFinished(std::function<void()> next);
    void onActivityChanged(ZavekServiceActionManager::Serial serial, QMailServiceAction::Activity activity,
                           const QMailServiceAction::Status &status);
    void onSessionCreated(ZavekScriptedNetworkSession *session);
    QMailMessageIdList inboxMessages() const;

    Options m_options;
    ZavekScriptedNetwork *m_network;
    QTextStream &m_out;
    ProgressView m_view;
    ZavekServiceActionManager *m_manager;
    QMailAccountId m_account;
    QHash<ZavekServiceActionManager::Serial, QString> m_unfinished;
    // Activity reported inside a request call, before the caller has the serial to label it.
    QHash<ZavekServiceActionManager::Serial, QMailServiceAction::Activity> m_early;
    QHash<ZavekServiceActionManager::Serial, QMailServiceAction::Activity> m_lastActivity;
    int m_failures = 0;
    std::function<void()> m_next;
    ZavekServiceActionManager::Serial m_refreshSerial = 0;
    ZavekServiceActionManager::Serial m_preemptedSerial = 0;
    // The manager's idle countdown starts when the whole system is idle and its own last
    // request has ended, whichever comes later; the narration measures from the same moment.
    QElapsedTimer m_idleSince;
    QElapsedTimer m_ownWorkDoneSince;
    bool m_finished = false;
    bool m_sessionCreated = false;
};

#endif // ZAVEKCTL_MAILSESSION_H
