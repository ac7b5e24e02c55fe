#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QStringList>

class QTextStream;

// The run's results, written once as the table and once as the JSON file:
// the rows of the table (targets with their verdict and plain figures), each
// measurement's figures, the machine, its load and the errors.
class Report {
public:
    Report(const QJsonObject& machine, const QString& command);

    // A figure with its target: met when value <= limit.
    void addTarget(const QString& measurement, double value, double limit, const QString& unit, int decimals);
    // A figure without target; a value-less row heads the rows below it.
    void addInfo(const QString& measurement, const QString& value = QString());
    void addFigures(const QString& key, const QJsonObject& figures);
    void addError(const QString& why);
    // "loadavg_before", "busy_percent_before", "loadavg_after".
    void addLoad(const QString& key, const QJsonValue& value);

    bool hasErrors() const { return !m_errors.isEmpty(); }
    void printTable(QTextStream& out) const;
    // False, with the reason in `error`, when the file cannot be written.
    bool writeJson(const QString& path, QString* error) const;

private:
    struct Row {
        QString measurement;
        QString value;
        QString target;
        QString verdict;
    };

    QJsonObject m_machine;
    QJsonObject m_document; // command, start time and each measurement's figures
    QJsonObject m_load;
    QList<Row> m_rows;
    QJsonArray m_targets;
    QStringList m_errors;
};
