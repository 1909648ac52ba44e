// Loading a large message (about 20 MB, mostly base64 attachments) from a file through
// QMailMessage::fromRfc2822File, against KMime's own parse of the same bytes. Neither side
// decodes the attachments: the loader keeps bodies encoded until they are asked for.
// Argument 0: LF line ends; 1: CRLF line ends (both sides then convert to LF first).

#include "qmailmessage.h"

#include <KMime/Message>

#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>

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
        text = KMime::LFtoCRLF(text);
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

void BM_KMimeParse(benchmark::State &state)
{
    const bool crlf = state.range(0) != 0;
    const MessageFile &file = messageFile(crlf);
    for (auto _ : state) {
        QFile input(file.path);
        if (!input.open(QIODevice::ReadOnly)) {
            state.SkipWithError("cannot read");
            break;
        }
        const QByteArray bytes = input.readAll();
        KMime::Message message;
        message.setContent(crlf ? KMime::CRLFtoLF(bytes) : bytes);
        message.parse();
        if (message.contents().size() != 6)
            state.SkipWithError("unexpected structure");
        benchmark::DoNotOptimize(message.contents().last()->body().size());
    }
    state.SetBytesProcessed(state.iterations() * file.size);
}

} // namespace

BENCHMARK(BM_QmfFromRfc2822File)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KMimeParse)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
