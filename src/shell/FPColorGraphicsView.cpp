#include "shell/FPColorGraphicsView.h"

#include <QBrush>
#include <QEvent>
#include <QFont>
#include <QGraphicsScene>
#include <QGraphicsTextItem>

#include <algorithm>

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
    fitText();
}

void FPColorGraphicsView::fitText()
{
    const QSizeF room = QSizeF(viewport()->size()) - QSizeF(2 * frameWidth(), 2 * frameWidth());
    for (QGraphicsItem *item : m_scene->items()) {
        item->setScale(1);
        const QRectF bounds = item->boundingRect();
        if (bounds.isEmpty() || room.isEmpty())
            continue;
        item->setScale(std::min({1.0, room.width() / bounds.width(), room.height() / bounds.height()}));
    }
    // The scene is exactly its text, so that the view centres the text and never scrolls.
    m_scene->setSceneRect(m_scene->itemsBoundingRect());
}

void FPColorGraphicsView::changeEvent(QEvent *event)
{
    QGraphicsView::changeEvent(event);
    if (event->type() == QEvent::LanguageChange && !m_scene->items().isEmpty())
        showState(m_state); // the texts are looked up again in the catalogue now installed
}

void FPColorGraphicsView::resizeEvent(QResizeEvent *event)
{
    QGraphicsView::resizeEvent(event);
    fitText();
}
