#include "Report.h"

#include "Figures.h"

#include <QDateTime>
#include <QFile>
#include <QJsonDocument>
#include <QTextStream>

Report::Report(const QJsonObject& machine, const QString& command)
    : m_machine(machine), m_document{{QStringLiteral("machine"), machine},
                                     {QStringLiteral("command"), command},
                                     {QStringLiteral("started"),
                                      QDateTime::currentDateTime().toString(Qt::ISODate)}} {}

void Report::addTarget(const QString& measurement, double value, double limit, const QString& unit,
                       int decimals) {
    const bool met = value <= limit;
    m_rows.append({measurement, QString::number(value, 'f', decimals) + QLatin1Char(' ') + unit,
                   QStringLiteral("<= ") + QString::number(limit) + QLatin1Char(' ') + unit,
                   met ? QStringLiteral("met") : QStringLiteral("MISSED")});
    m_targets.append(QJsonObject{{QStringLiteral("measurement"), measurement},
                                 {QStringLiteral("value"), Figures::rounded(value, decimals)},
                                 {QStringLiteral("limit"), limit},
                                 {QStringLiteral("unit"), unit},
                                 {QStringLiteral("met"), met}});
}

void Report::addInfo(const QString& measurement, const QString& value) {
    m_rows.append({measurement, value, QString(), QString()});
}

void Report::addFigures(const QString& key, const QJsonObject& figures) {
    m_document.insert(key, figures);
}

void Report::addError(const QString& why) {
    m_errors << why;
}

void Report::addLoad(const QString& key, const QJsonValue& value) {
    m_load.insert(key, value);
}

void Report::printTable(QTextStream& out) const {
    qsizetype widths[3] = {11, 5, 6};
    for (const Row& row : m_rows) {
        widths[0] = qMax(widths[0], row.measurement.size());
        widths[1] = qMax(widths[1], row.value.size());
        widths[2] = qMax(widths[2], row.target.size());
    }
    const auto line = [&](const QString& a, const QString& b, const QString& c, const QString& d) {
        out << a.leftJustified(widths[0]) << "  " << b.rightJustified(widths[1]) << "  "
            << c.leftJustified(widths[2]) << "  " << d << '\n';
    };
    out << '\n'
        << "Varo Clock benchmark on " << m_machine.value(QStringLiteral("cpu_model")).toString() << ", "
        << m_machine.value(QStringLiteral("cores")).toInt() << " cores, "
        << m_machine.value(QStringLiteral("kernel")).toString() << '\n'
        << "Load average before " << m_load.value(QStringLiteral("loadavg_before")).toString() << ", after "
        << m_load.value(QStringLiteral("loadavg_after")).toString() << "; cores busy before the run "
        << m_load.value(QStringLiteral("busy_percent_before")).toDouble() << " %\n\n";
    line(QStringLiteral("Measurement"), QStringLiteral("Value"), QStringLiteral("Target"),
         QStringLiteral("Result"));
    for (const Row& row : m_rows)
        line(row.measurement, row.value, row.target, row.verdict);
    for (const QString& error : m_errors)
        out << "ERROR: " << error << '\n';
    out.flush();
}

bool Report::writeJson(const QString& path, QString* error) const {
    QJsonObject document = m_document;
    document.insert(QStringLiteral("load"), m_load);
    document.insert(QStringLiteral("targets"), m_targets);
    document.insert(QStringLiteral("errors"), QJsonArray::fromStringList(m_errors));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
        file.write(QJsonDocument(document).toJson()) >= 0)
        return true;
    *error = file.errorString();
    return false;
}
