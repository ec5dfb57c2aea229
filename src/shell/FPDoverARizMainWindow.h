#pragma once

#include "device/StationFrontEnd.h"
#include "shell/ImeiAdjustmentLog.h"
#include "shell/ProductionCounters.h"

#include <QColor>
#include <QList>
#include <QMainWindow>
#include <QStringList>
#include <memory>

namespace Ui {
class FPDoverARizMainWindow;
}

class FPDoverARizWorker;
class StationCycle;
class IdentityAllocator;
class IdentityInputController;
class IssuedIdentities;
class LineLedger;
class PortScanWorker;
class PortScanWorkerLock;
class QAction;
class QIODevice;
class QLineEdit;
class QProcess;
class QRadioButton;
class QThread;
class QTranslator;
class ToolSettings;
struct StationHistories;

// The station's only window. It owns the settings record, the translators, the port scanner and its port
// lock, the worker and its thread, the station's cycle, the counters and the IMEI adjustment log for the life
// of the process. It shows and asks what the cycle and the identity sources need; its slots hand over to them.
class FPDoverARizMainWindow final : public QMainWindow, public StationStates, private StationFrontEnd
{
    Q_OBJECT

public:
    static const QString Version;
    static const QString BuildTag;
    static const QString BuildDate;

    explicit FPDoverARizMainWindow(QWidget *parent = nullptr);
    ~FPDoverARizMainWindow() override;

    int stationState() const;
    ToolSettings &settings() { return *m_settings; }
    StationHistories &histories() { return *m_histories; }
    const ProductionCounters &counters() const { return m_counters; }
    // The run's adjustment log, handed to the IMEI rules; null when the run has none.
    QIODevice *imeiLog() const { return m_imeiLog.device(); }
    QString imeiLogFileName() const { return m_imeiLog.fileName(); }
    FPDoverARizWorker *worker() const { return m_worker; }
    PortScanWorker *portScanner() const { return m_portScanner.get(); }
    // The identity pools, their allocation and the checks of operator input.
    IdentityAllocator &identities() { return *m_identities; }

    // Sets the window state and enables the control buttons by it; "ready" becomes "no port" without a port.
    void setStationState(int state);
    // A finished write cycle: counts it and shows the counters.
    void updateCounters(bool passed);
    // The pause of the repeated write test between a passed write and the next; tests shorten it.
    void setLoopTestPause(int ms);
    IdentityInputController *inputController() const { return m_input; }

signals:
    void startWorker();
    void imei1ReturnPressed();
    void imei2ReturnPressed();
    void imei3ReturnPressed();
    void imei4ReturnPressed();
    void mbsnReturnPressed();
    void psnReturnPressed();
    void btReturnPressed();

public slots:
    void workerStatus(const QString &text, const QColor &fg, const QColor &bg);
    void workerException();
    void onStop();
    void onSettingUp();
    void onLanguage();
    void onTextEcho1(const QString &text);
    void onTextEcho2(const QString &text);
    void onTextEcho3(const QString &text);
    void onTextEcho4(const QString &text);
    void onMbsnTextEcho(const QString &text);
    void onPsnTextEcho(const QString &text);
    void onBTTextEcho(const QString &text);
    void onIMEIEnter1();
    void onIMEIEnter2();
    void onIMEIEnter3();
    void onIMEIEnter4();
    void onEnterMBSN();
    void onEnterPSN();
    void onEnterBT();
    void clearWorkerLog();
    void workerFinish(bool ok);
    void setWRStatus(int status);
    void onAbout();
    void onHelpTopic();
    void onIMEIsHasWritten(const QStringList &imeis, const QString &mbsn, const QString &psn, const QString &bt);
    void onPortScanned(const QStringList &ports);
    void onRead();
    void onWrite();
    void onStartDelayed();
    void onIMEIsHasRead(const QStringList &imeis, const QString &mbsn, const QString &psn, const QString &bt);
    void onVersionHasRead(const QString &version);
    void onRestartCount();

protected:
    void keyReleaseEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildToolBar();
    void setPalettes();
    void connectWorker();
    void startPortScanner();
    void showStatus(int status);
    void paintFirstStatus();
    void refreshPortLabel();
    void showCounters();
    void writeSourceSummary();
    void connectInputFields();
    void openManual(const QString &relativePath, bool reuseProcess);
    void info(const QString &text);
    void configureIdentityFields();
    void focusFirstInputField();

    // What the identity sources show and ask of the operator.
    void logLine(const QString &text, LineColour colour) override;
    void clearLog() override;
    void criticalBox(const QString &text) override;
    void warningBox(const QString &text) override;
    QString fieldText(IdentityField field) const override;
    void setFieldText(IdentityField field, const QString &text) override;
    void focusField(IdentityField field, bool selectAll) override;
    void setStatusState(int state) override;
    void endCycle() override;
    QIODevice *adjustmentLog() const override;

    // What the cycle shows and asks of the operator.
    void showStationState(int state) override;
    void showPort(const QString &port) override;
    void setCountersEnabled(bool enabled) override;
    void countCycle(bool passed) override;
    QString versionText() const override;
    void setVersionText(const QString &text) override;
    void setVersionEditable(bool editable) override;
    void focusVersion() override;
    void clearOperatorFields() override;
    void clearFields() override;
    void focusFirstField() override;
    void setImeiMaxLength(int count) override;
    void showValues(const QStringList &imeis, const QString &mbsn, const QString &psn, const QString &bt) override;

    QLineEdit *identityEdit(IdentityField field) const;

    std::unique_ptr<Ui::FPDoverARizMainWindow> ui;
    QThread *m_workerThread = nullptr;
    FPDoverARizWorker *m_worker = nullptr; // no parent: deleted by its thread's finished()
    QList<QLineEdit *> m_imeiEdits;
    std::unique_ptr<ToolSettings> m_settings;
    std::unique_ptr<StationHistories> m_histories;
    std::unique_ptr<IssuedIdentities> m_issued; // the station's own histories
    QStringList *m_closingLines = nullptr;      // while closing: the warnings that go to the run's log file too
    std::unique_ptr<LineLedger> m_line;         // the line's ledger, when cfg/line.ini names one
    std::unique_ptr<IdentityAllocator> m_identities;
    QRadioButton *m_chineseRadio = nullptr;
    QRadioButton *m_englishRadio = nullptr;
    QString m_toolCatalogue;
    QString m_toolCatalogueEn;
    QString m_qtCatalogue;
    std::unique_ptr<QTranslator> m_toolTranslator;
    std::unique_ptr<QTranslator> m_qtTranslator;
    QProcess *m_helpViewer = nullptr; // child of the window, created on first use
    QAction *m_aboutAction = nullptr;
    QAction *m_helpAction = nullptr;
    std::unique_ptr<PortScanWorker> m_portScanner;
    std::unique_ptr<PortScanWorkerLock> m_portLock;
    IdentityInputController *m_input = nullptr; // child of the window
    StationCycle *m_cycle = nullptr;            // child of the window
    ProductionCounters m_counters;
    ImeiAdjustmentLog m_imeiLog;
};
