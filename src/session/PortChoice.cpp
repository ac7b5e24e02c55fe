#include "PortChoice.h"

#include "serial/NetworkPortAddress.h"
#include "serial/PortNames.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace {
QString canonical(const QString& device) {
    const QString resolved = QFileInfo(device).canonicalFilePath();
    return resolved.isEmpty() ? device : resolved;
}

bool isListed(int number) {
    return number >= PortNames::kFirstPort && number <= PortNames::kLastPort;
}
} // namespace

PortChoice PortChoice::listed(int number) {
    return {number, PortNames::deviceForPort(number)};
}

std::optional<PortChoice> PortChoice::fromText(const QString& text) {
    static const QRegularExpression comName(QStringLiteral("^com([0-9]{1,3})$"),
                                            QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression number(QStringLiteral("^[0-9]{1,3}$"));
    if (text.trimmed().isEmpty() || NetworkPortAddress::isNetworkForm(text))
        return NetworkPortAddress::parse(text) ? std::optional(named(text)) : std::nullopt;
    if (number.match(text).hasMatch())
        return isListed(text.toInt()) ? std::optional(listed(text.toInt())) : std::nullopt;
    const QRegularExpressionMatch com = comName.match(text);
    if (com.hasMatch()) {
        const int n = com.captured(1).toInt();
        if (isListed(n))
            return listed(n);
#ifdef Q_OS_WIN
        return named(text.toUpper());
#else
        return std::nullopt;
#endif
    }
    for (int n = PortNames::kFirstPort; n <= PortNames::kLastPort; ++n)
        if (sameDevice(PortNames::deviceForPort(n), text))
            return PortChoice{n, text};
    return named(text);
}

QString PortChoice::refusal(const QString& text) {
    const QString network = NetworkPortAddress::refusal(text);
    return network.isEmpty() ? QStringLiteral("names no port (Com1 to Com16, a number 1-16 or a device)")
                             : network;
}

bool PortChoice::sameDevice(const QString& a, const QString& b) {
    return canonical(a) == canonical(b);
}

QString PortChoice::name() const {
    return number > 0 ? QStringLiteral("Com") + QString::number(number) : device;
}
