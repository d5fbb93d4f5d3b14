#include "pane_frame.h"

#include <QLabel>
#include <QVBoxLayout>

CPaneFrame::CPaneFrame(QWidget* view, QWidget* parent) : QFrame(parent), m_view(view) {
    setFrameShape(QFrame::StyledPanel);
    m_caption = new QLabel(view->windowTitle(), this);
    m_caption->setObjectName("PaneCaption");
    m_caption->setAutoFillBackground(true);
    QPalette palette = m_caption->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Active, QPalette::Highlight));
    palette.setColor(QPalette::WindowText, palette.color(QPalette::Active, QPalette::HighlightedText));
    m_caption->setPalette(palette);
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
