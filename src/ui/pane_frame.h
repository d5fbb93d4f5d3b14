#pragma once
#include <QFrame>

class QLabel;

// A pane of the main window: a caption bar with the view's window text above the view.
class CPaneFrame : public QFrame {
    Q_OBJECT
public:
    CPaneFrame(QWidget* view, QWidget* parent = nullptr);

    QWidget* View() const { return m_view; }
    QString Caption() const;

protected:
    void changeEvent(QEvent* event) override;

private:
    void ColourCaption();

    QLabel* m_caption;
    QWidget* m_view;
};
