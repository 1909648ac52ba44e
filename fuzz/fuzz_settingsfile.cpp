// The per-user settings file with arbitrary content: reading it, changing options over it
// and reading it again must never crash or hang, every option set must come back from the
// rewritten file, and every option left alone must keep the value it was read with.

#include "fuzzsupport.h"

#include "zaveksettings.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include <utime.h>

namespace {

QString settingsPath;

struct Options {
    bool viewHtml, threadedList, downloadImages, sendImmediately, useConnectivityManager, showFavouritesInSummary,
        sendAsPlaintext;
    ZavekSettings::PreviewLinesType previewLines;
    int sortKey;

    bool operator==(const Options &other) const
    {
        return viewHtml == other.viewHtml && threadedList == other.threadedList && downloadImages == other.downloadImages
               && sendImmediately == other.sendImmediately && useConnectivityManager == other.useConnectivityManager
               && showFavouritesInSummary == other.showFavouritesInSummary && sendAsPlaintext == other.sendAsPlaintext
               && previewLines == other.previewLines && sortKey == other.sortKey;
    }
};

QString describe(const Options &o)
{
    return QStringLiteral("html %1 thread %2 images %3 send %4 conn %5 fav %6 plain %7 preview %8 sort %9")
        .arg(o.viewHtml).arg(o.threadedList).arg(o.downloadImages).arg(o.sendImmediately).arg(o.useConnectivityManager)
        .arg(o.showFavouritesInSummary).arg(o.sendAsPlaintext).arg(int(o.previewLines)).arg(o.sortKey);
}

Options readAll(ZavekSettings &settings)
{
    const Options options{settings.viewHtml(),
                          settings.threadedList(),
                          settings.downloadImages(),
                          settings.sendImmediately(),
                          settings.useConnectivityManager(),
                          settings.showFavouritesInSummary(),
                          settings.sendAsPlaintext(),
                          settings.previewLines(),
                          settings.sortKey()};
    if (uint(options.previewLines) > uint(ZavekSettings::PreviewTwoLines))
        FuzzSupport::fail("preview lines outside their range", describe(options));
    if (settings.partialContentSize() != 2048)
        FuzzSupport::fail("partial content size changed");
    return options;
}

// QSettings re-reads a file only when its size or time stamp changed; a fresh, later time
// stamp for every write makes sure each object parses what is on disk now.
void touch()
{
    static time_t stamp = 1000000000;
    ++stamp;
    const utimbuf times{stamp, stamp};
    ::utime(QFile::encodeName(settingsPath).constData(), &times);
}

void writeFile(const QByteArray &content)
{
    QFile file(settingsPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) != content.size())
        FuzzSupport::fail("cannot write the settings file", file.errorString());
    file.close();
    touch();
}

// New values chosen from the input, so that the same input always sets the same options.
Options changed(const Options &old, const QByteArray &seed, quint32 *which)
{
    const QByteArray digest = QCryptographicHash::hash(seed, QCryptographicHash::Sha1);
    const auto byte = [&digest](int i) { return quint8(digest.at(i)); };
    *which = quint32(byte(0)) | quint32(byte(1)) << 8;
    Options next = old;
    next.viewHtml = byte(2) & 1;
    next.threadedList = byte(2) & 2;
    next.downloadImages = byte(2) & 4;
    next.sendImmediately = byte(2) & 8;
    next.useConnectivityManager = byte(2) & 16;
    next.showFavouritesInSummary = byte(2) & 32;
    next.sendAsPlaintext = byte(2) & 64;
    next.previewLines = ZavekSettings::PreviewLinesType(byte(3) % 3);
    next.sortKey = int(quint32(byte(4)) | quint32(byte(5)) << 8 | quint32(byte(6)) << 16 | quint32(byte(7)) << 24);
    return next;
}

Options apply(ZavekSettings &settings, const Options &old, const Options &next, quint32 which)
{
    // Bit 9 chooses write-through or one flush at the end.
    settings.flushWhenChanged(!(which & 0x200));
    Options expected = old;
    const bool notify = which & 0x400;
    if (which & 0x1) {
        settings.setViewHtml(next.viewHtml, notify);
        expected.viewHtml = next.viewHtml;
    }
    if (which & 0x2) {
        settings.setThreadedList(next.threadedList, notify);
        expected.threadedList = next.threadedList;
    }
    if (which & 0x4) {
        settings.setDownloadImages(next.downloadImages, notify);
        expected.downloadImages = next.downloadImages;
    }
    if (which & 0x8) {
        settings.setSendImmediately(next.sendImmediately, notify);
        expected.sendImmediately = next.sendImmediately;
    }
    if (which & 0x10) {
        settings.setUseConnectivityManager(next.useConnectivityManager, notify);
        expected.useConnectivityManager = next.useConnectivityManager;
    }
    if (which & 0x20) {
        settings.setShowFavouritesInSummary(next.showFavouritesInSummary, notify);
        expected.showFavouritesInSummary = next.showFavouritesInSummary;
    }
    if (which & 0x40) {
        settings.setSendAsPlaintext(next.sendAsPlaintext, notify);
        expected.sendAsPlaintext = next.sendAsPlaintext;
    }
    if (which & 0x80) {
        settings.setPreviewLines(next.previewLines, notify);
        expected.previewLines = next.previewLines;
    }
    if (which & 0x100) {
        settings.setSortKey(next.sortKey, notify);
        expected.sortKey = next.sortKey;
    }
    if (which & 0x200)
        settings.flush(notify);
    return expected;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    FuzzSupport::setUpSandbox(argc, argv);
    settingsPath = QSettings(ZavekSettings::COMPANY, ZavekSettings::PACKAGE).fileName();
    QDir().mkpath(QFileInfo(settingsPath).absolutePath());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    const QByteArray content(reinterpret_cast<const char *>(bytes), int(size));
    writeFile(content);

    quint32 which = 0;
    Options expected;
    {
        ZavekSettings settings;
        const Options read = readAll(settings);
        // Reloading the same file, whole or one option at a time, changes no value. (An
        // entry that holds no value, such as @Invalid(), is reported as changed each time.)
        settings.loadFromStore(QString());
        for (const QString &key : {ZavekSettings::viewHtmlOption, ZavekSettings::previewLinesOption, ZavekSettings::sortKeyOption})
            settings.loadFromStore(key);
        if (!(readAll(settings) == read))
            FuzzSupport::fail("values changed on reload", describe(read));

        // changed() sets which: call it before apply() reads it.
        const Options next = changed(read, content, &which);
        expected = apply(settings, read, next, which);
        const Options now = readAll(settings);
        if (!(now == expected))
            FuzzSupport::fail("set values do not read back", describe(now) + QStringLiteral("\nexpected ") + describe(expected));
        // Destruction writes what is still pending.
    }

    touch();
    {
        ZavekSettings reread;
        const Options now = readAll(reread);
        if (!(now == expected))
            FuzzSupport::fail("options lost in the file", describe(now) + QStringLiteral("\nexpected ") + describe(expected));

        // The same bytes again while watched: the change arrives through the watcher.
        writeFile(content);
        QCoreApplication::processEvents();
        readAll(reread);
    }
    return 0;
}
