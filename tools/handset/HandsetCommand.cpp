#include "HandsetCommand.h"

#include "FolderAccess.h"

#include "Bench.h"
#include "BenchFaults.h"
#include "tgtlink/ChipInfo.h"
#include "tgtlink/StationSetting.h"
#include "tgtlink/TargetError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>
#include <optional>

namespace {

// Restores TGTLINK_BENCH when a command given --bench ends, so that in-process callers keep their bench.
class BenchOverride final
{
public:
    BenchOverride() : m_had(qEnvironmentVariableIsSet("TGTLINK_BENCH")), m_old(qgetenv("TGTLINK_BENCH")) {}
    ~BenchOverride()
    {
        if (m_had)
            qputenv("TGTLINK_BENCH", m_old);
        else
            qunsetenv("TGTLINK_BENCH");
    }

private:
    bool m_had;
    QByteArray m_old;
};

std::optional<quint32> parseNumber(const QString &text)
{
    bool ok = false;
    const quint64 v = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) ? text.mid(2).toULongLong(&ok, 16)
                                                                                : text.toULongLong(&ok, 10);
    if (!ok || v > 0xFFFFFFFFull)
        return std::nullopt;
    return quint32(v);
}

// A layout value: a number, or "none" for not reported.
std::optional<quint32> parseLayout(const QString &text)
{
    if (text == QLatin1String("none"))
        return quint32(BenchHandset::NotReported);
    return parseNumber(text);
}

QString hex(quint32 v, int width = 8)
{
    return QStringLiteral("0x") + QString::number(v, 16).toUpper().rightJustified(width, QLatin1Char('0'));
}

// A handset stores an IMEI as its 15 digits; an empty one leaves the slot unwritten.
bool isImei(const QString &text)
{
    if (text.isEmpty())
        return true;
    if (text.size() != 15)
        return false;
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

// The first folder of the bench this account may not write into (the bench, its kind folders, its side
// files), or an empty string. An installed bench belongs to the tool's group, and "Permission denied" alone
// does not tell an operator outside it what to do.
QString unwritableBenchFolder()
{
    const QString bench = Bench::dir();
    QStringList folders{bench};
    for (const char *sub : {"usb", "com", "dbg", ".side"})
        folders << bench + QLatin1Char('/') + QLatin1String(sub);
    for (const QString &folder : folders) {
        if (QFileInfo(folder).isDir() && !FolderAccess::canWriteInto(folder))
            return folder;
    }
    return QString();
}

QString layoutText(quint32 v)
{
    return v == BenchHandset::NotReported ? QStringLiteral("not reported") : hex(v);
}

QJsonValue layoutJson(quint32 v)
{
    return v == BenchHandset::NotReported ? QJsonValue() : QJsonValue(qint64(v));
}

QJsonObject toJson(const BenchHandset &h)
{
    QJsonObject o;
    o.insert(QStringLiteral("port"), h.port);
    o.insert(QStringLiteral("kind"), Bench::kindName(h.kind));
    o.insert(QStringLiteral("chipId"), hex(h.chipId, 4));
    o.insert(QStringLiteral("chipSupported"), ChipInfo::IsChipIdSupported(h.chipId));
    o.insert(QStringLiteral("flashModel"), h.flashModel);
    o.insert(QStringLiteral("version"), h.version.isEmpty() ? QJsonValue() : QJsonValue(h.version));
    QJsonObject layout;
    layout.insert(QStringLiteral("factoryBase"), layoutJson(h.factoryBase));
    layout.insert(QStringLiteral("factorySize"), layoutJson(h.factorySize));
    layout.insert(QStringLiteral("userAreaStart"), layoutJson(h.userAreaStart));
    layout.insert(QStringLiteral("userAreaSize"), layoutJson(h.userAreaSize));
    layout.insert(QStringLiteral("factoryAreaBytes"), qint64(h.factoryAreaBytes));
    layout.insert(QStringLiteral("userAreaBytes"), qint64(h.userAreaBytes));
    o.insert(QStringLiteral("layout"), layout);
    o.insert(QStringLiteral("userAreaErased"), h.userAreaErased);
    o.insert(QStringLiteral("inUse"), h.inUse);
    o.insert(QStringLiteral("validCopies"), h.validCopies);
    if (h.blank) {
        o.insert(QStringLiteral("factoryData"), QJsonValue());
    } else {
        QJsonObject f;
        f.insert(QStringLiteral("imeis"), QJsonArray::fromStringList(h.factory.imeis));
        f.insert(QStringLiteral("mbsn"), h.factory.mbsn);
        f.insert(QStringLiteral("psn"), h.factory.psn);
        f.insert(QStringLiteral("bt"), h.factory.bt);
        QJsonObject stations;
        for (auto it = h.factory.stations.cbegin(); it != h.factory.stations.cend(); ++it)
            stations.insert(it.key(), it.value());
        f.insert(QStringLiteral("stations"), stations);
        const quint32 magic = h.factory.stationMagic.value_or(0);
        f.insert(QStringLiteral("stationMagic"), hex(magic));
        f.insert(QStringLiteral("stationListMatches"), magic == Bench::currentStationMagic());
        f.insert(QStringLiteral("sequence"), qint64(h.factory.sequence));
        o.insert(QStringLiteral("factoryData"), f);
    }
    o.insert(QStringLiteral("faults"), QJsonArray::fromStringList(BenchFaults::list(h.port)));
    return o;
}

QString toText(const BenchHandset &h)
{
    QString t;
    auto line = [&t](const QString &label, const QString &value) {
        t += label.leftJustified(15) + value + QLatin1Char('\n');
    };
    line(QStringLiteral("Port:"), QStringLiteral("%1 (%2)").arg(h.port, Bench::kindName(h.kind)));
    line(QStringLiteral("Chip:"),
         hex(h.chipId, 4) + (ChipInfo::IsChipIdSupported(h.chipId) ? QStringLiteral(" (supported)")
                                                                   : QStringLiteral(" (not supported)")));
    line(QStringLiteral("Flash model:"), h.flashModel.isEmpty() ? QStringLiteral("(unknown)") : h.flashModel);
    line(QStringLiteral("Version:"), h.version.isEmpty() ? QStringLiteral("(none)") : h.version);
    line(QStringLiteral("Factory area:"),
         QStringLiteral("base %1, size %2").arg(layoutText(h.factoryBase), layoutText(h.factorySize)));
    line(QStringLiteral("User area:"), QStringLiteral("start %1, size %2%3")
                                           .arg(layoutText(h.userAreaStart), layoutText(h.userAreaSize),
                                                h.userAreaErased ? QStringLiteral(" (erased)") : QString()));
    line(QStringLiteral("In use:"), h.inUse ? QStringLiteral("yes") : QStringLiteral("no"));
    if (h.blank) {
        line(QStringLiteral("Factory data:"), QStringLiteral("blank"));
    } else {
        line(QStringLiteral("Factory data:"),
             QStringLiteral("sequence %1, %2 of 2 copies valid").arg(h.factory.sequence).arg(h.validCopies));
        for (int i = 0; i < 4; ++i)
            line(QStringLiteral("IMEI%1:").arg(i + 1), h.factory.imeis.value(i));
        line(QStringLiteral("MBSN:"), h.factory.mbsn);
        line(QStringLiteral("PSN:"), h.factory.psn);
        line(QStringLiteral("BT:"), h.factory.bt);
        for (auto it = h.factory.stations.cbegin(); it != h.factory.stations.cend(); ++it)
            line(QStringLiteral("Station:"),
                 it.key() + (it.value() ? QStringLiteral(" passed") : QStringLiteral(" failed")));
        const quint32 magic = h.factory.stationMagic.value_or(0);
        line(QStringLiteral("Station magic:"),
             hex(magic) + (magic == Bench::currentStationMagic() ? QStringLiteral(" (this station list)")
                                                                 : QStringLiteral(" (another station list)")));
    }
    for (const QString &f : BenchFaults::list(h.port))
        line(QStringLiteral("Fault:"), f);
    return t;
}

// Takes the value of an option at args[i]; false when it is missing.
bool takeValue(const QStringList &args, int &i, QString &value)
{
    if (i + 1 >= args.size())
        return false;
    value = args.at(++i);
    return true;
}

} // namespace

QString HandsetCommand::usage()
{
    return QStringLiteral(
               "Usage: handset [--bench DIR] COMMAND ...\n"
               "Controls the bench of simulated handsets (TGTLINK_BENCH, else bench/ beside the tool).\n"
               "\n"
               "Commands:\n"
               "  plug PORT [options]          plug a handset in (blank unless factory data is given)\n"
               "      --kind usb|com|dbg       connection kind (default from the name: COM.. com, DBG.. dbg, else "
               "usb)\n"
               "      --chip ID                chip id, e.g. 0x51A0\n"
               "      --flash MODEL            flash model; --no-flash-model for a handset that does not identify it\n"
               "      --version TEXT           software version; --no-version for a handset that reports none\n"
               "      --factory-base N  --factory-size N  --user-start N  --user-size N\n"
               "                               reported layout; N is a number or 'none' (not reported)\n"
               "      --factory-bytes N  --user-bytes N   storage held in the image\n"
               "      --imei V (up to 4 times)  --mbsn V  --psn V  --bt V\n"
               "      --station NAME=pass|fail (repeatable)  --station-magic N   factory data to write\n"
               "      --blank                  no factory data (the default)\n"
               "      --erased                 an erased user area (default: it holds user data)\n"
               "  swap PORT [--gap MS] [options]  take the handset off PORT and, MS ms later (default %2), put the\n"
               "                               next one on: same hardware and station flags, no identities (as\n"
               "                               a fresh phone from the line); plug options change it, --blank\n"
               "                               gives one without factory data\n"
               "  unplug PORT                  remove the handset\n"
               "  list [--json]                plugged handsets\n"
               "  show PORT [--json]           everything the handset holds\n"
               "  set-version PORT TEXT|--none change the software version\n"
               "  fault set PORT OP CODE [--once]     make an operation fail with CODE (always, or once)\n"
               "  fault powercut PORT BYTES [--once]  cut the power after BYTES bytes of a factory-data save\n"
               "  fault delay PORT OP MS              time an operation takes (scaled by TGTLINK_DELAY_SCALE)\n"
               "  fault clear PORT [OP]               clear one operation's entries, or all\n"
               "  fault list PORT                     entries in force\n"
               "\n"
               "Operations: %1\n")
        .arg(BenchFaults::operations().join(QLatin1Char(' ')))
        .arg(DefaultSwapGap);
}

int HandsetCommand::failBench(const QString &error)
{
    const QString folder = unwritableBenchFolder();
    if (folder.isEmpty())
        return fail(error);
    const QString group = QFileInfo(folder).group();
    return fail(
        QStringLiteral("%1 (%2 cannot be written by this account). Ask the line engineer to add this account to "
                       "the group %3 (then log in again), or name another bench with --bench.")
            .arg(error, QDir::toNativeSeparators(folder), group.isEmpty() ? QStringLiteral("of that folder") : group));
}

int HandsetCommand::fail(const QString &message, int code)
{
    m_err += QStringLiteral("handset: ") + message + QLatin1Char('\n');
    return code;
}

int HandsetCommand::run(const QStringList &input)
{
    m_out.clear();
    m_err.clear();
    BenchOverride restore;
    QStringList args;
    for (int i = 0; i < input.size(); ++i) {
        const QString &a = input.at(i);
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            m_out = usage();
            return 0;
        }
        if (a == QLatin1String("--bench")) {
            QString dir;
            if (!takeValue(input, i, dir))
                return fail(QStringLiteral("--bench needs a directory"), 2);
            qputenv("TGTLINK_BENCH", dir.toLocal8Bit());
            continue;
        }
        args.append(a);
    }
    if (args.isEmpty()) {
        m_err = usage();
        return 2;
    }
    const QString command = args.takeFirst();
    if (command == QLatin1String("plug"))
        return plug(args);
    if (command == QLatin1String("swap"))
        return swap(args);
    if (command == QLatin1String("unplug"))
        return unplug(args);
    if (command == QLatin1String("list"))
        return list(args);
    if (command == QLatin1String("show"))
        return show(args);
    if (command == QLatin1String("set-version"))
        return setVersion(args);
    if (command == QLatin1String("fault"))
        return fault(args);
    return fail(QStringLiteral("unknown command \"%1\" (see --help)").arg(command), 2);
}

int HandsetCommand::plug(QStringList args)
{
    if (args.isEmpty() || args.first().startsWith(QLatin1String("--")))
        return fail(QStringLiteral("plug needs a port name"), 2);
    BenchHandset h;
    h.port = args.takeFirst();
    h.kind = Bench::defaultKindFor(h.port);
    h.blank = true;
    const int parsed = parseHandset(args, h, false);
    if (parsed != 0)
        return parsed;
    QString error;
    if (!Bench::plug(h, &error))
        return failBench(error);
    m_out += QStringLiteral("plugged %1 (%2)\n").arg(h.port, Bench::kindName(h.kind));
    return 0;
}

int HandsetCommand::swap(QStringList args)
{
    if (args.isEmpty() || args.first().startsWith(QLatin1String("--")))
        return fail(QStringLiteral("swap needs a port name"), 2);
    const QString port = args.takeFirst();
    int gap = DefaultSwapGap;
    const qsizetype gapAt = args.indexOf(QStringLiteral("--gap"));
    if (gapAt >= 0) {
        bool ok = false;
        gap = args.value(gapAt + 1).toInt(&ok);
        if (!ok || gap < 0)
            return fail(QStringLiteral("--gap needs a number of milliseconds"), 2);
        args.remove(gapAt, 2);
    }

    // The next phone from the same line: the removed one's hardware and station flags, no identities.
    BenchHandset h;
    h.port = port;
    h.kind = Bench::defaultKindFor(port);
    h.blank = true;
    BenchHandset removed;
    const bool present = !Bench::imagePath(port).isEmpty() && Bench::read(port, removed);
    if (present) {
        h = removed;
        h.factory.imeis.clear();
        h.factory.mbsn.clear();
        h.factory.psn.clear();
        h.factory.bt.clear();
        h.factory.sequence = 0;
        h.userAreaErased = false;
    }
    const int parsed = parseHandset(args, h, present && !removed.blank);
    if (parsed != 0)
        return parsed;

    QString error;
    if (!Bench::imagePath(port).isEmpty() && !Bench::unplug(port, &error))
        return failBench(error);
    // Long enough for the tool's port scan to see the fixture empty, as when a hand swaps the phone.
    QThread::msleep(static_cast<unsigned long>(gap));
    if (!Bench::plug(h, &error))
        return failBench(error);
    m_out += QStringLiteral("swapped %1: a fresh %2 handset%3\n")
                 .arg(port, Bench::kindName(h.kind),
                      h.blank ? QStringLiteral(" without factory data") : QStringLiteral(" without identities"));
    return 0;
}

int HandsetCommand::parseHandset(const QStringList &args, BenchHandset &h, bool keptData)
{
    bool blankAsked = false;
    bool dataGiven = false;
    // Factory data given on the command line replaces the data a swap kept.
    auto giveData = [&]() {
        if (!dataGiven && keptData)
            h.factory = BenchFactoryData();
        dataGiven = true;
    };
    for (int i = 0; i < args.size(); ++i) {
        const QString opt = args.at(i);
        QString v;
        auto needValue = [&]() {
            if (takeValue(args, i, v))
                return true;
            fail(QStringLiteral("%1 needs a value").arg(opt), 2);
            return false;
        };
        auto number = [&](quint32 &field, bool layout) {
            if (!needValue())
                return false;
            const std::optional<quint32> n = layout ? parseLayout(v) : parseNumber(v);
            if (!n) {
                fail(QStringLiteral("%1: \"%2\" is not a number").arg(opt, v), 2);
                return false;
            }
            field = *n;
            return true;
        };
        bool ok = true;
        if (opt == QLatin1String("--kind")) {
            ok = needValue();
            if (ok && (h.kind = Bench::kindFromName(v)) == 0)
                return fail(QStringLiteral("--kind must be usb, com or dbg"), 2);
        } else if (opt == QLatin1String("--chip")) {
            quint32 chip = 0;
            ok = number(chip, false);
            h.chipId = chip;
        } else if (opt == QLatin1String("--flash")) {
            ok = needValue();
            h.flashModel = v;
        } else if (opt == QLatin1String("--no-flash-model")) {
            h.flashModel.clear();
        } else if (opt == QLatin1String("--version")) {
            ok = needValue();
            h.version = v;
        } else if (opt == QLatin1String("--no-version")) {
            h.version.clear();
        } else if (opt == QLatin1String("--factory-base")) {
            ok = number(h.factoryBase, true);
        } else if (opt == QLatin1String("--factory-size")) {
            ok = number(h.factorySize, true);
        } else if (opt == QLatin1String("--user-start")) {
            ok = number(h.userAreaStart, true);
        } else if (opt == QLatin1String("--user-size")) {
            ok = number(h.userAreaSize, true);
        } else if (opt == QLatin1String("--factory-bytes")) {
            ok = number(h.factoryAreaBytes, false);
        } else if (opt == QLatin1String("--user-bytes")) {
            ok = number(h.userAreaBytes, false);
        } else if (opt == QLatin1String("--imei")) {
            ok = needValue();
            giveData();
            if (ok && h.factory.imeis.size() >= 4)
                return fail(QStringLiteral("at most four --imei"), 2);
            if (ok && !isImei(v))
                return fail(QStringLiteral("--imei \"%1\" is not an IMEI: a handset holds 15 digits").arg(v), 2);
            h.factory.imeis.append(v);
        } else if (opt == QLatin1String("--mbsn")) {
            ok = needValue();
            giveData();
            h.factory.mbsn = v;
        } else if (opt == QLatin1String("--psn")) {
            ok = needValue();
            giveData();
            h.factory.psn = v;
        } else if (opt == QLatin1String("--bt")) {
            ok = needValue();
            giveData();
            h.factory.bt = v;
        } else if (opt == QLatin1String("--station")) {
            ok = needValue();
            const qsizetype eq = v.lastIndexOf(QLatin1Char('='));
            const QString result = eq < 0 ? QString() : v.mid(eq + 1);
            if (ok && (eq <= 0 || (result != QLatin1String("pass") && result != QLatin1String("fail"))))
                return fail(QStringLiteral("--station wants NAME=pass or NAME=fail"), 2);
            // A handset keeps flags only for the stations of the line's list.
            const QStringList known = StationSetting::Instance()->getStationNames();
            if (ok && !known.contains(v.left(eq))) {
                return fail(QStringLiteral("--station: \"%1\" is not in the station list (%2)")
                                .arg(v.left(eq), known.isEmpty() ? QStringLiteral("which names none")
                                                                 : known.join(QStringLiteral(", "))),
                            2);
            }
            giveData();
            h.factory.stations.insert(v.left(eq), result == QLatin1String("pass"));
        } else if (opt == QLatin1String("--station-magic")) {
            quint32 magic = 0;
            ok = number(magic, false);
            giveData();
            h.factory.stationMagic = magic;
        } else if (opt == QLatin1String("--blank")) {
            blankAsked = true;
        } else if (opt == QLatin1String("--erased")) {
            h.userAreaErased = true;
        } else {
            return fail(QStringLiteral("plug: unknown option \"%1\"").arg(opt), 2);
        }
        if (!ok)
            return 2;
    }
    if (blankAsked && dataGiven)
        return fail(QStringLiteral("--blank and factory data exclude each other"), 2);
    if (blankAsked || dataGiven)
        h.blank = !dataGiven;
    return 0;
}

int HandsetCommand::unplug(const QStringList &args)
{
    if (args.size() != 1)
        return fail(QStringLiteral("unplug needs exactly one port name"), 2);
    QString error;
    if (!Bench::unplug(args.first(), &error))
        return failBench(error);
    m_out += QStringLiteral("unplugged %1\n").arg(args.first());
    return 0;
}

int HandsetCommand::list(const QStringList &args)
{
    const bool json = args.contains(QLatin1String("--json"));
    if (args.size() > (json ? 1 : 0))
        return fail(QStringLiteral("list takes only --json"), 2);
    QJsonArray all;
    for (const QString &port : Bench::ports()) {
        BenchHandset h;
        QString error;
        if (!Bench::read(port, h, &error)) {
            if (json)
                all.append(QJsonObject{{QStringLiteral("port"), port}, {QStringLiteral("error"), error}});
            else
                m_out += QStringLiteral("%1\t(%2)\n").arg(port, error);
            continue;
        }
        if (json) {
            all.append(toJson(h));
        } else {
            m_out += QStringLiteral("%1\t%2\t%3\t%4\t%5\t%6\n")
                         .arg(port, Bench::kindName(h.kind), hex(h.chipId, 4), h.flashModel,
                              h.version.isEmpty() ? QStringLiteral("-") : h.version,
                              h.blank ? QStringLiteral("blank") : QStringLiteral("written"));
        }
    }
    if (json)
        m_out += QString::fromUtf8(QJsonDocument(all).toJson());
    return 0;
}

int HandsetCommand::show(const QStringList &args)
{
    const bool json = args.contains(QLatin1String("--json"));
    QStringList rest = args;
    rest.removeAll(QStringLiteral("--json"));
    if (rest.size() != 1)
        return fail(QStringLiteral("show needs exactly one port name"), 2);
    BenchHandset h;
    QString error;
    if (!Bench::read(rest.first(), h, &error))
        return fail(error);
    m_out += json ? QString::fromUtf8(QJsonDocument(toJson(h)).toJson()) : toText(h);
    return 0;
}

int HandsetCommand::setVersion(const QStringList &args)
{
    if (args.size() != 2)
        return fail(QStringLiteral("set-version needs a port name and a version (or --none)"), 2);
    const QString version = args.at(1) == QLatin1String("--none") ? QString() : args.at(1);
    QString error;
    if (!Bench::setVersion(args.at(0), version, &error))
        return failBench(error);
    m_out += QStringLiteral("%1 version %2\n").arg(args.at(0), version.isEmpty() ? QStringLiteral("(none)") : version);
    return 0;
}

int HandsetCommand::fault(const QStringList &argsIn)
{
    QStringList args = argsIn;
    const bool once = args.removeAll(QStringLiteral("--once")) > 0;
    if (args.size() < 2)
        return fail(QStringLiteral("fault needs an action (set, powercut, delay, clear, list) and a port"), 2);
    const QString action = args.at(0);
    const QString port = args.at(1);
    QString error;
    bool ok = false;
    if (action == QLatin1String("set") && args.size() == 4) {
        bool isNumber = false;
        const int code = args.at(3).toInt(&isNumber);
        if (!isNumber)
            return fail(QStringLiteral("fault set: \"%1\" is not a code").arg(args.at(3)), 2);
        ok = BenchFaults::setFault(port, args.at(2), code, once, &error);
    } else if (action == QLatin1String("powercut") && args.size() == 3) {
        bool isNumber = false;
        const qint64 bytes = args.at(2).toLongLong(&isNumber);
        if (!isNumber)
            return fail(QStringLiteral("fault powercut: \"%1\" is not a byte count").arg(args.at(2)), 2);
        ok = BenchFaults::setPowerCut(port, bytes, once, &error);
    } else if (action == QLatin1String("delay") && args.size() == 4) {
        bool isNumber = false;
        const int ms = args.at(3).toInt(&isNumber);
        if (!isNumber)
            return fail(QStringLiteral("fault delay: \"%1\" is not a number of milliseconds").arg(args.at(3)), 2);
        ok = BenchFaults::setDelay(port, args.at(2), ms, &error);
    } else if (action == QLatin1String("clear") && (args.size() == 2 || args.size() == 3)) {
        ok = BenchFaults::clear(port, args.value(2), &error);
    } else if (action == QLatin1String("list") && args.size() == 2) {
        for (const QString &line : BenchFaults::list(port))
            m_out += line + QLatin1Char('\n');
        return 0;
    } else {
        return fail(QStringLiteral("fault: bad arguments (see --help)"), 2);
    }
    if (!ok)
        return failBench(error);
    return 0;
}
