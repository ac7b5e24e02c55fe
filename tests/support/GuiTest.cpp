#include "GuiTest.h"

#include "FakeDialogs.h"

#include <QApplication>
#include <QTest>

void GuiTest::cleanup() {
    const QStringList unread = std::exchange(FakeDialogs::unreadLeftBehind(), {});
    QVERIFY2(unread.isEmpty(), qPrintable(QStringLiteral("message boxes the test never read: \"") +
                                          unread.join(QStringLiteral("\", \"")) + QLatin1Char('"')));
    const QStringList underWaitCursor = std::exchange(FakeDialogs::shownUnderWaitCursor(), {});
    QVERIFY2(underWaitCursor.isEmpty(),
             qPrintable(QStringLiteral("shown under the wait cursor: \"") +
                        underWaitCursor.join(QStringLiteral("\", \"")) + QLatin1Char('"')));
    QVERIFY2(!QApplication::overrideCursor(), "the wait cursor stayed up");
}
