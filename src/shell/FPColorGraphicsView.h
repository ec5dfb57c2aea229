#pragma once

#include "device/StationStatus.h"

#include <QGraphicsView>

class QGraphicsScene;

// The large status panel: one word or phrase in big bold letters on a solid colour telling what the station
// is doing. Busy and finished read differently for a write and for a read.
class FPColorGraphicsView final : public QGraphicsView, public PanelStates
{
    Q_OBJECT

public:
    explicit FPColorGraphicsView(QWidget *parent = nullptr);

    void setWriteState(int state);
    void setReadState(int state);
    // Repaints for the state in the current wording; a number outside -2..4 only empties the panel.
    void showState(int state);

    // Scales the panel's text down where it would not fit (the panel is low, and Chinese fonts are taller).
    void fitText();

    int state() const { return m_state; }
    bool isWriteMode() const { return m_writeMode; }

protected:
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    int m_state = StateUnmount;
    QGraphicsScene *m_scene;
    bool m_writeMode = true;
};
