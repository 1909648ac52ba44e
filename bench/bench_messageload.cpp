// Loading a large message (about 20 MB, mostly base64 attachments) from a file through
// QMailMessage::fromRfc2822File, against the MIME library's own parse of the same bytes (in
// the bundled layer's build). Neither side decodes the attachments: the loader keeps bodies
// encoded until they are asked for.
// Argument 0: LF line ends; 1: CRLF line ends (both sides then convert to LF first).
// Built against the real QMF too, so that its own parser is timed on the same message.
// Peak memory is measured apart, one load per process, since a process's high-water mark
// only ever grows:
//   bench_messageload --write FILE [crlf]    writes the message
//   bench_messageload --peak-memory FILE     loads it once, prints the growth of the peak

#include "qmailmessage.h"

#ifdef ZAVEK_BENCH_MIME_BASELINE
// GLib names a struct member "signals", which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <gmime/gmime.h>
#pragma pop_macro("signals")
#endif

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>

namespace {

QByteArray base64Lines(int decodedBytes, char seed)
{
    QByteArray raw(decodedBytes, Qt::Uninitialized);
    quint32 state = quint32(uchar(seed)) * 2654435761u + 1;
    for (int i = 0; i < decodedBytes; ++i) {
        state = state * 1664525u + 1013904223u;
        raw[i] = char(state >> 24);
    }
    const QByteArray encoded = raw.toBase64();
    QByteArray lines;
    lines.reserve(encoded.size() + encoded.size() / 76 + 1);
    for (int i = 0; i < encoded.size(); i += 76) {
        lines.append(encoded.constData() + i, qMin(76, encoded.size() - i));
        lines.append('\n');
    }
    return lines;
}

QByteArray largeMessage(bool crlf)
{
    QByteArray text =
        "From: Bench Sender <sender@bench.example>\n"
        "To: Receiver <receiver@bench.example>\n"
        "Subject: Large message with attachments\n"
        "Date: Tue, 3 Mar 2026 09:14:55 +0100\n"
        "MIME-Version: 1.0\n"
        "Content-Type: multipart/mixed; boundary=\"bench-outer\"\n\n"
        "--bench-outer\n"
        "Content-Type: multipart/alternative; boundary=\"bench-alt\"\n\n"
        "--bench-alt\nContent-Type: text/plain; charset=utf-8\n\nThe files are attached.\n"
        "--bench-alt\nContent-Type: text/html; charset=utf-8\n\n<p>The files are attached.</p>\n"
        "--bench-alt--\n\n";
    for (int i = 0; i < 5; ++i) {
        text += "--bench-outer\n"
                "Content-Type: application/octet-stream; name=\"file" + QByteArray::number(i) + ".bin\"\n"
                "Content-Disposition: attachment; filename=\"file" + QByteArray::number(i) + ".bin\"\n"
                "Content-Transfer-Encoding: base64\n\n";
        text += base64Lines(3 * 1024 * 1024, char('a' + i));
    }
    text += "--bench-outer--\n";
    if (crlf)
        text.replace("\n", "\r\n");
    return text;
}

struct MessageFile {
    QTemporaryDir dir;
    QString path;
    qint64 size = 0;

    explicit MessageFile(bool crlf)
    {
        path = dir.filePath(QStringLiteral("large.eml"));
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            size = file.write(largeMessage(crlf));
    }
};

MessageFile &messageFile(bool crlf)
{
    static MessageFile lf(false);
    static MessageFile withCr(true);
    return crlf ? withCr : lf;
}

void BM_QmfFromRfc2822File(benchmark::State &state)
{
    const MessageFile &file = messageFile(state.range(0) != 0);
    for (auto _ : state) {
        const QMailMessage message = QMailMessage::fromRfc2822File(file.path);
        if (message.partCount() != 6)
            state.SkipWithError("unexpected structure");
        benchmark::DoNotOptimize(message.partAt(5).body().length());
    }
    state.SetBytesProcessed(state.iterations() * file.size);
}

#ifdef ZAVEK_BENCH_MIME_BASELINE
void BM_GMimeParse(benchmark::State &state)
{
    const bool crlf = state.range(0) != 0;
    const MessageFile &file = messageFile(crlf);
    g_mime_init();
    for (auto _ : state) {
        QFile input(file.path);
        if (!input.open(QIODevice::ReadOnly)) {
            state.SkipWithError("cannot read");
            break;
        }
        QByteArray bytes = input.readAll();
        if (crlf)
            bytes.replace("\r\n", "\n");
        GMimeStream *stream = g_mime_stream_mem_new_with_buffer(bytes.constData(), size_t(bytes.size()));
        GMimeParser *parser = g_mime_parser_new_with_stream(stream);
        GMimeObject *root = g_mime_parser_construct_part(parser, nullptr);
        if (!GMIME_IS_MULTIPART(root) || g_mime_multipart_get_count(GMIME_MULTIPART(root)) != 6)
            state.SkipWithError("unexpected structure");
        else
            benchmark::DoNotOptimize(g_mime_multipart_get_part(GMIME_MULTIPART(root), 5));
        if (root)
            g_object_unref(root);
        g_object_unref(parser);
        g_object_unref(stream);
    }
    state.SetBytesProcessed(state.iterations() * file.size);
}

BENCHMARK(BM_GMimeParse)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
#endif

// The process's resident high-water mark in kB (VmHWM).
long peakResidentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text))
        return -1;
    // A /proc file has no size, so it is read whole rather than line by line to its end.
    const QList<QByteArray> lines = status.readAll().split('\n');
    for (const QByteArray &line : lines) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

int peakMemory(const QString &path)
{
    const long before = peakResidentKb();
    const QMailMessage message = QMailMessage::fromRfc2822File(path);
    const long after = peakResidentKb();
    if (message.partCount() != 6 || before < 0 || after < 0) {
        std::fprintf(stderr, "bench_messageload: cannot load %s\n", qPrintable(path));
        return 1;
    }
    std::printf("peak memory growth while loading: %ld kB (file %lld kB)\n", after - before,
                static_cast<long long>(QFile(path).size() / 1024));
    return 0;
}

} // namespace

BENCHMARK(BM_QmfFromRfc2822File)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    if (argc >= 3 && std::strcmp(argv[1], "--write") == 0) {
        QFile file(QString::fromLocal8Bit(argv[2]));
        const bool crlf = argc > 3 && std::strcmp(argv[3], "crlf") == 0;
        return file.open(QIODevice::WriteOnly) && file.write(largeMessage(crlf)) > 0 ? 0 : 1;
    }
    // The real QMF wants an application object for its store and codecs.
    QCoreApplication app(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--peak-memory") == 0)
        return peakMemory(QString::fromLocal8Bit(argv[2]));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
