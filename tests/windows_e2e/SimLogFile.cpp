#include "SimLogFile.h"

#include <QFile>
#include <QTest>

QStringList SimLogFile::lines() const {
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray text = file.readAll();
    // A line still being written is not one yet.
    text.truncate(text.lastIndexOf('\n') + 1);
    return QString::fromUtf8(text).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

std::optional<QString> SimLogFile::waitForLineWhere(const std::function<bool(const QString&)>& matches,
                                                    int fromLine, int timeoutMs) const {
    std::optional<QString> found;
    // `found` says whether the wait succeeded.
    (void)QTest::qWaitFor(
        [&] {
            const QStringList all = lines();
            for (int i = fromLine; i < all.size(); ++i) {
                if (matches(all[i])) {
                    found = all[i];
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    return found;
}
