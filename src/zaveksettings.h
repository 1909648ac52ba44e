#ifndef ZAVEKSETTINGS_H
#define ZAVEKSETTINGS_H

#include <QFlags>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QVariant>

class QFileSystemWatcher;
class QSettings;

/**
 * @file
 * The application's options: ZavekSettings.
 */

/**
 * The mail application's options, kept in the user's settings file and watched for
 * changes made by other processes.
 *
 * Nine options, each with a default, a key (the constants ending in `Option`) and a change
 * bit (#Flag). Read and change them through the typed accessors (viewHtml(),
 * setViewHtml(), ...) or by key with getValue() and setValue(). The file is the per-user
 * settings file of organisation #COMPANY and application #PACKAGE (on Linux
 * `~/.config/Ulmar/Zavek.conf`); an absent file, or a key the file lacks, gives the
 * default. settingsChanged() announces, by change bits, which options another process
 * changed in the file.
 *
 * Changes made here reach the file at once (write-through, the default) or, after
 * flushWhenChanged(false), on flush() and at destruction. Only options changed in this
 * process are ever written, so a change another process made is never overwritten with
 * a stale value, and defaults are not written until they are changed.
 *
 * Threading: use an object only from the thread it lives on (the thread of the Qt event
 * loop). Only the first construction by instance() is safe against concurrent callers.
 * Watching needs a QCoreApplication: an object made before it exists starts watching at
 * the first setValue() or flush() after it does, and every object stops watching when the
 * application announces that it quits (QCoreApplication::aboutToQuit()).
 *
 * Warnings are logged (qWarning) when the file cannot be read, written or watched, when it
 * holds a value that cannot be read, and when the preview-lines option holds an illegal
 * number. The values known so far stay in force in each case.
 */
class ZavekSettings : public QObject
{
    Q_OBJECT
public:
    /// One change bit per option, as settingsChanged() reports them. 0x2 belongs to no option.
    enum Flag : quint32 {
        /// viewHtml()
        ViewHtml = 0x1,
        /// threadedList()
        ThreadList = 0x4,
        /// downloadImages()
        DownloadImages = 0x8,
        /// sendImmediately()
        SendImmediately = 0x10,
        /// useConnectivityManager()
        UseConnectivityManager = 0x20,
        /// showFavouritesInSummary()
        ShowFavouritesInSummary = 0x40,
        /// previewLines()
        PreviewLines = 0x80,
        /// sendAsPlaintext()
        SendAsPlaintext = 0x100,
        /// sortKey()
        SortKey = 0x200
    };
    /// A set of change bits; registered as the meta-type "ZavekSettings::Flags".
    Q_DECLARE_FLAGS(Flags, Flag)
    Q_FLAG(Flags)

    /// How many lines of each message the message list previews.
    enum PreviewLinesType {
        /// No preview.
        PreviewNone = 0,
        /// One line.
        PreviewOneLine = 1,
        /// Two lines (the default).
        PreviewTwoLines = 2
    };
    Q_ENUM(PreviewLinesType)

    /**
     * One registered option: its change bit, default and current value.
     *
     * The object keeps one per option; applications do not need to make them.
     */
    class Setting
    {
    public:
        /// No option: flag 0, both values invalid.
        Setting();
        /// An option with its change bit, default and current value.
        Setting(Flag flag, const QVariant &defaultValue, const QVariant &value);
        virtual ~Setting();

        /// The option's change bit.
        Flag flag;
        /// The value in force while the file holds none.
        QVariant defaultValue;
        /// The current value; invalid until loaded from the file or set.
        QVariant value;
    };

    /// Organisation name of the settings file: "Ulmar".
    static const QString COMPANY;
    /// Application name of the settings file: "Zavek".
    static const QString PACKAGE;
    /// Key of viewHtml(): "viewHtmlMailFormat".
    static const QString viewHtmlOption;
    /// Key of threadedList(): "messageListOption".
    static const QString threadListOption;
    /// Key of downloadImages(): "downloadImagesOption".
    static const QString downloadImagesOption;
    /// Key of sendImmediately(): "sendMessagesOption".
    static const QString sendImmediatelyOption;
    /// Key of sendAsPlaintext(): "sendAsPlaintext".
    static const QString sendAsPlaintextOption;
    /// Key of useConnectivityManager(): "useConnectivityManager".
    static const QString useConnectivityManagerOption;
    /// Key of showFavouritesInSummary(): "showFavouritesInSummary".
    static const QString showFavouritesInSummaryOption;
    /// Key of previewLines(): "previewLines".
    static const QString previewLinesOption;
    /**
     * "messageSwipeSpeed", published for the application's own use. Not a registered
     * option: getValue(), setValue() and loadFromStore() do not accept it.
     */
    static const QString MessageSwipeSpeedOption;
    /// "messageSwipeDistance"; like #MessageSwipeSpeedOption, not a registered option.
    static const QString MessageSwipeDistanceOption;
    /// Key of sortKey(): "sortKey".
    static const QString sortKeyOption;

    /**
     * The process-wide object, constructed on the first call (thread-safe) and destroyed
     * at process exit, with a final flush() that reaches the disk.
     */
    static ZavekSettings *instance();
    /**
     * Tests only: replaces the process-wide object by a fresh one.
     *
     * Destroys the current instance (its final flush writes what it still holds), then, if
     * @p discardFile, removes the settings file, and constructs a fresh instance that loads
     * from the file as it is now. Pointers to the old instance dangle afterwards.
     */
    static void resetInstanceForTesting(bool discardFile = true);

    /**
     * Loads every option from the settings file and starts watching it (creating the file
     * and its directory when missing). Emits nothing.
     *
     * Applications use instance(); tests may construct their own objects, each of which
     * reads and watches the same file.
     */
    explicit ZavekSettings(QObject *parent = nullptr);
    /// Writes what changed in this process (flush()) and makes sure that it reaches the disk.
    ~ZavekSettings() override;

    /**
     * The option's value, or its default when it holds none.
     *
     * Only the keys of the nine registered options are accepted: any other key is a
     * programming error (a debug assertion; release builds return an invalid QVariant).
     */
    QVariant getValue(const QString &key) const;
    /**
     * Stores @p value for the option, even when it equals the current one.
     *
     * With write-through (the default) it is handed to the file at once and nothing is
     * emitted. Otherwise it is kept for flush() and, with @p notify, settingsChanged() is
     * emitted now with the option's bit alone. @p notify false also stops this object's
     * watch of the file until a later call with @p notify true. Unregistered keys as for
     * getValue(); they change nothing.
     */
    void setValue(const QString &key, const QVariant &value, bool notify);
    /**
     * Writes every option changed in this process and not yet written, where it differs
     * from what the file holds. @p notify starts or stops the watch of the file as for
     * setValue().
     */
    void flush(bool notify);
    /**
     * Chooses write-through (@p enable true, the default: every change goes to the file at
     * once) or deferred writing (changes wait for flush() or destruction).
     */
    void flushWhenChanged(bool enable);
    /**
     * Reloads one option, or all of them for an empty @p key, from the file.
     *
     * Options changed here and not yet written keep their value. Emits nothing.
     * @return the bits of the options whose value changed.
     */
    Flags loadFromStore(const QString &key);
    /// Emits settingsChanged() with @p flags.
    void updateSettings(Flags flags);
    /**
     * Makes sure that the settings file (and its directory) exists and is watched.
     *
     * Does nothing without a QCoreApplication or after it announced that it quits. When the
     * file cannot be created, a warning is logged and the next call tries again.
     */
    void addWatcher();
    /**
     * Starts (true) or stops (false) announcing changes of the file through
     * settingsChanged(). Without a watch it does nothing.
     */
    void setNotify(bool notify);

    /// Whether messages are shown as HTML when they have an HTML body; default true.
    bool viewHtml() const;
    /**
     * Sets viewHtml(). Like every typed setter it does nothing when the value is already in
     * force; otherwise it calls setValue() with @p notify.
     */
    void setViewHtml(bool viewHtml, bool notify);
    /// Whether the message list groups messages into threads; default false.
    bool threadedList() const;
    /// Sets threadedList(); see setViewHtml().
    void setThreadedList(bool threadedList, bool notify);
    /// Whether images referred to by HTML messages are downloaded; default true.
    bool downloadImages() const;
    /// Sets downloadImages(); see setViewHtml().
    void setDownloadImages(bool downloadImages, bool notify);
    /// Whether messages are sent at once rather than at the next synchronisation; default true.
    bool sendImmediately() const;
    /// Sets sendImmediately(); see setViewHtml().
    void setSendImmediately(bool sendImmediately, bool notify);
    /**
     * Whether the service action manager follows the network state and opens network
     * sessions; default true. When false it counts the device as always online.
     */
    bool useConnectivityManager() const;
    /// Sets useConnectivityManager(); see setViewHtml(). The manager reads it at every use.
    void setUseConnectivityManager(bool useConnectivityManager, bool notify);
    /// Whether the summary view shows the favourite folders; default true.
    bool showFavouritesInSummary() const;
    /// Sets showFavouritesInSummary(); see setViewHtml().
    void setShowFavouritesInSummary(bool showFavouritesInSummary, bool notify);
    /**
     * How many preview lines the message list shows; default PreviewTwoLines.
     *
     * An illegal stored number (outside 0..2) logs a warning and yields the default; the
     * stored number is left as it is.
     */
    PreviewLinesType previewLines() const;
    /**
     * Sets previewLines(); see setViewHtml(). Compared with the checked value, so setting
     * the default over an illegal stored number changes nothing.
     */
    void setPreviewLines(PreviewLinesType previewLines, bool notify);
    /// Whether new messages are sent as plain text only; default false.
    bool sendAsPlaintext() const;
    /// Sets sendAsPlaintext(); see setViewHtml().
    void setSendAsPlaintext(bool sendAsPlaintext, bool notify);
    /// The message list's sort order, as the application numbers its orders; default 0.
    int sortKey() const;
    /// Sets sortKey(), any number; see setViewHtml().
    void setSortKey(int sortKey, bool notify);
    /// Bytes of a part fetched for a preview: 2048, a constant rather than a stored option.
    int partialContentSize() const;

Q_SIGNALS:
    /**
     * Options changed: @p flags holds their bits.
     *
     * Emitted when the watched file changed (also with no bit set, when nothing this object
     * holds differs from the file, for instance after its own write), and by setValue()
     * with deferred writing and @p notify, and by updateSettings().
     */
    void settingsChanged(ZavekSettings::Flags flags);

private Q_SLOTS:
    void onStoreChanged(const QString &file);
    void onApplicationExit();

private:
    void warnIfStoreFailed(const char *operation) const;

    QHash<QString, Setting> settings;
    QSettings *settingsStore;
    QFileSystemWatcher *storeWatcher;
    bool notifying;
    bool writeThrough;
    bool exiting;
    // Options changed in this process and not yet handed to settingsStore.
    QSet<QString> pendingWrites;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(ZavekSettings::Flags)
Q_DECLARE_METATYPE(ZavekSettings::Flags)

#endif // ZAVEKSETTINGS_H
