#include "ui/pane_frame.h"

#include "ui/readable_colours.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QVBoxLayout>

CPaneFrame::CPaneFrame(QWidget* view, QWidget* parent) : QFrame(parent), m_view(view) {
    setFrameShape(QFrame::StyledPanel);
    m_caption = new QLabel(view->windowTitle(), this);
    m_caption->setObjectName("PaneCaption");
    m_caption->setAutoFillBackground(true);
    ColourCaption();
    QFont font = m_caption->font();
    font.setBold(true);
    m_caption->setFont(font);
    m_caption->setContentsMargins(6, 3, 6, 3);

    // The caption of the pane that has the keyboard is the highlighted one.
    connect(qApp, &QApplication::focusChanged, this, [this] { ColourCaption(); });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_caption);
    layout->addWidget(view);
    view->installEventFilter(this);
}

bool CPaneFrame::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_view && event->type() == QEvent::WindowTitleChange) m_caption->setText(m_view->windowTitle());
    return QFrame::eventFilter(watched, event);
}

QString CPaneFrame::Caption() const { return m_caption->text(); }

bool CPaneFrame::IsFocused() const {
    const QWidget* focus = QApplication::focusWidget();
    return focus && (focus == m_view || m_view->isAncestorOf(focus));
}

void CPaneFrame::ColourCaption() {
    const bool focused = IsFocused();
    if (m_focused.has_value() && *m_focused == focused && !m_paletteChanged) return;
    m_focused = focused;
    m_paletteChanged = false;
    // The theme's selection colours, or its button colours for the panes without the
    // keyboard; some themes' highlight is too light for its own text.
    const QColor text = palette().color(QPalette::Active, focused ? QPalette::HighlightedText : QPalette::ButtonText);
    const QColor back = palette().color(QPalette::Active, focused ? QPalette::Highlight : QPalette::Button);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, ReadableBackground(back, text));
    colours.setColor(QPalette::WindowText, text);
    m_caption->setPalette(colours);
}

void CPaneFrame::changeEvent(QEvent* event) {
    QFrame::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        m_paletteChanged = true;
        ColourCaption();
    }
}
