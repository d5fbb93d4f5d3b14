#pragma once
#include <QFrame>
#include <optional>

class QLabel;

// A pane of the main window: a caption bar with the view's window text above the view.
class CPaneFrame : public QFrame {
    Q_OBJECT
public:
    CPaneFrame(QWidget* view, QWidget* parent = nullptr);

    QWidget* View() const { return m_view; }
    QString Caption() const;
    // Whether the view (or a widget in it, as the value editor) has the keyboard; its
    // caption is then drawn in the selection colours, the others' in the button colours.
    bool IsFocused() const;

protected:
    void changeEvent(QEvent* event) override;
    // The caption follows the view's window text.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ColourCaption();

    QLabel* m_caption;
    QWidget* m_view;
    std::optional<bool> m_focused;  // as the caption shows it
    bool m_paletteChanged = false;
};
