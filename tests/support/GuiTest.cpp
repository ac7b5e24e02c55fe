#include "GuiTest.h"

#include "FakeDialogs.h"

#include <QTest>

void GuiTest::cleanup() {
    const QStringList unread = std::exchange(FakeDialogs::unreadLeftBehind(), {});
    QVERIFY2(unread.isEmpty(), qPrintable(QStringLiteral("message boxes the test never read: \"") +
                                          unread.join(QStringLiteral("\", \"")) + QLatin1Char('"')));
}
