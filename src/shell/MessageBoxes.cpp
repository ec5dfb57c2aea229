#include "shell/MessageBoxes.h"

#include <QQueue>

namespace {
struct Hooks
{
    QQueue<QMessageBox::StandardButton> answers;
    bool unattended = false;
    QList<MessageBoxes::Record> records;
};

Hooks &hooks()
{
    static Hooks h;
    return h;
}
} // namespace

QMessageBox::StandardButton MessageBoxes::information(QWidget *parent, const QString &title, const QString &text)
{
    return show(parent, QMessageBox::Information, title, text, QMessageBox::Ok, QMessageBox::Ok);
}

QMessageBox::StandardButton MessageBoxes::critical(QWidget *parent, const QString &title, const QString &text)
{
    return show(parent, QMessageBox::Critical, title, text, QMessageBox::Ok, QMessageBox::Ok);
}

QMessageBox::StandardButton MessageBoxes::warning(QWidget *parent, const QString &title, const QString &text)
{
    return show(parent, QMessageBox::Warning, title, text, QMessageBox::Ok, QMessageBox::Ok);
}

QMessageBox::StandardButton MessageBoxes::question(QWidget *parent, const QString &title, const QString &text,
                                                   QMessageBox::StandardButtons buttons,
                                                   QMessageBox::StandardButton defaultButton)
{
    return show(parent, QMessageBox::Question, title, text, buttons, defaultButton);
}

void MessageBoxes::about(QWidget *parent, const QString &title, const QString &text)
{
    Hooks &h = hooks();
    if (!h.answers.isEmpty() || h.unattended) {
        const auto answer = h.answers.isEmpty() ? QMessageBox::Ok : h.answers.dequeue();
        h.records.append({QMessageBox::NoIcon, title, text, answer});
        return;
    }
    QMessageBox::about(parent, title, text);
}

void MessageBoxes::setNextAnswer(QMessageBox::StandardButton answer)
{
    hooks().answers.enqueue(answer);
}

void MessageBoxes::setUnattended(bool unattended)
{
    hooks().unattended = unattended;
}

QList<MessageBoxes::Record> MessageBoxes::takeRecords()
{
    return std::exchange(hooks().records, {});
}

QMessageBox::StandardButton MessageBoxes::show(QWidget *parent, QMessageBox::Icon icon, const QString &title,
                                               const QString &text, QMessageBox::StandardButtons buttons,
                                               QMessageBox::StandardButton defaultButton)
{
    Hooks &h = hooks();
    if (!h.answers.isEmpty() || h.unattended) {
        const auto answer = h.answers.isEmpty() ? defaultButton : h.answers.dequeue();
        h.records.append({icon, title, text, answer});
        return answer;
    }
    QMessageBox box(icon, title, text, buttons, parent);
    box.setDefaultButton(defaultButton);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}
