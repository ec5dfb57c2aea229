#include "shell/FPColorGraphicsView.h"

#include <QBrush>
#include <QFont>
#include <QGraphicsScene>
#include <QGraphicsTextItem>

FPColorGraphicsView::FPColorGraphicsView(QWidget *parent) : QGraphicsView(parent), m_scene(new QGraphicsScene(this))
{
    setScene(m_scene);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void FPColorGraphicsView::setWriteState(int state)
{
    m_writeMode = true;
    showState(state);
}

void FPColorGraphicsView::setReadState(int state)
{
    m_writeMode = false;
    showState(state);
}

void FPColorGraphicsView::showState(int state)
{
    m_state = state;
    QFont font(QStringLiteral("Verdana"), 40, QFont::Bold, false);
    m_scene->clear();

    QColor background;
    QString text;
    switch (state) {
    case StateErrorAlt:
    case StateError:
        background = QColor(255, 0, 0);
        text = tr("Error!!");
        break;
    case StateUnmount:
        background = QColor(210, 210, 210);
        text = tr("Unmount");
        break;
    case StateIdle:
        background = QColor(215, 235, 235);
        text = tr("Idle...");
        break;
    case StateBusy:
        background = QColor(142, 156, 22);
        text = m_writeMode ? tr("Writting...") : tr("Reading...");
        break;
    case StateFinished:
        background = QColor(0, 255, 0);
        text = m_writeMode ? tr("Writting Finished!") : tr("Reading Finished!");
        font.setPointSize(30);
        break;
    case StateSetting:
        background = QColor(142, 156, 22);
        text = tr("Setting...");
        break;
    default:
        return; // unknown: empty panel, background as it was
    }
    setBackgroundBrush(QBrush(background, Qt::SolidPattern));
    m_scene->addText(text, font);
}
