#include "FakeDialogs.h"

#include "WaitCursorShown.h"

FakeDialogs::~FakeDialogs() {
    for (qsizetype i = m_read; i < m_messages.size(); ++i)
        unreadLeftBehind() << m_messages[i].text;
}

const QList<FakeDialogs::Message>& FakeDialogs::messages() {
    m_read = m_messages.size();
    return m_messages;
}

QStringList FakeDialogs::texts() {
    QStringList all;
    for (const Message& m : messages())
        all << m.text;
    return all;
}

QStringList FakeDialogs::takeTexts() {
    const QStringList all = texts();
    m_messages.clear();
    m_read = 0;
    return all;
}

QStringList& FakeDialogs::unreadLeftBehind() {
    static QStringList unread;
    return unread;
}

QStringList& FakeDialogs::shownUnderWaitCursor() {
    static QStringList shown;
    return shown;
}

void FakeDialogs::noteWaitCursor(const QString& dialog) {
    if (waitCursorShown())
        shownUnderWaitCursor() << dialog;
}
