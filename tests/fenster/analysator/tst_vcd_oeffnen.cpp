// Opening a file in the background: the recording arrives on the window's
// thread, one load at a time, and a window closed during a load ends it.
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QWidget>

#include "fenster/analysator/vcd_oeffnen.h"

using namespace dravel;

class TestVcdOeffnen : public QObject {
    Q_OBJECT
private slots:
    void loadEndsOnTheWindowsThreadOrWithTheWindow();
};

void TestVcdOeffnen::loadEndsOnTheWindowsThreadOrWithTheWindow() {
    QTemporaryDir ordner;
    QFile datei(ordner.filePath(QStringLiteral("a.vcd")));
    QByteArray text = "$timescale 1ns $end\n$var wire 1 ! a $end\n$enddefinitions $end\n";
    for (int i = 0; i < 1'000'000; ++i)
        text += "#" + QByteArray::number(i) + (i % 2 ? " 1!\n" : " 0!\n");
    QVERIFY(datei.open(QIODevice::WriteOnly) && datei.write(text) == text.size());
    datei.close();

    int fertig = 0;
    std::size_t anzahl = 0;
    const auto merke = [&](std::unique_ptr<analysator::Aufnahme> a, const QString& fehler,
                           const QString&) {
        QVERIFY2(a, qPrintable(fehler));
        QCOMPARE(QThread::currentThread(), qApp->thread());
        anzahl = a->anzahl();
        ++fertig;
    };
    auto fenster = std::make_unique<QWidget>();
    QVERIFY(ladeVcdImHintergrund(fenster.get(), datei.fileName(), merke));
    QVERIFY(!ladeVcdImHintergrund(fenster.get(), datei.fileName(), merke));
    QTRY_COMPARE(fertig, 1);
    QCOMPARE(anzahl, std::size_t(1'000'000));

    // Closed during the load: it ends with the window, and nothing is shown.
    QVERIFY(ladeVcdImHintergrund(fenster.get(), datei.fileName(), merke));
    fenster.reset();
    QTest::qWait(50);
    QCOMPARE(fertig, 1);
}

QTEST_MAIN(TestVcdOeffnen)
#include "tst_vcd_oeffnen.moc"
