#pragma once

// The look of the pictures in docs/: a dark palette like a desktop's dark theme.

#include <QApplication>
#include <QColor>
#include <QFont>
#include <QPalette>
#include <QStyleFactory>

namespace vidlume::tools {

/// The program's own look, the same in every picture: its style and font.
inline void useProgramLook()
{
    QApplication::setApplicationName(QStringLiteral("Vidlume"));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(11);
    QApplication::setFont(font);
}

/// A dark palette like a desktop's dark theme.
inline QPalette darkPalette()
{
    QPalette palette;
    const QColor window(45, 45, 48), base(30, 30, 32), text(230, 230, 230), dim(130, 130, 130);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, window);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, window);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::Highlight, QColor(60, 120, 200));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::ToolTipBase, base);
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::Mid, QColor(90, 90, 95));
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, dim);
    return palette;
}

} // namespace vidlume::tools
