#include "config/ToolSettings.h"

#include "config/AppPaths.h"

#include "tgtlink/SettingLoader.h"

#include <algorithm>

namespace {
int clampMaxNum(int value)
{
    return std::clamp(value, 1, ToolSettings::MaxGenerateNum);
}
} // namespace

ToolSettings::ToolSettings() = default;
ToolSettings::~ToolSettings() = default;

QString ToolSettings::filePath()
{
    // Relative to the current directory, which start-up makes the executable's, unless the installation keeps
    // its writable files elsewhere.
    const QString relative = QStringLiteral("cfg/ImeiSN.ini");
    return AppPaths::hasSeparateDataDir() ? AppPaths::dataFilePath(relative) : relative;
}

bool ToolSettings::load()
{
    loader = std::make_unique<SettingLoader>(filePath(), true);
    transfer();
    boundLoadedValues();
    normaliseDefaultImei();
    ImeiMaxNum = clampMaxNum(ImeiMaxNum);
    MbsnMaxNum = clampMaxNum(MbsnMaxNum);
    PsnMaxNum = clampMaxNum(PsnMaxNum);
    m_fileProblem = loader->problem();
    m_fileUsable = m_fileProblem.isEmpty();
    loader.reset();
    noteFiledCounters();
    return m_fileUsable;
}

bool ToolSettings::save()
{
    // A file that could not be read is not overwritten by a record that never came from it.
    if (!m_fileUsable)
        return false;
    loader = std::make_unique<SettingLoader>(filePath(), false);
    transfer();
    const bool saved = loader->commit();
    m_fileProblem = loader->problem();
    loader.reset();
    if (saved)
        noteFiledCounters();
    return saved;
}

bool ToolSettings::saveCounters()
{
    if (!m_fileUsable)
        return false;
    // Straight into the file where its lines allow, the counters that moved since the file last got them: no
    // scratch copy through the settings format, and one flush.
    QList<QPair<QString, QString>> moved;
    if (ImeiDefaultValue != m_filedImeiDefault)
        moved.append({QStringLiteral("ImeiDefaultValue"), ImeiDefaultValue});
    if (BTCurrentAddr != m_filedBtCurrent)
        moved.append({QStringLiteral("BTCurrentAddr"), BTCurrentAddr});
    QString problem;
    const SettingLoader::InPlace inPlace =
        moved.isEmpty() ? SettingLoader::InPlace::NotInPlace
                        : SettingLoader::replaceInPlace(filePath(), QStringLiteral("ImeiSN"), moved, problem);
    if (inPlace != SettingLoader::InPlace::NotInPlace) {
        m_fileProblem = problem;
        if (inPlace != SettingLoader::InPlace::Saved)
            return false;
        noteFiledCounters();
        return true;
    }
    SettingLoader counters(filePath(), false);
    counters.beginGroup(QStringLiteral("ImeiSN"));
    counters.value(QStringLiteral("ImeiDefaultValue"), ImeiDefaultValue);
    counters.value(QStringLiteral("BTCurrentAddr"), BTCurrentAddr);
    counters.endGroup();
    const bool saved = counters.commit();
    m_fileProblem = counters.problem();
    if (saved)
        noteFiledCounters();
    return saved;
}

void ToolSettings::boundLoadedValues()
{
    m_loadNotes.clear();
    // A length beyond a serial's would make the codes fitted to it (the Setup dialog does so) outgrow the file.
    const auto bound = [this](const char *key, int &length) {
        const int bounded = std::clamp(length, 1, MaxSerialLength);
        if (bounded == length)
            return;
        m_loadNotes.append(QStringLiteral("%1=%2 in %3 is outside 1 to %4: %5 is used")
                               .arg(QLatin1String(key))
                               .arg(length)
                               .arg(filePath())
                               .arg(MaxSerialLength)
                               .arg(bounded));
        length = bounded;
    };
    bound("Mbsnlen", Mbsnlen);
    bound("Psnlen", Psnlen);
    // Outside the counter positions ("*" in the mask) the number is written as it is: a letter there gives no IMEI.
    const bool digits = std::all_of(ImeiInitNum14.cbegin(), ImeiInitNum14.cend(),
                                    [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
    if (!digits) {
        m_loadNotes.append(QStringLiteral("ImeiInitNum14=%1 in %2 is not digits: no IMEI series is made from it")
                               .arg(ImeiInitNum14, filePath()));
    }
    // Cut to 15 it would name another type allocation code (a counter once stepped past 999999999999999 was saved
    // as 1000000000000000): left unset instead, so that the default-value input says so.
    if (ImeiDefaultValue.size() > ImeiLength) {
        m_loadNotes.append(QStringLiteral("ImeiDefaultValue=%1 in %2 has more than %3 characters: no default IMEI "
                                          "is handed out until it is set")
                               .arg(ImeiDefaultValue, filePath())
                               .arg(ImeiLength));
        ImeiDefaultValue = QString(QChar(0xCC));
    }
    for (const QString &note : std::as_const(m_loadNotes))
        qWarning("ToolSettings: %s", qPrintable(note));
}

void ToolSettings::noteFiledCounters()
{
    m_filedImeiDefault = ImeiDefaultValue;
    m_filedBtCurrent = BTCurrentAddr;
}

void ToolSettings::transfer()
{
    SettingLoader &l = *loader;
    // The order of the calls is the order of the keys in the file.
    l.beginGroup(QStringLiteral("ImeiSN"));
    l.value(QStringLiteral("language"), language);
    l.value(QStringLiteral("portName"), portName);
    l.value(QStringLiteral("useCom"), useCom);
    l.value(QStringLiteral("useUsb"), useUsb);
    l.value(QStringLiteral("isEnableInitFactData"), isEnableInitFactData);
    l.value(QStringLiteral("initFactData"), initFactData);
    l.value(QStringLiteral("isPhaseCheck"), isPhaseCheck);
    l.value(QStringLiteral("isEnablePhaseCheck"), isEnablePhaseCheck);
    l.value(QStringLiteral("checkStation"), checkStation);
    l.value(QStringLiteral("currentStation"), currentStation);
    l.value(QStringLiteral("RunType"), RunType);
    l.value(QStringLiteral("ImeiNum"), ImeiNum);
    l.value(QStringLiteral("ImeiMaxNum"), ImeiMaxNum, 1, MaxGenerateNum);
    if (imeiInputTypes.size() != 4)
        imeiInputTypes.resize(4);
    l.value(QStringLiteral("Imei1InputType"), imeiInputTypes[0]);
    l.value(QStringLiteral("Imei2InputType"), imeiInputTypes[1]);
    l.value(QStringLiteral("Imei3InputType"), imeiInputTypes[2]);
    l.value(QStringLiteral("Imei4InputType"), imeiInputTypes[3]);
    l.value(QStringLiteral("ImeiSave"), ImeiSave);
    l.value(QStringLiteral("ImeiCheckRepetitive"), ImeiCheckRepetitive);
    l.value(QStringLiteral("ImeiFromFile"), ImeiFromFile);
    l.value(QStringLiteral("NextAdd"), NextAdd);
    l.value(QStringLiteral("ImeiInitNum14"), ImeiInitNum14);
    l.value(QStringLiteral("ImeiMaskNum14"), ImeiMaskNum14);
    l.value(QStringLiteral("ImeiDefaultValue"), ImeiDefaultValue);
    l.value(QStringLiteral("MbsnSave"), MbsnSave);
    l.value(QStringLiteral("MbsnCheckRepetitive"), MbsnCheckRepetitive);
    l.value(QStringLiteral("Mbsnlen"), Mbsnlen);
    l.value(QStringLiteral("MbsnInputType"), MbsnInputType);
    l.value(QStringLiteral("MbsnMaxNum"), MbsnMaxNum, 1, MaxGenerateNum);
    l.value(QStringLiteral("MbsnFromFile"), MbsnFromFile);
    l.value(QStringLiteral("MbsnInitNum"), MbsnInitNum);
    l.value(QStringLiteral("MbsnMaskNum"), MbsnMaskNum);
    l.value(QStringLiteral("PsnSave"), PsnSave);
    l.value(QStringLiteral("PsnCheckRepetitive"), PsnCheckRepetitive);
    l.value(QStringLiteral("Psnlen"), Psnlen);
    l.value(QStringLiteral("PsnInputType"), PsnInputType);
    l.value(QStringLiteral("PsnMaxNum"), PsnMaxNum, 1, MaxGenerateNum);
    l.value(QStringLiteral("PsnFromFile"), PsnFromFile);
    l.value(QStringLiteral("PsnInitNum"), PsnInitNum);
    l.value(QStringLiteral("PsnMaskNum"), PsnMaskNum);
    l.value(QStringLiteral("BTSave"), BTSave);
    l.value(QStringLiteral("BTCheckRepetitive"), BTCheckRepetitive);
    l.value(QStringLiteral("BTInputType"), BTInputType);
    l.value(QStringLiteral("BTInitAddr"), BTInitAddr);
    l.value(QStringLiteral("BTEndAddr"), BTEndAddr);
    l.value(QStringLiteral("BTCurrentAddr"), BTCurrentAddr);
    l.value(QStringLiteral("BTIsAutoAddr"), BTIsAutoAddr);
    l.value(QStringLiteral("FactoryReset"), FactoryReset);
    l.value(QStringLiteral("StartDelay"), StartDelay);
    l.value(QStringLiteral("KeyVersion"), KeyVersion);
    l.value(QStringLiteral("KeyVersionLen"), KeyVersionLen);
    l.value(QStringLiteral("LodVersion"), LodVersion);
    l.value(QStringLiteral("AutoLoopTest"), AutoLoopTest);
}

void ToolSettings::normaliseDefaultImei()
{
    if (ImeiDefaultValue.size() < ImeiLength)
        ImeiDefaultValue += QString(ImeiLength - ImeiDefaultValue.size(), QLatin1Char('0'));
    else if (ImeiDefaultValue.size() > ImeiLength)
        ImeiDefaultValue.truncate(ImeiLength);
    // Only digits form the number: a sign or a blank, which a number parser would take, gives 0.
    const bool digits = std::all_of(ImeiDefaultValue.cbegin(), ImeiDefaultValue.cend(),
                                    [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
    imeiDefaultNumber = digits ? ImeiDefaultValue.toULongLong() : 0;
}

bool ToolSettings::hasDefaultImei() const
{
    return ImeiDefaultValue.size() == ImeiLength &&
           std::all_of(ImeiDefaultValue.cbegin(), ImeiDefaultValue.cend(),
                       [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
}

int ToolSettings::portScanKind() const
{
    return useUsb ? 3 : 2;
}

bool ToolSettings::hasManualInput() const
{
    if (RunType & RunImei) {
        const int n = std::min(ImeiNum, 4);
        for (int i = 0; i < n; ++i) {
            if (imeiInputTypes.value(i) == InputManual)
                return true;
        }
    }
    return ((RunType & RunBt) && BTInputType == InputManual) || ((RunType & RunMbsn) && MbsnInputType == InputManual) ||
           ((RunType & RunPsn) && PsnInputType == InputManual);
}

bool ToolSettings::isIdentityMissing() const
{
    return ((RunType & RunImei) && imeiList.isEmpty()) || ((RunType & RunMbsn) && currentMbsn.size() < Mbsnlen) ||
           ((RunType & RunPsn) && currentPsn.size() < Psnlen) || ((RunType & RunBt) && currentBt.size() < btAddrLen);
}

void ToolSettings::clearCurrentIdentities(bool onlyWhenWriting)
{
    if (onlyWhenWriting && operationMode != OpWrite)
        return;
    currentMbsn.clear();
    currentPsn.clear();
    currentBt.clear();
    imeiList.clear();
}
