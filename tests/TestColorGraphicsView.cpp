#include "shell/FPColorGraphicsView.h"

#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QScrollBar>
#include <QtTest>

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

QTEST_MAIN(TestColorGraphicsView)
#include "TestColorGraphicsView.moc"
