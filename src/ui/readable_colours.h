#pragma once
#include <QColor>
#include <QImage>

// The colours the window picks for itself (captions, state box, refused values) are checked
// against the palette's, so they read on light and dark themes alike.

// The contrast ratio of two colours, from 1 to 21; body text wants 4.5.
double ContrastRatio(const QColor& a, const QColor& b);

// background, moved towards black (light text) or white (dark text) until text on it
// reaches the contrast of body text.
QColor ReadableBackground(QColor background, const QColor& text);

// image with a rim of colour round its opaque shapes: dark strokes drawn for a light toolbar
// then stand out on a dark one.
QImage WithRim(const QImage& image, const QColor& colour);
