// Writes a copy of one of the QMF tree's test sources in which the test functions named in
// the skip list are reduced to a QSKIP with the listed reason, so that a suite builds against
// the bundled layer while the functions it cannot offer show up, by name, as skipped.
// Line numbers are kept, so that failures point into the original source.
//   suitefilter INPUT OUTPUT SUITE SKIP-LIST

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextStream>

namespace {

struct Skip {
    QString function;   // Class::function
    QString reason;
    bool used = false;
};

// The entries of section [suite] of the list: "Class::function  reason".
QList<Skip> readSkips(const QString &path, const QString &suite)
{
    QList<Skip> skips;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return skips;
    bool inSuite = false;
    QTextStream in(&file);
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            inSuite = (line == QLatin1Char('[') + suite + QLatin1Char(']'));
            continue;
        }
        if (!inSuite)
            continue;
        const int blank = line.indexOf(QRegularExpression(QStringLiteral("\\s")));
        Skip skip;
        skip.function = blank < 0 ? line : line.left(blank);
        skip.reason = blank < 0 ? QString() : line.mid(blank).trimmed();
        skips.append(skip);
    }
    return skips;
}

// The index of the brace closing the one at open, passing over literals and comments.
int matchingBrace(const QString &text, int open)
{
    int depth = 0;
    for (int i = open; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            for (++i; i < text.size() && text.at(i) != c; ++i) {
                if (text.at(i) == QLatin1Char('\\'))
                    ++i;
            }
        } else if (QStringView(text).mid(i, 2) == QLatin1String("//")) {
            i = text.indexOf(QLatin1Char('\n'), i);
            if (i < 0)
                return -1;
        } else if (QStringView(text).mid(i, 2) == QLatin1String("/*")) {
            i = text.indexOf(QLatin1String("*/"), i + 2);
            if (i < 0)
                return -1;
            ++i;
        } else if (c == QLatin1Char('{')) {
            ++depth;
        } else if (c == QLatin1Char('}') && --depth == 0) {
            return i;
        }
    }
    return -1;
}

QString cString(const QString &text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    escaped.replace(QLatin1Char('"'), QLatin1String("\\\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

// A test function becomes a skip; set-up and helpers (a constructor setting up a hook, a
// function computing a value) are left doing nothing.
QString replacementBody(const QString &text, int definitionStart, const Skip &skip)
{
    const int lineStart = text.lastIndexOf(QLatin1Char('\n'), definitionStart) + 1;
    const QStringView head = QStringView(text).mid(lineStart, definitionStart - lineStart).trimmed();
    const QStringList names = skip.function.split(QStringLiteral("::"));
    // Skipping the set-up of a test case would skip every function in it.
    static const QStringList setUp = {QStringLiteral("initTestCase"), QStringLiteral("init"),
                                      QStringLiteral("cleanup"), QStringLiteral("cleanupTestCase")};
    if (head == QLatin1String("void") && setUp.contains(names.last()))
        return QStringLiteral(" ");
    if (head == QLatin1String("void"))
        return QStringLiteral(" QSKIP(%1); ").arg(cString(skip.reason));
    if (head.isEmpty() && (names.size() < 2 || names.last() == names.at(names.size() - 2) || names.last().startsWith(QLatin1Char('~'))))
        return QStringLiteral(" ");
    return QStringLiteral(" return {}; ");
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 5) {
        QTextStream(stderr) << "usage: suitefilter INPUT OUTPUT SUITE SKIP-LIST\n";
        return 2;
    }
    QFile input(args.at(1));
    if (!input.open(QIODevice::ReadOnly)) {
        QTextStream(stderr) << "suitefilter: cannot read " << args.at(1) << '\n';
        return 1;
    }
    QString text = QString::fromUtf8(input.readAll());
    QList<Skip> skips = readSkips(args.at(4), args.at(3));

    for (Skip &skip : skips) {
        const QRegularExpression definition(QStringLiteral("\\b%1\\s*\\([^;{)]*\\)\\s*(const\\s*)?\\{")
                                                .arg(QRegularExpression::escape(skip.function)));
        const QRegularExpressionMatch match = definition.match(text);
        if (!match.hasMatch())
            continue;
        const int open = match.capturedEnd() - 1;
        const int close = matchingBrace(text, open);
        if (close < 0)
            continue;
        skip.used = true;
        const int lines = text.mid(open, close - open).count(QLatin1Char('\n'));
        text.replace(open + 1, close - open - 1, replacementBody(text, match.capturedStart(), skip) + QString(lines, QLatin1Char('\n')));
    }

    bool stale = false;
    for (const Skip &skip : qAsConst(skips)) {
        if (!skip.used) {
            QTextStream(stderr) << "suitefilter: " << args.at(3) << ": no function " << skip.function
                                << " to skip; remove it from the list\n";
            stale = true;
        }
    }
    if (stale)
        return 1;

    QFile output(args.at(2));
    if (!output.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        QTextStream(stderr) << "suitefilter: cannot write " << args.at(2) << '\n';
        return 1;
    }
    // The original path keeps compiler messages and QFINDTESTDATA pointing at the QMF tree.
    output.write("#line 1 " + cString(QFileInfo(args.at(1)).absoluteFilePath()).toUtf8() + '\n');
    output.write(text.toUtf8());
    return 0;
}
