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

// The application's options: nine named options with defaults, kept in the per-user
// settings file (organisation COMPANY, application PACKAGE), watched for changes made by
// other processes and announced through settingsChanged() by change bits.
//
// Changes made here reach the file at once (write-through, the default) or, after
// flushWhenChanged(false), on flush() and at destruction. Only options changed in this
// process are ever written, so a change another process made is never overwritten with
// a stale value.
class ZavekSettings : public QObject
{
    Q_OBJECT
public:
    // One change bit per option. 0x2 belongs to no option.
    enum Flag : quint32 {
        ViewHtml = 0x1,
        ThreadList = 0x4,
        DownloadImages = 0x8,
        SendImmediately = 0x10,
        UseConnectivityManager = 0x20,
        ShowFavouritesInSummary = 0x40,
        PreviewLines = 0x80,
        SendAsPlaintext = 0x100,
        SortKey = 0x200
    };
    Q_DECLARE_FLAGS(Flags, Flag)
    Q_FLAG(Flags)

    enum PreviewLinesType {
        PreviewNone = 0,
        PreviewOneLine = 1,
        PreviewTwoLines = 2
    };
    Q_ENUM(PreviewLinesType)

    // One registered option. value stays invalid until loaded from the file or set.
    class Setting
    {
    public:
        Setting();
        Setting(Flag flag, const QVariant &defaultValue, const QVariant &value);
        virtual ~Setting();

        Flag flag;
        QVariant defaultValue;
        QVariant value;
    };

    static const QString COMPANY;
    static const QString PACKAGE;
    static const QString viewHtmlOption;
    static const QString threadListOption;
    static const QString downloadImagesOption;
    static const QString sendImmediatelyOption;
    static const QString sendAsPlaintextOption;
    static const QString useConnectivityManagerOption;
    static const QString showFavouritesInSummaryOption;
    static const QString previewLinesOption;
    // Published for the application; not registered, so not accepted by getValue/setValue.
    static const QString MessageSwipeSpeedOption;
    static const QString MessageSwipeDistanceOption;
    static const QString sortKeyOption;

    // The process-wide object, constructed on first use and destroyed (with a final
    // flush that reaches the disk) at process exit.
    static ZavekSettings *instance();
    // Tests only: destroys the current instance (its final flush writes what it still
    // holds), then, if discardFile, removes the settings file, and constructs a fresh
    // instance that loads from the file as it is now. Objects that kept the old pointer
    // must not use it any more.
    static void resetInstanceForTesting(bool discardFile = true);

    // Tests may also construct their own objects; each reads and watches the same file.
    explicit ZavekSettings(QObject *parent = nullptr);
    ~ZavekSettings() override;

    // The option's value, or its default when it holds none. Only registered keys.
    QVariant getValue(const QString &key) const;
    // Stores value. With write-through it goes to the file at once; otherwise it is kept
    // for flush() and, with notify, settingsChanged(flag) is emitted now. notify false
    // also stops this object's watch of the file until a later call with notify true.
    void setValue(const QString &key, const QVariant &value, bool notify);
    // Hands every option changed in this process and not yet written to the file.
    void flush(bool notify);
    void flushWhenChanged(bool enable);
    // Reloads one option (or all for an empty key) from the file; returns the bits of
    // those whose value changed. Options changed here and not yet written keep their value.
    Flags loadFromStore(const QString &key);
    void updateSettings(Flags flags);
    // Makes sure that the settings file (and its directory) exists and is watched.
    void addWatcher();
    void setNotify(bool notify);

    bool viewHtml() const;
    void setViewHtml(bool viewHtml, bool notify);
    bool threadedList() const;
    void setThreadedList(bool threadedList, bool notify);
    bool downloadImages() const;
    void setDownloadImages(bool downloadImages, bool notify);
    bool sendImmediately() const;
    void setSendImmediately(bool sendImmediately, bool notify);
    bool useConnectivityManager() const;
    void setUseConnectivityManager(bool useConnectivityManager, bool notify);
    bool showFavouritesInSummary() const;
    void setShowFavouritesInSummary(bool showFavouritesInSummary, bool notify);
    // An illegal stored value (outside 0..2) yields the default, with a warning.
    PreviewLinesType previewLines() const;
    void setPreviewLines(PreviewLinesType previewLines, bool notify);
    bool sendAsPlaintext() const;
    void setSendAsPlaintext(bool sendAsPlaintext, bool notify);
    int sortKey() const;
    void setSortKey(int sortKey, bool notify);
    // Bytes of a part fetched for a preview; a constant, not a stored option.
    int partialContentSize() const;

Q_SIGNALS:
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
