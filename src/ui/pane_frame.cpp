#include "ui/pane_frame.h"

#include "ui/readable_colours.h"

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

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_caption);
    layout->addWidget(view);
}

QString CPaneFrame::Caption() const { return m_caption->text(); }

void CPaneFrame::ColourCaption() {
    // The theme's selection colours; some themes' highlight is too light for its own text.
    const QColor text = palette().color(QPalette::Active, QPalette::HighlightedText);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, ReadableBackground(palette().color(QPalette::Active, QPalette::Highlight), text));
    colours.setColor(QPalette::WindowText, text);
    m_caption->setPalette(colours);
}

void CPaneFrame::changeEvent(QEvent* event) {
    QFrame::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) ColourCaption();
}
