#include "identity/BtAddressGenerator.h"

#include "config/Clock.h"
#include "config/RandomSource.h"
#include "config/ToolSettings.h"
#include "identity/BtAddress.h"
#include "identity/CounterBlocks.h"
#include "identity/IdentityFrontEnd.h"
#include "identity/IdentityPool.h"
#include "identity/IssuedIdentities.h"

namespace {
constexpr int AddressLength = 12;
constexpr int StampLength = 8;
} // namespace

bool BtAddressGenerator::readHex(const QString &text, quint64 &value)
{
    if (text.isEmpty() || text.size() > 16)
        return false;
    quint64 result = 0;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        int digit;
        if (u >= u'0' && u <= u'9')
            digit = u - u'0';
        else if (u >= u'a' && u <= u'f')
            digit = u - u'a' + 10;
        else if (u >= u'A' && u <= u'F')
            digit = u - u'A' + 10;
        else
            return false;
        result = result * 16 + quint64(digit);
    }
    value = result;
    return true;
}

QString BtAddressGenerator::hexAddress(quint64 value)
{
    return QString::number(value, 16).rightJustified(AddressLength, QLatin1Char('0'));
}

bool BtAddressGenerator::checkBtRange(ToolSettings &settings, QString &message)
{
    // Whole addresses only: a shorter one would be issued at its own length, a longer one beyond 48 bits.
    const std::optional<BtAddress> first = BtAddress::parse(settings.BTInitAddr);
    if (!first) {
        message = tr("BT start address is wrong!");
        return false;
    }
    const std::optional<BtAddress> last = BtAddress::parse(settings.BTEndAddr);
    if (!last) {
        message = tr("BT end address is wrong!");
        return false;
    }
    const quint64 start = first->number();
    const quint64 end = last->number();
    if (start >= end) {
        message = tr("BT start address can't be larger than the end!");
        return false;
    }
    if (!first->isUnicast()) {
        message = tr("BT start address %1 has an odd first octet: it is a group address!").arg(first->text());
        return false;
    }
    // The range and the counter in their one form, so that every address taken from them is too.
    settings.BTInitAddr = first->text();
    settings.BTEndAddr = last->text();
    quint64 current = 0;
    if (!readHex(settings.BTCurrentAddr, current))
        current = 0;
    if (current < start)
        current = start;
    if (current <= BtAddress::Last)
        settings.BTCurrentAddr = hexAddress(current);
    if (current < end)
        return true;
    message = tr("BT current value is beyond the address scope now!");
    return false;
}

QString BtAddressGenerator::btByTime(int length)
{
    const QString stamp = Clock::now().toString(QStringLiteral("yyyyMMddhhssmm"));
    const int random = RandomSource::next();
    QString address = length > StampLength
                          ? QStringLiteral("%1").arg(random % 10000, length - StampLength, 10, QLatin1Char('0')) +
                                stamp.right(StampLength)
                          : stamp.right(qMax(length, 0));
    if (address.size() >= 2) {
        bool ok = false;
        const int first = QStringView(address).left(2).toInt(&ok, 10);
        if (ok && first % 2 == 1)
            address.replace(0, 2, QStringLiteral("%1").arg(first - 1, 2, 10, QLatin1Char('0')));
    }
    return address;
}

bool BtAddressGenerator::takeBtAddress(ToolSettings &settings, IdentityPool &pool, const IssuedIdentities &issued,
                                       IdentityFrontEnd &frontEnd, CounterBlocks *blocks)
{
    QString address;
    if (settings.BTIsAutoAddr) {
        QString message;
        if (!checkBtRange(settings, message)) {
            frontEnd.logLine(message, LineColour::Error);
            return false;
        }
        quint64 value = 0;
        readHex(settings.BTCurrentAddr, value);
        quint64 start = 0;
        readHex(settings.BTInitAddr, start);
        quint64 end = 0;
        readHex(settings.BTEndAddr, end);
        // Stations configured with one range share it; the end stays out of it.
        const CounterBlocks::Range range{QStringLiteral("BT:%1-%2").arg(hexAddress(start), hexAddress(end)), start,
                                         end - 1};
        auto place = [&] {
            if (!blocks || blocks->place(range, value, &value, &message))
                return true;
            frontEnd.logLine(tr("No BT address is handed out: %1").arg(message), LineColour::Error);
            return false;
        };
        if (!place())
            return false;
        address = hexAddress(value);
        if (settings.BTCheckRepetitive) {
            while (issued.isIssued(RunBt, address)) {
                frontEnd.logLine(tr("BT %1 has repeated with previous!").arg(address), LineColour::Error);
                ++value;
                // The end of the range is never issued, not even after skipping recorded addresses.
                if (value >= end) {
                    frontEnd.logLine(tr("BT current value is beyond the address scope now!"), LineColour::Error);
                    return false;
                }
                if (!place())
                    return false;
                address = hexAddress(value);
            }
        }
        settings.BTCurrentAddr = hexAddress(value + 1);
    } else {
        address = btByTime(AddressLength);
        while (settings.BTCheckRepetitive && issued.isIssued(RunBt, address))
            address = btByTime(AddressLength);
    }
    if (address.isEmpty()) {
        pool.total = 0;
        return false;
    }
    pool.setSingle(address);
    settings.currentBt = address;
    return true;
}
