// The station's window: what the station shows and asks of the operator. The write and read cycle lives in
// StationCycle, the identity fields' rules in IdentityInputController, the order of the fields in
// IdentityFieldOrder, identity checks and allocation in IdentityChecks and IdentityAllocator, the device work in
// FPDoverARizWorker; the window's slots hand over to them. Past 600 lines because the window keeps its many slot
// names (each a line's forwarder) and implements both front ends the core talks to.
#include "shell/FPDoverARizMainWindow.h"

#include "ui_FPDoverARizMainWindow.h"

#include "config/AppPaths.h"
#include "config/BuildInfo.h"
#include "config/Clock.h"
#include "config/ToolSettings.h"
#include "device/FPDoverARizWorker.h"
#include "device/StationCycle.h"
#include "history/HistoryFiles.h"
#include "history/StationHistories.h"
#include "identity/IdentityAllocator.h"
#include "identity/IdentityFieldOrder.h"
#include "identity/ImeiRules.h"
#include "identity/LocalIssuedIdentities.h"
#include "identity/SheetImport.h"
#include "ledger/LineLedger.h"
#include "ports/PortScanWorker.h"
#include "ports/PortScanWorkerLock.h"
#include "shell/FPColorGraphicsView.h"
#include "shell/FPDoverARizSettingDlg.h"
#include "shell/IdentityInputController.h"
#include "shell/ManualViewer.h"
#include "shell/MessageBoxes.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGraphicsScene>
#include <QKeyEvent>
#include <QRadioButton>
#include <QScrollBar>
#include <QThread>
#include <QToolBar>
#include <QTranslator>

// Resources of a static library are registered by hand; outside any namespace, as the macro requires.
static void initResources()
{
    Q_INIT_RESOURCE(resources);
}

const QString FPDoverARizMainWindow::Version = QStringLiteral("v10.00.01");
const QString FPDoverARizMainWindow::BuildTag = QStringLiteral("-g415aec77");
const QString FPDoverARizMainWindow::BuildDate = QStringLiteral("2016-09-13");

namespace {
// The PDF viewer the line installs beside the executable; the desktop's handler stands in when it is absent.
const QString ViewerFileName = QStringLiteral("FoxitReader.exe");
const QString HelpManual = QStringLiteral("DOC/DOVER_ARIZ_TOOL_USERGUIDE.pdf");
const QString HelpManualEn = QStringLiteral("DOC/DOVER_ARIZ_TOOL_USERGUIDE_en.pdf");
const QString KeyManual = QStringLiteral("doc/dover_ariz_tool_manual_cn.pdf");
const QString LanguageChinese = QStringLiteral("Chinese");
const QString LanguageEnglish = QStringLiteral("English");

QString settingsFileName()
{
    return QDir::toNativeSeparators(QFileInfo(ToolSettings::filePath()).absoluteFilePath());
}

// A catalogue that is missing leaves its translator empty and the source texts showing; nothing to report.
void loadCatalogue(QTranslator &translator, const QString &path)
{
    const bool loaded = translator.load(path); // clears the translator first
    Q_UNUSED(loaded)
}
} // namespace

FPDoverARizMainWindow::FPDoverARizMainWindow(QWidget *parent)
    : QMainWindow(parent), ui(std::make_unique<Ui::FPDoverARizMainWindow>()),
      m_toolTranslator(std::make_unique<QTranslator>()), m_qtTranslator(std::make_unique<QTranslator>())
{
    initResources();
    setWindowIcon(QIcon(QStringLiteral(":/images/MainWnd.ico")));
    ui->setupUi(this);

    m_settings = std::make_unique<ToolSettings>();
    m_settings->load();
    m_settings->operationMode = OpWrite;
    m_settings->portName.clear();
    m_histories = std::make_unique<StationHistories>();
    m_issued = std::make_unique<LocalIssuedIdentities>(*m_histories);
    // With a line's ledger every duplicate test asks it beside the histories; its troubles go to the log pane
    // (the tests run on this thread).
    m_line = std::make_unique<LineLedger>(AppPaths::filePath(LineConfig::defaultPath()));
    const IssuedIdentities &issued =
        m_line->issued(*m_issued, [this](const QString &message) { logLine(message, LineColour::Warning); });
    m_identities = std::make_unique<IdentityAllocator>(*m_settings, static_cast<IdentityFrontEnd &>(*this), issued);
    m_identities->setCounterBlocks(m_line->counterBlocks());
    const IssuedIdentities *issuedPtr = &issued;
    m_identities->setImeiSheetImport([this, issuedPtr](ImeiPool &pool, int maxCount) {
        return SheetImport::importImeisFromSheet(*m_settings, *this, *issuedPtr, maxCount, pool);
    });
    m_identities->setSerialSheetImport([this, issuedPtr](IdentityPool &pool, int maxCount, int kind) {
        return SheetImport::importSerialsFromSheet(*m_settings, *this, *issuedPtr, maxCount, pool, kind);
    });

    // Installed while still empty; the language step fills them.
    QCoreApplication::installTranslator(m_qtTranslator.get());
    QCoreApplication::installTranslator(m_toolTranslator.get());
    m_toolCatalogue = QStringLiteral("tr/imei_chs.qm");
    m_toolCatalogueEn = QStringLiteral("tr/imei_chs_en.qm");
    m_qtCatalogue = QStringLiteral("tr/qt_zh_CN.qm");
    ui->LogoLabel->setPixmap(QPixmap(QStringLiteral(":/images/logo.png")));

    ui->versionLEdit->setText(m_settings->LodVersion);

    buildToolBar();
    setPalettes();
    ui->logTextEdit->setStyleSheet(QStringLiteral("QTextEdit { background: black }"));
    ui->logTextEdit->setTextColor(QColor(255, 255, 255));
    ui->logTextEdit->setFont(QFont(QStringLiteral("Times"), 13, QFont::Bold));
    m_imeiEdits = {ui->imei1LEdit, ui->imei2LEdit, ui->imei3LEdit, ui->imei4LEdit};
    m_input = new IdentityInputController(
        {{ui->imei1LEdit, ui->imei2LEdit, ui->imei3LEdit, ui->imei4LEdit},
         ui->mbsnLEdit,
         ui->psnLEdit,
         ui->BTLEdit,
         ui->versionLEdit},
        *m_settings, *m_histories, m_identities->checks(),
        [this](const QString &text, LineColour colour) { logLine(text, colour); }, [this] { onWrite(); }, this);
    connectInputFields();
    // Made early, so that a cycle ended by the identity sources during construction finds it.
    m_cycle = new StationCycle(*m_settings, *m_identities, static_cast<StationFrontEnd &>(*this), this);

    const QList<QPair<QPushButton *, QLineEdit *>> clearButtons = {
        {ui->versionClearBtn, ui->versionLEdit}, {ui->imei1ClearBtn, ui->imei1LEdit},
        {ui->imei2ClearBtn, ui->imei2LEdit},     {ui->imei3ClearBtn, ui->imei3LEdit},
        {ui->imei4ClearBtn, ui->imei4LEdit},     {ui->mbsnClearBtn, ui->mbsnLEdit},
        {ui->psnClearBtn, ui->psnLEdit},         {ui->btClearBtn, ui->BTLEdit}};
    for (const auto &[button, edit] : clearButtons)
        connect(button, &QPushButton::clicked, edit, &QLineEdit::clear);
    connect(ui->setupBtn, &QPushButton::clicked, this, &FPDoverARizMainWindow::onSettingUp);
    connect(ui->exitBtn, &QPushButton::clicked, this, &FPDoverARizMainWindow::close);
    connect(ui->countBtn, &QPushButton::clicked, this, &FPDoverARizMainWindow::onRestartCount);
    connect(ui->startBtn, &QPushButton::clicked, this, &FPDoverARizMainWindow::onWrite);
    connect(ui->readBtn, &QPushButton::clicked, this, &FPDoverARizMainWindow::onRead);
    connect(ui->stopBtn, &QPushButton::clicked, this, &FPDoverARizMainWindow::onStop);

    startPortScanner();

    setStationState(StateReady);

    m_workerThread = new QThread(this);
    m_workerThread->setObjectName(QStringLiteral("device worker"));
    m_worker = new FPDoverARizWorker;
    m_worker->setSettings(m_settings.get());
    m_worker->setHistories(m_histories.get());
    m_worker->setPortLock(m_portLock.get());
    m_worker->setClaims(m_line->makeClaims());
    m_worker->moveToThread(m_workerThread);
    m_cycle->setWorker(m_worker);
    m_cycle->setSourceWaits([this](StationCycle::SourceWaits waits) {
        switch (waits) {
        case StationCycle::SourceWaits::Begin:
            m_line->setWaits(LineLedger::Waits::LetInputIn);
            break;
        case StationCycle::SourceWaits::GiveUp:
            m_line->setWaits(LineLedger::Waits::GiveUp);
            break;
        case StationCycle::SourceWaits::End:
            m_line->setWaits(LineLedger::Waits::HoldInput);
            break;
        }
    });
    m_workerThread->start(QThread::InheritPriority);
    connectWorker();

    m_settings->portName.clear();
    if (m_settings->language == LanguageChinese)
        m_chineseRadio->setChecked(true);
    else
        m_englishRadio->setChecked(true);

    clearWorkerLog();
    paintFirstStatus();
    if (!m_line->startMessage().isEmpty()) {
        const LineLedger::State line = m_line->state();
        logLine(m_line->startMessage(), line == LineLedger::State::Ready         ? LineColour::Info
                                        : line == LineLedger::State::Unreachable ? LineColour::Warning
                                                                                 : LineColour::Error);
    }

    loadHistories(*m_histories);
    m_identities->prepareIdentityPools();
    configureIdentityFields();
    writeSourceSummary();
    // Said at start, not only at the first Write: what the settings file held out of bounds, and a history that
    // could not be read whole (every write is refused until it is mended).
    for (const QString &note : m_settings->loadNotes())
        logLine(note, LineColour::Warning);
    if (!m_histories->problem.isEmpty())
        logLine(m_histories->problem, LineColour::Error);
    focusFirstInputField();

    m_imeiLog.open(AppPaths::dataDir(), Clock::now()); // without a file the run simply keeps no adjustment log

    resize(720, 700);

    if (!m_settings->isFileUsable())
        MessageBoxes::critical(this, tr("Error"),
                               tr("The settings file %1 cannot be used: %2.\nIt is left as it is, and Write stays "
                                  "disabled until the file is mended and the tool started again; Read works with the "
                                  "default settings.")
                                   .arg(settingsFileName(), m_settings->fileProblem()));
}

FPDoverARizMainWindow::~FPDoverARizMainWindow()
{
    m_settings->save();
    // What the counters on disk are past and no handset got (the set armed at the end, the values held for the
    // next set) is named in the run's log file as well: the log pane goes with the window.
    QStringList closing;
    m_closingLines = &closing;
    onStop();
    m_identities->releaseHeld();
    m_closingLines = nullptr;
    if (QIODevice *log = m_imeiLog.device()) {
        for (const QString &line : std::as_const(closing))
            log->write(
                QString(Clock::now().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss ")) + line + u'\n').toLocal8Bit());
        m_imeiLog.flush();
    }
    m_workerThread->quit();
    m_workerThread->wait();
    m_worker = nullptr; // deleted on its thread when the thread finished

    m_portLock.reset();
    m_portScanner.reset(); // stops the scan and waits for it
    m_imeiLog.close();
    QCoreApplication::removeTranslator(m_toolTranslator.get());
    QCoreApplication::removeTranslator(m_qtTranslator.get());
}

void FPDoverARizMainWindow::buildToolBar()
{
    QToolBar *toolBar = addToolBar(tr("Tools"));
    toolBar->setObjectName(QStringLiteral("toolBar"));
    toolBar->setFixedHeight(30);

    const QFont radioFont(QStringLiteral("Times"), 12);
    m_englishRadio = new QRadioButton(toolBar);
    m_englishRadio->setObjectName(QStringLiteral("englishRadioBtn"));
    m_englishRadio->setFont(radioFont);
    m_chineseRadio = new QRadioButton(toolBar);
    m_chineseRadio->setObjectName(QStringLiteral("chineseRadioBtn"));
    m_chineseRadio->setFont(radioFont);
    toolBar->addWidget(m_englishRadio);
    toolBar->addWidget(m_chineseRadio);
    toolBar->addSeparator();
    m_helpAction = toolBar->addAction(QIcon(QStringLiteral(":/images/user_mamual.png")), tr("Help"));
    m_helpAction->setObjectName(QStringLiteral("helpAction"));
    toolBar->addSeparator();
    m_aboutAction = toolBar->addAction(QIcon(QStringLiteral(":/images/about.png")), tr("About"));
    m_aboutAction->setObjectName(QStringLiteral("aboutAction"));

    connect(m_aboutAction, &QAction::triggered, this, &FPDoverARizMainWindow::onAbout);
    connect(m_helpAction, &QAction::triggered, this, &FPDoverARizMainWindow::onHelpTopic);
    connect(m_englishRadio, &QRadioButton::toggled, this, &FPDoverARizMainWindow::onLanguage);
    connect(m_chineseRadio, &QRadioButton::toggled, this, &FPDoverARizMainWindow::onLanguage);
}

void FPDoverARizMainWindow::setPalettes()
{
    QPalette pal = palette();
    const QBrush white(QColor(255, 255, 255), Qt::SolidPattern);
    const QBrush grey(QColor(232, 232, 232), Qt::SolidPattern);
    pal.setBrush(QPalette::Active, QPalette::Base, white);
    pal.setBrush(QPalette::Active, QPalette::Window, grey);
    pal.setBrush(QPalette::Inactive, QPalette::Window, grey);
    pal.setBrush(QPalette::Disabled, QPalette::Base, grey);
    pal.setBrush(QPalette::Disabled, QPalette::Window, grey);
    setPalette(pal);
}

void FPDoverARizMainWindow::connectWorker()
{
    // start() runs a whole cycle: queued, so that it runs on the worker's thread and the GUI stays live.
    connect(m_cycle, &StationCycle::startWorker, this, &FPDoverARizMainWindow::startWorker);
    connect(this, &FPDoverARizMainWindow::startWorker, m_worker, &FPDoverARizWorker::start, Qt::QueuedConnection);
    // The worker dies on its own thread once that thread's loop has ended.
    connect(m_workerThread, &QThread::finished, m_worker, &QObject::deleteLater);

    // The worker reports from its thread (and from stop() on ours): queued, so that every report is handled
    // on the GUI thread in the order sent.
    const auto status = qOverload<const QString &, const QColor &, const QColor &>(&FPDoverARizWorker::workerStatus);
    connect(m_worker, status, this, &FPDoverARizMainWindow::workerStatus, Qt::QueuedConnection);
    connect(m_worker, &FPDoverARizWorker::workerException, this, &FPDoverARizMainWindow::workerException,
            Qt::QueuedConnection);
    connect(m_worker, &FPDoverARizWorker::clearWorkerLog, this, &FPDoverARizMainWindow::clearWorkerLog,
            Qt::QueuedConnection);
    connect(m_worker, &FPDoverARizWorker::workerFinish, this, &FPDoverARizMainWindow::workerFinish,
            Qt::QueuedConnection);
    connect(m_worker, &FPDoverARizWorker::setWRStatus, this, &FPDoverARizMainWindow::setWRStatus, Qt::QueuedConnection);
    connect(m_worker, &FPDoverARizWorker::sngIMEIsHasWritten, this, &FPDoverARizMainWindow::onIMEIsHasWritten,
            Qt::QueuedConnection);
    connect(m_worker, &FPDoverARizWorker::sngIMEIsHasRead, this, &FPDoverARizMainWindow::onIMEIsHasRead,
            Qt::QueuedConnection);
    connect(m_worker, &FPDoverARizWorker::sngVersionHasRead, this, &FPDoverARizMainWindow::onVersionHasRead,
            Qt::QueuedConnection);
}

void FPDoverARizMainWindow::startPortScanner()
{
    m_portScanner = std::make_unique<PortScanWorker>();
    m_portLock = std::make_unique<PortScanWorkerLock>(m_portScanner.get());
    // The scanner emits on its own thread.
    connect(m_portScanner.get(), &PortScanWorker::workerScanned, this, &FPDoverARizMainWindow::onPortScanned,
            Qt::QueuedConnection);
    m_portScanner->setScanMode(m_settings->portScanKind());
    m_portScanner->start();
}

void FPDoverARizMainWindow::showStationState(int state)
{
    bool write, read, stop, port, setup;
    switch (state) {
    case StateNoPort:
        write = false, read = false, stop = false, port = true, setup = true;
        break;
    case StateReady:
        write = true, read = true, stop = false, port = true, setup = true;
        break;
    case StateBusy:
        write = false, read = false, stop = true, port = false, setup = false;
        break;
    case StateLocked:
        write = false, read = false, stop = false, port = false, setup = false;
        break;
    default:
        return;
    }
    // Writing with settings that did not come from the file would issue identities from the defaults.
    ui->startBtn->setEnabled(write && m_settings->isFileUsable());
    ui->readBtn->setEnabled(read);
    ui->stopBtn->setEnabled(stop);
    ui->portBtn->setEnabled(port);
    ui->setupBtn->setEnabled(setup);
}

void FPDoverARizMainWindow::showStatus(int status)
{
    if (m_settings->operationMode == OpRead)
        ui->graphicsViewStatus->setReadState(status);
    else
        ui->graphicsViewStatus->setWriteState(status);
}

void FPDoverARizMainWindow::paintFirstStatus()
{
    FPColorGraphicsView *view = ui->graphicsViewStatus;
    QGraphicsScene *scene = view->scene();
    scene->clear();
    view->setBackgroundBrush(QBrush(QColor(210, 210, 210), Qt::SolidPattern));
    scene->addText(tr("Unmount"), QFont(view->font().family(), 50, QFont::Bold));
    view->fitText();
}

void FPDoverARizMainWindow::refreshPortLabel()
{
    const QString &port = m_settings->portName;
    ui->portBtn->setText(port.isEmpty() ? tr("Port: (none)") : tr("Port: %1").arg(port));
}

void FPDoverARizMainWindow::showCounters()
{
    ui->lbPass->setText(tr("PASS: %1").arg(m_counters.passCount()));
    ui->lbFail->setText(tr("FAIL: %1").arg(m_counters.failCount()));
    ui->lbTotal->setText(tr("Total: %1").arg(m_counters.total()));
    ui->lbRatio->setText(tr("FPY: %1%").arg(m_counters.fpy()));
}

void FPDoverARizMainWindow::updateCounters(bool passed)
{
    m_counters.record(passed);
    showCounters();
}

void FPDoverARizMainWindow::onRestartCount()
{
    m_counters.reset();
    ui->lbPass->setText(tr("PASS: 0"));
    ui->lbFail->setText(tr("FAIL: 0"));
    ui->lbTotal->setText(tr("Total: 0"));
    ui->lbRatio->setText(tr("FPY: 0%"));
}

void FPDoverARizMainWindow::info(const QString &text)
{
    logLine(text, LineColour::Info);
}

void FPDoverARizMainWindow::writeSourceSummary()
{
    ui->logTextEdit->append(QStringLiteral("\n"));
    const ToolSettings &s = *m_settings;
    if (!(s.RunType & RunImei))
        return;
    switch (s.imeiInputTypes.value(0)) {
    case InputLoadFromFile:
        info(tr(" IMEI source:From excel file\n\tPath:%1\n\tMax limited number:%2")
                 .arg(s.ImeiFromFile)
                 .arg(s.ImeiMaxNum));
        break;
    case InputCustom:
        info(tr(" IMEI source:Custom"));
        info(tr("\tInitial number:%1\n\tMask:%2\n\tMax limited number:%3")
                 .arg(s.ImeiInitNum14, s.ImeiMaskNum14)
                 .arg(s.ImeiMaxNum));
        if (s.ImeiNum == 1)
            info(tr("\tThe other IMEIs : None"));
        else if (s.NextAdd)
            info(tr("\tThe other IMEIs : Add 1 by the order"));
        else
            info(tr("\tThe other IMEIs : Equal to the first"));
        break;
    default:
        break;
    }
}

void FPDoverARizMainWindow::workerStatus(const QString &text, const QColor &fg, const QColor &bg)
{
    QTextEdit *log = ui->logTextEdit;
    // The cycle's first error stays in sight under the status panel while later lines scroll it away.
    if (fg == FPDoverARizWorker::ErrorFg && ui->firstErrorLabel->text().isEmpty()) {
        const QString line = text.simplified();
        ui->firstErrorLabel->setText(ui->firstErrorLabel->fontMetrics().elidedText(
            line, Qt::ElideRight, qMax(ui->graphicsViewStatus->width(), 200)));
        ui->firstErrorLabel->setToolTip(line);
        ui->firstErrorLabel->show();
    }
    const bool bold = fg == QColor(Qt::green);
    if (bold)
        log->setFontWeight(QFont::Bold);
    log->setTextColor(fg);
    log->append(text);
    log->moveCursor(QTextCursor::End);
    log->ensureCursorVisible();
    log->setTextColor(bg);
    if (bold)
        log->setFontWeight(QFont::Normal);
}

void FPDoverARizMainWindow::clearWorkerLog()
{
    ui->logTextEdit->clear();
    // A new cycle: its own first error will take the place.
    ui->firstErrorLabel->clear();
    ui->firstErrorLabel->setToolTip(QString());
    ui->firstErrorLabel->hide();
}

void FPDoverARizMainWindow::onLanguage()
{
    if (m_chineseRadio->isChecked()) {
        loadCatalogue(*m_qtTranslator, AppPaths::filePath(m_qtCatalogue));
        loadCatalogue(*m_toolTranslator, AppPaths::filePath(m_toolCatalogue));
        m_settings->language = LanguageChinese;
    } else {
        loadCatalogue(*m_qtTranslator, QString()); // leaves it empty: Qt's own texts stay English
        loadCatalogue(*m_toolTranslator, AppPaths::filePath(m_toolCatalogueEn));
        m_settings->language = LanguageEnglish;
    }
    setWindowTitle(tr("KVX IMEI Write tool %1").arg(Version));
    m_chineseRadio->setText(tr("Chinese"));
    m_englishRadio->setText(tr("English"));
    m_aboutAction->setText(tr("About"));
    m_helpAction->setText(tr("Help"));
    if (auto *toolBar = findChild<QToolBar *>(QStringLiteral("toolBar")))
        toolBar->setWindowTitle(tr("Tools")); // the name its context menu shows
    ui->retranslateUi(this);                  // also puts the counter labels back to their zero texts; the counts stay
    refreshPortLabel();
}

void FPDoverARizMainWindow::onAbout()
{
    MessageBoxes::information(
        this, tr("About IMEI Write tool"),
        tr("KVX imei write tool %1%2\nCopyright (C) %3, all rights reserved.").arg(Version, BuildTag, BuildDate) +
            QLatin1Char('\n') + BuildInfo::aboutLine());
}

// A box names what is missing and where it was looked for, so that the line engineer can put it right.
void FPDoverARizMainWindow::openManual(const QString &relativePath, bool reuseProcess)
{
    const QString viewer = AppPaths::filePath(ViewerFileName);
    const QString document = AppPaths::filePath(relativePath);
    QProcess *fresh = nullptr;
    switch (ManualViewer::open(viewer, document, this, reuseProcess ? &m_helpViewer : &fresh)) {
    case ManualViewer::Outcome::Opened:
        break;
    case ManualViewer::Outcome::ViewerMissing:
        MessageBoxes::warning(this, tr("Warning"),
                              tr("No PDF viewer was found to open the manual %1: there is no %2 beside the tool, "
                                 "and the desktop has no program for PDF files. Install a PDF viewer.")
                                  .arg(QDir::toNativeSeparators(document), QDir::toNativeSeparators(viewer)));
        break;
    case ManualViewer::Outcome::DocumentMissing: {
        const QFileInfo info(document);
        MessageBoxes::warning(this, tr("Warning"),
                              tr("The manual %1 was not found in %2. Reinstall the tool, or put the manual there.")
                                  .arg(info.fileName(), QDir::toNativeSeparators(info.absolutePath())));
        break;
    }
    }
}

void FPDoverARizMainWindow::onHelpTopic()
{
    openManual(m_englishRadio->isChecked() ? HelpManualEn : HelpManual, true);
}

void FPDoverARizMainWindow::keyReleaseEvent(QKeyEvent *event)
{
    // Other keys are swallowed, as the window always did.
    if (event->key() == Qt::Key_F1) {
        openManual(KeyManual, false);
    } else if (event->key() == Qt::Key_F2) {
        MessageBoxes::about(
            this, tr("About KVX Write IMEI tool"),
            tr("KVX Write IMEI tool %1%2\nCopyright (C) %3, all rights reserved.").arg(Version, BuildTag, BuildDate) +
                QLatin1Char('\n') + BuildInfo::aboutLine());
    }
}

void FPDoverARizMainWindow::onSettingUp()
{
    // Settings changed under an armed or running cycle would not be the ones it was armed with.
    if (stationState() == StateBusy || m_cycle->isAllocating())
        return;
    showStatus(FPColorGraphicsView::StateSetting);
    const int scanKind = m_settings->portScanKind();
    ui->setupBtn->setEnabled(false);
    {
        FPDoverARizSettingDlg dialog(this);
        dialog.loadFrom(*m_settings);
        if (dialog.run() == QDialog::Accepted) {
            dialog.storeTo(*m_settings);
            m_input->clearFields();
            clearWorkerLog();
            configureIdentityFields();
            writeSourceSummary();
            m_identities->prepareIdentityPools();
            paintFirstStatus();
            if (m_settings->portScanKind() != scanKind) {
                m_portScanner->stop(true);
                m_portScanner->setScanMode(m_settings->portScanKind());
                m_portScanner->start();
            }
        }
    }
    focusFirstInputField();
    showStatus(FPColorGraphicsView::StateIdle);
    ui->setupBtn->setEnabled(true);
}

void FPDoverARizMainWindow::closeEvent(QCloseEvent *event)
{
    event->ignore();
    m_settings->LodVersion = ui->versionLEdit->text();
    if (!m_settings->save())
        logLine(tr("The settings could not be saved to %1: %2").arg(settingsFileName(), m_settings->fileProblem()),
                LineColour::Error);
    // Flushed, not closed: an operator who stays keeps a log for the rest of the run.
    m_imeiLog.flush();
    const auto answer = MessageBoxes::question(this, tr("Close Confirmation?"), tr("Are you sure you want to exit?"),
                                               QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer != QMessageBox::Yes)
        return;
    if (stationState() == StateBusy)
        onStop();
    event->accept();
}

void FPDoverARizMainWindow::clearOperatorFields()
{
    m_input->clearOperatorFields();
}

QLineEdit *FPDoverARizMainWindow::identityEdit(IdentityField field) const
{
    switch (field) {
    case IdentityField::Imei1:
    case IdentityField::Imei2:
    case IdentityField::Imei3:
    case IdentityField::Imei4:
        return m_imeiEdits.value(int(field) - int(IdentityField::Imei1));
    case IdentityField::Mbsn:
        return ui->mbsnLEdit;
    case IdentityField::Psn:
        return ui->psnLEdit;
    case IdentityField::Bt:
        return ui->BTLEdit;
    }
    return nullptr;
}

void FPDoverARizMainWindow::logLine(const QString &text, LineColour colour)
{
    if (m_closingLines && colour == LineColour::Warning)
        m_closingLines->append(text);
    const LineColours colours = lineColours(colour);
    workerStatus(text, colours.fg, colours.bg);
}

void FPDoverARizMainWindow::clearLog()
{
    clearWorkerLog();
}

void FPDoverARizMainWindow::criticalBox(const QString &text)
{
    MessageBoxes::critical(this, tr("Error"), text);
}

void FPDoverARizMainWindow::warningBox(const QString &text)
{
    MessageBoxes::warning(this, tr("Error"), text);
}

QString FPDoverARizMainWindow::fieldText(IdentityField field) const
{
    const QLineEdit *edit = identityEdit(field);
    return edit ? edit->text() : QString();
}

void FPDoverARizMainWindow::setFieldText(IdentityField field, const QString &text)
{
    if (QLineEdit *edit = identityEdit(field))
        edit->setText(text);
}

void FPDoverARizMainWindow::focusField(IdentityField field, bool selectAll)
{
    QLineEdit *edit = identityEdit(field);
    if (!edit)
        return;
    edit->setFocus();
    if (selectAll)
        edit->selectAll();
}

void FPDoverARizMainWindow::setStatusState(int state)
{
    showStatus(state);
}

void FPDoverARizMainWindow::endCycle()
{
    onStop();
}

void FPDoverARizMainWindow::showPort(const QString &port)
{
    Q_UNUSED(port)
    refreshPortLabel();
}

void FPDoverARizMainWindow::setCountersEnabled(bool enabled)
{
    ui->gbCount->setEnabled(enabled);
}

void FPDoverARizMainWindow::countCycle(bool passed)
{
    updateCounters(passed);
}

QString FPDoverARizMainWindow::versionText() const
{
    return ui->versionLEdit->text();
}

void FPDoverARizMainWindow::setVersionText(const QString &text)
{
    ui->versionLEdit->setText(text);
}

void FPDoverARizMainWindow::setVersionEditable(bool editable)
{
    ui->versionLEdit->setEnabled(editable);
}

void FPDoverARizMainWindow::focusVersion()
{
    ui->versionLEdit->setFocus();
    ui->versionLEdit->selectAll();
}

void FPDoverARizMainWindow::clearFields()
{
    m_input->clearFields();
}

void FPDoverARizMainWindow::focusFirstField()
{
    focusFirstInputField();
}

void FPDoverARizMainWindow::setImeiMaxLength(int count)
{
    m_input->setImeiMaxLength(count);
}

void FPDoverARizMainWindow::showValues(const QStringList &imeis, const QString &mbsn, const QString &psn,
                                       const QString &bt)
{
    m_input->showValues(imeis, mbsn, psn, bt);
}

QIODevice *FPDoverARizMainWindow::adjustmentLog() const
{
    return imeiLog();
}

// ---- Identity fields: the window's slots hand over to the input controller ----

void FPDoverARizMainWindow::connectInputFields()
{
    // Emitting one of these makes its field send returnPressed(): the full-length advance.
    connect(this, &FPDoverARizMainWindow::imei1ReturnPressed, ui->imei1LEdit, &QLineEdit::returnPressed);
    connect(this, &FPDoverARizMainWindow::imei2ReturnPressed, ui->imei2LEdit, &QLineEdit::returnPressed);
    connect(this, &FPDoverARizMainWindow::imei3ReturnPressed, ui->imei3LEdit, &QLineEdit::returnPressed);
    connect(this, &FPDoverARizMainWindow::imei4ReturnPressed, ui->imei4LEdit, &QLineEdit::returnPressed);
    connect(this, &FPDoverARizMainWindow::mbsnReturnPressed, ui->mbsnLEdit, &QLineEdit::returnPressed);
    connect(this, &FPDoverARizMainWindow::psnReturnPressed, ui->psnLEdit, &QLineEdit::returnPressed);
    connect(this, &FPDoverARizMainWindow::btReturnPressed, ui->BTLEdit, &QLineEdit::returnPressed);
    connect(ui->imei1LEdit, &QLineEdit::textEdited, this, &FPDoverARizMainWindow::onTextEcho1);
    connect(ui->imei2LEdit, &QLineEdit::textEdited, this, &FPDoverARizMainWindow::onTextEcho2);
    connect(ui->imei3LEdit, &QLineEdit::textEdited, this, &FPDoverARizMainWindow::onTextEcho3);
    connect(ui->imei4LEdit, &QLineEdit::textEdited, this, &FPDoverARizMainWindow::onTextEcho4);
    connect(ui->mbsnLEdit, &QLineEdit::textEdited, this, &FPDoverARizMainWindow::onMbsnTextEcho);
    connect(ui->psnLEdit, &QLineEdit::textEdited, this, &FPDoverARizMainWindow::onPsnTextEcho);
    connect(ui->BTLEdit, &QLineEdit::textEdited, this, &FPDoverARizMainWindow::onBTTextEcho);
}

void FPDoverARizMainWindow::configureIdentityFields()
{
    m_input->applySettings();
}

void FPDoverARizMainWindow::focusFirstInputField()
{
    m_input->focusFirst();
}

void FPDoverARizMainWindow::onTextEcho1(const QString &text)
{
    if (m_input->imeiEdited(0, text))
        emit imei1ReturnPressed();
}

void FPDoverARizMainWindow::onTextEcho2(const QString &text)
{
    if (m_input->imeiEdited(1, text))
        emit imei2ReturnPressed();
}

void FPDoverARizMainWindow::onTextEcho3(const QString &text)
{
    if (m_input->imeiEdited(2, text))
        emit imei3ReturnPressed();
}

void FPDoverARizMainWindow::onTextEcho4(const QString &text)
{
    if (m_input->imeiEdited(3, text))
        emit imei4ReturnPressed();
}

void FPDoverARizMainWindow::onMbsnTextEcho(const QString &text)
{
    if (m_input->serialEdited(IdentityField::Mbsn, text))
        emit mbsnReturnPressed();
}

void FPDoverARizMainWindow::onPsnTextEcho(const QString &text)
{
    if (m_input->serialEdited(IdentityField::Psn, text))
        emit psnReturnPressed();
}

void FPDoverARizMainWindow::onBTTextEcho(const QString &text)
{
    if (m_input->serialEdited(IdentityField::Bt, text))
        emit btReturnPressed();
}

void FPDoverARizMainWindow::onIMEIEnter1()
{
    m_input->imeiEntered(0);
}

void FPDoverARizMainWindow::onIMEIEnter2()
{
    m_input->imeiEntered(1);
}

void FPDoverARizMainWindow::onIMEIEnter3()
{
    m_input->imeiEntered(2);
}

void FPDoverARizMainWindow::onIMEIEnter4()
{
    m_input->imeiEntered(3);
}

void FPDoverARizMainWindow::onEnterMBSN()
{
    m_input->mbsnEntered();
}

void FPDoverARizMainWindow::onEnterPSN()
{
    m_input->psnEntered();
}

void FPDoverARizMainWindow::onEnterBT()
{
    m_input->btEntered();
}
// ---- The write and read cycle: the window's slots hand over to the station's cycle ----

void FPDoverARizMainWindow::onWrite()
{
    m_cycle->write();
}

void FPDoverARizMainWindow::onRead()
{
    m_cycle->read();
}

void FPDoverARizMainWindow::onStop()
{
    m_cycle->stop();
}

void FPDoverARizMainWindow::onStartDelayed()
{
    m_cycle->startDelayEnded();
}

void FPDoverARizMainWindow::onPortScanned(const QStringList &ports)
{
    m_cycle->portScanned(ports);
}

void FPDoverARizMainWindow::workerException()
{
    m_cycle->workerException();
}

void FPDoverARizMainWindow::setWRStatus(int status)
{
    m_cycle->workerStatus(status);
}

void FPDoverARizMainWindow::workerFinish(bool ok)
{
    m_cycle->workerFinished(ok);
}

void FPDoverARizMainWindow::onIMEIsHasWritten(const QStringList &imeis, const QString &mbsn, const QString &psn,
                                              const QString &bt)
{
    m_cycle->identitiesWritten(imeis, mbsn, psn, bt);
}

void FPDoverARizMainWindow::onIMEIsHasRead(const QStringList &imeis, const QString &mbsn, const QString &psn,
                                           const QString &bt)
{
    m_cycle->identitiesRead(imeis, mbsn, psn, bt);
}

void FPDoverARizMainWindow::onVersionHasRead(const QString &version)
{
    m_cycle->versionRead(version);
}

int FPDoverARizMainWindow::stationState() const
{
    return m_cycle->state();
}

void FPDoverARizMainWindow::setStationState(int state)
{
    m_cycle->setState(state);
}

void FPDoverARizMainWindow::setLoopTestPause(int ms)
{
    m_cycle->setLoopTestPause(ms);
}
