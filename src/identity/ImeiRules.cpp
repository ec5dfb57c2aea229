#include "identity/ImeiRules.h"

#include "config/ToolSettings.h"

#include <tgtlink/FactorySet.h>

#include <QIODevice>

namespace {

constexpr int BodyLength = ToolSettings::ImeiLength - 1;

bool isAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool isAllAsciiDigits(QStringView text)
{
    for (QChar c : text) {
        if (!isAsciiDigit(c))
            return false;
    }
    return true;
}

// Luhn digit over a 14-digit body as used for IMEIs: odd positions (0-based) are doubled.
QChar luhnDigit(QStringView body)
{
    int sum = 0;
    for (qsizetype i = 0; i < body.size(); ++i) {
        int d = body.at(i).unicode() - '0';
        if (i % 2 == 1) {
            d *= 2;
            if (d > 9)
                d -= 9;
        }
        sum += d;
    }
    const int r = sum % 10;
    return QLatin1Char(char('0' + (r == 0 ? 0 : 10 - r)));
}

// Only plain ASCII digits count as a number: signs, blanks and other scripts' digits read as 0, like any
// other text that is not a number. At most 15 digits reach here, so there is no overflow.
quint64 readNumber(QStringView text)
{
    if (text.isEmpty() || !isAllAsciiDigits(text))
        return 0;
    quint64 value = 0;
    for (QChar c : text)
        value = value * 10 + quint64(c.unicode() - '0');
    return value;
}

QString addChecksum(const QString &body)
{
    return QString::fromStdString(FactorySet::AddIMEIChecksum(body.toLatin1().toStdString()));
}

} // namespace

bool checkImei(QString &imei, bool verify)
{
    if (imei.size() != BodyLength && imei.size() != ToolSettings::ImeiLength)
        return false;
    if (!isAllAsciiDigits(imei))
        return false;
    if (imei.size() == BodyLength || !verify)
        return true;
    const QStringView body = QStringView(imei).left(BodyLength);
    const QString expected = body.toString() + luhnDigit(body);
    if (imei == expected)
        return true;
    imei = expected;
    return false;
}

QString adjustImei(const QString &imei, QIODevice *log)
{
    if (imei.isEmpty())
        return QString();
    if (imei.size() <= BodyLength) {
        QString body = imei;
        fitRight(body, BodyLength);
        return addChecksum(body);
    }
    const QString value = imei.left(ToolSettings::ImeiLength);
    if (FactorySet::IsIMEIValid(value.toLatin1().toStdString()))
        return value;
    const QString adjusted = addChecksum(value.left(BodyLength));
    if (log) {
        const QByteArray line = QStringLiteral("IMEI %1 is adjusted to %2\n").arg(value, adjusted).toLocal8Bit();
        log->write(line); // the adjustment log is informative; a failed write must not block production
    }
    return adjusted;
}

quint64 imeiNumberAfter(const QString &imei, int step)
{
    // Unsigned arithmetic wraps, so a negative step subtracts.
    if (imei.size() > BodyLength)
        return readNumber(QStringView(imei).left(ToolSettings::ImeiLength)) + quint64(qint64(step) * 10);
    return readNumber(imei) + quint64(qint64(step));
}

void keepDigits(const QString &text, QString &digits, bool &clean)
{
    if (text.isEmpty())
        return;
    QString kept;
    kept.reserve(text.size());
    for (QChar c : text) {
        if (isAsciiDigit(c))
            kept.append(c);
    }
    clean = kept.size() == text.size();
    digits = kept;
}

void fitRight(QString &text, int width)
{
    width = qMax(width, 0);
    if (text.size() < width)
        text.append(QString(width - text.size(), QLatin1Char('0')));
    else
        text.truncate(width);
}

void fitLeft(QString &text, int width)
{
    width = qMax(width, 0);
    if (text.size() < width)
        text.prepend(QString(width - text.size(), QLatin1Char('0')));
    else
        text = text.right(width);
}

int checkIdentityLengths(ToolSettings &settings, QString &label)
{
    // Every enabled identity is checked, in this order, up to the first failure.
    if (settings.RunType & RunImei) {
        const qsizetype count = qMin<qsizetype>(qMax(settings.ImeiNum, 0), settings.imeiList.size());
        for (qsizetype i = 0; i < count; ++i) {
            if (settings.imeiList.at(i).size() < ToolSettings::ImeiLength) {
                label = QStringLiteral("IMEI%1").arg(i + 1);
                return -1;
            }
        }
    }
    if ((settings.RunType & RunMbsn) && settings.currentMbsn.size() < settings.Mbsnlen) {
        label = QStringLiteral("MBSN");
        return -1;
    }
    if ((settings.RunType & RunPsn) && settings.currentPsn.size() < settings.Psnlen) {
        label = QStringLiteral("PSN");
        return -1;
    }
    if (settings.RunType & RunBt) {
        if (settings.currentBt.size() < settings.btAddrLen) {
            label = QStringLiteral("BT");
            return -1;
        }
        bool ok = false;
        const int firstOctet = QStringView(settings.currentBt).left(2).toInt(&ok, 16);
        if (ok && firstOctet % 2 == 1) {
            settings.currentBt.clear();
            return -2;
        }
    }
    return 0;
}
