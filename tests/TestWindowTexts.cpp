#include "config/AppPaths.h"
#include "ports/PortScanWorker.h"
#include "shell/FPColorGraphicsView.h"
#include "shell/FPDoverARizMainWindow.h"
#include "shell/MessageBoxes.h"

#include "support/BenchFixture.h"
#include "support/Catalogue.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>
#include <memory>

#if __has_include("shell/FPDoverARizSettingDlg.h")
#include "shell/FPDoverARizSettingDlg.h"
#define HAVE_SETTINGS_DIALOG 1
#endif

#ifndef DOVERARIZ_RUNTIME_DIR
#error "DOVERARIZ_RUNTIME_DIR names the directory with tr/"
#endif

namespace {
// Texts that are the same in every language and not in the catalogues.
bool isNeutral(const QString &text)
{
    static const QRegularExpression neutral(QStringLiteral("^(X|[0-9 .:%/-]*)$"));
    return neutral.match(text).hasMatch();
}

// Every text a person sees in `root` and below: labels, buttons, group and tab titles, combo items, actions,
// the window title, and the status panel's word. Field contents and the log are data, not interface.
QStringList visibleTexts(QWidget *root)
{
    QStringList texts{root->windowTitle()};
    QList<QWidget *> widgets = root->findChildren<QWidget *>();
    for (QWidget *w : widgets) {
        if (!w->isVisibleTo(root))
            continue;
        if (auto *label = qobject_cast<QLabel *>(w))
            texts << label->text();
        else if (auto *button = qobject_cast<QAbstractButton *>(w))
            texts << button->text();
        else if (auto *box = qobject_cast<QGroupBox *>(w))
            texts << box->title();
        else if (auto *tabs = qobject_cast<QTabWidget *>(w)) {
            for (int i = 0; i < tabs->count(); ++i)
                texts << tabs->tabText(i);
        } else if (auto *combo = qobject_cast<QComboBox *>(w)) {
            for (int i = 0; i < combo->count(); ++i)
                texts << combo->itemText(i);
        } else if (auto *bar = qobject_cast<QToolBar *>(w)) {
            texts << bar->windowTitle();
            // A tool button drawn as its icon alone shows no text.
            for (QAction *action : bar->actions()) {
                auto *button = qobject_cast<QToolButton *>(bar->widgetForAction(action));
                if (!button || button->toolButtonStyle() != Qt::ToolButtonIconOnly)
                    texts << action->text();
            }
        } else if (auto *view = qobject_cast<FPColorGraphicsView *>(w)) {
            for (QGraphicsItem *item : view->scene()->items()) {
                if (auto *text = qgraphicsitem_cast<QGraphicsTextItem *>(item))
                    texts << text->toPlainText();
            }
        }
    }
    texts.removeAll(QString());
    texts.removeDuplicates();
    return texts;
}

// The texts of `root` that its catalogue does not hold.
QStringList strangers(QWidget *root, const Catalogue &catalogue)
{
    QStringList found;
    for (const QString &text : visibleTexts(root)) {
        if (!isNeutral(text) && !catalogue.hasTranslationMatching(text))
            found << text;
    }
    return found;
}
} // namespace

// Switches the window's language back and forth and holds every visible text against that language's catalogue,
// so that a text left out of the translation system, or one that keeps the previous language, shows up here.
class TestWindowTexts final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void windowSpeaksOneLanguage_data();
    void windowSpeaksOneLanguage();

private:
    std::unique_ptr<BenchFixture> m_bench;
    std::unique_ptr<QTemporaryDir> m_appDir;
    QString m_previousDir;
    Catalogue m_chinese;
    Catalogue m_english;
};

void TestWindowTexts::initTestCase()
{
    m_bench = std::make_unique<BenchFixture>();
    QVERIFY(m_bench->isValid());
    QString why;
    QVERIFY2(m_chinese.load(QStringLiteral(SOURCE_DIR "/translations/imei_chs.ts"), &why), qPrintable(why));
    QVERIFY2(m_english.load(QStringLiteral(SOURCE_DIR "/translations/imei_chs_en.ts"), &why), qPrintable(why));
}

void TestWindowTexts::init()
{
    m_appDir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_appDir->isValid());
    const QDir app(m_appDir->path());
    QVERIFY(app.mkpath(QStringLiteral("tr")));
    const QDir catalogues(QStringLiteral(DOVERARIZ_RUNTIME_DIR "/tr"));
    for (const QString &name : catalogues.entryList({QStringLiteral("*.qm")}, QDir::Files))
        QVERIFY(QFile::copy(catalogues.filePath(name), app.filePath(QStringLiteral("tr/") + name)));
    m_previousDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_appDir->path()));
    AppPaths::setAppDirForTesting(m_appDir->path());
    MessageBoxes::setUnattended(true); // whatever the sources report at start is not what this test is about
}

void TestWindowTexts::cleanup()
{
    MessageBoxes::setUnattended(false);
    MessageBoxes::takeRecords();
    AppPaths::setAppDirForTesting(QString());
    QDir::setCurrent(m_previousDir);
    m_appDir.reset();
}

void TestWindowTexts::windowSpeaksOneLanguage_data()
{
    QTest::addColumn<QStringList>("switches"); // radio buttons checked in turn; the last one counts
    QTest::addColumn<bool>("chinese");
    QTest::addColumn<int>("status");

    QTest::newRow("Chinese at start") << QStringList() << true << -100;
    QTest::newRow("to English") << QStringList{"englishRadioBtn"} << false << -100;
    QTest::newRow("back to Chinese") << QStringList{"englishRadioBtn", "chineseRadioBtn"} << true << -100;
    QTest::newRow("English, panel idle") << QStringList{"englishRadioBtn"} << false << 1;
    QTest::newRow("Chinese after the panel spoke English")
        << QStringList{"englishRadioBtn", "chineseRadioBtn"} << true << 2;
}

void TestWindowTexts::windowSpeaksOneLanguage()
{
    QFETCH(QStringList, switches);
    QFETCH(bool, chinese);
    QFETCH(int, status);

    auto window = std::make_unique<FPDoverARizMainWindow>();
    window->portScanner()->stop(true);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    auto *panel = window->findChild<FPColorGraphicsView *>(QStringLiteral("graphicsViewStatus"));
    QVERIFY(panel);
    for (int i = 0; i < switches.size(); ++i) {
        if (status != -100 && i == switches.size() - 1)
            panel->setWriteState(status); // shown in the old language, then the switch
        auto *radio = window->findChild<QRadioButton *>(switches[i]);
        QVERIFY2(radio, qPrintable(switches[i]));
        radio->setChecked(true);
    }
    if (status != -100 && switches.isEmpty())
        panel->setWriteState(status);

    const Catalogue &catalogue = chinese ? m_chinese : m_english;
    // The panel follows the catalogue through the event loop.
    QTRY_VERIFY2(strangers(window.get(), catalogue).isEmpty(),
                 qPrintable(strangers(window.get(), catalogue).join(QStringLiteral(" | "))));
    if (chinese) {
        // Not merely texts that happen to be the same in English: the window really is Chinese.
        QCOMPARE(window->windowTitle(), QStringLiteral("KVX IMEI 写号工具 v10.00.01"));
        const QStringList texts = visibleTexts(window.get());
        QVERIFY(texts.contains(QStringLiteral("设置")));
        QVERIFY(texts.contains(QStringLiteral("帮助")) && texts.contains(QStringLiteral("关于"))); // beside their icons
    }

#ifdef HAVE_SETTINGS_DIALOG
    FPDoverARizSettingDlg dialog(window.get());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QVERIFY2(strangers(&dialog, catalogue).isEmpty(), qPrintable(strangers(&dialog, catalogue).join(" | ")));
#endif
}

QTEST_MAIN(TestWindowTexts)
#include "TestWindowTexts.moc"
