#include "mailsession.h"

#include "messagetable.h"
#include "sessionaccount.h"

#include <zaveknetworkscripted.h>
#include <zaveksettings.h>
#include <zavekutils.h>

#include <qmailfolder.h>
#include <qmailstore.h>

#include <QCoreApplication>
#include <QTimer>

using Serial = ZavekServiceActionManager::Serial;

namespace {

QString shortSubject(const QMailMessage &message)
{
    const QString subject = message.subject();
    return subject.size() > 26 ? subject.left(25) + QChar(0x2026) : subject;
}

} // namespace

MailSession::MailSession(const Options &options, ZavekScriptedNetwork *network, QTextStream &out)
    : m_options(options)
    , m_network(network)
    , m_out(out)
    , m_view(out)
    , m_manager(nullptr)
{
}

int MailSession::run()
{
    const ZavekNetworkConfiguration wifi(QStringLiteral("wlan0"), QStringLiteral("Home Wi-Fi"), true);
    m_network->setConfigurations({ wifi });
    m_network->setDefaultConfiguration(wifi);
    m_network->setOnline(false);
    m_network->setAutoClose(true);
    connect(m_network, &ZavekScriptedNetwork::sessionCreated, this, &MailSession::onSessionCreated);
    connect(m_network, &ZavekScriptedNetwork::onlineStateChanged, this, [this](bool online) {
        m_view.note(online ? QStringLiteral("-- network: online") : QStringLiteral("-- network: offline"));
    });

    if (!setUpAccount())
        return 1;

    m_manager = ZavekServiceActionManager::instance();
    m_manager->setNetworkSessionIdleInterval(m_options.idleInterval);
    connect(m_manager, &ZavekServiceActionManager::activityChanged, this, &MailSession::onActivityChanged);
    connect(m_manager, &ZavekServiceActionManager::serviceActivityChanged, this,
            [this](ZavekServiceActionManager::Activity activity) {
                // The idle countdown starts when the whole system falls idle, not at later idle reports.
                if (activity == ZavekServiceActionManager::Busy)
                    m_idleSince.invalidate();
                else if (!m_idleSince.isValid())
                    m_idleSince.start();
            });
    connect(m_manager, &ZavekServiceActionManager::progressChanged, this,
            [this](Serial serial, uint value, uint total) { m_view.progress(serial, value, total); });

    m_view.note(QStringLiteral("-- network: offline; a session is opened when the first request needs it"));
    QTimer::singleShot(0, this, &MailSession::synchronise);
    return QCoreApplication::exec();
}

bool MailSession::setUpAccount()
{
    const SessionAccount account = prepareSessionAccount(m_options.account);
    m_account = account.id;
    if (!m_account.isValid()) {
        QTextStream(stderr) << "zavekctl session: " << account.description << '\n';
        return false;
    }
    m_view.note(account.description);
    return true;
}

QMailFolderId MailSession::inbox() const
{
    // An IMAP account learns its inbox with the first folder list, so look it up each time.
    return ZavekUtils::getStandardFolder(m_account, QMailFolder::InboxFolder);
}

void MailSession::synchronise()
{
    m_view.note(QStringLiteral("== Synchronising the account"));
    track(QStringLiteral("sync account"), m_manager->sync(m_account));
    track(QStringLiteral("retrieve folder list"), m_manager->retrieveFolderList(m_account, QMailFolderId(), true));
    const QMailMessageSortKey newestFirst = QMailMessageSortKey::timeStamp(Qt::DescendingOrder);
    const QMailFolderId inboxFolder = inbox();
    if (inboxFolder.isValid()) {
        track(QStringLiteral("retrieve message list (Inbox)"),
              m_manager->retrieveMessageList(m_account, inboxFolder, 20, newestFirst));
        // The same request again while the first waits: one operation, one serial.
        track(QStringLiteral("retrieve message list (Inbox) again"),
              m_manager->retrieveMessageList(m_account, inboxFolder, 20, newestFirst));
    }
    whenAllFinished([this] { refreshAndFetchMissingContent(); });
}

void MailSession::refreshAndFetchMissingContent()
{
    m_view.note(QStringLiteral("== Refreshing; fetching what each message lacks for viewing pre-empts the refresh"));
    m_refreshSerial = track(QStringLiteral("sync account (refresh)"), m_manager->sync(m_account));
    whenAllFinished([this] { fetchMissingResources(); });
}

void MailSession::fetchMissingResources()
{
    m_view.note(QStringLiteral("== Fetching inline images the HTML bodies refer to"));
    for (const QMailMessageId &id : inboxMessages()) {
        const QMailMessage message(id);
        const QMailMessagePartContainer *html = ZavekUtils::Message::getBodyPart(message, false);
        if (!html || html->contentType().subType().toLower() != "html" || !html->contentAvailable())
            continue;
        const QStringList missing = ZavekUtils::Message::getMissingResources(message, html->body().data());
        for (const QString &location : missing) {
            track(QStringLiteral("retrieve image %1 of \"%2\"").arg(location, shortSubject(message)),
                  m_manager->retrieveMessagePart(QMailMessagePartContainer::Location(location)));
        }
    }
    whenAllFinished([this] { setFlags(); });
}

void MailSession::setFlags()
{
    m_view.note(QStringLiteral("== Marking every message read, the urgent ones important"));
    const QMailMessageIdList ids = inboxMessages();
    QMailMessageIdList urgent;
    for (const QMailMessageId &id : ids) {
        if (ZavekUtils::messagePriority(id) == ZavekUtils::HighPriority)
            urgent << id;
    }
    track(QStringLiteral("flag messages read"), m_manager->flagMessages(ids, QMailMessage::Read, 0));
    if (!urgent.isEmpty())
        track(QStringLiteral("flag urgent messages important"),
              m_manager->flagMessages(urgent, QMailMessage::Important, 0));
    whenAllFinished([this] { finish(); });
}

void MailSession::finish()
{
    m_view.note(QString());
    printMessageTable(m_out, inboxMessages());
    m_view.note(QString());
    if (!m_sessionCreated) {
        // With the connectivity option off the device counts as online: no session to close.
        m_view.note(QStringLiteral("-- all requests done; no network session was needed"));
        QTimer::singleShot(0, this, [this] { QCoreApplication::exit(m_failures == 0 ? 0 : 1); });
        return;
    }
    m_view.note(QStringLiteral("-- all requests done; the network session closes after %1 ms of idle messaging")
                    .arg(m_options.idleInterval));
    m_finished = true;
    QTimer::singleShot(m_options.idleInterval + 15000, this, [this] {
        m_view.note(QStringLiteral("zavekctl: the network session did not close"));
        QCoreApplication::exit(1);
    });
}

Serial MailSession::track(const QString &label, Serial serial)
{
    const bool merged = m_unfinished.contains(serial);
    m_view.requested(serial, label, merged);
    if (!merged)
        m_unfinished.insert(serial, label);
    const auto early = m_early.constFind(serial);
    if (early != m_early.constEnd()) {
        m_view.activity(serial, early.value(), QMailServiceAction::Status());
        m_lastActivity.insert(serial, early.value());
        m_early.erase(early);
    }
    return serial;
}

void MailSession::whenAllFinished(std::function<void()> next)
{
    m_next = std::move(next);
    if (m_unfinished.isEmpty())
        QTimer::singleShot(0, this, [this] { std::exchange(m_next, nullptr)(); });
}

void MailSession::onActivityChanged(Serial serial, QMailServiceAction::Activity activity,
                                    const QMailServiceAction::Status &status)
{
    if (!m_unfinished.contains(serial)) {
        m_early.insert(serial, activity);
        return;
    }
    const bool known = m_lastActivity.contains(serial);
    const QMailServiceAction::Activity previous = m_lastActivity.value(serial, QMailServiceAction::Pending);
    m_lastActivity.insert(serial, activity);
    // A real server's sync also goes back to pending between its steps: only the first
    // return to pending after message-level work displaced the refresh is its pre-emption.
    if (activity == QMailServiceAction::Pending && previous == QMailServiceAction::InProgress
        && serial == m_preemptedSerial) {
        m_view.note(QStringLiteral("  #%1 pre-empted by more urgent work; queued again").arg(serial, 2));
        m_preemptedSerial = 0;
    }
    if (!(known && activity == previous && activity == QMailServiceAction::Pending))
        m_view.activity(serial, activity, status);
    if (serial == m_refreshSerial && activity == QMailServiceAction::InProgress) {
        const Serial refresh = std::exchange(m_refreshSerial, 0);
        // Message-level work outranks the running refresh: queueing it pre-empts the refresh,
        // which runs again afterwards under the same serial.
        for (const QMailMessageId &id : inboxMessages()) {
            const QMailMessage message(id);
            if (ZavekUtils::Message::isDownloadedForViewing(message))
                continue;
            const bool preferPlain = !ZavekSettings::instance()->viewHtml();
            const QMailMessagePartContainer *missing = ZavekUtils::Message::getMissingBodyPart(message, preferPlain);
            if (!missing)
                continue;
            if (const auto *part = dynamic_cast<const QMailMessagePart *>(missing)) {
                track(QStringLiteral("retrieve body %1 of \"%2\"")
                          .arg(part->location().toString(true), shortSubject(message)),
                      m_manager->retrieveMessagePart(part->location()));
            } else {
                track(QStringLiteral("retrieve message \"%1\"").arg(shortSubject(message)),
                      m_manager->retrieveMessages({ id }, QMailRetrievalAction::Content));
            }
            m_preemptedSerial = refresh;
        }
    }
    if (activity != QMailServiceAction::Successful && activity != QMailServiceAction::Failed)
        return;
    if (activity == QMailServiceAction::Failed)
        ++m_failures;
    m_unfinished.remove(serial);
    m_lastActivity.remove(serial);
    if (m_unfinished.isEmpty())
        m_ownWorkDoneSince.start();
    if (m_unfinished.isEmpty() && m_next) {
        // Leave the manager's signal before queueing the next step.
        QTimer::singleShot(0, this, [this] {
            if (m_next)
                std::exchange(m_next, nullptr)();
        });
    }
}

void MailSession::onSessionCreated(ZavekScriptedNetworkSession *session)
{
    m_sessionCreated = true;
    m_view.note(QStringLiteral("-- network: session requested on \"Home Wi-Fi\", link comes up in %1 ms")
                    .arg(m_options.linkDelay));
    QPointer<ZavekScriptedNetworkSession> guarded(session);
    QTimer::singleShot(m_options.linkDelay, this, [guarded] {
        if (guarded)
            guarded->reportOpened();
    });
    connect(session, &ZavekNetworkSession::closed, this, [this] {
        if (!m_finished) {
            m_view.note(QStringLiteral("-- network: session closed"));
            return;
        }
        const qint64 idle = m_idleSince.isValid() && m_ownWorkDoneSince.isValid()
                ? qMin(m_idleSince.elapsed(), m_ownWorkDoneSince.elapsed())
                : 0;
        m_view.note(QStringLiteral("-- network: session closed %1 ms after the messaging system fell idle").arg(idle));
        QCoreApplication::exit(m_failures == 0 ? 0 : 1);
    });
}

QMailMessageIdList MailSession::inboxMessages() const
{
    const QMailFolderId inboxFolder = inbox();
    if (!inboxFolder.isValid())
        return QMailMessageIdList();
    return QMailStore::instance()->queryMessages(QMailMessageKey::parentFolderId(inboxFolder),
                                                 QMailMessageSortKey::timeStamp(Qt::DescendingOrder));
}
