#include "qmailmessage_p.h"

const char qmfPartialContentField[] = "X-qmf-internal-partial-content";

namespace QmfMessageCodec {

QMailMessageBody::TransferEncoding encodingFromName(const QByteArray &name)
{
    const QByteArray lower = name.trimmed().toLower();
    if (lower == "7bit")
        return QMailMessageBody::SevenBit;
    if (lower == "8bit")
        return QMailMessageBody::EightBit;
    if (lower == "base64")
        return QMailMessageBody::Base64;
    if (lower == "quoted-printable")
        return QMailMessageBody::QuotedPrintable;
    if (lower == "binary")
        return QMailMessageBody::Binary;
    return QMailMessageBody::NoEncoding;
}

QByteArray encodingName(QMailMessageBody::TransferEncoding encoding)
{
    switch (encoding) {
    case QMailMessageBody::SevenBit:
        return "7bit";
    case QMailMessageBody::EightBit:
        return "8bit";
    case QMailMessageBody::Base64:
        return "base64";
    case QMailMessageBody::QuotedPrintable:
        return "quoted-printable";
    case QMailMessageBody::Binary:
        return "binary";
    case QMailMessageBody::NoEncoding:
        break;
    }
    return QByteArray();
}

} // namespace QmfMessageCodec
