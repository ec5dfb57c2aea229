// The settings file as the tool reads and writes it (cfg/ImeiSN.ini through the settings record).
//
// A file that loads is saved and loaded again: the save must succeed, the file it writes must load to the same
// values, a second save must write the same bytes, and the loaded values must keep their bounds. A file that does
// not load must be left as it is, byte for byte, by a save.
#include "FuzzTarget.h"
#include "FuzzWorkDir.h"

#include "config/ToolSettings.h"

#include <QDir>
#include <QStringList>

namespace {

QByteArray saved(ToolSettings &settings)
{
    FUZZ_CHECK(settings.save());
    return FuzzWorkDir::readFile(ToolSettings::filePath());
}

void checkBounds(const ToolSettings &s)
{
    for (int max : {s.ImeiMaxNum, s.MbsnMaxNum, s.PsnMaxNum})
        FUZZ_CHECK(max >= 1 && max <= ToolSettings::MaxGenerateNum);
    FUZZ_CHECK(s.ImeiDefaultValue.size() == ToolSettings::ImeiLength);
    bool digits = true;
    for (QChar c : s.ImeiDefaultValue)
        digits = digits && c >= QLatin1Char('0') && c <= QLatin1Char('9');
    FUZZ_CHECK(s.imeiDefaultNumber == (digits ? s.ImeiDefaultValue.toULongLong() : 0));
    FUZZ_CHECK(s.imeiInputTypes.size() == 4);
}

// Every value the file holds, in the order of the file.
QStringList valuesOf(const ToolSettings &s)
{
    QStringList v{s.language,
                  s.portName,
                  QString::number(s.useCom),
                  QString::number(s.useUsb),
                  QString::number(s.isEnableInitFactData),
                  QString::number(s.initFactData),
                  QString::number(s.isPhaseCheck),
                  QString::number(s.isEnablePhaseCheck),
                  s.checkStation,
                  s.currentStation,
                  QString::number(s.RunType),
                  QString::number(s.ImeiNum),
                  QString::number(s.ImeiMaxNum)};
    for (int type : s.imeiInputTypes)
        v.append(QString::number(type));
    v << QString::number(s.ImeiSave) << QString::number(s.ImeiCheckRepetitive) << s.ImeiFromFile
      << QString::number(s.NextAdd) << s.ImeiInitNum14 << s.ImeiMaskNum14 << s.ImeiDefaultValue
      << QString::number(s.MbsnSave) << QString::number(s.MbsnCheckRepetitive) << QString::number(s.Mbsnlen)
      << QString::number(s.MbsnInputType) << QString::number(s.MbsnMaxNum) << s.MbsnFromFile << s.MbsnInitNum
      << s.MbsnMaskNum << QString::number(s.PsnSave) << QString::number(s.PsnCheckRepetitive)
      << QString::number(s.Psnlen) << QString::number(s.PsnInputType) << QString::number(s.PsnMaxNum) << s.PsnFromFile
      << s.PsnInitNum << s.PsnMaskNum << QString::number(s.BTSave) << QString::number(s.BTCheckRepetitive)
      << QString::number(s.BTInputType) << s.BTInitAddr << s.BTEndAddr << s.BTCurrentAddr
      << QString::number(s.BTIsAutoAddr) << QString::number(s.FactoryReset) << QString::number(s.StartDelay)
      << s.KeyVersion << QString::number(s.KeyVersionLen) << s.LodVersion << QString::number(s.AutoLoopTest);
    return v;
}

// The record reads cfg/ImeiSN.ini below the current directory; the fuzzer's own paths (the corpus) are relative
// to the one it started in, so the scratch folder is current only during one input.
class InWorkDir final
{
public:
    InWorkDir() : m_previous(QDir::currentPath()) { QDir::setCurrent(FuzzWorkDir::dir()); }
    ~InWorkDir() { QDir::setCurrent(m_previous); }

private:
    QString m_previous;
};

void quiet(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtFatalMsg || type == QtCriticalMsg)
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qInstallMessageHandler(quiet); // the loader's warning about every unusable file would drown the fuzzer's output
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const InWorkDir inWorkDir;
    const QByteArray text(reinterpret_cast<const char *>(data), qsizetype(size));
    FUZZ_CHECK(FuzzWorkDir::writeFile(ToolSettings::filePath(), text));
    ToolSettings first;
    if (!first.load()) {
        FUZZ_CHECK(!first.fileProblem().isEmpty());
        checkBounds(first);
        FUZZ_CHECK(!first.save());
        FUZZ_CHECK(FuzzWorkDir::readFile(ToolSettings::filePath()) == text);
        return 0;
    }
    checkBounds(first);
    const QByteArray once = saved(first);
    ToolSettings second;
    FUZZ_CHECK(second.load());
    checkBounds(second);
    FUZZ_CHECK(valuesOf(second) == valuesOf(first));
    FUZZ_CHECK(saved(second) == once);
    return 0;
}
