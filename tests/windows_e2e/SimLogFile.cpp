#include "SimLogFile.h"

#include <QFile>

QStringList SimLogFile::lines() const {
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray text = file.readAll();
    // A line still being written is not one yet.
    text.truncate(text.lastIndexOf('\n') + 1);
    return QString::fromUtf8(text).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}
