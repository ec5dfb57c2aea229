#pragma once

#include "identity/IdentityFrontEnd.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>

class IdentityChecks;
class QLineEdit;
class ToolSettings;
struct StationHistories;

// The identity fields of the window as the operator types or scans into them: their lengths, validators and
// focus from the settings, the keystroke filters, the full-length advance, the Return chain with its checks,
// and the small display steps of the cycle. It works on the window's widgets, on the window's thread; the
// window forwards its slots here and is told when the chain ends in a write.
class IdentityInputController final : public QObject
{
    Q_OBJECT

public:
    struct Fields
    {
        std::array<QLineEdit *, 4> imeis;
        QLineEdit *mbsn;
        QLineEdit *psn;
        QLineEdit *bt;
        QLineEdit *version;
    };
    using LineSink = std::function<void(const QString &text, LineColour colour)>;

    IdentityInputController(const Fields &fields, ToolSettings &settings, const StationHistories &histories,
                            IdentityChecks &checks, LineSink log, std::function<void()> startWrite,
                            QObject *parent = nullptr);

    // Lengths, validators, focus, enabled fields and the Return wiring from the settings.
    void applySettings();

    // Keystroke filter of IMEI field `index` (0 to 3): keeps the digits. True when the field is full, so that
    // the window advances as if Return had been pressed.
    bool imeiEdited(int index, const QString &text);
    // MBSN, PSN or Bluetooth field: true when it is full.
    bool serialEdited(IdentityField field, const QString &text);

    // Return in a field: its checks, then the next operator-entered field or the write.
    void imeiEntered(int index);
    void mbsnEntered();
    void psnEntered();
    void btEntered();

    void focusFirst();
    void focus(IdentityField field, bool selectAll);
    QLineEdit *edit(IdentityField field) const;
    // The operator-entered fields (before the next handset), or all seven.
    void clearOperatorFields();
    void clearFields();
    // Maximum length 15 for IMEI fields 1 to `count`.
    void setImeiMaxLength(int count);
    // The values of a cycle in the fields, with a warning for every empty one.
    void showValues(const QStringList &imeis, const QString &mbsn, const QString &psn, const QString &bt);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void advanceFrom(IdentityField field);
    void serialEntered(IdentityField field);
    void error(const QString &text) { m_log(text, LineColour::Error); }

    Fields m_fields;
    ToolSettings &m_settings;
    const StationHistories &m_histories;
    IdentityChecks &m_checks;
    LineSink m_log;
    std::function<void()> m_startWrite;
};
