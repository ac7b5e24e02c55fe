#pragma once

#include <QHash>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QWebSocket>

// Debian's chromium without a screen, driven over the Chrome DevTools
// Protocol: one page in a fresh profile, its script's values, the errors it
// meets (a refusal by its Content-Security-Policy among them, not the
// network's) and screenshots.
class HeadlessChromium {
public:
    static QString program() { return QStandardPaths::findExecutable("chromium"); }
    HeadlessChromium();
    ~HeadlessChromium();

    bool open(const QUrl& url);
    // A script expression's value in the page, a promise's once it settles;
    // null when it throws.
    QJsonValue evaluate(const QString& expression);
    bool waitUntil(const QString& expression, int timeoutMs = 10000);
    // The page laid out at `width` × `height`, as a phone's screen when `mobile`, as a PNG.
    bool screenshot(int width, int height, bool mobile, const QString& file);
    QStringList errors() const { return m_errors; }

private:
    QJsonObject call(const QString& method, const QJsonObject& params = {});
    void take(const QString& message);

    QTemporaryDir m_profile;
    QProcess m_process;
    QWebSocket m_devtools;
    QString m_session;
    int m_lastId = 0;
    QHash<int, QJsonObject> m_answers;
    QStringList m_errors;
};
