#include "shell/FPColorGraphicsView.h"

#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QScrollBar>
#include <QTranslator>
#include <QtTest>

#ifndef DOVERARIZ_RUNTIME_DIR
#error "DOVERARIZ_RUNTIME_DIR names the directory with tr/"
#endif

namespace {
QList<QGraphicsTextItem *> textItems(const FPColorGraphicsView &view)
{
    QList<QGraphicsTextItem *> texts;
    for (QGraphicsItem *item : view.scene()->items()) {
        if (auto *text = qgraphicsitem_cast<QGraphicsTextItem *>(item))
            texts.append(text);
    }
    return texts;
}
} // namespace

class TestColorGraphicsView final : public QObject
{
    Q_OBJECT

private slots:
    void constructed();
    void knownStates_data();
    void knownStates();
    void unknownStateEmptiesPanel_data();
    void unknownStateEmptiesPanel();
    void repeatedStateKeepsOneText();
    void longTextNeverShowsVerticalScrollBar();
    void textFitsThePanel_data();
    void textFitsThePanel();
    void languageChangeRepaints_data();
    void languageChangeRepaints();
};

void TestColorGraphicsView::constructed()
{
    FPColorGraphicsView view;
    QCOMPARE(view.state(), 0);
    QVERIFY(view.isWriteMode());
    QCOMPARE(view.scene()->items().size(), 0); // the window paints the first look itself
}

void TestColorGraphicsView::knownStates_data()
{
    QTest::addColumn<bool>("write");
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QColor>("background");
    QTest::addColumn<int>("pointSize");

    const QColor red(255, 0, 0), grey(210, 210, 210), idle(215, 235, 235), olive(142, 156, 22), green(0, 255, 0);
    QTest::newRow("write -2") << true << -2 << "Error!!" << red << 40;
    QTest::newRow("write -1") << true << -1 << "Error!!" << red << 40;
    QTest::newRow("read -2") << false << -2 << "Error!!" << red << 40;
    QTest::newRow("read -1") << false << -1 << "Error!!" << red << 40;
    QTest::newRow("write unmount") << true << 0 << "Unmount" << grey << 40;
    QTest::newRow("read unmount") << false << 0 << "Unmount" << grey << 40;
    QTest::newRow("write idle") << true << 1 << "Idle..." << idle << 40;
    QTest::newRow("read idle") << false << 1 << "Idle..." << idle << 40;
    QTest::newRow("write busy") << true << 2 << "Writting..." << olive << 40;
    QTest::newRow("read busy") << false << 2 << "Reading..." << olive << 40;
    QTest::newRow("write finished") << true << 3 << "Writting Finished!" << green << 30;
    QTest::newRow("read finished") << false << 3 << "Reading Finished!" << green << 30;
    QTest::newRow("write setting") << true << 4 << "Setting..." << olive << 40;
    QTest::newRow("read setting") << false << 4 << "Setting..." << olive << 40;
}

void TestColorGraphicsView::knownStates()
{
    QFETCH(bool, write);
    QFETCH(int, state);
    QFETCH(QString, text);
    QFETCH(QColor, background);
    QFETCH(int, pointSize);

    FPColorGraphicsView view;
    // Start from the other wording, so that the call itself must switch it.
    if (write)
        view.setReadState(1);
    else
        view.setWriteState(1);

    if (write)
        view.setWriteState(state);
    else
        view.setReadState(state);

    QCOMPARE(view.state(), state);
    QCOMPARE(view.isWriteMode(), write);
    QCOMPARE(view.backgroundBrush().style(), Qt::SolidPattern);
    QCOMPARE(view.backgroundBrush().color(), background);
    QCOMPARE(view.backgroundBrush().color().alpha(), 255);

    QCOMPARE(view.scene()->items().size(), 1);
    const auto texts = textItems(view);
    QCOMPARE(texts.size(), 1);
    QCOMPARE(texts.first()->toPlainText(), text);
    QCOMPARE(texts.first()->pos(), QPointF(0, 0));
    const QFont font = texts.first()->font();
    QCOMPARE(font.family(), QStringLiteral("Verdana"));
    QCOMPARE(font.pointSize(), pointSize);
    QCOMPARE(font.weight(), QFont::Bold); // 75 on the old 0..99 scale
    QVERIFY(!font.italic());
}

void TestColorGraphicsView::unknownStateEmptiesPanel_data()
{
    QTest::addColumn<int>("state");
    QTest::newRow("5") << 5;
    QTest::newRow("7") << 7;
    QTest::newRow("-3") << -3;
    QTest::newRow("int min") << std::numeric_limits<int>::min();
    QTest::newRow("int max") << std::numeric_limits<int>::max();
}

void TestColorGraphicsView::unknownStateEmptiesPanel()
{
    QFETCH(int, state);
    FPColorGraphicsView view;
    view.setReadState(3);
    const QColor before = view.backgroundBrush().color();

    view.setWriteState(state);

    QCOMPARE(view.state(), state);
    QVERIFY(view.isWriteMode());
    QCOMPARE(view.scene()->items().size(), 0);
    QCOMPARE(view.backgroundBrush().color(), before);

    // The panel recovers on the next known state.
    view.showState(2);
    QCOMPARE(textItems(view).size(), 1);
    QCOMPARE(textItems(view).first()->toPlainText(), QStringLiteral("Writting..."));
}

void TestColorGraphicsView::repeatedStateKeepsOneText()
{
    FPColorGraphicsView view;
    view.setWriteState(2);
    view.setWriteState(2);
    view.showState(2);
    QCOMPARE(view.scene()->items().size(), 1);
}

void TestColorGraphicsView::longTextNeverShowsVerticalScrollBar()
{
    FPColorGraphicsView view;
    view.resize(120, 40); // far smaller than a 40-point line
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.setWriteState(3);
    QCoreApplication::processEvents();
    QVERIFY(!view.verticalScrollBar()->isVisible());
}

void TestColorGraphicsView::textFitsThePanel_data()
{
    QTest::addColumn<bool>("chinese");
    QTest::addColumn<int>("state");
    QTest::addColumn<QSize>("size");

    // The window's panel is at most 90 pixels high and about 480 wide; Chinese glyphs stand taller than Latin.
    for (const bool chinese : {false, true}) {
        for (int state = -1; state <= 4; ++state) {
            for (const QSize size : {QSize(480, 90), QSize(300, 60)}) {
                QTest::addRow("%s, state %d, %dx%d", chinese ? "Chinese" : "English", state, size.width(),
                              size.height())
                    << chinese << state << size;
            }
        }
    }
}

void TestColorGraphicsView::textFitsThePanel()
{
    QFETCH(bool, chinese);
    QFETCH(int, state);
    QFETCH(QSize, size);
    QTranslator translator;
    if (chinese) {
        QVERIFY(translator.load(QStringLiteral(DOVERARIZ_RUNTIME_DIR "/tr/imei_chs.qm")));
        QCoreApplication::installTranslator(&translator);
    }
    const auto removed = qScopeGuard([&] { QCoreApplication::removeTranslator(&translator); });

    FPColorGraphicsView view;
    view.resize(size);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.setWriteState(state);
    QCoreApplication::processEvents();

    const auto texts = textItems(view);
    QCOMPARE(texts.size(), 1);
    // Where the glyphs actually are on screen, not the item's padded box: top and bottom of the text.
    const QRectF ink = texts.first()->sceneBoundingRect();
    const QRect onScreen = view.mapFromScene(ink).boundingRect();
    QVERIFY2(view.viewport()->rect().contains(onScreen),
             qPrintable(QStringLiteral("text at %1,%2 %3x%4 in a viewport of %5x%6")
                            .arg(onScreen.x())
                            .arg(onScreen.y())
                            .arg(onScreen.width())
                            .arg(onScreen.height())
                            .arg(view.viewport()->width())
                            .arg(view.viewport()->height())));
    // Roughly centred, and not shrunk where it fits.
    QVERIFY(qAbs(onScreen.center().y() - view.viewport()->rect().center().y()) <= 2);
    if (size.height() >= 90 && !chinese)
        QCOMPARE(texts.first()->scale(), 1.0);
}

void TestColorGraphicsView::languageChangeRepaints_data()
{
    QTest::addColumn<bool>("write");
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("chinese");

    QTest::newRow("idle") << true << 1 << QStringLiteral("空闲...");
    QTest::newRow("reading") << false << 2 << QStringLiteral("正在读取...");
    QTest::newRow("write finished") << true << 3 << QStringLiteral("写入完成!");
    QTest::newRow("error") << true << -1 << QStringLiteral("错误!!");
}

void TestColorGraphicsView::languageChangeRepaints()
{
    QFETCH(bool, write);
    QFETCH(int, state);
    QFETCH(QString, chinese);
    FPColorGraphicsView view;
    view.show();
    if (write)
        view.setWriteState(state);
    else
        view.setReadState(state);
    const QString english = textItems(view).first()->toPlainText();
    const QColor background = view.backgroundBrush().color();

    // The window switches language by loading another catalogue into its installed translator.
    QTranslator translator;
    QCoreApplication::installTranslator(&translator);
    const auto removed = qScopeGuard([&] { QCoreApplication::removeTranslator(&translator); });
    QVERIFY(translator.load(QStringLiteral(DOVERARIZ_RUNTIME_DIR "/tr/imei_chs.qm")));
    QTRY_COMPARE(textItems(view).first()->toPlainText(), chinese);
    QCOMPARE(view.state(), state);
    QCOMPARE(view.isWriteMode(), write);
    QCOMPARE(view.backgroundBrush().color(), background);
    QCOMPARE(textItems(view).size(), 1);

    QVERIFY(translator.load(QStringLiteral(DOVERARIZ_RUNTIME_DIR "/tr/imei_chs_en.qm")));
    QTRY_COMPARE(textItems(view).first()->toPlainText(), english);
}

QTEST_MAIN(TestColorGraphicsView)
#include "TestColorGraphicsView.moc"
