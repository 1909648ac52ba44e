// Plain text into the HTML document: the document must keep its frame, the body must hold
// no markup of the text's own, and undoing the escapes must give back the text exactly.

#include "fuzzsupport.h"

#include "zavekutils.h"

#include <cstring>

namespace {

const QString documentStart = QStringLiteral(
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0//EN\" \"http://www.w3.org/TR/REC-html40/strict.dtd\">\n"
    "<html><head><style type=\"text/css\">"
    "body, p, li { font-family: 'Ulmar Pure', 'Ulmar Standard', sans-serif; }"
    "</style></head><body>");
const QString documentEnd = QStringLiteral("</body></html>");

// Reads the body back, refusing anything the escaping could not have produced.
bool unescape(const QString &body, QString *text)
{
    static const struct {
        QLatin1String escaped;
        QChar plain;
    } sequences[] = {
        {QLatin1String("&amp;"), QLatin1Char('&')},
        {QLatin1String("&lt;"), QLatin1Char('<')},
        {QLatin1String("&gt;"), QLatin1Char('>')},
        {QLatin1String("<br/>"), QLatin1Char('\n')},
    };
    text->clear();
    for (int i = 0; i < body.size();) {
        const QChar c = body.at(i);
        if (c == QLatin1Char('\n') || c == QLatin1Char('>'))
            return false;
        if (c != QLatin1Char('&') && c != QLatin1Char('<')) {
            text->append(c);
            ++i;
            continue;
        }
        bool known = false;
        for (const auto &sequence : sequences) {
            if (QStringView(body).mid(i).startsWith(sequence.escaped)) {
                text->append(sequence.plain);
                i += sequence.escaped.size();
                known = true;
                break;
            }
        }
        if (!known)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    FuzzSupport::setUpSandbox(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte chooses how to read the rest: as UTF-8 (invalid sequences included) or
    // as raw UTF-16 code units, unpaired surrogates and NULs included.
    const char *rest = reinterpret_cast<const char *>(bytes + 1);
    const int restSize = int(size - 1);
    QString text;
    if (bytes[0] & 1) {
        text.resize(restSize / 2);
        if (!text.isEmpty())
            std::memcpy(static_cast<void *>(text.data()), rest, size_t(text.size()) * sizeof(QChar));
    } else {
        text = QString::fromUtf8(rest, restSize);
    }

    const QString html = ZavekUtils::textToHtml(text);
    if (!html.startsWith(documentStart) || !html.endsWith(documentEnd))
        FuzzSupport::fail("document frame broken", html);
    const QString body = html.mid(documentStart.size(), html.size() - documentStart.size() - documentEnd.size());
    QString roundTrip;
    if (!unescape(body, &roundTrip))
        FuzzSupport::fail("body holds markup or a line feed the escaping cannot have made", body);
    if (roundTrip != text)
        FuzzSupport::fail("text changed on the way through", text + QStringLiteral("\n---\n") + roundTrip);
    return 0;
}
