#ifndef ZAVEKNETWORK_H
#define ZAVEKNETWORK_H

#include <QFlags>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QSharedDataPointer>
#include <QString>
#include <QVariant>

#include <functional>

class ZavekNetworkConfigurationData;

/**
 * @file
 * The network layer the service action manager uses: configurations, sessions and the
 * configuration manager, with a choice of backend.
 */

/**
 * One network configuration (an access point, a wired link, ...) as the bearer layer
 * reports it.
 *
 * An implicitly shared value type, registered as the meta-type
 * "ZavekNetworkConfiguration". A default-constructed configuration is invalid.
 */
class ZavekNetworkConfiguration
{
public:
    /// An invalid configuration with no identifier and no name.
    ZavekNetworkConfiguration();
    /**
     * A configuration as the bearer layer names it.
     * @param identifier the platform's unique identifier of the configuration.
     * @param name the name to show to the user.
     * @param valid whether the platform considers it usable.
     */
    ZavekNetworkConfiguration(const QString &identifier, const QString &name, bool valid = true);
    /// Shares @p other's data.
    ZavekNetworkConfiguration(const ZavekNetworkConfiguration &other);
    /// Shares @p other's data.
    ZavekNetworkConfiguration &operator=(const ZavekNetworkConfiguration &other);
    ~ZavekNetworkConfiguration();

    /// Whether the platform considers the configuration usable.
    bool isValid() const;
    /// The platform's unique identifier of the configuration; empty for a default one.
    QString identifier() const;
    /// The name to show to the user.
    QString name() const;

    /// Equal when identifier, name and validity are equal.
    bool operator==(const ZavekNetworkConfiguration &other) const;
    /// The opposite of operator==().
    bool operator!=(const ZavekNetworkConfiguration &other) const { return !(*this == other); }

private:
    QSharedDataPointer<ZavekNetworkConfigurationData> d;
};

Q_DECLARE_METATYPE(ZavekNetworkConfiguration)

/**
 * A session on one network configuration: opening it brings the link up on demand.
 *
 * Made by ZavekNetworkConfigurationManager::createSession(); the caller owns it. Nothing
 * blocks: open() and close() return at once and the outcome arrives through opened(),
 * closed() and error(). Use it from the thread it lives on.
 */
class ZavekNetworkSession : public QObject
{
    Q_OBJECT
public:
    /// Why a session failed; the same values as QNetworkSession::SessionError.
    enum SessionError {
        /// The platform gave no reason.
        UnknownSessionError = 0,
        /// The session was aborted by the user or the system.
        SessionAbortedError,
        /// Moving the session to another configuration failed.
        RoamingError,
        /// The platform does not support the operation.
        OperationNotSupportedError,
        /// The configuration cannot be used.
        InvalidConfigurationError
    };
    Q_ENUM(SessionError)

    ~ZavekNetworkSession() override;

    /// The configuration the session was made for.
    ZavekNetworkConfiguration configuration() const;

    /// Whether the session is open: the link is up for it.
    virtual bool isOpen() const = 0;
    /// The value of a session property, or an invalid QVariant when it is not set.
    virtual QVariant sessionProperty(const QString &key) const = 0;
    /**
     * Sets a session property for the platform. "ConnectInBackground" (bool) asks the
     * platform not to prompt the user.
     */
    virtual void setSessionProperty(const QString &key, const QVariant &value) = 0;

public Q_SLOTS:
    /// Asks for the link to come up; opened() or error() tells the outcome.
    virtual void open() = 0;
    /// Gives the session up; closed() follows. The link may stay up for others.
    virtual void close() = 0;

Q_SIGNALS:
    /// The session is open.
    void opened();
    /// The session was closed.
    void closed();
    /// The session failed; an open session is closed by it.
    void error(ZavekNetworkSession::SessionError error);

protected:
    /// A session on @p configuration; for backends.
    explicit ZavekNetworkSession(const ZavekNetworkConfiguration &configuration,
                                 QObject *parent = nullptr);

private:
    ZavekNetworkConfiguration m_configuration;
};

/**
 * Source of the online state and of the network configurations, and maker of sessions.
 *
 * The service action manager asks it whether the device is online and opens sessions
 * through it. create() gives the backend in force: the platform's, unless a test or the demo
 * installed another factory (see ZavekScriptedNetwork). The platform's is Qt's bearer
 * management on Qt 5 (ZavekQtNetworkConfigurationManager) and reachability on Qt 6
 * (ZavekReachabilityNetworkConfigurationManager). Use an object from the thread it lives on.
 */
class ZavekNetworkConfigurationManager : public QObject
{
    Q_OBJECT
public:
    /// What the platform can do; the same values as QNetworkConfigurationManager::Capability.
    enum Capability {
        /// Network interfaces can be brought up and down; needed to open sessions.
        CanStartAndStopInterfaces = 0x00000001,
        /// Connections can be bound to one interface.
        DirectConnectionRouting = 0x00000002,
        /// The platform keeps an interface up until the last session on it is closed.
        SystemSessionSupport = 0x00000004,
        /// The application may move a session to another configuration.
        ApplicationLevelRoaming = 0x00000008,
        /// The platform moves sessions between configurations by itself.
        ForcedRoaming = 0x00000010,
        /// Sessions report the bytes they moved.
        DataStatistics = 0x00000020,
        /// Network access needs an open session.
        NetworkSessionRequired = 0x00000040
    };
    /// A set of capabilities.
    Q_DECLARE_FLAGS(Capabilities, Capability)
    Q_FLAG(Capabilities)

    /// Makes a configuration manager with the given parent; see setFactory().
    using Factory = std::function<ZavekNetworkConfigurationManager *(QObject *parent)>;

    ~ZavekNetworkConfigurationManager() override;

    /// Whether the device is online: some configuration is active.
    virtual bool isOnline() const = 0;
    /// What the platform can do.
    virtual Capabilities capabilities() const = 0;
    /// The configuration the platform would use by default; may be invalid.
    virtual ZavekNetworkConfiguration defaultConfiguration() const = 0;
    /// Every configuration the platform knows, whatever its state, valid or not.
    virtual QList<ZavekNetworkConfiguration> allConfigurations() const = 0;
    /**
     * A new, unopened session on @p configuration; the caller owns it (@p parent may be
     * null).
     */
    virtual ZavekNetworkSession *createSession(const ZavekNetworkConfiguration &configuration,
                                               QObject *parent = nullptr) = 0;

    /// A new configuration manager of the backend in force; the caller (or @p parent) owns it.
    static ZavekNetworkConfigurationManager *create(QObject *parent = nullptr);
    /**
     * Replaces the backend in force and returns the previous factory, so that whoever
     * installs one can put the old one back. An empty factory restores the platform's backend.
     * Managers already made keep their backend. Not thread-safe: install factories before
     * managers are made on other threads.
     */
    static Factory setFactory(const Factory &factory);

Q_SIGNALS:
    /// The device went online (@p isOnline true) or offline.
    void onlineStateChanged(bool isOnline);

protected:
    /// For backends.
    explicit ZavekNetworkConfigurationManager(QObject *parent = nullptr);
};

Q_DECLARE_OPERATORS_FOR_FLAGS(ZavekNetworkConfigurationManager::Capabilities)

#endif // ZAVEKNETWORK_H
