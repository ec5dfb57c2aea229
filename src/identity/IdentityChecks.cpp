#include "identity/IdentityChecks.h"

#include "config/ToolSettings.h"
#include "identity/BtAddress.h"
#include "identity/IdentityFrontEnd.h"
#include "identity/IdentityPool.h"
#include "identity/ImeiPool.h"
#include "identity/ImeiRules.h"
#include "identity/IssuedIdentities.h"
#include "identity/SerialGenerator.h"

namespace {

constexpr int ImeiLength = ToolSettings::ImeiLength;
// An IMEI number (15 digits, the last the check digit's place) is a type allocation code of 8 digits, then a
// serial of 6.
constexpr quint64 PerCode = 10000000ULL;
constexpr quint64 LastSerial = 999999ULL;

quint64 allocationCode(quint64 number)
{
    return number / PerCode;
}

// The default counter never leaves its type allocation code: its last serial is the end mark that the file keeps
// once the others were handed out, and is never handed out itself, so that a restart goes on in the same code.
bool isCounterEnd(quint64 number)
{
    return (number / 10) % (LastSerial + 1) == LastSerial;
}

IdentityField imeiField(int index)
{
    return static_cast<IdentityField>(int(IdentityField::Imei1) + index);
}

QString fifteenDigits(quint64 number)
{
    return QString::number(number).rightJustified(ImeiLength, QLatin1Char('0'));
}

} // namespace

IdentityChecks::IdentityChecks(ToolSettings &settings, IdentityFrontEnd &frontEnd, const IssuedIdentities &issued,
                               ImeiPool &imeiPool, IdentityPool &mbsnPool, IdentityPool &psnPool, IdentityPool &btPool)
    : m_settings(settings), m_frontEnd(frontEnd), m_issued(issued), m_imeiPool(imeiPool), m_mbsnPool(mbsnPool),
      m_psnPool(psnPool), m_btPool(btPool)
{
}

int IdentityChecks::imeisPerSet() const
{
    return m_settings.ImeiNum >= 1 && m_settings.ImeiNum <= ImeiPool::Lists ? m_settings.ImeiNum : 1;
}

CounterBlocks::Range IdentityChecks::defaultImeiRange(quint64 defaultNumber)
{
    // A body is the 8-digit type allocation code and a 6-digit serial.
    constexpr quint64 Serials = 1000000;
    const quint64 body = defaultNumber / 10;
    const quint64 code = body / Serials;
    // The last serial is the counter's end mark, never handed out.
    return {QStringLiteral("DefaultIMEI:%1").arg(code, 8, 10, QLatin1Char('0')), body, code * Serials + Serials - 2};
}

bool IdentityChecks::placeDefault(quint64 &defaultNumber)
{
    if (!m_blocks || isCounterEnd(defaultNumber))
        return true;
    const CounterBlocks::Range range = defaultImeiRange(defaultNumber);
    const quint64 wanted = defaultNumber / 10;
    quint64 body = 0;
    QString message;
    if (!m_blocks->place(range, wanted, &body, &message)) {
        m_frontEnd.logLine(tr("No default IMEI is handed out: %1").arg(message), LineColour::Error);
        return false;
    }
    // The last digit is the check digit's place, recomputed by adjustImei: it is kept as the station had it.
    defaultNumber = body * 10 + defaultNumber % 10;
    return true;
}

bool IdentityChecks::checkImeiValidity(int position, const QString &text)
{
    QString copy = text;
    if (checkImei(copy, true))
        return true;
    const int shown = position >= 1 && position <= ImeiPool::Lists ? position : 1;
    m_frontEnd.logLine(tr("IMEI%1 is invalid,you can use %2").arg(shown).arg(copy), LineColour::Error);
    return false;
}

bool IdentityChecks::checkImeiHistory(int position, const QString &text)
{
    if (!m_issued.isIssued(RunImei, text))
        return false;
    m_frontEnd.logLine(tr("IMEI%1 can not be same as previous IMEI").arg(position), LineColour::Error);
    return true;
}

bool IdentityChecks::computeImeis(Candidates mode, std::array<QString, 4> &candidates, quint64 &defaultNumber)
{
    const int perSet = imeisPerSet();
    const bool report = mode != Candidates::Preview;
    // Values already in the pool were tested when they were allocated.
    const bool testHistory = m_settings.ImeiCheckRepetitive && mode != Candidates::WithPoolValues;
    QIODevice *log = m_frontEnd.adjustmentLog();

    bool again = true;
    while (again) {
        again = false;
        bool fromDefault = false; // a default-value IMEI before this position can move the whole set on
        for (int i = 0; i < perSet && !again; ++i) {
            QString &candidate = candidates[i];
            candidate.clear();
            switch (m_settings.imeiInputTypes.value(i)) {
            case InputManual: {
                if (mode == Candidates::Preview)
                    break;
                const IdentityField field = imeiField(i);
                candidate = m_frontEnd.fieldText(field);
                if (candidate.size() < ImeiLength) {
                    m_frontEnd.logLine(tr("The length of IMEI%1 is not enough!").arg(i + 1), LineColour::Error);
                    m_frontEnd.focusField(field, true);
                    return false;
                }
                if ((m_settings.ImeiCheckRepetitive && checkImeiHistory(i + 1, candidate)) ||
                    !checkImeiValidity(i + 1, candidate)) {
                    m_frontEnd.focusField(field, true);
                    return false;
                }
                break;
            }
            case InputDefaultValue:
                if (mode == Candidates::WithPoolValues) {
                    candidate = m_imeiPool.lists[i][0];
                    break;
                }
                fromDefault = true;
                if (!m_settings.hasDefaultImei()) {
                    if (report) {
                        m_frontEnd.logLine(tr("No default IMEI is handed out: ImeiDefaultValue in %1 is not 15 "
                                              "digits (\"%2\"); set it in the Setup dialog")
                                               .arg(ToolSettings::filePath(), m_settings.ImeiDefaultValue),
                                           LineColour::Error);
                    }
                    return !report;
                }
                for (;;) {
                    if (mode == Candidates::Allocate && !placeDefault(defaultNumber)) {
                        candidate.clear();
                        return false;
                    }
                    if (isCounterEnd(defaultNumber)) {
                        if (report) {
                            m_frontEnd.logLine(tr("No default IMEI is handed out: the default IMEI counter is at the "
                                                  "end of type allocation code %1; set ImeiDefaultValue to a new "
                                                  "code")
                                                   .arg(allocationCode(defaultNumber), 8, 10, QLatin1Char('0')),
                                               LineColour::Error);
                        }
                        candidate.clear();
                        return !report;
                    }
                    const QString raw = fifteenDigits(defaultNumber);
                    defaultNumber = imeiNumberAfter(raw, 1);
                    candidate = adjustImei(raw, log);
                    if (!testHistory || !m_issued.isIssued(RunImei, candidate))
                        break;
                }
                break;
            case InputAccumulationByStep: {
                if (i == 0 || (mode == Candidates::Preview && candidates[i - 1].isEmpty()))
                    break;
                QString previous = candidates[i - 1];
                fitRight(previous, ImeiLength);
                const quint64 stepped = imeiNumberAfter(previous, 2);
                // A step stays in the type allocation code of the IMEI it steps from.
                if (allocationCode(stepped) != allocationCode(imeiNumberAfter(previous, 0))) {
                    if (report) {
                        m_frontEnd.logLine(tr("IMEI%1 is not handed out: the step from %2 leaves type allocation "
                                              "code %3")
                                               .arg(i + 1)
                                               .arg(previous, previous.left(8)),
                                           LineColour::Error);
                        return false;
                    }
                    candidates[i].clear();
                    break;
                }
                candidate = adjustImei(fifteenDigits(stepped), log);
                if (testHistory && m_issued.isIssued(RunImei, candidate)) {
                    if (fromDefault) {
                        again = true; // the default value has already moved past this set's first IMEIs
                        break;
                    }
                    if (report) {
                        m_frontEnd.logLine(tr("IMEI%1 can not be same as previous IMEI").arg(i + 1), LineColour::Error);
                        return false;
                    }
                }
                break;
            }
            default:
                break;
            }
        }
    }
    for (int i = perSet; i < ImeiPool::Lists; ++i)
        candidates[i].clear();
    return true;
}

bool IdentityChecks::checkImeiSet(bool withPoolValues)
{
    std::array<QString, 4> candidates;
    quint64 defaultNumber = m_settings.imeiDefaultNumber;
    if (!computeImeis(withPoolValues ? Candidates::WithPoolValues : Candidates::Allocate, candidates, defaultNumber))
        return false;

    const int perSet = imeisPerSet();
    for (int i = 1; i < perSet; ++i) {
        for (int j = 0; j < i; ++j) {
            if (candidates[i] != candidates[j])
                continue;
            m_frontEnd.logLine(tr("IMEI%1 has repeated with previous IMEI").arg(i + 1), LineColour::Error);
            m_frontEnd.focusField(imeiField(i), true);
            return false;
        }
    }
    for (int i = perSet; i < ImeiPool::Lists; ++i)
        candidates[i] = candidates[0];

    // Only a set that passed consumes default values.
    if (defaultNumber != m_settings.imeiDefaultNumber) {
        m_settings.imeiDefaultNumber = defaultNumber;
        m_settings.ImeiDefaultValue = fifteenDigits(defaultNumber);
    }
    for (int i = 0; i < ImeiPool::Lists; ++i)
        m_imeiPool.lists[i][0] = candidates[i];
    m_imeiPool.total = 1;
    m_imeiPool.cursor = 0;
    return true;
}

std::array<QString, 4> IdentityChecks::previewImeis()
{
    std::array<QString, 4> candidates;
    quint64 defaultNumber = m_settings.imeiDefaultNumber;
    computeImeis(Candidates::Preview, candidates, defaultNumber);
    return candidates;
}

bool IdentityChecks::checkSerial(int kind)
{
    const bool mbsn = kind == RunMbsn;
    const IdentityField field = mbsn ? IdentityField::Mbsn : IdentityField::Psn;
    const int length = mbsn ? m_settings.Mbsnlen : m_settings.Psnlen;
    const QString value = m_frontEnd.fieldText(field).simplified();
    QString error;
    if (value.size() < length)
        error = mbsn ? tr("The length of MBSN is not enough!") : tr("The length of PSN is not enough!");
    else if (!SerialGenerator::isValidSerial(value, length))
        error = mbsn ? tr("MBSN is invalid!") : tr("PSN is invalid!");
    else if ((mbsn ? m_settings.MbsnCheckRepetitive : m_settings.PsnCheckRepetitive) && m_issued.isIssued(kind, value))
        error = mbsn ? tr("MBSN has repeated with previous!") : tr("PSN has repeated with previous!");
    if (!error.isEmpty()) {
        m_frontEnd.logLine(error, LineColour::Error);
        m_frontEnd.focusField(field, true);
        return false;
    }
    // The pending value too: a set taken before this check must not keep the previous handset's label.
    (mbsn ? m_mbsnPool : m_psnPool).setSingle(value);
    (mbsn ? m_settings.currentMbsn : m_settings.currentPsn) = value;
    return true;
}

bool IdentityChecks::checkMbsn()
{
    return checkSerial(RunMbsn);
}

bool IdentityChecks::checkPsn()
{
    return checkSerial(RunPsn);
}

bool IdentityChecks::checkBt()
{
    const QString typed = m_frontEnd.fieldText(IdentityField::Bt);
    const QString simplified = typed.simplified();
    // Scanned labels come in either case; the histories and the handset hold the lower-case form.
    const std::optional<BtAddress> address = BtAddress::parse(simplified);
    const QString value = address ? address->text() : simplified;
    QString error;
    if (value.size() < m_settings.btAddrLen)
        error = tr("The length of BT is not enough!");
    else if (!address)
        error = tr("BT is invalid!");
    else if (m_settings.BTCheckRepetitive && m_issued.isIssued(RunBt, value))
        error = tr("BT has repeated with previous!");
    if (!error.isEmpty()) {
        m_frontEnd.logLine(error, LineColour::Error);
        m_frontEnd.focusField(IdentityField::Bt, true);
        return false;
    }
    m_btPool.setSingle(value);
    m_settings.currentBt = value;
    if (typed != value)
        m_frontEnd.setFieldText(IdentityField::Bt, value);
    return true;
}

bool IdentityChecks::showAllocatedImeis(const QStringList &imeis)
{
    const int count = qMin<int>(qMin<int>(imeis.size(), ImeiPool::Lists), m_settings.ImeiNum);
    for (int i = 0; i < count; ++i) {
        const QString &value = imeis.at(i);
        if (value.size() > ImeiLength) {
            m_frontEnd.logLine(tr("Warning: the length of IMEI%1 is overweight!").arg(i + 1), LineColour::Error);
            return false;
        }
        if (m_frontEnd.fieldText(imeiField(i)) != value)
            m_frontEnd.setFieldText(imeiField(i), value);
    }
    for (int i = qMax(count, 0); i < ImeiPool::Lists; ++i)
        m_frontEnd.setFieldText(imeiField(i), QString());
    return true;
}

void IdentityChecks::showGeneratedSerial(int kind, const QString &value)
{
    const bool mbsn = kind == RunMbsn;
    const IdentityField field = mbsn ? IdentityField::Mbsn : IdentityField::Psn;
    if ((mbsn ? m_settings.MbsnInputType : m_settings.PsnInputType) != InputManual &&
        m_frontEnd.fieldText(field) != value)
        m_frontEnd.setFieldText(field, value);
}
