#ifndef QMAILCODEC_H
#define QMAILCODEC_H

#include "qmailglobal.h"

#include <QByteArray>
#include <QDataStream>
#include <QString>
#include <QTextStream>

class QTextCodec;

// Converts between arbitrary octets and 7-bit ASCII text, in chunks, so that bodies can
// be streamed. Each instance keeps the state of one conversion: use a fresh one per run.
class QMF_EXPORT QMailCodec
{
public:
    enum { ChunkCharacters = 8192 };

    virtual ~QMailCodec();

    virtual QString name() const = 0;

    // Text is first converted to (or, decoding, from) charset.
    virtual void encode(QDataStream &out, QTextStream &in, const QByteArray &charset = "UTF-8");
    virtual void decode(QTextStream &out, QDataStream &in, const QByteArray &charset);

    virtual void encode(QDataStream &out, QDataStream &in);
    virtual void decode(QDataStream &out, QDataStream &in);

    QByteArray encode(const QString &in, const QByteArray &charset = "UTF-8");
    QString decode(const QByteArray &in, const QByteArray &charset);

    QByteArray encode(const QByteArray &in);
    QByteArray decode(const QByteArray &in);

    // The text codec for a MIME charset name, mapping names mail software uses loosely
    // (us-ascii read as Latin-1 when translateAscii, gb2312 as gb18030, ...); null if none.
    static QTextCodec *codecForName(const QByteArray &charset, bool translateAscii = true);
    static QByteArray bestCompatibleCharset(const QByteArray &charset, bool translateAscii);
    static void copy(QDataStream &out, QDataStream &in);
    static void copy(QTextStream &out, QDataStream &in, const QByteArray &charset = "UTF-8");
    // "UTF-8" for 8-bit text that is valid UTF-8, else "" (the platform library asks a
    // statistical detector, which names other charsets too).
    static QString autoDetectEncoding(const QByteArray &text);
    // The modified UTF-7 of IMAP mailbox names (RFC 3501, 5.1.3).
    static QString encodeModifiedUtf7(const QString &text);
    static QString decodeModifiedUtf7(const QString &text);

protected:
    virtual void encodeChunk(QDataStream &out, const unsigned char *in, int length, bool finalChunk) = 0;
    virtual void decodeChunk(QDataStream &out, const char *in, int length, bool finalChunk) = 0;
};

// Base64 (RFC 2045). Text content has its line ends carried as CRLF when encoded and
// delivered as LF when decoded.
class QMF_EXPORT QMailBase64Codec : public QMailCodec
{
public:
    enum ContentType { Text, Binary };

    QMailBase64Codec(ContentType content, int maximumLineLength = -1);

    QString name() const override;

protected:
    void encodeChunk(QDataStream &out, const unsigned char *in, int length, bool finalChunk) override;
    void decodeChunk(QDataStream &out, const char *in, int length, bool finalChunk) override;

private:
    ContentType m_content;
    int m_maximumLineLength;
    unsigned char m_group[3];
    int m_groupLength = 0;
    int m_lineBytesLeft;
    unsigned char m_lastEncoded = 0;
    unsigned char m_quad[4];
    int m_quadLength = 0;
    int m_padding = 0;
    unsigned char m_lastDecoded = 0;
};

// Quoted-printable (RFC 2045), or the "Q" encoding of encoded words (RFC 2047).
class QMF_EXPORT QMailQuotedPrintableCodec : public QMailCodec
{
public:
    enum ContentType { Text, Binary };
    enum ConformanceType { Rfc2045, Rfc2047 };

    QMailQuotedPrintableCodec(ContentType content, ConformanceType conformance, int maximumLineLength = -1);

    QString name() const override;

protected:
    void encodeChunk(QDataStream &out, const unsigned char *in, int length, bool finalChunk) override;
    void decodeChunk(QDataStream &out, const char *in, int length, bool finalChunk) override;

private:
    ContentType m_content;
    ConformanceType m_conformance;
    int m_maximumLineLength;
    int m_lineCharsLeft;
    unsigned char m_lastEncoded = 0;
    // An escape sequence cut by the end of a chunk: "=" alone, or "=" and one digit.
    QByteArray m_pendingEscape;
    unsigned char m_lastDecoded = 0;
};

// Copies octets unchanged.
class QMF_EXPORT QMailPassThroughCodec : public QMailCodec
{
    QString name() const override;

protected:
    void encodeChunk(QDataStream &out, const unsigned char *in, int length, bool finalChunk) override;
    void decodeChunk(QDataStream &out, const char *in, int length, bool finalChunk) override;
};

// Text with CR, LF or CRLF line ends: CRLF when encoding, LF when decoding.
class QMF_EXPORT QMailLineEndingCodec : public QMailCodec
{
    QString name() const override;

public:
    QMailLineEndingCodec();

protected:
    void encodeChunk(QDataStream &out, const unsigned char *in, int length, bool finalChunk) override;
    void decodeChunk(QDataStream &out, const char *in, int length, bool finalChunk) override;

private:
    unsigned char m_lastChar = 0;
};

#endif // QMAILCODEC_H
