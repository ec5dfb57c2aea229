#pragma once

#include "identity/IdentityFrontEnd.h"

#include <QList>
#include <QMap>
#include <QPair>
#include <QStringList>

// An identity front end without a window: it keeps the fields' texts and records every request.
class RecordingFrontEnd final : public IdentityFrontEnd
{
public:
    void logLine(const QString &text, LineColour colour) override { lines.append({text, colour}); }
    void clearLog() override
    {
        lines.clear();
        ++clears;
    }
    void criticalBox(const QString &text) override { boxes.append(text); }
    QString fieldText(IdentityField field) const override { return fields.value(field); }
    void setFieldText(IdentityField field, const QString &text) override { fields[field] = text; }
    void focusField(IdentityField field, bool selectAll) override { focus.append({field, selectAll}); }
    void setStatusState(int state) override { states.append(state); }
    void endCycle() override { ++cyclesEnded; }
    QIODevice *adjustmentLog() const override { return log; }

    QStringList texts() const
    {
        QStringList result;
        for (const auto &line : lines)
            result.append(line.first);
        return result;
    }
    QStringList textsIn(LineColour colour) const
    {
        QStringList result;
        for (const auto &line : lines) {
            if (line.second == colour)
                result.append(line.first);
        }
        return result;
    }

    QList<QPair<QString, LineColour>> lines;
    QStringList boxes;
    QMap<IdentityField, QString> fields;
    QList<QPair<IdentityField, bool>> focus;
    QList<int> states;
    int cyclesEnded = 0;
    int clears = 0;
    QIODevice *log = nullptr;
};
