#include "shell/IdentityInputController.h"

#include "config/ToolSettings.h"
#include "history/StationHistories.h"
#include "identity/IdentityChecks.h"
#include "identity/IdentityFieldOrder.h"
#include "identity/ImeiRules.h"
#include "identity/SerialGenerator.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpressionValidator>

namespace {
constexpr int ImeiLength = ToolSettings::ImeiLength;

// "(\d+)", but what cannot be a digit is dropped instead of refusing the whole change, so that a value pasted
// or scanned with separators keeps its digits.
class DigitsValidator final : public QRegularExpressionValidator
{
public:
    explicit DigitsValidator(QObject *parent)
        : QRegularExpressionValidator(QRegularExpression(QStringLiteral("(\\d+)")), parent)
    {
    }
    State validate(QString &input, int &pos) const override
    {
        QString digits;
        bool clean = true;
        keepDigits(input, digits, clean);
        if (!clean) {
            const qsizetype before = input.left(pos).size();
            QString head;
            bool headClean = true;
            keepDigits(input.left(before), head, headClean);
            input = digits;
            pos = int(head.size());
        }
        return QRegularExpressionValidator::validate(input, pos);
    }
};

// An MBSN or PSN is acceptable to Return only with trailing white space: such fields advance through the
// full-length rule instead.
const QString SerialPattern = QStringLiteral("^[a-zA-Z0-9]+(\\s+)$");
const QString BtPattern = QStringLiteral("^[a-fA-F0-9]+$");

} // namespace

IdentityInputController::IdentityInputController(const Fields &fields, ToolSettings &settings,
                                                 const StationHistories &histories, IdentityChecks &checks,
                                                 LineSink log, std::function<void()> startWrite, QObject *parent)
    : QObject(parent), m_fields(fields), m_settings(settings), m_histories(histories), m_checks(checks),
      m_log(std::move(log)), m_startWrite(std::move(startWrite))
{
    // A paste is filtered before the field's maximum length cuts it, so that separators cost no digits.
    for (QLineEdit *edit : m_fields.imeis)
        edit->installEventFilter(this);
}

QLineEdit *IdentityInputController::edit(IdentityField field) const
{
    switch (field) {
    case IdentityField::Mbsn:
        return m_fields.mbsn;
    case IdentityField::Psn:
        return m_fields.psn;
    case IdentityField::Bt:
        return m_fields.bt;
    default:
        return m_fields.imeis.at(size_t(field));
    }
}

void IdentityInputController::applySettings()
{
    ToolSettings &s = m_settings;
    if (s.ImeiNum < 1 || s.ImeiNum > 4)
        s.ImeiNum = 1;

    if (s.RunType & RunImei) {
        for (QLineEdit *e : m_fields.imeis) {
            e->setMaxLength(ImeiLength);
            if (!e->validator())
                e->setValidator(new DigitsValidator(e));
        }
    }
    const auto serialValidator = [](QLineEdit *e, const QString &pattern) {
        delete e->validator();
        e->setValidator(new QRegularExpressionValidator(QRegularExpression(pattern), e));
    };
    if (s.RunType & RunMbsn) {
        m_fields.mbsn->setMaxLength(s.Mbsnlen);
        serialValidator(m_fields.mbsn, SerialPattern);
    }
    if (s.RunType & RunPsn) {
        m_fields.psn->setMaxLength(s.Psnlen);
        serialValidator(m_fields.psn, SerialPattern);
    }
    if (s.RunType & RunBt) {
        m_fields.bt->setMaxLength(s.btAddrLen);
        serialValidator(m_fields.bt, BtPattern);
    }
    m_fields.version->setEnabled(s.RunType & RunCheckVersion);

    for (int i = 0; i < 4; ++i) {
        QLineEdit *e = m_fields.imeis.at(size_t(i));
        const auto field = IdentityField(i);
        disconnect(e, &QLineEdit::returnPressed, nullptr, nullptr);
        e->setEnabled(IdentityFieldOrder::isEnabled(s, field));
        if (e->isEnabled())
            e->setFocusPolicy(IdentityFieldOrder::isOperatorEntered(s, field) ? Qt::StrongFocus : Qt::NoFocus);
        if (e->isEnabled())
            connect(e, &QLineEdit::returnPressed, this, [this, i] { imeiEntered(i); });
    }
    for (IdentityField field : {IdentityField::Psn, IdentityField::Mbsn, IdentityField::Bt}) {
        QLineEdit *e = edit(field);
        e->setEnabled(IdentityFieldOrder::isEnabled(s, field));
        if (e->isEnabled())
            e->setFocusPolicy(IdentityFieldOrder::isOperatorEntered(s, field) ? Qt::StrongFocus : Qt::NoFocus);
        disconnect(e, &QLineEdit::returnPressed, nullptr, nullptr);
        if (e->isEnabled())
            connect(e, &QLineEdit::returnPressed, this, [this, field] { serialEntered(field); });
    }

    if (s.RunType & RunBt) {
        if (s.BTCurrentAddr.isEmpty()) {
            s.BTCurrentAddr = s.BTInitAddr;
        } else {
            bool initOk = false, currentOk = false;
            const quint64 init = s.BTInitAddr.toULongLong(&initOk, 16);
            const quint64 current = s.BTCurrentAddr.toULongLong(&currentOk, 16);
            if (!initOk)
                error(tr("Start Address is error!"));
            else if (init > current)
                s.BTCurrentAddr = s.BTInitAddr;
        }
    }
}

bool IdentityInputController::imeiEdited(int index, const QString &text)
{
    QLineEdit *e = m_fields.imeis.at(size_t(index));
    QString digits;
    bool clean = true;
    keepDigits(text, digits, clean);
    if (!clean)
        e->setText(digits);
    return digits.size() >= e->maxLength();
}

bool IdentityInputController::serialEdited(IdentityField field, const QString &text)
{
    return text.size() >= edit(field)->maxLength();
}

void IdentityInputController::imeiEntered(int index)
{
    QLineEdit *e = m_fields.imeis.at(size_t(index));
    const QString text = e->text();
    bool repeated = false;
    if (m_settings.ImeiCheckRepetitive) {
        repeated = m_checks.checkImeiHistory(index + 1, text);
        for (int j = 0; j < index && !repeated; ++j)
            repeated = m_fields.imeis.at(size_t(j))->text() == text;
    }
    if (repeated) {
        static const char *const lines[] = {
            QT_TR_NOOP("IMEI1 is repeated with the previous!"), QT_TR_NOOP("IMEI2 is repeated with the previous!"),
            QT_TR_NOOP("IMEI3 is repeated with the previous!"), QT_TR_NOOP("IMEI4 is repeated with the previous!")};
        error(tr(lines[index]));
        focus(IdentityField(index), true);
        return;
    }
    if (!m_checks.checkImeiValidity(index + 1, text)) {
        focus(IdentityField(index), true);
        return;
    }
    advanceFrom(IdentityField(index));
}

void IdentityInputController::mbsnEntered()
{
    serialEntered(IdentityField::Mbsn);
}

void IdentityInputController::psnEntered()
{
    serialEntered(IdentityField::Psn);
}

void IdentityInputController::btEntered()
{
    serialEntered(IdentityField::Bt);
}

void IdentityInputController::serialEntered(IdentityField field)
{
    const ToolSettings &s = m_settings;
    const QString text = edit(field)->text();
    if (field == IdentityField::Bt) {
        // The history holds addresses in lower case; a label may be scanned in either.
        if (s.BTInputType == InputManual && s.BTCheckRepetitive && m_histories.btHistory.contains(text.toLower())) {
            error(tr("Bluetooth is repeated with previous!"));
            focus(field, true);
            return;
        }
        m_startWrite();
        return;
    }
    const bool mbsn = field == IdentityField::Mbsn;
    if (!SerialGenerator::isValidSerial(text, mbsn ? s.Mbsnlen : s.Psnlen)) {
        error(mbsn ? tr("MBSN is invalid") : tr("PSN is invalid"));
        focus(field, true);
        return;
    }
    const bool check = mbsn ? s.MbsnCheckRepetitive : s.PsnCheckRepetitive;
    if (check && (mbsn ? m_histories.mbsnHistory : m_histories.psnHistory).contains(text)) {
        error(mbsn ? tr("MBSN is repeated with prev") : tr("PSN is repeated with prev"));
        focus(field, true);
        return;
    }
    advanceFrom(field);
}

void IdentityInputController::advanceFrom(IdentityField field)
{
    if (const auto next = IdentityFieldOrder::after(m_settings, field))
        focus(*next, false);
    else
        m_startWrite(); // also when the Write button is disabled: the chain is the operator's Write
}

void IdentityInputController::focus(IdentityField field, bool selectAll)
{
    QLineEdit *e = edit(field);
    e->setFocus();
    if (selectAll)
        e->selectAll();
}

void IdentityInputController::focusFirst()
{
    if (const auto first = IdentityFieldOrder::first(m_settings))
        focus(*first, false);
}

void IdentityInputController::clearOperatorFields()
{
    for (int i = 0; i < 7; ++i) {
        if (IdentityFieldOrder::isOperatorEntered(m_settings, IdentityField(i)))
            edit(IdentityField(i))->clear();
    }
}

void IdentityInputController::clearFields()
{
    for (int i = 0; i < 7; ++i)
        edit(IdentityField(i))->clear();
}

void IdentityInputController::setImeiMaxLength(int count)
{
    for (int i = 0; i < count && i < 4; ++i)
        m_fields.imeis.at(size_t(i))->setMaxLength(ImeiLength);
}

void IdentityInputController::showValues(const QStringList &imeis, const QString &mbsn, const QString &psn,
                                         const QString &bt)
{
    const ToolSettings &s = m_settings;
    const int n = std::min<int>(int(imeis.size()), std::min(s.ImeiNum, 4));
    for (int i = 0; i < n; ++i) {
        if (imeis.at(i).isEmpty())
            m_log(tr("IMEI%1 value is empty !").arg(i + 1), LineColour::Warning);
        m_fields.imeis.at(size_t(i))->setText(imeis.at(i));
    }
    const struct
    {
        int bit;
        QLineEdit *edit;
        const QString &value;
        const char *empty;
    } serials[] = {{RunMbsn, m_fields.mbsn, mbsn, QT_TR_NOOP("MBSN value is empty !")},
                   {RunPsn, m_fields.psn, psn, QT_TR_NOOP("PSN value is empty !")},
                   {RunBt, m_fields.bt, bt, QT_TR_NOOP("BT value is empty !")}};
    for (const auto &serial : serials) {
        if (!(s.RunType & serial.bit))
            continue;
        if (serial.value.isEmpty())
            m_log(tr(serial.empty), LineColour::Warning);
        serial.edit->setText(serial.value);
    }
}

bool IdentityInputController::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress || !static_cast<QKeyEvent *>(event)->matches(QKeySequence::Paste))
        return QObject::eventFilter(watched, event);
    auto *e = qobject_cast<QLineEdit *>(watched);
    if (!e || e->isReadOnly())
        return false;
    QString digits;
    bool clean = true;
    keepDigits(QApplication::clipboard()->text(), digits, clean);
    e->insert(digits);
    // textEdited is sent for typed and pasted text alike; insert() does not send it.
    emit e->textEdited(e->text());
    return true;
}
