#pragma once

#include <QMutex>
#include <QString>
#include <QStringList>
#include <QVector>
#include <memory>

class SettingLoader;

// Bits of ToolSettings::RunType: which items a cycle handles.
enum RunItem : int
{
    RunImei = 0x01,
    RunMbsn = 0x02,
    RunPsn = 0x04,
    RunBt = 0x08,
    RunCheckVersion = 0x10,
};

enum OperationMode : int
{
    OpWrite = 256,
    OpRead = 512,
};

// Where one identity comes from.
enum InputType : int
{
    InputManual = 0,
    InputDefaultValue = 1,
    InputAccumulationByStep = 2,
    InputLoadFromFile = 3,
    InputCustom = 4,
    InputAutoGeneration = 5,
};

// The one record of configuration (cfg/ImeiSN.ini, group "ImeiSN") and of per-cycle state. The window owns it;
// the worker borrows it during a cycle, while the window leaves it alone.
class ToolSettings final
{
public:
    static constexpr int ImeiLength = 15;
    static constexpr int MaxGenerateNum = 10000;
    // The longest MBSN or PSN: what a history line holds as one serial number.
    static constexpr int MaxSerialLength = 64;

    ToolSettings();
    ~ToolSettings();

    // False when cfg/ImeiSN.ini exists but cannot be read whole or written back: the record then keeps what it
    // held, and save() leaves the file alone until a later load() succeeds. fileProblem() says why.
    bool load();
    // True when cfg/ImeiSN.ini now holds the record (replaced atomically; the old file stays on failure).
    bool save();
    bool isFileUsable() const { return m_fileUsable; }
    // What the last load() changed or refuses in values the file holds, one line each naming its key: a length
    // brought within its bounds, an initial IMEI number that no series can come from.
    QStringList loadNotes() const { return m_loadNotes; }
    // Why the file was not read or not written (naming the line where one line is the cause); empty when it was.
    QString fileProblem() const { return m_fileProblem; }
    // Puts only the counters that allocation advances (ImeiDefaultValue, BTCurrentAddr) into the file, keeping
    // its other keys as they are; true when they are on disk. Refused, as save() is, for a file that did not load.
    bool saveCounters();

    int portScanKind() const;
    bool hasManualInput() const;
    bool isIdentityMissing() const;
    void clearCurrentIdentities(bool onlyWhenWriting);
    // Pads or cuts ImeiDefaultValue to 15 characters and derives imeiDefaultNumber from it.
    void normaliseDefaultImei();
    // Whether ImeiDefaultValue is 15 ASCII digits: not the record's own default, which marks it unset.
    bool hasDefaultImei() const;

    // The settings file, relative to the current directory (start-up makes it the executable's).
    static QString filePath();

    bool isPhaseCheck = false;
    bool isEnablePhaseCheck = false;
    bool isEnableInitFactData = false;
    bool initFactData = false;
    QString currentStation;
    QString checkStation;
    int operationMode = OpWrite;
    int RunType = RunImei | RunMbsn | RunPsn | RunBt;
    bool ImeiCheckRepetitive = false;
    bool ImeiSave = false;
    int ImeiNum = 2;
    QVector<int> imeiInputTypes{InputManual, InputManual, InputManual, InputManual};
    int ImeiMaxNum = 1000;
    QString ImeiFromFile;
    QString ImeiInitNum14 = QStringLiteral("10000000000000");
    QString ImeiMaskNum14 = QStringLiteral("100000000****");
    bool NextAdd = true;
    QString ImeiDefaultValue = QString(QChar(0xCC));
    quint64 imeiDefaultNumber = 0;
    bool MbsnSave = false;
    bool MbsnCheckRepetitive = false;
    int MbsnInputType = InputManual;
    int Mbsnlen = 17;
    int MbsnMaxNum = 1000;
    QString MbsnFromFile;
    QString MbsnInitNum = QStringLiteral("0000000000000000");
    QString MbsnMaskNum = QStringLiteral("000000000000000*****");
    bool PsnSave = false;
    bool PsnCheckRepetitive = false;
    int PsnInputType = InputManual;
    int PsnMaxNum = 1000;
    int Psnlen = 20;
    QString PsnFromFile;
    QString PsnInitNum = QStringLiteral("0000000000000000");
    QString PsnMaskNum = QStringLiteral("000000000000000*****");
    bool BTCheckRepetitive = false;
    bool BTSave = false;
    bool BTIsAutoAddr = false;
    int BTInputType = InputManual;
    const int btAddrLen = 12;
    QString BTInitAddr = QStringLiteral("002715082c32");
    QString BTEndAddr = QStringLiteral("020203040508");
    QString BTCurrentAddr;
    bool useCom = false;
    bool useUsb = true;
    QString portName;
    QString language = QStringLiteral("Chinese");
    QStringList imeiList;
    QString currentMbsn;
    QString currentPsn;
    QString currentBt;
    QString expectedVersion;
    bool FactoryReset = false;
    int StartDelay = 3000;
    QString LodVersion;
    QString KeyVersion = QStringLiteral("W");
    int KeyVersionLen = 8;
    bool AutoLoopTest = false;
    std::unique_ptr<SettingLoader> loader; // exists only during load() and save()
    QMutex serialLock;                     // guards lastSerialTime
    qint64 lastSerialTime = 0;

private:
    void transfer();
    void noteFiledCounters();
    void boundLoadedValues();

    bool m_fileUsable = true;
    QString m_fileProblem;
    QStringList m_loadNotes;
    // The counters as the file holds them since the last load or save (after the default IMEI's padding).
    QString m_filedImeiDefault;
    QString m_filedBtCurrent;

    ToolSettings(const ToolSettings &) = delete;
    ToolSettings &operator=(const ToolSettings &) = delete;
};
