#ifndef ZAVEKNETWORKSCRIPTED_H
#define ZAVEKNETWORKSCRIPTED_H

#include "zaveknetwork.h"

#include <QList>
#include <QPointer>
#include <QVariantMap>

class ZavekScriptedNetwork;

/**
 * @file
 * The scripted network backend for tests and the demo: ZavekScriptedNetwork and its
 * sessions.
 */

/**
 * A session of the scripted backend; test and demo support.
 *
 * It does nothing by itself (unless the network is in auto-open or auto-close mode): the
 * test decides when it opens, closes or fails, with reportOpened(), reportClosed() and
 * reportError(). It counts the calls it receives. A session whose network was destroyed
 * stays inert.
 */
class ZavekScriptedNetworkSession : public ZavekNetworkSession
{
    Q_OBJECT
public:
    ~ZavekScriptedNetworkSession() override;

    /// Whether reportOpened() (or auto-open) opened it and nothing closed it since.
    bool isOpen() const override;
    /// The value set for @p key, or an invalid QVariant.
    QVariant sessionProperty(const QString &key) const override;
    /// Records the property; an invalid @p value removes it, as in Qt.
    void setSessionProperty(const QString &key, const QVariant &value) override;
    /// Every property set, by key.
    QVariantMap sessionProperties() const;

    /// How often open() was called.
    int openCalls() const;
    /// How often close() was called.
    int closeCalls() const;

    /**
     * Marks the session open, emits opened() and brings the scripted network online, as
     * the platform does once the link is up.
     */
    void reportOpened();
    /**
     * Marks the session closed and emits closed(); the online state is left alone (other
     * users of the link may keep it up).
     */
    void reportClosed();
    /// Emits error() with @p code; an open session is closed by it.
    void reportError(ZavekNetworkSession::SessionError code);

public Q_SLOTS:
    /**
     * Counts the call. With auto-open, the session opens on the next event-loop turn (a
     * valid configuration) or fails with InvalidConfigurationError.
     */
    void open() override;
    /// Counts the call. With auto-close, an open session closes on the next event-loop turn.
    void close() override;

private:
    friend class ZavekScriptedNetwork;
    ZavekScriptedNetworkSession(ZavekScriptedNetwork *network,
                                const ZavekNetworkConfiguration &configuration, QObject *parent);

    QPointer<ZavekScriptedNetwork> m_network;
    QVariantMap m_properties;
    bool m_open = false;
    int m_openCalls = 0;
    int m_closeCalls = 0;
};

/**
 * The network as a test or the demo scripts it; test and demo support only.
 *
 * Constructing one installs it as the backend in force: every
 * ZavekNetworkConfigurationManager::create() from then on answers from this object's
 * state, and every session created is listed in sessions(). Destroying it puts the
 * previous backend back; managers made from it then report offline and nothing
 * configured. Start state: offline, no configurations, an invalid default, capability
 * CanStartAndStopInterfaces, auto-open and auto-close off.
 */
class ZavekScriptedNetwork : public QObject
{
    Q_OBJECT
public:
    /// Installs the network as the backend in force.
    explicit ZavekScriptedNetwork(QObject *parent = nullptr);
    /// Puts the previous backend back.
    ~ZavekScriptedNetwork() override;

    /// Whether the scripted device is online.
    bool isOnline() const;
    /// Emits onlineStateChanged() here and on every configuration manager, only on a change.
    void setOnline(bool online);

    /// The configurations the managers report.
    QList<ZavekNetworkConfiguration> configurations() const;
    /// Sets the configurations the managers report.
    void setConfigurations(const QList<ZavekNetworkConfiguration> &configurations);
    /// The default configuration the managers report.
    ZavekNetworkConfiguration defaultConfiguration() const;
    /// Sets the default configuration the managers report.
    void setDefaultConfiguration(const ZavekNetworkConfiguration &configuration);
    /// The capabilities the managers report.
    ZavekNetworkConfigurationManager::Capabilities capabilities() const;
    /// Sets the capabilities the managers report.
    void setCapabilities(ZavekNetworkConfigurationManager::Capabilities capabilities);

    /**
     * Whether sessions open by themselves: on the event-loop turn after open(), a session
     * on a valid configuration opens and the network goes online; one on an invalid
     * configuration fails with InvalidConfigurationError.
     */
    bool autoOpen() const;
    /// Sets autoOpen().
    void setAutoOpen(bool enabled);
    /// Whether an open session closes by itself on the event-loop turn after close().
    bool autoClose() const;
    /// Sets autoClose().
    void setAutoClose(bool enabled);

    /**
     * Every session created through a manager of this network, oldest first; a session
     * that has been deleted since shows as a null pointer in its place.
     */
    QList<QPointer<ZavekScriptedNetworkSession>> sessions() const;
    /// The newest session, or null if none was created or it was deleted.
    ZavekScriptedNetworkSession *lastSession() const;

    /**
     * A configuration manager bound to this network (also what
     * ZavekNetworkConfigurationManager::create() returns while this network is installed);
     * the caller (or @p parent) owns it.
     */
    ZavekNetworkConfigurationManager *createManager(QObject *parent = nullptr);

Q_SIGNALS:
    /// The scripted online state changed.
    void onlineStateChanged(bool isOnline);
    /// A manager of this network created @p session.
    void sessionCreated(ZavekScriptedNetworkSession *session);

private:
    friend class ZavekScriptedNetworkSession;
    ZavekNetworkSession *createSession(const ZavekNetworkConfiguration &configuration, QObject *parent);

    bool m_online = false;
    QList<ZavekNetworkConfiguration> m_configurations;
    ZavekNetworkConfiguration m_defaultConfiguration;
    ZavekNetworkConfigurationManager::Capabilities m_capabilities =
        ZavekNetworkConfigurationManager::CanStartAndStopInterfaces;
    bool m_autoOpen = false;
    bool m_autoClose = false;
    QList<QPointer<ZavekScriptedNetworkSession>> m_sessions;
    ZavekNetworkConfigurationManager::Factory m_previousFactory;
};

#endif // ZAVEKNETWORKSCRIPTED_H
