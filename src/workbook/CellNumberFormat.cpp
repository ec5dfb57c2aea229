#include "workbook/CellNumberFormat.h"

#include <QDate>
#include <QVector>

#include <cmath>

namespace {

enum class Kind
{
    Literal,
    Digit, // 0 # ?
    Point,
    Comma,
    Percent,
    Exponent, // E+ E-
    Date,     // y m d h s
    AmPm,
    Elapsed, // [h] [mm] [ss]
    General,
    At,
};

struct Token
{
    Kind kind = Kind::Literal;
    char16_t letter = 0; // Digit: the placeholder; Date and Elapsed: y m d h s in lower case
    int count = 1;
    QString text;        // Literal
    bool full = true;    // AmPm: "AM/PM" rather than "A/P"
    bool minute = false; // Date 'm' meaning minutes
};

constexpr double MaxDateSerial = 2958466.0; // 9999-12-31 ends before this
constexpr double MaxWholeDigits = 1e21;

bool isIntegral(double value)
{
    return std::isfinite(value) && std::floor(value) == value && std::fabs(value) < MaxWholeDigits;
}

QString wholeDigits(double value)
{
    return QString::number(value, 'f', 0);
}

char16_t lower(QChar c)
{
    return c.toLower().unicode();
}

// The sections of a code ("positive;negative;zero;text"), split on semicolons outside quotes and brackets.
QVector<QStringView> sectionsOf(QStringView code)
{
    QVector<QStringView> sections;
    qsizetype start = 0;
    bool quoted = false;
    bool bracket = false;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar c = code.at(i);
        if (c == u'\\' && !quoted) {
            ++i;
        } else if (c == u'"') {
            quoted = !quoted;
        } else if (!quoted && c == u'[') {
            bracket = true;
        } else if (!quoted && c == u']') {
            bracket = false;
        } else if (!quoted && !bracket && c == u';') {
            sections.append(code.mid(start, i - start));
            start = i + 1;
        }
    }
    sections.append(code.mid(start));
    return sections;
}

QVector<Token> tokenize(QStringView section)
{
    QVector<Token> tokens;
    const auto literal = [&tokens](const QString &text) {
        Token t;
        t.text = text;
        tokens.append(t);
    };
    const auto simple = [&tokens](Kind kind, char16_t letter = 0, int count = 1) {
        Token t;
        t.kind = kind;
        t.letter = letter;
        t.count = count;
        tokens.append(t);
    };
    for (qsizetype i = 0; i < section.size();) {
        const QChar c = section.at(i);
        const char16_t l = lower(c);
        if (c == u'"') {
            const qsizetype end = section.indexOf(u'"', i + 1);
            const qsizetype stop = end < 0 ? section.size() : end;
            literal(section.mid(i + 1, stop - i - 1).toString());
            i = stop + 1;
        } else if (c == u'\\' || c == u'_' || c == u'*') {
            if (i + 1 < section.size() && c != u'*')
                literal(c == u'_' ? QStringLiteral(" ") : QString(section.at(i + 1)));
            i += 2;
        } else if (c == u'[') {
            const qsizetype end = section.indexOf(u']', i + 1);
            const qsizetype stop = end < 0 ? section.size() : end;
            const QStringView inside = section.mid(i + 1, stop - i - 1);
            const char16_t first = inside.isEmpty() ? 0 : lower(inside.at(0));
            bool elapsed = first == u'h' || first == u'm' || first == u's';
            for (QChar ch : inside)
                elapsed = elapsed && lower(ch) == first;
            if (elapsed)
                simple(Kind::Elapsed, first, int(inside.size()));
            i = stop + 1; // colours, conditions and locales change nothing here
        } else if (c == u'0' || c == u'#' || c == u'?') {
            simple(Kind::Digit, c.unicode());
            ++i;
        } else if (c == u'.') {
            simple(Kind::Point);
            ++i;
        } else if (c == u',') {
            simple(Kind::Comma);
            ++i;
        } else if (c == u'%') {
            simple(Kind::Percent);
            ++i;
        } else if (l == u'e' && i + 1 < section.size() && (section.at(i + 1) == u'+' || section.at(i + 1) == u'-')) {
            simple(Kind::Exponent);
            i += 2;
        } else if (l == u'y' || l == u'm' || l == u'd' || l == u'h' || l == u's') {
            int count = 0;
            while (i < section.size() && lower(section.at(i)) == l)
                ++count, ++i;
            simple(Kind::Date, l, count);
        } else if (l == u'a' && section.mid(i, 5).compare(u"AM/PM", Qt::CaseInsensitive) == 0) {
            simple(Kind::AmPm);
            i += 5;
        } else if (l == u'a' && section.mid(i, 3).compare(u"A/P", Qt::CaseInsensitive) == 0) {
            simple(Kind::AmPm);
            tokens.last().full = false;
            i += 3;
        } else if (l == u'g' && section.mid(i, 7).compare(u"General", Qt::CaseInsensitive) == 0) {
            simple(Kind::General);
            i += 7;
        } else if (c == u'@') {
            simple(Kind::At);
            ++i;
        } else {
            literal(QString(c));
            ++i;
        }
    }
    return tokens;
}

bool hasDateTokens(const QVector<Token> &tokens)
{
    for (const Token &t : tokens) {
        if (t.kind == Kind::Date || t.kind == Kind::AmPm || t.kind == Kind::Elapsed)
            return true;
    }
    return false;
}

// "m" and "mm" mean minutes right after an hour or right before a second.
void markMinutes(QVector<Token> &tokens)
{
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        Token &t = tokens[i];
        if (t.kind != Kind::Date || t.letter != u'm' || t.count > 2)
            continue;
        for (qsizetype j = i - 1; j >= 0; --j) {
            const Token &before = tokens.at(j);
            if (before.kind == Kind::Date || before.kind == Kind::Elapsed) {
                t.minute = before.letter == u'h';
                break;
            }
        }
        for (qsizetype j = i + 1; j < tokens.size() && !t.minute; ++j) {
            const Token &after = tokens.at(j);
            if (after.kind == Kind::Date || after.kind == Kind::Elapsed) {
                t.minute = after.letter == u's';
                break;
            }
        }
    }
}

QString padded(qint64 number, int width)
{
    return QString::number(number).rightJustified(width, u'0');
}

QString formatDate(double value, QVector<Token> tokens, bool date1904)
{
    static const char *const months[] = {"January", "February", "March",     "April",   "May",      "June",
                                         "July",    "August",   "September", "October", "November", "December"};
    static const char *const days[] = {"Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"};

    if (!(value >= 0 && value < MaxDateSerial))
        return CellNumberFormat::general(value);
    qint64 day = qint64(std::floor(value));
    qint64 seconds = qRound64((value - double(day)) * 86400.0);
    if (seconds >= 86400)
        ++day, seconds -= 86400;
    // The 1900 system counts a 29 February 1900 that never was: serials from 61 on are one day ahead.
    const QDate date = date1904 ? QDate(1904, 1, 1).addDays(day)
                                : (day < 61 ? QDate(1899, 12, 31).addDays(day) : QDate(1899, 12, 30).addDays(day));
    const int hour = int(seconds / 3600);
    const int minute = int(seconds / 60 % 60);
    const int second = int(seconds % 60);

    markMinutes(tokens);
    bool twelveHours = false;
    for (const Token &t : tokens)
        twelveHours = twelveHours || t.kind == Kind::AmPm;

    QString out;
    for (const Token &t : tokens) {
        switch (t.kind) {
        case Kind::Literal:
            out += t.text;
            break;
        case Kind::Date:
            if (t.letter == u'y') {
                out += t.count <= 2 ? padded(date.year() % 100, 2) : padded(date.year(), 4);
            } else if (t.letter == u'm' && t.minute) {
                out += padded(minute, t.count);
            } else if (t.letter == u'm') {
                const QString name = QLatin1String(months[date.month() - 1]);
                out += t.count <= 2   ? padded(date.month(), t.count)
                       : t.count == 3 ? name.left(3)
                       : t.count == 4 ? name
                                      : name.left(1);
            } else if (t.letter == u'd') {
                const QString name = QLatin1String(days[date.dayOfWeek() - 1]);
                out += t.count <= 2 ? padded(date.day(), t.count) : t.count == 3 ? name.left(3) : name;
            } else if (t.letter == u'h') {
                const int shown = twelveHours ? (hour % 12 == 0 ? 12 : hour % 12) : hour;
                out += padded(shown, qMin(t.count, 2));
            } else {
                out += padded(second, qMin(t.count, 2));
            }
            break;
        case Kind::AmPm:
            out += hour < 12 ? (t.full ? QStringLiteral("AM") : QStringLiteral("A"))
                             : (t.full ? QStringLiteral("PM") : QStringLiteral("P"));
            break;
        case Kind::Elapsed: {
            const qint64 total = day * 86400 + seconds;
            out += padded(t.letter == u'h' ? total / 3600 : t.letter == u'm' ? total / 60 : total, t.count);
            break;
        }
        case Kind::Digit:
            out += QChar(t.letter);
            break;
        case Kind::Point:
            out += u'.';
            break;
        case Kind::Comma:
            out += u',';
            break;
        case Kind::Percent:
            out += u'%';
            break;
        case Kind::Exponent:
        case Kind::General:
        case Kind::At:
            break;
        }
    }
    return out;
}

QString formatNumber(double value, const QVector<Token> &tokens, bool negativeSection)
{
    int intZeros = 0;
    int decMin = 0;
    int decMax = 0;
    int percents = 0;
    bool grouping = false;
    bool exponent = false;
    bool afterPoint = false;
    qsizetype firstDigit = -1;
    qsizetype lastDigit = -1;
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        const Token &t = tokens.at(i);
        if (t.kind == Kind::Digit) {
            if (firstDigit < 0)
                firstDigit = i;
            lastDigit = i;
            if (exponent)
                continue;
            if (afterPoint) {
                ++decMax;
                if (t.letter == u'0')
                    decMin = decMax;
            } else if (t.letter == u'0') {
                ++intZeros;
            }
        } else if (t.kind == Kind::Point && !exponent) {
            afterPoint = true;
            if (firstDigit < 0)
                firstDigit = i;
        } else if (t.kind == Kind::Comma && firstDigit >= 0 && !afterPoint) {
            grouping = true;
        } else if (t.kind == Kind::Percent) {
            ++percents;
        } else if (t.kind == Kind::Exponent) {
            exponent = true;
        }
    }

    double magnitude = std::fabs(value);
    for (int p = 0; p < percents; ++p)
        magnitude *= 100.0;
    QString number;
    if (exponent) {
        number = QString::number(magnitude, 'E', decMax);
    } else {
        number = QString::number(magnitude, 'f', decMax);
        QString whole = number.section(u'.', 0, 0);
        QString fraction = number.section(u'.', 1);
        while (fraction.size() > decMin && fraction.endsWith(u'0'))
            fraction.chop(1);
        if (intZeros == 0 && whole == u"0")
            whole.clear();
        whole = whole.rightJustified(intZeros, u'0');
        if (grouping) {
            for (qsizetype at = whole.size() - 3; at > 0; at -= 3)
                whole.insert(at, u',');
        }
        number = fraction.isEmpty() ? whole : whole + u'.' + fraction;
    }
    bool nonZero = false;
    for (QChar c : number)
        nonZero = nonZero || (c >= u'1' && c <= u'9');
    if (exponent)
        nonZero = magnitude != 0;

    QString out = value < 0 && !negativeSection && nonZero ? QStringLiteral("-") : QString();
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        const Token &t = tokens.at(i);
        if (i == firstDigit)
            out += number;
        if (i >= firstDigit && i <= lastDigit)
            continue;
        if (t.kind == Kind::Literal)
            out += t.text;
        else if (t.kind == Kind::Percent)
            out += u'%';
    }
    return out;
}

// An integral number: all its digits, none after a point and never an exponent form, so that identities stored
// as numbers come out whole; the format's zeros, grouping and literal text stay around them, as shown.
QString formatWhole(double value, const QVector<Token> &tokens, bool negativeSection)
{
    // The integer part ends at the point or the exponent: digit places after it show nothing here.
    qsizetype end = tokens.size();
    int zeros = 0;
    bool grouping = false;
    qsizetype firstDigit = -1;
    qsizetype lastDigit = -1;
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        const Token &t = tokens.at(i);
        if (t.kind == Kind::Point || t.kind == Kind::Exponent) {
            end = i;
            break;
        }
        if (t.kind == Kind::Digit) {
            if (firstDigit < 0)
                firstDigit = i;
            lastDigit = i;
            zeros += t.letter == u'0' ? 1 : 0;
        } else if (t.kind == Kind::Comma && firstDigit >= 0) {
            grouping = true;
        }
    }
    QString digits = wholeDigits(std::fabs(value)).rightJustified(zeros, u'0');
    if (grouping) {
        for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
            digits.insert(at, u',');
    }
    // Without grouping, text between digit places keeps its place, counted from the right ("000-000"); the
    // leftmost place takes every digit left over. With grouping the digits stand together.
    QVector<QString> placed(tokens.size());
    qsizetype left = digits.size();
    for (qsizetype i = lastDigit; i >= 0 && i >= firstDigit; --i) {
        const Token &t = tokens.at(i);
        if (t.kind != Kind::Digit)
            continue;
        if (grouping || i == firstDigit) {
            placed[i] = digits.left(left);
            left = 0;
        } else if (left > 0) {
            placed[i] = digits.mid(--left, 1);
        } else if (t.letter == u'?') {
            placed[i] = QStringLiteral(" ");
        }
        if (grouping)
            break;
    }
    QString out = value < 0 && !negativeSection && value != 0 ? QStringLiteral("-") : QString();
    bool shown = firstDigit >= 0;
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        const Token &t = tokens.at(i);
        if (t.kind == Kind::Digit && i < end) {
            out += placed.at(i);
        } else if (t.kind == Kind::Literal) {
            if (!grouping || i < firstDigit || i > lastDigit)
                out += t.text;
        } else if (t.kind == Kind::General && !shown) {
            out += digits;
            shown = true;
        }
    }
    // A format without a place for digits still shows them: an identity is never lost to it.
    return shown ? out : out + digits;
}

} // namespace

QString CellNumberFormat::builtinCode(int id)
{
    switch (id) {
    case 1:
        return QStringLiteral("0");
    case 2:
        return QStringLiteral("0.00");
    case 3:
        return QStringLiteral("#,##0");
    case 4:
        return QStringLiteral("#,##0.00");
    case 9:
        return QStringLiteral("0%");
    case 10:
        return QStringLiteral("0.00%");
    case 11:
        return QStringLiteral("0.00E+00");
    case 14:
        return QStringLiteral("yyyy-mm-dd");
    case 15:
        return QStringLiteral("d-mmm-yy");
    case 16:
        return QStringLiteral("d-mmm");
    case 17:
        return QStringLiteral("mmm-yy");
    case 18:
        return QStringLiteral("h:mm AM/PM");
    case 19:
        return QStringLiteral("h:mm:ss AM/PM");
    case 20:
        return QStringLiteral("h:mm");
    case 21:
        return QStringLiteral("h:mm:ss");
    case 22:
        return QStringLiteral("yyyy-mm-dd h:mm");
    case 37:
    case 38:
        return QStringLiteral("#,##0 ;(#,##0)");
    case 39:
    case 40:
        return QStringLiteral("#,##0.00;(#,##0.00)");
    case 45:
        return QStringLiteral("mm:ss");
    case 46:
        return QStringLiteral("[h]:mm:ss");
    case 47:
        return QStringLiteral("mm:ss.0");
    case 48:
        return QStringLiteral("##0.0E+0");
    case 49:
        return QStringLiteral("@");
    default:
        break;
    }
    // The numbers that East Asian spreadsheets give their local date formats.
    if ((id >= 27 && id <= 36) || (id >= 50 && id <= 58))
        return QStringLiteral("yyyy-mm-dd");
    return QStringLiteral("General");
}

QString CellNumberFormat::general(double value)
{
    if (isIntegral(value))
        return wholeDigits(value);
    if (std::isnan(value))
        return QStringLiteral("NaN");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
    return QString::number(value, 'g', 15).toUpper();
}

bool CellNumberFormat::isDateCode(QStringView formatCode)
{
    return hasDateTokens(tokenize(sectionsOf(formatCode).constFirst()));
}

QString CellNumberFormat::display(double value, QStringView formatCode, bool date1904)
{
    if (!std::isfinite(value) || formatCode.compare(u"General", Qt::CaseInsensitive) == 0)
        return general(value);
    const QVector<QStringView> sections = sectionsOf(formatCode);
    QStringView section = sections.constFirst();
    bool negativeSection = false;
    if (value < 0 && sections.size() >= 2 && !sections.at(1).isEmpty()) {
        section = sections.at(1);
        negativeSection = true;
    } else if (value == 0 && sections.size() >= 3 && !sections.at(2).isEmpty()) {
        section = sections.at(2);
    }
    const QVector<Token> tokens = tokenize(section);
    if (hasDateTokens(tokens))
        return formatDate(value, tokens, date1904);

    bool digits = false;
    bool percent = false;
    bool general = false;
    for (const Token &t : tokens) {
        digits = digits || t.kind == Kind::Digit;
        percent = percent || t.kind == Kind::Percent;
        general = general || t.kind == Kind::General;
    }
    if (isIntegral(value) && !percent)
        return formatWhole(value, tokens, negativeSection);
    if (general || !digits)
        return CellNumberFormat::general(value);
    return formatNumber(value, tokens, negativeSection);
}
