// varo-clock-cli-manual TEMPLATE: prints the manual page, with each line
// "@NAME@" of the template replaced by the list the command table makes and
// "@PROJECT_VERSION@" by the release's version.
#include "VaroVersion.h"
#include "commandline/CliHelp.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QTextStream>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    if (argc != 2) {
        err << "usage: varo-clock-cli-manual TEMPLATE\n";
        return 2;
    }
    QFile page(QString::fromLocal8Bit(argv[1]));
    if (!page.open(QIODevice::ReadOnly)) {
        err << page.fileName() << ": " << page.errorString() << '\n';
        return 1;
    }
    static const QRegularExpression part(QStringLiteral("^@([A-Z_]+)@$"));
    QTextStream out(stdout);
    QString text = QString::fromUtf8(page.readAll());
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        const QRegularExpressionMatch match = part.match(line);
        if (!match.hasMatch()) {
            out << QString(line).replace(QLatin1String("@PROJECT_VERSION@"), QLatin1String(VARO_VERSION)) << '\n';
            continue;
        }
        const QString roff = CliHelp::manualPart(match.captured(1));
        if (roff.isEmpty()) {
            err << page.fileName() << ": no part " << line << '\n';
            return 1;
        }
        out << roff;
    }
    return 0;
}
