#include "config/AppPaths.h"
#include "config/ToolSettings.h"
#include "shell/FPDoverARizSettingDlg.h"
#include "shell/FileChoosers.h"
#include "shell/MessageBoxes.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>
#include <functional>
#include <memory>

#ifndef DOVERARIZ_RUNTIME_DIR
#error "DOVERARIZ_RUNTIME_DIR names the directory that holds tr/"
#endif

using Prepare = std::function<void(ToolSettings &)>;
using Act = std::function<void(FPDoverARizSettingDlg &)>;
Q_DECLARE_METATYPE(Prepare)
Q_DECLARE_METATYPE(Act)

namespace {
const QStringList LineStations = {QStringLiteral("SMT_TEST"), QStringLiteral("BT_TEST"), QStringLiteral("FINAL_TEST")};

template <typename T> T *child(QWidget &dialog, const QString &name)
{
    T *widget = dialog.findChild<T *>(name);
    if (!widget)
        qFatal("no widget %s", qPrintable(name));
    return widget;
}

// What a control shows, in one word: a button or group box "on"/"off", a combo box its current text ("<none>"
// without a selection), a line edit its text; "(disabled)" follows a control that cannot be used.
QString shown(FPDoverARizSettingDlg &dialog, const QString &name)
{
    QWidget *widget = child<QWidget>(dialog, name);
    QString state;
    if (auto *button = qobject_cast<QAbstractButton *>(widget))
        state = button->isChecked() ? QStringLiteral("on") : QStringLiteral("off");
    else if (auto *group = qobject_cast<QGroupBox *>(widget))
        state = group->isChecked() ? QStringLiteral("on") : QStringLiteral("off");
    else if (auto *combo = qobject_cast<QComboBox *>(widget))
        state = combo->currentIndex() < 0 ? QStringLiteral("<none>") : combo->currentText();
    else if (auto *edit = qobject_cast<QLineEdit *>(widget))
        state = edit->text();
    if (!widget->isEnabled())
        state += QStringLiteral(" (disabled)");
    return state;
}

// Every field the dialog writes, and the ones it must leave alone, as text.
QMap<QString, QString> fields(const ToolSettings &s)
{
    const auto b = [](bool v) { return v ? QStringLiteral("true") : QStringLiteral("false"); };
    QStringList types;
    for (int t : s.imeiInputTypes)
        types << QString::number(t);
    return {{"useCom", b(s.useCom)},
            {"useUsb", b(s.useUsb)},
            {"isPhaseCheck", b(s.isPhaseCheck)},
            {"checkStation", s.checkStation},
            {"currentStation", s.currentStation},
            {"RunType", QString::number(s.RunType)},
            {"ImeiNum", QString::number(s.ImeiNum)},
            {"ImeiCheckRepetitive", b(s.ImeiCheckRepetitive)},
            {"ImeiSave", b(s.ImeiSave)},
            {"ImeiMaxNum", QString::number(s.ImeiMaxNum)},
            {"ImeiFromFile", s.ImeiFromFile},
            {"ImeiInitNum14", s.ImeiInitNum14},
            {"ImeiMaskNum14", s.ImeiMaskNum14},
            {"NextAdd", b(s.NextAdd)},
            {"imeiInputTypes", types.join(QLatin1Char(','))},
            {"MbsnFromFile", s.MbsnFromFile},
            {"MbsnInitNum", s.MbsnInitNum},
            {"MbsnMaskNum", s.MbsnMaskNum},
            {"MbsnInputType", QString::number(s.MbsnInputType)},
            {"MbsnCheckRepetitive", b(s.MbsnCheckRepetitive)},
            {"MbsnSave", b(s.MbsnSave)},
            {"MbsnMaxNum", QString::number(s.MbsnMaxNum)},
            {"PsnFromFile", s.PsnFromFile},
            {"PsnInitNum", s.PsnInitNum},
            {"PsnMaskNum", s.PsnMaskNum},
            {"PsnInputType", QString::number(s.PsnInputType)},
            {"PsnCheckRepetitive", b(s.PsnCheckRepetitive)},
            {"PsnSave", b(s.PsnSave)},
            {"PsnMaxNum", QString::number(s.PsnMaxNum)},
            {"BTInputType", QString::number(s.BTInputType)},
            {"BTIsAutoAddr", b(s.BTIsAutoAddr)},
            {"BTInitAddr", s.BTInitAddr},
            {"BTEndAddr", s.BTEndAddr},
            {"BTSave", b(s.BTSave)},
            {"BTCheckRepetitive", b(s.BTCheckRepetitive)},
            {"initFactData", b(s.initFactData)},
            {"FactoryReset", b(s.FactoryReset)},
            {"ImeiDefaultValue", s.ImeiDefaultValue},
            {"imeiDefaultNumber", QString::number(s.imeiDefaultNumber)},
            {"isEnablePhaseCheck", b(s.isEnablePhaseCheck)},
            {"isEnableInitFactData", b(s.isEnableInitFactData)},
            {"language", s.language},
            {"portName", s.portName},
            {"Mbsnlen", QString::number(s.Mbsnlen)},
            {"Psnlen", QString::number(s.Psnlen)},
            {"BTCurrentAddr", s.BTCurrentAddr},
            {"StartDelay", QString::number(s.StartDelay)},
            {"KeyVersion", s.KeyVersion},
            {"KeyVersionLen", QString::number(s.KeyVersionLen)},
            {"LodVersion", s.LodVersion},
            {"AutoLoopTest", b(s.AutoLoopTest)},
            {"operationMode", QString::number(s.operationMode)},
            {"imeiList", s.imeiList.join(QLatin1Char(','))},
            {"currentMbsn", s.currentMbsn},
            {"currentPsn", s.currentPsn},
            {"currentBt", s.currentBt},
            {"expectedVersion", s.expectedVersion}};
}

// "name=value" pairs whose value differs from what `actual` gives for the name.
template <typename Get> QStringList mismatches(const QStringList &expected, Get actual)
{
    QStringList wrong;
    for (const QString &pair : expected) {
        const qsizetype eq = pair.indexOf(QLatin1Char('='));
        const QString name = pair.left(eq);
        const QString value = actual(name);
        if (value != pair.mid(eq + 1))
            wrong << QStringLiteral("%1 is \"%2\", expected \"%3\"").arg(name, value, pair.mid(eq + 1));
    }
    return wrong;
}

void setText(FPDoverARizSettingDlg &dialog, const char *name, const QString &text)
{
    child<QLineEdit>(dialog, QString::fromLatin1(name))->setText(text);
}

// As a click of the operator would (a mouse click at the centre of a wide check box can miss its label).
void click(FPDoverARizSettingDlg &dialog, const char *name)
{
    child<QAbstractButton>(dialog, QString::fromLatin1(name))->click();
}

// A checkable group box toggled as the operator does it, so that it emits clicked().
void toggleGroup(FPDoverARizSettingDlg &dialog, const char *name)
{
    QTest::keyClick(child<QGroupBox>(dialog, QString::fromLatin1(name)), Qt::Key_Space);
}

QString enabledPattern(FPDoverARizSettingDlg &dialog)
{
    QString pattern;
    for (const char *name : {"imei1ComboBox", "imei2ComboBox", "imei3ComboBox", "imei4ComboBox"})
        pattern +=
            child<QComboBox>(dialog, QString::fromLatin1(name))->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
    return pattern;
}

bool writeStations(const QString &path, const QStringList &names)
{
    QFile file(path);
    const QByteArray text = names.join(QLatin1Char('\n')).toLatin1() + '\n';
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size();
}
} // namespace

class TestSettingDlg final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();

    void form_data();
    void form();
    void exclusiveButtons_data();
    void exclusiveButtons();
    void restrictions_data();
    void restrictions();
    void loadAndStore_data();
    void loadAndStore();
    void roundTrip_data();
    void roundTrip();
    void filters_data();
    void filters();
    void imeiCount_data();
    void imeiCount();
    void okButton_data();
    void okButton();
    void returnMovesOn();
    void imeiInitialWithLetterRefused();
    void endedWithoutOk_data();
    void endedWithoutOk();
    void fileChoosers_data();
    void fileChoosers();
    void stationsOfTheLine_data();
    void stationsOfTheLine();
    void chinese_data();
    void chinese();
    void valueFieldsShowLongestValue_data();
    void valueFieldsShowLongestValue();

private:
    QTemporaryDir m_dir;
    QByteArray m_oldStations;
};

void TestSettingDlg::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_oldStations = qgetenv("TGTLINK_STATIONS");
    const QString stations = m_dir.filePath(QStringLiteral("stations.txt"));
    QVERIFY(writeStations(stations, LineStations));
    qputenv("TGTLINK_STATIONS", stations.toLocal8Bit());
    AppPaths::setAppDirForTesting(m_dir.path());
}

void TestSettingDlg::cleanupTestCase()
{
    qputenv("TGTLINK_STATIONS", m_oldStations);
    AppPaths::setAppDirForTesting(QString());
}

void TestSettingDlg::cleanup()
{
    QVERIFY2(MessageBoxes::takeRecords().isEmpty(), "a message box was shown that the test did not look at");
    QVERIFY2(FileChoosers::takeRecords().isEmpty(), "a file chooser was opened that the test did not look at");
}

void TestSettingDlg::form_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");

    const QList<QPair<const char *, const char *>> texts = {
        {"LogoLabel", ""},
        {"groupBox", "Port"},
        {"usbRadioBtn", "USB"},
        {"comRadioBtn", "COM"},
        {"phaseGroupBox", "Phase Check"},
        {"label_11", "Current Station"},
        {"label_17", "Check Station"},
        {"groupBox_2", "Other"},
        {"initFactCKBox", "InitializeFactoryData"},
        {"ckVersion", "CheckVersion"},
        {"ckFactoryReset", "FactoryReset"},
        {"imeiGroupBox", "Setting"},
        {"label_12", "ImeisNum"},
        {"imeiNumberComboBox", "1|2|3|4"},
        {"ImeiRepetitiveCKBox", "CheckRepeat"},
        {"SaveIMEICKBox", "Save"},
        {"ImeiDefaultMethodRBtn", "Default"},
        {"label_13", "  IMEI1(main)"},
        {"label_14", "     IMEI2"},
        {"label_15", "    IMEI3"},
        {"label_16", "   IMEI4"},
        {"imei1ComboBox", "ManulInput|DefaultValue"},
        {"imei2ComboBox", "ManulInput|DefaultValue|AccumulationByStep"},
        {"imei3ComboBox", "ManulInput|DefaultValue|AccumulationByStep"},
        {"imei4ComboBox", "ManulInput|DefaultValue|AccumulationByStep"},
        {"ImeiLFromFileRBtn", "Load From File"},
        {"ImeiBrowseBtn", "Browse"},
        {"ImeiCustomRBtn", "Custom"},
        {"label_2", "Init Code"},
        {"label_3", "Mask"},
        {"ImeiAdd1CB", "Add 1(14th Digit)"},
        {"label_4", "Max limited number"},
        {"label_19", "DefaultIMEI"},
        {"mbsnGroupBox", "Setting"},
        {"MbsnRepetitiveCKBox", "CheckRepeat"},
        {"MbsnSaveCKBox", "Save"},
        {"MbsnManulIptRBtn", "Manul Input"},
        {"MbsnAutoGenRBtn", "Auto Generation"},
        {"MbsnLFromFileRBtn", "Load From File"},
        {"MbsnBrowseBtn", "Browse"},
        {"MbsnCustomRBtn", "Custom"},
        {"label_6", "Init Code"},
        {"label_7", "Mask"},
        {"label_5", "Max limited number"},
        {"psnGroupBox", "Setting"},
        {"PsnRepetitiveCKBox", "CheckRepeat"},
        {"PsnSaveCKBox", "Save"},
        {"PsnManulIptRBtn", "Manul Input"},
        {"PsnAutoGenRBtn", "AutoGeneration"},
        {"PsnLFromFileRBtn", "Load From File"},
        {"PsnBrowseBtn", "Browse"},
        {"PsnCustomRBtn", "Custom"},
        {"label_8", "Init Code"},
        {"label_9", "Mask"},
        {"label_10", "Max limited number"},
        {"mBTGroupBox", "Setting"},
        {"BTRepetitiveCKBox", "CheckRepeat"},
        {"BTSaveCKBox", "Save"},
        {"BTManulRadioBtn", "ManulInput"},
        {"BTAutoGenRadioBtn", "AutoGeneration"},
        {"autoGenBTGroupBox", ""},
        {"BTTimeRadioBtn", "ByTime"},
        {"BTAddressRadioBtn", "ByAddress"},
        {"label", "EndAddress"},
        {"okBtn", "OK"},
        {"CancelBtn", "Cancel"},
        {"mIMEIWidget", "IMEI"},
        {"mMBSNWidget", "MBSN"},
        {"mPSNWidget", "PSN"},
        {"mBTWidget", "BlueTooth"},
        {"FPDoverARizSettingDlg", "Setup"},
        // The separators are there, by name.
        {"line", ""},
        {"line_2", ""},
        {"line_3", ""},
        {"line_4", ""},
        {"line_5", ""},
        {"line_8", ""},
        {"ImeiFileLE", ""},
        {"MbsnFileLE", ""},
        {"PsnFileLE", ""},
        {"BTbeginAddrLEdit", ""},
        {"BTEndAddrLEdit", ""},
        {"phaseCurrentStaComBox", ""},
        {"phaseCheckStaComBox", ""},
    };
    for (const auto &[name, text] : texts)
        QTest::newRow(name) << QString::fromLatin1(name) << QString::fromUtf8(text);
}

void TestSettingDlg::form()
{
    QFETCH(QString, name);
    QFETCH(QString, text);

    FPDoverARizSettingDlg dialog;
    QWidget *widget = name == dialog.objectName() ? &dialog : child<QWidget>(dialog, name);
    QString actual;
    if (widget == &dialog) {
        actual = dialog.windowTitle();
    } else if (auto *button = qobject_cast<QAbstractButton *>(widget)) {
        actual = button->text();
    } else if (auto *label = qobject_cast<QLabel *>(widget)) {
        actual = label->text();
        if (name == QLatin1String("LogoLabel"))
            QVERIFY(!label->pixmap().isNull());
    } else if (auto *group = qobject_cast<QGroupBox *>(widget)) {
        actual = group->title();
    } else if (auto *combo = qobject_cast<QComboBox *>(widget)) {
        QStringList items;
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
        actual = items.join(QLatin1Char('|'));
    } else if (auto *tabs = child<QTabWidget>(dialog, QStringLiteral("mTabWidget")); tabs->indexOf(widget) >= 0) {
        actual = tabs->tabText(tabs->indexOf(widget));
    }
    QCOMPARE(actual, text);
    // Every text comes in the dialog's own font.
    widget->ensurePolished();
    QCOMPARE(widget->font().family(), QStringLiteral("MS Shell Dlg 2"));
    QCOMPARE(widget->font().pointSize(), 13);
}

void TestSettingDlg::exclusiveButtons_data()
{
    QTest::addColumn<QStringList>("buttons");
    QTest::addColumn<QString>("initial"); // the one checked when the dialog opens

    QTest::newRow("port") << QStringList{"usbRadioBtn", "comRadioBtn"} << "usbRadioBtn";
    QTest::newRow("IMEI source") << QStringList{"ImeiDefaultMethodRBtn", "ImeiLFromFileRBtn", "ImeiCustomRBtn"}
                                 << "ImeiDefaultMethodRBtn";
    QTest::newRow("MBSN source") << QStringList{"MbsnManulIptRBtn", "MbsnAutoGenRBtn", "MbsnLFromFileRBtn",
                                                "MbsnCustomRBtn"}
                                 << "MbsnManulIptRBtn";
    QTest::newRow("PSN source") << QStringList{"PsnManulIptRBtn", "PsnAutoGenRBtn", "PsnLFromFileRBtn", "PsnCustomRBtn"}
                                << "PsnManulIptRBtn";
    QTest::newRow("BT source") << QStringList{"BTManulRadioBtn", "BTAutoGenRadioBtn"} << "BTManulRadioBtn";
    QTest::newRow("BT generation") << QStringList{"BTTimeRadioBtn", "BTAddressRadioBtn"} << "BTTimeRadioBtn";
}

void TestSettingDlg::exclusiveButtons()
{
    QFETCH(QStringList, buttons);
    QFETCH(QString, initial);

    FPDoverARizSettingDlg dialog;
    // Every group box open and every button usable, so that the clicks reach them.
    for (auto *group : dialog.findChildren<QGroupBox *>()) {
        group->setChecked(true);
        group->setEnabled(true);
    }
    const auto checkedOnes = [&] {
        QStringList on;
        for (const QString &name : buttons) {
            if (child<QRadioButton>(dialog, name)->isChecked())
                on << name;
        }
        return on;
    };
    QCOMPARE(checkedOnes(), QStringList{initial});
    for (const QString &name : buttons) {
        child<QRadioButton>(dialog, name)->click();
        QCOMPARE(checkedOnes(), QStringList{name});
        // A second click cannot leave the group without a choice.
        child<QRadioButton>(dialog, name)->click();
        QCOMPARE(checkedOnes(), QStringList{name});
    }
}

void TestSettingDlg::restrictions_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expected");

    QTest::newRow("BT start: hexadecimal only") << "BTbeginAddrLEdit"
                                                << "0a-Gf:F9"
                                                << "0afF9";
    QTest::newRow("BT end: at most 12") << "BTEndAddrLEdit"
                                        << "0123456789abcdef"
                                        << "0123456789ab";
    QTest::newRow("IMEI max: digits only") << "ImeiMaxLNumLE"
                                           << "1x2.5"
                                           << "125";
    QTest::newRow("MBSN max: no sign") << "MbsnMaxLNumLE"
                                       << "-40"
                                       << "40";
    QTest::newRow("PSN max: digits only") << "PsnMaxLNumLE"
                                          << "9e9"
                                          << "99";
    QTest::newRow("MBSN init: letters and digits") << "MbsnInitNumberLE"
                                                   << "aZ*#%-9"
                                                   << "aZ9";
    QTest::newRow("PSN init: letters and digits") << "PsnInitNumberLE"
                                                  << "aZ*#%-9"
                                                  << "aZ9";
    QTest::newRow("MBSN mask: also star") << "MbsnMaskNumberLE"
                                          << "aZ*#%-9"
                                          << "aZ*9";
    QTest::newRow("PSN mask: also star") << "PsnMaskNumberLE"
                                         << "aZ*#%-9"
                                         << "aZ*9";
    QTest::newRow("IMEI init: digits, 14 at most") << "ImeiInitNumberLE"
                                                   << "1a*#2345678901234567"
                                                   << "12345678901234";
    QTest::newRow("IMEI mask: digits and star") << "ImeiMaskNumberLE"
                                                << "1a*#2"
                                                << "1*2";
    QTest::newRow("MBSN init: Mbsnlen at most") << "MbsnInitNumberLE"
                                                << "123456789"
                                                << "1234567";
    QTest::newRow("PSN mask: Psnlen at most") << "PsnMaskNumberLE"
                                              << "*********"
                                              << "*****";
    QTest::newRow("default IMEI: not editable") << "defaultIMEILEdit"
                                                << "123"
                                                << "";
}

void TestSettingDlg::restrictions()
{
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, expected);

    ToolSettings settings;
    settings.RunType = RunImei | RunMbsn | RunPsn | RunBt;
    settings.BTInputType = InputAutoGeneration;
    settings.Mbsnlen = 7;
    settings.Psnlen = 5;
    FPDoverARizSettingDlg dialog;
    dialog.loadFrom(settings);
    auto *edit = child<QLineEdit>(dialog, field);
    edit->clear();
    QTest::keyClicks(edit, typed);
    QCOMPARE(edit->text(), expected);
}

void TestSettingDlg::loadAndStore_data()
{
    QTest::addColumn<Prepare>("prepare");
    QTest::addColumn<Act>("act");            // what the operator changes before OK; may be empty
    QTest::addColumn<QStringList>("shows");  // control=state once loaded
    QTest::addColumn<QStringList>("stores"); // field=value once stored

    const Act nothing;
    QTest::newRow("port: neither set shows USB")
        << Prepare([](ToolSettings &s) { s.useCom = false, s.useUsb = false; }) << nothing
        << QStringList{"usbRadioBtn=on", "comRadioBtn=off"} << QStringList{"useUsb=true", "useCom=false"};
    QTest::newRow("port: both set shows USB")
        << Prepare([](ToolSettings &s) { s.useCom = true, s.useUsb = true; }) << nothing
        << QStringList{"usbRadioBtn=on", "comRadioBtn=off"} << QStringList{"useUsb=true", "useCom=false"};
    QTest::newRow("port: COM") << Prepare([](ToolSettings &s) { s.useCom = true, s.useUsb = false; }) << nothing
                               << QStringList{"usbRadioBtn=off", "comRadioBtn=on"}
                               << QStringList{"useUsb=false", "useCom=true"};
    QTest::newRow("port: switched to COM")
        << Prepare([](ToolSettings &) {}) << Act([](FPDoverARizSettingDlg &d) { click(d, "comRadioBtn"); })
        << QStringList{"usbRadioBtn=on"} << QStringList{"useUsb=false", "useCom=true"};

    QTest::newRow("BT: type 3 is not offered")
        << Prepare([](ToolSettings &s) { s.BTInputType = InputLoadFromFile, s.BTIsAutoAddr = false; }) << nothing
        << QStringList{"BTManulRadioBtn=on", "BTAutoGenRadioBtn=off", "BTTimeRadioBtn=on (disabled)",
                       "autoGenBTGroupBox=off (disabled)"}
        << QStringList{"BTInputType=0", "BTIsAutoAddr=false"};
    QTest::newRow("BT: by address") << Prepare([](ToolSettings &s) {
        s.RunType |= RunBt, s.BTInputType = InputAutoGeneration, s.BTIsAutoAddr = true;
        s.BTInitAddr = QStringLiteral("00000000000A"), s.BTEndAddr = QStringLiteral("0000000000ff");
    }) << nothing << QStringList{"mBTGroupBox=on",     "BTAutoGenRadioBtn=on",          "BTAddressRadioBtn=on",
                                 "BTTimeRadioBtn=off", "BTbeginAddrLEdit=00000000000A", "BTEndAddrLEdit=0000000000ff"}
                                    << QStringList{"BTInputType=5", "BTIsAutoAddr=true", "BTInitAddr=00000000000a",
                                                   "BTEndAddr=0000000000ff"};
    QTest::newRow("BT: back to manual input") << Prepare([](ToolSettings &s) {
        s.RunType |= RunBt, s.BTInputType = InputAutoGeneration;
    }) << Act([](FPDoverARizSettingDlg &d) {
        click(d, "BTManulRadioBtn");
        QVERIFY(!child<QGroupBox>(d, QStringLiteral("autoGenBTGroupBox"))->isEnabled());
        click(d, "BTAutoGenRadioBtn");
        QVERIFY(child<QGroupBox>(d, QStringLiteral("autoGenBTGroupBox"))->isEnabled());
        click(d, "BTManulRadioBtn");
    }) << QStringList{"BTAutoGenRadioBtn=on"} << QStringList{"BTInputType=0", "BTIsAutoAddr=false"};

    QTest::newRow("IMEI: count 3 in use")
        << Prepare([](ToolSettings &s) { s.RunType = RunImei, s.ImeiNum = 3; }) << nothing
        << QStringList{"imeiNumberComboBox=3", "imei3ComboBox=ManulInput", "imei4ComboBox=ManulInput (disabled)"}
        << QStringList{"ImeiNum=3", "RunType=1"};
    QTest::newRow("IMEI: from file, the others ignored")
        << Prepare([](ToolSettings &s) {
               s.imeiInputTypes = {3, 1, 1, 1};
           })
        << nothing
        << QStringList{"ImeiLFromFileRBtn=on", "ImeiDefaultMethodRBtn=off", "imei1ComboBox=ManulInput",
                       "imei2ComboBox=ManulInput"}
        << QStringList{"imeiInputTypes=3,3,3,3"};
    QTest::newRow("IMEI: custom") << Prepare([](ToolSettings &s) {
        s.imeiInputTypes = {4, 2, 0, 1};
    }) << nothing << QStringList{"ImeiCustomRBtn=on", "imei2ComboBox=ManulInput"}
                                  << QStringList{"imeiInputTypes=4,4,4,4"};
    QTest::newRow("IMEI: default, per combo box")
        << Prepare([](ToolSettings &s) {
               s.imeiInputTypes = {1, 2, 2, 0}, s.ImeiNum = 4;
           })
        << nothing
        << QStringList{"ImeiDefaultMethodRBtn=on", "imei1ComboBox=DefaultValue", "imei2ComboBox=AccumulationByStep",
                       "imei3ComboBox=AccumulationByStep", "imei4ComboBox=ManulInput"}
        << QStringList{"imeiInputTypes=1,2,2,0"};
    QTest::newRow("IMEI: the first cannot accumulate") << Prepare([](ToolSettings &s) {
        s.imeiInputTypes = {2, 0, 0, 0};
    }) << nothing << QStringList{"ImeiDefaultMethodRBtn=on", "imei1ComboBox=ManulInput"}
                                                       << QStringList{"imeiInputTypes=0,0,0,0"};
    QTest::newRow("IMEI: types the combo boxes do not offer")
        << Prepare([](ToolSettings &s) {
               s.imeiInputTypes = {-1, 3, 5, 4};
           })
        << nothing
        << QStringList{"ImeiDefaultMethodRBtn=on", "imei1ComboBox=ManulInput", "imei2ComboBox=ManulInput",
                       "imei3ComboBox=ManulInput (disabled)", "imei4ComboBox=ManulInput (disabled)"}
        << QStringList{"imeiInputTypes=0,0,0,0"};
    QTest::newRow("IMEI: switched to custom") << Prepare([](ToolSettings &s) {
        s.imeiInputTypes = {1, 2, 0, 0};
    }) << Act([](FPDoverARizSettingDlg &d) {
        click(d, "ImeiCustomRBtn");
        setText(d, "ImeiInitNumberLE", QStringLiteral("35123400000000"));
        setText(d, "ImeiMaskNumberLE", QStringLiteral("351234000*****"));
        click(d, "ImeiAdd1CB");
    }) << QStringList{"ImeiAdd1CB=on"}
                                              << QStringList{"imeiInputTypes=4,4,4,4", "ImeiInitNum14=35123400000000",
                                                             "ImeiMaskNum14=351234000*****", "NextAdd=false"};
    QTest::newRow("IMEI: count 7 from the file")
        << Prepare([](ToolSettings &s) { s.RunType = RunImei, s.ImeiNum = 7; }) << nothing
        << QStringList{"imeiNumberComboBox=<none>", "imei1ComboBox=ManulInput", "imei2ComboBox=ManulInput (disabled)",
                       "imei4ComboBox=ManulInput (disabled)"}
        << QStringList{"ImeiNum=1"};
    QTest::newRow("IMEI: count 0 from the file")
        << Prepare([](ToolSettings &s) { s.ImeiNum = 0; }) << nothing
        << QStringList{"imeiNumberComboBox=<none>", "imei2ComboBox=ManulInput (disabled)"} << QStringList{"ImeiNum=1"};

    QTest::newRow("MBSN: codes padded to Mbsnlen")
        << Prepare([](ToolSettings &s) {
               s.Mbsnlen = 17, s.MbsnInitNum = QString(16, QLatin1Char('0')), s.MbsnMaskNum = QStringLiteral("12*");
           })
        << nothing << QStringList{"MbsnInitNumberLE=00000000000000000", "MbsnMaskNumberLE=0000000000000012*"}
        << QStringList{"MbsnInitNum=00000000000000000", "MbsnMaskNum=0000000000000012*"};
    QTest::newRow("MBSN: codes keep their last Mbsnlen") << Prepare([](ToolSettings &s) {
        s.Mbsnlen = 5, s.MbsnInitNum = QStringLiteral("ABCDEFG"), s.MbsnMaskNum = QStringLiteral("AB*****");
    }) << nothing << QStringList{"MbsnInitNumberLE=CDEFG", "MbsnMaskNumberLE=*****"}
                                                         << QStringList{"MbsnInitNum=CDEFG", "MbsnMaskNum=*****"};
    QTest::newRow("MBSN: sources") << Prepare([](ToolSettings &s) { s.MbsnInputType = InputLoadFromFile; })
                                   << Act([](FPDoverARizSettingDlg &d) { click(d, "MbsnAutoGenRBtn"); })
                                   << QStringList{"MbsnLFromFileRBtn=on", "MbsnManulIptRBtn=off"}
                                   << QStringList{"MbsnInputType=5"};
    QTest::newRow("MBSN: unknown source shows manual input")
        << Prepare([](ToolSettings &s) { s.MbsnInputType = InputDefaultValue; }) << nothing
        << QStringList{"MbsnManulIptRBtn=on"} << QStringList{"MbsnInputType=0"};
    QTest::newRow("PSN: codes as they are") << Prepare([](ToolSettings &s) {
        s.Psnlen = 5, s.PsnInitNum = QStringLiteral("AB"), s.PsnMaskNum = QStringLiteral("A****");
        s.PsnInputType = InputCustom;
    }) << nothing << QStringList{"PsnInitNumberLE=AB", "PsnMaskNumberLE=A****", "PsnCustomRBtn=on"}
                                            << QStringList{"PsnInitNum=AB", "PsnMaskNum=A****", "PsnInputType=4"};
    QTest::newRow("PSN: from file") << Prepare([](ToolSettings &s) { s.PsnInputType = InputAutoGeneration; })
                                    << Act([](FPDoverARizSettingDlg &d) { click(d, "PsnLFromFileRBtn"); })
                                    << QStringList{"PsnAutoGenRBtn=on"} << QStringList{"PsnInputType=3"};

    QTest::newRow("station not on the line")
        << Prepare([](ToolSettings &s) {
               s.isEnablePhaseCheck = true, s.isPhaseCheck = true;
               s.currentStation = QStringLiteral("RETIRED"), s.checkStation = QStringLiteral("BT_TEST");
           })
        << nothing << QStringList{"phaseCurrentStaComBox=<none>", "phaseCheckStaComBox=BT_TEST", "phaseGroupBox=on"}
        << QStringList{"currentStation=", "checkStation=BT_TEST", "isPhaseCheck=true"};
    QTest::newRow("station names compared exactly")
        << Prepare([](ToolSettings &s) { s.currentStation = QStringLiteral("bt_test"), s.checkStation.clear(); })
        << nothing << QStringList{"phaseCurrentStaComBox=<none> (disabled)", "phaseCheckStaComBox= (disabled)"}
        << QStringList{"currentStation=", "checkStation="};
    QTest::newRow("station check disabled still stores its state")
        << Prepare([](ToolSettings &s) { s.isEnablePhaseCheck = false, s.isPhaseCheck = true; }) << nothing
        << QStringList{"phaseGroupBox=on (disabled)"} << QStringList{"isPhaseCheck=true", "isEnablePhaseCheck=false"};
    QTest::newRow("station check switched off")
        << Prepare([](ToolSettings &s) { s.isEnablePhaseCheck = true, s.isPhaseCheck = true; })
        << Act([](FPDoverARizSettingDlg &d) { toggleGroup(d, "phaseGroupBox"); }) << QStringList{"phaseGroupBox=on"}
        << QStringList{"isPhaseCheck=false"};

    QTest::newRow("factory data: disabled box keeps the record's choice") << Prepare([](ToolSettings &s) {
        s.isEnableInitFactData = false, s.initFactData = true;
    }) << Act([](FPDoverARizSettingDlg &d) { child<QCheckBox>(d, QStringLiteral("initFactCKBox"))->setChecked(false); })
                                                                          << QStringList{"initFactCKBox=on (disabled)"}
                                                                          << QStringList{"initFactData=true"};
    QTest::newRow("factory data: enabled box stores")
        << Prepare([](ToolSettings &s) { s.isEnableInitFactData = true, s.initFactData = true; })
        << Act([](FPDoverARizSettingDlg &d) { click(d, "initFactCKBox"); }) << QStringList{"initFactCKBox=on"}
        << QStringList{"initFactData=false"};
    QTest::newRow("version check alone") << Prepare([](ToolSettings &s) { s.RunType = RunCheckVersion; }) << nothing
                                         << QStringList{"imeiGroupBox=off", "mbsnGroupBox=off", "psnGroupBox=off",
                                                        "mBTGroupBox=off", "ckVersion=on"}
                                         << QStringList{"RunType=16"};
    QTest::newRow("bits above the version check are lost")
        << Prepare([](ToolSettings &s) { s.RunType = 0xFF; }) << nothing
        << QStringList{"imeiGroupBox=on", "mBTGroupBox=on", "ckVersion=on"} << QStringList{"RunType=31"};
    QTest::newRow("groups switched") << Prepare([](ToolSettings &s) {
        s.RunType = RunImei | RunPsn | 0x40;
    }) << Act([](FPDoverARizSettingDlg &d) {
        toggleGroup(d, "imeiGroupBox");
        toggleGroup(d, "mbsnGroupBox");
        click(d, "ckFactoryReset");
    }) << QStringList{"imeiGroupBox=on", "mbsnGroupBox=off", "psnGroupBox=on", "ckFactoryReset=off"}
                                     << QStringList{"RunType=6", "FactoryReset=true"};

    // An empty or zero limit would prepare a pool of no values until the next start.
    QTest::newRow("limits: empty and zero kept to 1")
        << Prepare([](ToolSettings &) {}) << Act([](FPDoverARizSettingDlg &d) {
               setText(d, "ImeiMaxLNumLE", QString());
               setText(d, "MbsnMaxLNumLE", QStringLiteral("0"));
               setText(d, "PsnMaxLNumLE", QStringLiteral("x"));
           })
        << QStringList{"ImeiMaxLNumLE=1000"} << QStringList{"ImeiMaxNum=1", "MbsnMaxNum=1", "PsnMaxNum=1"};
    QTest::newRow("limits: above 10000 kept to 10000")
        << Prepare([](ToolSettings &s) { s.ImeiMaxNum = 10000, s.MbsnMaxNum = 1, s.PsnMaxNum = 77; })
        << Act([](FPDoverARizSettingDlg &d) {
               setText(d, "ImeiMaxLNumLE", QStringLiteral("99999"));
               setText(d, "MbsnMaxLNumLE", QStringLiteral("12345678901234567890"));
           })
        << QStringList{"ImeiMaxLNumLE=10000", "MbsnMaxLNumLE=1", "PsnMaxLNumLE=77"}
        << QStringList{"ImeiMaxNum=10000", "MbsnMaxNum=10000", "PsnMaxNum=77"};

    QTest::newRow("default IMEI normalised, never taken from its field")
        << Prepare([](ToolSettings &s) { s.ImeiDefaultValue = QStringLiteral("12345"); })
        << Act([](FPDoverARizSettingDlg &d) { setText(d, "defaultIMEILEdit", QStringLiteral("999")); })
        << QStringList{"defaultIMEILEdit=12345 (disabled)"}
        << QStringList{"ImeiDefaultValue=123450000000000", "imeiDefaultNumber=123450000000000"};
    QTest::newRow("default IMEI cut to 15")
        << Prepare([](ToolSettings &s) { s.ImeiDefaultValue = QStringLiteral("1234567890123456"); }) << nothing
        << QStringList{} << QStringList{"ImeiDefaultValue=123456789012345", "imeiDefaultNumber=123456789012345"};

    QTest::newRow("what the dialog does not edit stays") << Prepare([](ToolSettings &s) {
        s.isEnablePhaseCheck = true, s.isEnableInitFactData = true, s.language = QStringLiteral("English");
        s.portName = QStringLiteral("USB3"), s.Mbsnlen = 9, s.Psnlen = 11;
        s.BTCurrentAddr = QStringLiteral("00000000ffff"), s.StartDelay = 1234;
        s.KeyVersion = QStringLiteral("K"), s.KeyVersionLen = 3, s.LodVersion = QStringLiteral("LOD7");
        s.AutoLoopTest = true, s.operationMode = OpRead, s.imeiList = QStringList{QStringLiteral("1")};
        s.currentMbsn = QStringLiteral("M"), s.currentPsn = QStringLiteral("P");
        s.currentBt = QStringLiteral("B"), s.expectedVersion = QStringLiteral("V");
    }) << Act([](FPDoverARizSettingDlg &d) { setText(d, "MbsnInitNumberLE", QStringLiteral("ABC")); })
                                                         << QStringList{}
                                                         << QStringList{"isEnablePhaseCheck=true",
                                                                        "isEnableInitFactData=true",
                                                                        "language=English",
                                                                        "portName=USB3",
                                                                        "Mbsnlen=9",
                                                                        "Psnlen=11",
                                                                        "BTCurrentAddr=00000000ffff",
                                                                        "StartDelay=1234",
                                                                        "KeyVersion=K",
                                                                        "KeyVersionLen=3",
                                                                        "LodVersion=LOD7",
                                                                        "AutoLoopTest=true",
                                                                        "operationMode=512",
                                                                        "imeiList=1",
                                                                        "currentMbsn=M",
                                                                        "currentPsn=P",
                                                                        "currentBt=B",
                                                                        "expectedVersion=V",
                                                                        "MbsnInitNum=ABC"};
}

void TestSettingDlg::loadAndStore()
{
    QFETCH(Prepare, prepare);
    QFETCH(Act, act);
    QFETCH(QStringList, shows);
    QFETCH(QStringList, stores);

    ToolSettings settings;
    prepare(settings);
    FPDoverARizSettingDlg dialog;
    dialog.show();
    dialog.loadFrom(settings);
    const QStringList shownWrong = mismatches(shows, [&](const QString &name) { return shown(dialog, name); });
    QVERIFY2(shownWrong.isEmpty(), qPrintable(shownWrong.join(QStringLiteral("; "))));

    if (act)
        act(dialog);
    if (QTest::currentTestFailed())
        return;
    dialog.storeTo(settings);
    const QMap<QString, QString> stored = fields(settings);
    const QStringList storedWrong =
        mismatches(stores, [&](const QString &name) { return stored.value(name, QStringLiteral("<no such field>")); });
    QVERIFY2(storedWrong.isEmpty(), qPrintable(storedWrong.join(QStringLiteral("; "))));
}

void TestSettingDlg::roundTrip_data()
{
    QTest::addColumn<Prepare>("prepare");

    QTest::newRow("defaults") << Prepare([](ToolSettings &) {});
    QTest::newRow("everything away from its default") << Prepare([](ToolSettings &s) {
        s.useCom = true, s.useUsb = false, s.isEnablePhaseCheck = true, s.isPhaseCheck = true;
        s.currentStation = QStringLiteral("FINAL_TEST"), s.checkStation = QStringLiteral("SMT_TEST");
        s.RunType = RunImei | RunBt | RunCheckVersion, s.ImeiNum = 4, s.ImeiCheckRepetitive = true;
        s.ImeiSave = true, s.ImeiMaxNum = 42, s.ImeiFromFile = QStringLiteral("/data/imei.xls");
        s.ImeiInitNum14 = QStringLiteral("86000000000000"), s.ImeiMaskNum14 = QStringLiteral("8600000000****");
        s.NextAdd = false, s.imeiInputTypes = {1, 2, 1, 0};
        s.MbsnFromFile = QStringLiteral("/data/mbsn.xls"), s.MbsnInitNum = QStringLiteral("MB000000000000001");
        s.MbsnMaskNum = QStringLiteral("MB000000000******"), s.MbsnInputType = InputCustom;
        s.MbsnCheckRepetitive = true, s.MbsnSave = true, s.MbsnMaxNum = 9999;
        s.PsnFromFile = QStringLiteral("/data/psn.xls"), s.PsnInitNum = QStringLiteral("PS01");
        s.PsnMaskNum = QStringLiteral("PS0000000000000*****"), s.PsnInputType = InputLoadFromFile;
        s.PsnCheckRepetitive = true, s.PsnSave = true, s.PsnMaxNum = 2;
        s.BTInputType = InputAutoGeneration, s.BTIsAutoAddr = true, s.BTInitAddr = QStringLiteral("000000000010");
        s.BTEndAddr = QStringLiteral("0000000000ff"), s.BTSave = true, s.BTCheckRepetitive = true;
        s.isEnableInitFactData = true, s.initFactData = true, s.FactoryReset = true;
        s.ImeiDefaultValue = QStringLiteral("354000000000009");
        s.normaliseDefaultImei();
    });
}

// What one record holds reaches a fresh record through the dialog unchanged: every control is read back into
// the field it was filled from.
void TestSettingDlg::roundTrip()
{
    QFETCH(Prepare, prepare);

    ToolSettings from;
    prepare(from);
    from.normaliseDefaultImei(); // as every load leaves it
    FPDoverARizSettingDlg dialog;
    dialog.loadFrom(from);
    ToolSettings to;
    to.isEnableInitFactData = from.isEnableInitFactData; // which the dialog leaves to the record
    to.isEnablePhaseCheck = from.isEnablePhaseCheck;
    to.ImeiDefaultValue = from.ImeiDefaultValue;
    dialog.storeTo(to);

    QMap<QString, QString> expected = fields(from);
    QMap<QString, QString> actual = fields(to);
    for (const QString &key : expected.keys()) {
        if (expected.value(key) != actual.value(key))
            QFAIL(qPrintable(
                QStringLiteral("%1: \"%2\" came back as \"%3\"").arg(key, expected.value(key), actual.value(key))));
    }
}

void TestSettingDlg::filters_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text"); // put in as a paste or a load would, past the typing restrictions
    QTest::addColumn<QString>("expected");

    QTest::newRow("IMEI init keeps # and %") << "ImeiInitNumberLE"
                                             << "12-3#4%5*6 7"
                                             << "123#4%567";
    QTest::newRow("IMEI init keeps any letter and digit") << "ImeiInitNumberLE"
                                                          << "a\u00e9\u0663\u4e2d."
                                                          << "a\u00e9\u0663\u4e2d";
    QTest::newRow("IMEI mask keeps * # %") << "ImeiMaskNumberLE"
                                           << "1*2#3%4-5_"
                                           << "1*2#3%45";
    QTest::newRow("MBSN init drops *") << "MbsnInitNumberLE"
                                       << "AB-12#%*"
                                       << "AB12#%";
    QTest::newRow("MBSN mask keeps * # %") << "MbsnMaskNumberLE"
                                           << "A*#%-/"
                                           << "A*#%";
    QTest::newRow("PSN init keeps nothing extra") << "PsnInitNumberLE"
                                                  << "A#%*-1"
                                                  << "A1";
    QTest::newRow("PSN mask keeps *") << "PsnMaskNumberLE"
                                      << "A#%*-1"
                                      << "A*1";
    QTest::newRow("only removed characters") << "PsnMaskNumberLE"
                                             << "-#%"
                                             << "";
    QTest::newRow("letter outside the basic plane") << "PsnInitNumberLE"
                                                    << "x\U00010400y!"
                                                    << "x\U00010400y";
    QTest::newRow("a clean text stays") << "MbsnInitNumberLE"
                                        << "ABC123"
                                        << "ABC123";
}

void TestSettingDlg::filters()
{
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(QString, expected);

    FPDoverARizSettingDlg dialog;
    auto *edit = child<QLineEdit>(dialog, field);
    edit->setText(text);
    QCOMPARE(edit->text(), expected);

    // A load cleans what it puts into the fields in the same way.
    ToolSettings settings;
    settings.Mbsnlen = int(text.size());
    settings.Psnlen = 32;
    const QHash<QString, QString *> recordField = {{QStringLiteral("ImeiInitNumberLE"), &settings.ImeiInitNum14},
                                                   {QStringLiteral("ImeiMaskNumberLE"), &settings.ImeiMaskNum14},
                                                   {QStringLiteral("MbsnInitNumberLE"), &settings.MbsnInitNum},
                                                   {QStringLiteral("MbsnMaskNumberLE"), &settings.MbsnMaskNum},
                                                   {QStringLiteral("PsnInitNumberLE"), &settings.PsnInitNum},
                                                   {QStringLiteral("PsnMaskNumberLE"), &settings.PsnMaskNum}};
    *recordField.value(field) = text;
    FPDoverARizSettingDlg loaded;
    loaded.loadFrom(settings);
    QCOMPARE(child<QLineEdit>(loaded, field)->text(), expected);
}

void TestSettingDlg::imeiCount_data()
{
    QTest::addColumn<bool>("imeiOn");
    QTest::addColumn<int>("imeiNum");
    QTest::addColumn<Act>("act");
    QTest::addColumn<QString>("enabled"); // imei1ComboBox to imei4ComboBox

    const Act nothing;
    QTest::newRow("3 in use") << true << 3 << nothing << "1110";
    QTest::newRow("3 in use, group off and on again") << true << 3 << Act([](FPDoverARizSettingDlg &d) {
        toggleGroup(d, "imeiGroupBox");
        QCOMPARE(enabledPattern(d), QStringLiteral("0000"));
        toggleGroup(d, "imeiGroupBox");
    }) << "1110";
    QTest::newRow("count lowered to 1") << true << 4 << Act([](FPDoverARizSettingDlg &d) {
        child<QComboBox>(d, QStringLiteral("imeiNumberComboBox"))->setCurrentIndex(0);
    }) << "1000";
    QTest::newRow("count raised to 4") << true << 2 << Act([](FPDoverARizSettingDlg &d) {
        auto *count = child<QComboBox>(d, QStringLiteral("imeiNumberComboBox"));
        QTest::keyClick(count, Qt::Key_End);
        QCOMPARE(count->currentText(), QStringLiteral("4"));
    }) << "1111";
    QTest::newRow("group off: all disabled") << false << 2 << nothing << "0000";
    QTest::newRow("group turned on") << false << 2
                                     << Act([](FPDoverARizSettingDlg &d) { toggleGroup(d, "imeiGroupBox"); }) << "1100";
    QTest::newRow("count changed while off, then on") << false << 1 << Act([](FPDoverARizSettingDlg &d) {
        child<QComboBox>(d, QStringLiteral("imeiNumberComboBox"))->setCurrentIndex(2);
        QCOMPARE(enabledPattern(d), QStringLiteral("0000"));
        toggleGroup(d, "imeiGroupBox");
    }) << "1110";
    QTest::newRow("count 7 counts as 1") << true << 7 << nothing << "1000";
    QTest::newRow("count -1 counts as 1") << true << -1 << nothing << "1000";
}

void TestSettingDlg::imeiCount()
{
    QFETCH(bool, imeiOn);
    QFETCH(int, imeiNum);
    QFETCH(Act, act);
    QFETCH(QString, enabled);

    ToolSettings settings;
    settings.RunType = imeiOn ? RunImei : RunMbsn;
    settings.ImeiNum = imeiNum;
    FPDoverARizSettingDlg dialog;
    dialog.show();
    dialog.loadFrom(settings);
    if (act)
        act(dialog);
    QCOMPARE(enabledPattern(dialog), enabled);
}

void TestSettingDlg::okButton_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("end");
    QTest::addColumn<bool>("btOn");
    QTest::addColumn<int>("btSource");
    QTest::addColumn<QString>("refusal"); // the warning's text; empty when OK is accepted

    const QString order = QStringLiteral("BT start address can not be larger than the end!");
    const QString badStart = QStringLiteral("BT start address is wrong!");
    QTest::newRow("the defaults") << "002715082c32"
                                  << "020203040508" << false << 0 << "";
    QTest::newRow("equal") << "000000000001"
                           << "000000000001" << true << 5 << order;
    QTest::newRow("start above the end") << "000000000002"
                                         << "000000000001" << true << 5 << order;
    QTest::newRow("both empty, group off") << ""
                                           << "" << false << 0 << "";
    QTest::newRow("both empty, manual input") << ""
                                              << "" << true << 0 << badStart;
    QTest::newRow("above 32 bits") << "fefffffffffe"
                                   << "ffffffffffff" << true << 5 << "";
    QTest::newRow("above 32 bits, reversed") << "ffffffffffff"
                                             << "fffffffffffe" << true << 5 << order;
    QTest::newRow("letters in either case") << "00000000000A"
                                            << "00000000000b" << true << 5 << "";
    // An empty address is not taken for 0: range mode could not use it.
    QTest::newRow("empty start") << ""
                                 << "000000000001" << true << 5 << badStart;
    QTest::newRow("empty end") << "000000000001"
                               << "" << true << 5 << "BT end address is wrong!";
    QTest::newRow("ten digits") << "2715082c32"
                                << "020203040508" << true << 5 << badStart;
    QTest::newRow("odd first octet") << "012715082c32"
                                     << "020203040508" << true << 5
                                     << "BT start address 012715082c32 has an odd first octet: it is a group address!";
}

void TestSettingDlg::okButton()
{
    QFETCH(QString, start);
    QFETCH(QString, end);
    QFETCH(bool, btOn);
    QFETCH(int, btSource);
    QFETCH(QString, refusal);

    ToolSettings settings;
    settings.RunType = btOn ? RunBt : RunImei;
    settings.BTInputType = btSource;
    settings.BTInitAddr = start;
    settings.BTEndAddr = end;
    settings.BTCurrentAddr = QStringLiteral("ffffffffffff"); // beyond every range: not the dialog's business
    FPDoverARizSettingDlg dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    dialog.loadFrom(settings);
    QSignalSpy acceptedSpy(&dialog, &QDialog::accepted);
    QSignalSpy rejectedSpy(&dialog, &QDialog::rejected);

    const bool accepted = refusal.isEmpty();
    if (!accepted)
        MessageBoxes::setNextAnswer(QMessageBox::Ok);
    click(dialog, "okBtn");
    const auto boxes = MessageBoxes::takeRecords();
    QCOMPARE(acceptedSpy.count(), accepted ? 1 : 0);
    QCOMPARE(rejectedSpy.count(), 0);
    QCOMPARE(dialog.isVisible(), !accepted);
    if (accepted) {
        QVERIFY(boxes.isEmpty());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        return;
    }
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].icon, QMessageBox::Warning);
    QCOMPARE(boxes[0].title, QStringLiteral("Warning"));
    QCOMPARE(boxes[0].text, refusal);
    auto *startField = child<QLineEdit>(dialog, QStringLiteral("BTbeginAddrLEdit"));
    if (startField->isEnabled()) {
        QCOMPARE(child<QTabWidget>(dialog, QStringLiteral("mTabWidget"))->currentWidget()->objectName(),
                 QStringLiteral("mBTWidget"));
        QTRY_COMPARE(QApplication::focusWidget(), startField);
    }
}

// Return in a field moves the focus on and leaves the dialog open, in every field; OK alone accepts.
void TestSettingDlg::returnMovesOn()
{
    ToolSettings settings;
    settings.RunType = RunImei | RunMbsn | RunPsn | RunBt;
    FPDoverARizSettingDlg dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    dialog.loadFrom(settings);
    QSignalSpy acceptedSpy(&dialog, &QDialog::accepted);
    const QList<QLineEdit *> fields = dialog.findChildren<QLineEdit *>();
    QVERIFY(!fields.isEmpty());
    for (QLineEdit *field : fields) {
        auto *tabs = child<QTabWidget>(dialog, QStringLiteral("mTabWidget"));
        for (QWidget *page = field; page; page = page->parentWidget()) {
            if (tabs->indexOf(page) >= 0)
                tabs->setCurrentWidget(page);
        }
        if (!field->isEnabled() || !field->isVisible() || field->focusPolicy() == Qt::NoFocus)
            continue;
        field->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), field);
        QTest::keyClick(field, Qt::Key_Return);
        QVERIFY2(QApplication::focusWidget() != field, qPrintable(field->objectName()));
        QVERIFY2(dialog.isVisible(), qPrintable(field->objectName()));
    }
    QCOMPARE(acceptedSpy.count(), 0);
}

// A file can bring a letter into the initial IMEI number, which no series comes from: OK refuses it while the
// IMEI series is in use.
void TestSettingDlg::imeiInitialWithLetterRefused()
{
    ToolSettings settings;
    settings.RunType = RunImei;
    settings.imeiInputTypes = {InputCustom, InputCustom, InputCustom, InputCustom};
    settings.ImeiInitNum14 = QStringLiteral("1000A000000000");
    FPDoverARizSettingDlg dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    dialog.loadFrom(settings);
    QSignalSpy acceptedSpy(&dialog, &QDialog::accepted);
    MessageBoxes::setNextAnswer(QMessageBox::Ok);
    click(dialog, "okBtn");
    const auto boxes = MessageBoxes::takeRecords();
    QCOMPARE(acceptedSpy.count(), 0);
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].text, QStringLiteral("The initial IMEI number 1000A000000000 must be digits!"));
}

void TestSettingDlg::endedWithoutOk_data()
{
    QTest::addColumn<bool>("byCloseButton");

    QTest::newRow("Cancel") << false;
    QTest::newRow("window's close button") << true;
}

// Only the fitting of the MBSN codes, done as the dialog opens, outlives a dialog that was not accepted.
void TestSettingDlg::endedWithoutOk()
{
    QFETCH(bool, byCloseButton);

    ToolSettings settings;
    settings.Mbsnlen = 17;
    settings.MbsnInitNum = QString(16, QLatin1Char('0'));
    const QMap<QString, QString> before = fields(settings);

    auto dialog = std::make_unique<FPDoverARizSettingDlg>();
    dialog->loadFrom(settings);
    QCOMPARE(settings.MbsnInitNum, QString(17, QLatin1Char('0')));
    int result = -1;
    FPDoverARizSettingDlg::setNextAnswer([&](FPDoverARizSettingDlg &d) {
        click(d, "comRadioBtn");
        toggleGroup(d, "imeiGroupBox");
        setText(d, "ImeiMaxLNumLE", QStringLiteral("5"));
        setText(d, "MbsnInitNumberLE", QStringLiteral("XYZ"));
        if (byCloseButton)
            d.close();
        else
            click(d, "CancelBtn");
        result = d.result();
    });
    QCOMPARE(dialog->run(), int(QDialog::Rejected));
    QCOMPARE(result, int(QDialog::Rejected));
    QVERIFY(!dialog->isVisible());
    dialog.reset();

    QMap<QString, QString> expected = before;
    expected[QStringLiteral("MbsnInitNum")] = QString(17, QLatin1Char('0'));
    expected[QStringLiteral("MbsnMaskNum")] = QStringLiteral("000000000000*****"); // the last 17 of 20
    QCOMPARE(fields(settings), expected);
}

void TestSettingDlg::fileChoosers_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("answer"); // relative to the test directory; "-" cancels, "missing/..." is not there
    QTest::addColumn<QString>("shows");  // relative likewise; "=" is the record's value
    QTest::addColumn<QString>("nextDirectory");

    QTest::newRow("IMEI workbook") << "ImeiBrowseBtn"
                                   << "ImeiFileLE"
                                   << "books/imei.xls"
                                   << "books/imei.xls"
                                   << "books";
    QTest::newRow("MBSN workbook") << "MbsnBrowseBtn"
                                   << "MbsnFileLE"
                                   << "books/mbsn.xlsx"
                                   << "books/mbsn.xlsx"
                                   << "books";
    QTest::newRow("PSN workbook") << "PsnBrowseBtn"
                                  << "PsnFileLE"
                                  << "books/psn.csv"
                                  << "books/psn.csv"
                                  << "books";
    QTest::newRow("a path that is not there") << "PsnBrowseBtn"
                                              << "PsnFileLE"
                                              << "missing/psn.xls"
                                              << "missing/psn.xls"
                                              << ".";
    QTest::newRow("a folder") << "ImeiBrowseBtn"
                              << "ImeiFileLE"
                              << "books"
                              << "books"
                              << ".";
    QTest::newRow("cancelled") << "MbsnBrowseBtn"
                               << "MbsnFileLE"
                               << "-"
                               << "="
                               << ".";
}

void TestSettingDlg::fileChoosers()
{
    QFETCH(QString, button);
    QFETCH(QString, field);
    QFETCH(QString, answer);
    QFETCH(QString, shows);
    QFETCH(QString, nextDirectory);

    const QDir dir(m_dir.path());
    QVERIFY(dir.mkpath(QStringLiteral("books")));
    for (const char *name : {"books/imei.xls", "books/mbsn.xlsx", "books/psn.csv"}) {
        QFile book(dir.filePath(QString::fromLatin1(name)));
        QVERIFY(book.open(QIODevice::WriteOnly));
    }
    const auto abs = [&](const QString &relative) { return QDir::cleanPath(dir.filePath(relative)); };

    ToolSettings settings;
    settings.ImeiFromFile = QStringLiteral("old.xls");
    settings.MbsnFromFile = QStringLiteral("old.xls");
    settings.PsnFromFile = QStringLiteral("old.xls");
    FPDoverARizSettingDlg dialog;
    dialog.loadFrom(settings);
    auto *browse = child<QPushButton>(dialog, button);

    FileChoosers::setNextAnswer(answer == QLatin1String("-") ? QString() : abs(answer));
    FileChoosers::setNextAnswer(QString());
    browse->click();
    browse->click(); // the second chooser opens where the first left off, and is cancelled
    const auto records = FileChoosers::takeRecords();
    QCOMPARE(records.size(), 2);
    QCOMPARE(records[0].title, QStringLiteral("Select Excel File"));
    QCOMPARE(records[0].directory, m_dir.path());
    QVERIFY2(records[0].filter.startsWith(QLatin1String("Excel files (*.xls);;")), qPrintable(records[0].filter));
    QVERIFY(records[0].filter.contains(QLatin1String("(*.xlsx)")));
    QVERIFY(records[0].filter.contains(QLatin1String("(*.csv)")));
    QCOMPARE(records[1].directory, abs(nextDirectory));
    QCOMPARE(dialog.lastDirectory(), abs(nextDirectory));
    QCOMPARE(child<QLineEdit>(dialog, field)->text(), shows == QLatin1String("=") ? settings.ImeiFromFile : abs(shows));

    // A new dialog starts in the application's directory again.
    FPDoverARizSettingDlg next;
    QCOMPARE(next.lastDirectory(), m_dir.path());
}

void TestSettingDlg::stationsOfTheLine_data()
{
    QTest::addColumn<QStringList>("names");

    QTest::newRow("the line's stations") << LineStations;
    QTest::newRow("no stations") << QStringList{};
}

void TestSettingDlg::stationsOfTheLine()
{
    QFETCH(QStringList, names);

    const QString path = m_dir.filePath(QStringLiteral("stations-%1.txt").arg(names.size()));
    QVERIFY(writeStations(path, names));
    const QByteArray old = qgetenv("TGTLINK_STATIONS");
    qputenv("TGTLINK_STATIONS", path.toLocal8Bit());
    const auto restore = qScopeGuard([&] { qputenv("TGTLINK_STATIONS", old); });

    ToolSettings settings;
    FPDoverARizSettingDlg dialog;
    dialog.loadFrom(settings);
    dialog.loadFrom(settings); // a second load does not pile up the names
    for (const char *name : {"phaseCurrentStaComBox", "phaseCheckStaComBox"}) {
        auto *combo = child<QComboBox>(dialog, QString::fromLatin1(name));
        QStringList items;
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
        QCOMPARE(items, QStringList{QString()} + names);
        QCOMPARE(combo->currentIndex(), 0);
    }
}

void TestSettingDlg::chinese_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");

    QTest::newRow("title") << "FPDoverARizSettingDlg"
                           << "设置";
    QTest::newRow("button") << "okBtn"
                            << "确定";
    QTest::newRow("radio button") << "MbsnAutoGenRBtn"
                                  << "自动生成";
    QTest::newRow("label keeps its leading spaces") << "label_13"
                                                    << "  IMEI1(主)";
    QTest::newRow("the count stays a number") << "imeiNumberComboBox"
                                              << "3";
}

// The dialog's texts come from the tool's Chinese catalogue, in the dialog's own context.
void TestSettingDlg::chinese()
{
    QFETCH(QString, name);
    QFETCH(QString, text);

    QTranslator translator;
    QVERIFY(translator.load(QStringLiteral(DOVERARIZ_RUNTIME_DIR "/tr/imei_chs.qm")));
    QVERIFY(QCoreApplication::installTranslator(&translator));
    const auto removed = qScopeGuard([&] { QCoreApplication::removeTranslator(&translator); });

    ToolSettings settings;
    settings.ImeiNum = 3;
    FPDoverARizSettingDlg dialog;
    dialog.loadFrom(settings);
    QWidget *widget = name == dialog.objectName() ? &dialog : child<QWidget>(dialog, name);
    if (auto *button = qobject_cast<QAbstractButton *>(widget))
        QCOMPARE(button->text(), text);
    else if (auto *label = qobject_cast<QLabel *>(widget))
        QCOMPARE(label->text(), text);
    else if (auto *combo = qobject_cast<QComboBox *>(widget))
        QCOMPARE(combo->currentText(), text);
    else
        QCOMPARE(widget->windowTitle(), text);

    settings.ImeiNum = 0;
    dialog.storeTo(settings);
    QCOMPARE(settings.ImeiNum, 3);
}

// Every value field shows its longest value whole at the dialog's own size, in both languages: a field too
// narrow scrolls its start out of sight (an init code 35693803560000 read as 693803560000).
void TestSettingDlg::valueFieldsShowLongestValue_data()
{
    QTest::addColumn<QString>("catalogue");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");

    const QList<std::pair<const char *, QString>> fields = {
        {"ImeiInitNumberLE", QStringLiteral("35693803560000")},
        {"ImeiMaskNumberLE", QStringLiteral("35693803560000")},
        {"ImeiMaxLNumLE", QStringLiteral("10000")},
        {"defaultIMEILEdit", QStringLiteral("356938035643809")},
        {"MbsnInitNumberLE", QStringLiteral("MB202612080000001")}, // Mbsnlen 17
        {"MbsnMaskNumberLE", QStringLiteral("MB202612080000001")},
        {"MbsnMaxLNumLE", QStringLiteral("10000")},
        {"PsnInitNumberLE", QStringLiteral("PS200020261208000001")}, // Psnlen 20
        {"PsnMaskNumberLE", QStringLiteral("PS200020261208000001")},
        {"PsnMaxLNumLE", QStringLiteral("10000")},
        {"BTbeginAddrLEdit", QStringLiteral("0A1B2C3D4E5F")},
        {"BTEndAddrLEdit", QStringLiteral("0A1B2C3D4E5F")}};
    for (const char *catalogue : {"imei_chs_en", "imei_chs"}) {
        for (const auto &[field, value] : fields)
            QTest::addRow("%s %s", catalogue, field)
                << QString::fromLatin1(catalogue) << QString::fromLatin1(field) << value;
    }
}

void TestSettingDlg::valueFieldsShowLongestValue()
{
    QFETCH(QString, catalogue);
    QFETCH(QString, field);
    QFETCH(QString, value);

    QTranslator translator;
    QVERIFY(translator.load(QStringLiteral(DOVERARIZ_RUNTIME_DIR "/tr/") + catalogue + QStringLiteral(".qm")));
    QVERIFY(QCoreApplication::installTranslator(&translator));
    const auto removed = qScopeGuard([&] { QCoreApplication::removeTranslator(&translator); });
    // The tool's own style, whose frames and margins the fields are drawn with.
    QApplication::setStyle(QStringLiteral("Windows"));

    ToolSettings settings;
    FPDoverARizSettingDlg dialog;
    dialog.loadFrom(settings);
    auto *edit = child<QLineEdit>(dialog, field);
    auto *tabs = child<QTabWidget>(dialog, QStringLiteral("mTabWidget"));
    for (int i = 0; i < tabs->count(); ++i) {
        if (tabs->widget(i)->isAncestorOf(edit))
            tabs->setCurrentIndex(i);
    }
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCoreApplication::processEvents();

    // The text area: the contents less the frame and the line edit's own margin of 2 pixels on each side.
    const int frame = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, edit);
    const int room = edit->contentsRect().width() - 2 * frame - 4;
    const int needed = edit->fontMetrics().horizontalAdvance(value);
    QVERIFY2(needed <= room, qPrintable(QStringLiteral("%1 needs %2 pixels, the field has %3 (dialog %4 wide)")
                                            .arg(value)
                                            .arg(needed)
                                            .arg(room)
                                            .arg(dialog.width())));
}

QTEST_MAIN(TestSettingDlg)
#include "TestSettingDlg.moc"
