#include "zaveksettings.h"

#include "zavekglobal.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QSettings>

#include <algorithm>
#include <cstring>
#include <memory>

const QString ZavekSettings::COMPANY = QStringLiteral("Ulmar");
const QString ZavekSettings::PACKAGE = QStringLiteral("Zavek");
const QString ZavekSettings::viewHtmlOption = QStringLiteral("viewHtmlMailFormat");
const QString ZavekSettings::threadListOption = QStringLiteral("messageListOption");
const QString ZavekSettings::downloadImagesOption = QStringLiteral("downloadImagesOption");
const QString ZavekSettings::sendImmediatelyOption = QStringLiteral("sendMessagesOption");
const QString ZavekSettings::sendAsPlaintextOption = QStringLiteral("sendAsPlaintext");
const QString ZavekSettings::useConnectivityManagerOption = QStringLiteral("useConnectivityManager");
const QString ZavekSettings::showFavouritesInSummaryOption = QStringLiteral("showFavouritesInSummary");
const QString ZavekSettings::previewLinesOption = QStringLiteral("previewLines");
const QString ZavekSettings::MessageSwipeSpeedOption = QStringLiteral("messageSwipeSpeed");
const QString ZavekSettings::MessageSwipeDistanceOption = QStringLiteral("messageSwipeDistance");
const QString ZavekSettings::sortKeyOption = QStringLiteral("sortKey");

ZavekSettings::Setting::Setting()
    : flag(Flag(0))
{
}

ZavekSettings::Setting::Setting(Flag flag, const QVariant &defaultValue, const QVariant &value)
    : flag(flag)
    , defaultValue(defaultValue)
    , value(value)
{
}

ZavekSettings::Setting::~Setting() = default;

namespace {

// The singleton lives in a holder so that tests can replace it; the holder itself is a
// function-local static, so first construction is thread-safe and destruction happens
// at process exit.
std::unique_ptr<ZavekSettings> &instanceSlot()
{
    static std::unique_ptr<ZavekSettings> slot(new ZavekSettings(nullptr));
    return slot;
}

// QSettings reads a value "@Variant(...)" with QDataStream, and Qt's reading of a list
// reserves room for as many elements as the data claims before reading one: a few bytes
// claiming hundreds of millions make every reader of the file abort, or take gigabytes.
// The store never gets to such a value: what Qt's INI reading makes of the text (escapes
// undone, quotes dropped) is searched for "@Variant(" with any type but a plain number or
// text, and the lines it comes from are removed from the file first. Text that only looks
// like such a value (in a comment, inside a longer string) may go too.
const char plainEscapes[] = "abfnrtv\"?'\\";
const char plainEscapeValues[] = "\a\b\f\n\r\t\v\"?'\\";

int digitValue(char c, int base)
{
    const int value = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : 99;
    return value < base ? value : -1;
}

// Where a value ends: a line end outside quotes, or a ';' that starts a comment.
const uint endOfValue = 0x10000;

// The characters of the text as the store decodes them, endOfValue where a value ends,
// and the line (counted by '\n') each one starts on. Comments are left out.
void decodeIniText(const QByteArray &data, QVector<uint> *text, QVector<int> *lines)
{
    int line = 0;
    bool quoted = false;
    bool comment = false;
    const int n = data.size();
    for (int i = 0; i < n;) {
        const int startLine = line;
        const char c = data.at(i++);
        line += c == '\n';
        uint value = uchar(c);
        bool produced = true;
        if ((c == '\n' || c == '\r') && !quoted) {
            value = endOfValue;
            comment = false;
        } else if (comment) {
            produced = false;
        } else if (c == ';' && !quoted) {
            // Opening a line or not, the rest of the line is a comment to the store.
            value = endOfValue;
            comment = true;
        } else if (c == '"') {
            quoted = !quoted;
            produced = false;
        } else if (c == '\\') {
            produced = false;
            if (i < n) {
                const char e = data.at(i++);
                line += e == '\n';
                const char *plain = e ? std::strchr(plainEscapes, e) : nullptr;
                if (plain) {
                    value = uchar(plainEscapeValues[plain - plainEscapes]);
                    produced = true;
                } else if (e == 'x' || digitValue(e, 8) >= 0) {
                    // Digits run on as far as they go; the store keeps the low 16 bits.
                    const int base = e == 'x' ? 16 : 8;
                    value = e == 'x' ? 0 : uint(digitValue(e, 8));
                    produced = e != 'x';
                    for (int d; i < n && (d = digitValue(data.at(i), base)) >= 0; ++i, produced = true)
                        value = (value * uint(base) + uint(d)) & 0xffff;
                } else if ((e == '\n' || e == '\r') && i < n && (data.at(i) == '\n' || data.at(i) == '\r') && data.at(i) != e) {
                    // A line continuation takes a two-character line end whole.
                    line += data.at(i++) == '\n';
                }
            }
        }
        if (value == endOfValue)
            quoted = false;
        if (produced) {
            text->append(value);
            lines->append(startLine);
        }
    }
}

// Lines (from 0) that make a value the store would decode with a type other than a bool,
// a number, a character, text or bytes.
QSet<int> undecodableLines(const QByteArray &data)
{
    static const QSet<quint32> plainTypes{1, 2, 3, 4, 5, 6, 7, 10, 12};
    static const char marker[] = "@Variant(";
    const int markerSize = int(sizeof(marker)) - 1;
    QVector<uint> text;
    QVector<int> lines;
    decodeIniText(data, &text, &lines);
    QSet<int> result;
    for (int at = 0; at + markerSize + 4 <= text.size(); ++at) {
        int matched = 0;
        while (matched < markerSize && text.at(at + matched) == uchar(marker[matched]))
            ++matched;
        if (matched < markerSize)
            continue;
        // The type's four bytes; a value that ends before them decodes to nothing. The store
        // makes '?' of a character past Latin-1, a type that loads nothing; taking its low
        // byte instead can only remove more.
        const int type = at + markerSize;
        quint32 id = 0;
        bool complete = true;
        for (int i = type; i < type + 4; ++i) {
            complete = complete && text.at(i) != endOfValue;
            id = id << 8 | uchar(text.at(i));
        }
        if (complete && !plainTypes.contains(id)) {
            for (int line = lines.at(at); line <= lines.at(type + 3); ++line)
                result.insert(line);
        }
    }
    return result;
}

// Removes such lines from the file at path, with a warning; true when it changed the file.
bool removeUndecodableEntries(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QByteArray data = file.readAll();
    file.close();
    int removed = 0;
    // Taking lines out can join what was apart, so look again until nothing is found.
    for (QSet<int> bad = undecodableLines(data); !bad.isEmpty(); bad = undecodableLines(data)) {
        QList<QByteArray> kept;
        const QList<QByteArray> all = data.split('\n');
        for (int i = 0; i < all.size(); ++i) {
            if (!bad.contains(i))
                kept.append(all.at(i));
        }
        removed += bad.size();
        data = kept.join('\n');
    }
    if (removed == 0)
        return false;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(data) != data.size()) {
        qWarning().noquote() << "ZavekSettings: the settings file" << path
                             << "holds values that no reader can decode safely and cannot be repaired:" << file.errorString();
        return false;
    }
    qWarning().noquote() << "ZavekSettings: the settings file" << path
                         << "holds values that no reader can decode safely; lines removed:" << removed;
    return true;
}

// A key the store lists but no lookup reaches: lookups drop leading, trailing and doubled
// slashes, so entries under an empty group name ("[]") and the like are invisible to every
// reader.
bool unreachable(const QString &key)
{
    return key.startsWith(QLatin1Char('/')) || key.endsWith(QLatin1Char('/')) || key.contains(QLatin1String("//"));
}

bool holdsUnreachable(const QSettings &store)
{
    const QStringList keys = store.allKeys();
    return std::any_of(keys.cbegin(), keys.cend(), unreachable);
}

// Writing the file moves unreachable entries where readers look ("/previewLines" becomes
// "previewLines"), so one would replace a value the application has been using. Before a
// write they are dropped; every entry a reader can see is written back as it is.
void dropUnreachable(QSettings &store)
{
    if (!holdsUnreachable(store))
        return;
    // Taken from the file as it is now, so that no other process's change is written over.
    removeUndecodableEntries(store.fileName());
    store.sync();
    if (!holdsUnreachable(store))
        return;
    QVector<QPair<QString, QVariant>> kept;
    for (const QString &key : store.allKeys()) {
        if (!unreachable(key))
            kept.append(qMakePair(key, store.value(key)));
    }
    store.clear();
    for (const auto &entry : qAsConst(kept))
        store.setValue(entry.first, entry.second);
    qWarning().noquote() << "ZavekSettings: the settings file" << store.fileName()
                         << "holds entries that no reader can see; they are dropped as it is written";
}

// The store writes a bool or a number as plain text, which reads back as text: a sortKey
// stored as a typed true (1 to the application) would come back as "true" (0). Before the
// store rewrites the file, an option whose stored value would read otherwise afterwards is
// given the value the application reads, in the option's own type.
void keepOptionsThroughRewrite(QSettings &store, const QHash<QString, ZavekSettings::Setting> &settings)
{
    for (auto it = settings.cbegin(); it != settings.cend(); ++it) {
        const QVariant stored = store.value(it.key());
        const int type = it->defaultValue.userType();
        if (!stored.isValid() || stored.userType() == type)
            continue;
        // Every option is a bool or an int, read as the getters read it.
        const auto asRead = [type](const QVariant &value) {
            return type == QMetaType::Bool ? QVariant(value.toBool()) : QVariant(value.toInt());
        };
        const QVariant now = asRead(stored);
        if (now != asRead(stored.toString()))
            store.setValue(it.key(), now);
    }
}

} // namespace

ZavekSettings *ZavekSettings::instance()
{
    return instanceSlot().get();
}

void ZavekSettings::resetInstanceForTesting(bool discardFile)
{
    std::unique_ptr<ZavekSettings> &slot = instanceSlot();
    QString fileName = slot->settingsStore->fileName();
    slot.reset();
    if (discardFile)
        QFile::remove(fileName);
    slot.reset(new ZavekSettings(nullptr));
}

ZavekSettings::ZavekSettings(QObject *parent)
    : QObject(parent)
    , settingsStore(nullptr)
    , storeWatcher(nullptr)
    , notifying(false)
    , writeThrough(true)
    , exiting(false)
{
    qRegisterMetaType<ZavekSettings::Flags>("ZavekSettings::Flags");

    settings.insert(viewHtmlOption, Setting(ViewHtml, QVariant(true), QVariant()));
    settings.insert(threadListOption, Setting(ThreadList, QVariant(false), QVariant()));
    settings.insert(downloadImagesOption, Setting(DownloadImages, QVariant(true), QVariant()));
    settings.insert(sendImmediatelyOption, Setting(SendImmediately, QVariant(true), QVariant()));
    settings.insert(sendAsPlaintextOption, Setting(SendAsPlaintext, QVariant(false), QVariant()));
    settings.insert(useConnectivityManagerOption, Setting(UseConnectivityManager, QVariant(true), QVariant()));
    settings.insert(showFavouritesInSummaryOption, Setting(ShowFavouritesInSummary, QVariant(true), QVariant()));
    settings.insert(previewLinesOption, Setting(PreviewLines, QVariant(2), QVariant()));
    settings.insert(sortKeyOption, Setting(SortKey, QVariant(0), QVariant()));

    settingsStore = new QSettings(COMPANY, PACKAGE);
    Q_ASSERT(settingsStore);
    // The store has read the file but decoded nothing yet.
    if (removeUndecodableEntries(settingsStore->fileName()))
        settingsStore->sync();
    warnIfStoreFailed("read");

    addWatcher();
    setNotify(true);
    loadFromStore(QString());
}

ZavekSettings::~ZavekSettings()
{
    flush(true);
    // Destroying the store synchronises it, so the final flush really reaches the disk.
    removeUndecodableEntries(settingsStore->fileName());
    settingsStore->sync();
    warnIfStoreFailed("written");
    delete settingsStore;
    settingsStore = nullptr;
}

void ZavekSettings::warnIfStoreFailed(const char *operation) const
{
    // A malformed file is still written over; only an access error loses a write. The store
    // calls a file whose entries it cannot reach well-formed.
    const QSettings::Status status = settingsStore->status();
    const bool failed = qstrcmp(operation, "read") == 0 ? status != QSettings::NoError || holdsUnreachable(*settingsStore)
                                                       : status == QSettings::AccessError;
    if (!failed)
        return;
    const char *reason = status == QSettings::AccessError ? "cannot be accessed" : "is malformed";
    qWarning().noquote() << "ZavekSettings: the settings file" << settingsStore->fileName() << reason
                         << "and was not fully" << operation;
}

QVariant ZavekSettings::getValue(const QString &key) const
{
    Q_ASSERT(settings.contains(key));
    const auto it = settings.constFind(key);
    if (it == settings.constEnd())
        return QVariant();
    return it->value.isValid() ? it->value : it->defaultValue;
}

void ZavekSettings::setValue(const QString &key, const QVariant &value, bool notify)
{
    Q_ASSERT(settings.contains(key));
    const auto it = settings.find(key);
    if (it == settings.end())
        return;

    addWatcher();
    setNotify(notify);
    it->value = value;

    if (writeThrough) {
        dropUnreachable(*settingsStore);
        keepOptionsThroughRewrite(*settingsStore, settings);
        settingsStore->setValue(key, value);
        pendingWrites.remove(key);
    } else {
        pendingWrites.insert(key);
        if (notify)
            Q_EMIT settingsChanged(Flags(it->flag));
    }
}

void ZavekSettings::flush(bool notify)
{
    addWatcher();
    setNotify(notify);

    const QSet<QString> keys = pendingWrites;
    pendingWrites.clear();
    for (const QString &key : keys) {
        const Setting &setting = settings[key];
        if (!setting.value.isValid())
            continue;
        if (settingsStore->value(key, setting.defaultValue) != setting.value) {
            dropUnreachable(*settingsStore);
            keepOptionsThroughRewrite(*settingsStore, settings);
            settingsStore->setValue(key, setting.value);
        }
    }
}

void ZavekSettings::flushWhenChanged(bool enable)
{
    writeThrough = enable;
}

ZavekSettings::Flags ZavekSettings::loadFromStore(const QString &key)
{
    Flags changed;
    QStringList keys;
    if (!key.isEmpty()) {
        Q_ASSERT(settings.contains(key));
        if (!settings.contains(key))
            return changed;
        keys.append(key);
    } else {
        keys = settings.keys();
    }

    for (const QString &name : qAsConst(keys)) {
        // A change of ours that the file does not hold yet wins over the file.
        if (pendingWrites.contains(name))
            continue;
        Setting &setting = settings[name];
        QVariant stored = settingsStore->value(name, setting.defaultValue);
        if (!stored.isValid()) {
            // An entry without a usable value (such as "@Invalid()") counts as absent: kept as
            // it is, it would differ from itself at every reload and announce a change each time.
            qWarning().noquote() << "ZavekSettings: the settings file holds no usable value for" << name
                                 << "- the default is used";
            stored = setting.defaultValue;
        }
        if (!setting.value.isValid() || setting.value != stored) {
            setting.value = stored;
            changed |= setting.flag;
        }
    }
    return changed;
}

void ZavekSettings::updateSettings(Flags flags)
{
    Q_EMIT settingsChanged(flags);
}

void ZavekSettings::addWatcher()
{
    if (!storeWatcher) {
        if (!QCoreApplication::instance() || exiting)
            return;
        storeWatcher = new QFileSystemWatcher(this);
        ENFORCE(connect(QCoreApplication::instance(), SIGNAL(aboutToQuit()), this, SLOT(onApplicationExit())));
    }

    const QString path = settingsStore->fileName();
    if (storeWatcher->files().contains(path))
        return;

    QFile file(path);
    if (!file.exists())
        // A fresh device has no configuration directory yet; without it the file could not
        // be created and changes of other processes would go unnoticed.
        QDir().mkpath(QFileInfo(path).absolutePath());
    // Opening also catches something other than a file in the file's place.
    if (!QFileInfo(path).isFile()) {
        if (!file.open(QIODevice::ReadWrite)) {
            qWarning().noquote() << "void ZavekSettings::addWatcher()"
                                 << "The configuration file cannot be watched for changes! Re-start this process to try again!"
                                 << file.errorString() << "Error code: " << int(file.error());
            return;
        }
        file.close();
    }
    storeWatcher->addPath(path);
}

void ZavekSettings::setNotify(bool notify)
{
    if (!storeWatcher)
        return;
    if (notify && !notifying) {
        // While nobody listened, a replacement of the file may have dropped it from the
        // watcher; listening again must also mean watching again.
        const QString path = settingsStore->fileName();
        if (QFileInfo(path).isFile() && !storeWatcher->files().contains(path))
            storeWatcher->addPath(path);
        ENFORCE(QObject::connect(storeWatcher, SIGNAL(fileChanged(QString)), this, SLOT(onStoreChanged(QString))));
        notifying = true;
    } else if (!notify && notifying) {
        ENFORCE(QObject::disconnect(storeWatcher, SIGNAL(fileChanged(QString)), this, SLOT(onStoreChanged(QString))));
        notifying = false;
    }
}

void ZavekSettings::onStoreChanged(const QString &file)
{
    Q_UNUSED(file)
    const QString path = settingsStore->fileName();
    // A file replaced by rename or deleted can stay listed while the watch still sits on the
    // old, unlinked file, which then never reports again: watch the path afresh, before the
    // file is read, so that no change falls between the read and the new watch. A file we
    // cannot read cannot be watched anew; the old watch is the only one we can have then.
    const QFileInfo info(path);
    if (storeWatcher && (!info.exists() || info.isReadable()))
        storeWatcher->removePath(path);
    addWatcher();
    if (QFile::exists(path)) {
        // A file we cannot read says nothing about the options, and re-reading it would make
        // the store drop what it holds: keep the values known so far.
        if (!QFileInfo(path).isReadable()) {
            qWarning().noquote() << "ZavekSettings: the settings file" << path
                                 << "cannot be accessed and was not fully read";
            Q_EMIT settingsChanged(Flags());
            return;
        }
        removeUndecodableEntries(path);
        settingsStore->sync();
        warnIfStoreFailed("read");
    }
    const Flags flags = loadFromStore(QString());
    Q_EMIT settingsChanged(flags);
}

void ZavekSettings::onApplicationExit()
{
    exiting = true;
    if (storeWatcher) {
        delete storeWatcher;
        storeWatcher = nullptr;
    }
}

bool ZavekSettings::viewHtml() const
{
    return getValue(viewHtmlOption).toBool();
}

void ZavekSettings::setViewHtml(bool viewHtml, bool notify)
{
    if (this->viewHtml() != viewHtml)
        setValue(viewHtmlOption, QVariant(viewHtml), notify);
}

bool ZavekSettings::threadedList() const
{
    return getValue(threadListOption).toBool();
}

void ZavekSettings::setThreadedList(bool threadedList, bool notify)
{
    if (this->threadedList() != threadedList)
        setValue(threadListOption, QVariant(threadedList), notify);
}

bool ZavekSettings::downloadImages() const
{
    return getValue(downloadImagesOption).toBool();
}

void ZavekSettings::setDownloadImages(bool downloadImages, bool notify)
{
    if (this->downloadImages() != downloadImages)
        setValue(downloadImagesOption, QVariant(downloadImages), notify);
}

bool ZavekSettings::sendImmediately() const
{
    return getValue(sendImmediatelyOption).toBool();
}

void ZavekSettings::setSendImmediately(bool sendImmediately, bool notify)
{
    if (this->sendImmediately() != sendImmediately)
        setValue(sendImmediatelyOption, QVariant(sendImmediately), notify);
}

bool ZavekSettings::useConnectivityManager() const
{
    return getValue(useConnectivityManagerOption).toBool();
}

void ZavekSettings::setUseConnectivityManager(bool useConnectivityManager, bool notify)
{
    if (this->useConnectivityManager() != useConnectivityManager)
        setValue(useConnectivityManagerOption, QVariant(useConnectivityManager), notify);
}

bool ZavekSettings::showFavouritesInSummary() const
{
    return getValue(showFavouritesInSummaryOption).toBool();
}

void ZavekSettings::setShowFavouritesInSummary(bool showFavouritesInSummary, bool notify)
{
    if (this->showFavouritesInSummary() != showFavouritesInSummary)
        setValue(showFavouritesInSummaryOption, QVariant(showFavouritesInSummary), notify);
}

ZavekSettings::PreviewLinesType ZavekSettings::previewLines() const
{
    const int value = getValue(previewLinesOption).toInt();
    if (uint(value) <= uint(PreviewTwoLines))
        return PreviewLinesType(value);
    qWarning() << "ZavekSettings::PreviewLinesType ZavekSettings::previewLines() const"
               << "Illegal PreviewLinesType value:" << value << "Returning default value instead";
    return PreviewLinesType(settings.value(previewLinesOption).defaultValue.toInt());
}

void ZavekSettings::setPreviewLines(PreviewLinesType previewLines, bool notify)
{
    if (this->previewLines() != previewLines)
        setValue(previewLinesOption, QVariant(int(previewLines)), notify);
}

bool ZavekSettings::sendAsPlaintext() const
{
    return getValue(sendAsPlaintextOption).toBool();
}

void ZavekSettings::setSendAsPlaintext(bool sendAsPlaintext, bool notify)
{
    if (this->sendAsPlaintext() != sendAsPlaintext)
        setValue(sendAsPlaintextOption, QVariant(sendAsPlaintext), notify);
}

int ZavekSettings::sortKey() const
{
    return getValue(sortKeyOption).toInt();
}

void ZavekSettings::setSortKey(int sortKey, bool notify)
{
    if (this->sortKey() != sortKey)
        setValue(sortKeyOption, QVariant(sortKey), notify);
}

int ZavekSettings::partialContentSize() const
{
    return 2048;
}
