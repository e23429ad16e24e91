// What every start does before and after the window shows.

#include "app/startup.h"
#include "test_support.h"

#include <QApplication>
#include <QIcon>
#include <QWidget>
#include <QtTest>

class StartupTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void icon_isSetOnceTheWindowHasPainted()
    {
        QWidget window;
        tessaro::setIconAfterFirstPaint(window);
        QCoreApplication::processEvents();
        QVERIFY(QApplication::windowIcon().isNull());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_COMPARE(QApplication::windowIcon().availableSizes().size(), 6);
    }
};

TESSARO_TEST_MAIN(StartupTest)
#include "test_startup.moc"
