#include <zavekutils.h>

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream(stdout) << ZavekUtils::textToHtml(QStringLiteral("a < b")).contains(QStringLiteral("a &lt; b"))
                        << Qt::endl;
    return 0;
}
