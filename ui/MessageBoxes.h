#pragma once

#include <QString>

class QWidget;

namespace vidlume::ui {

enum class MessageIcon
{
    None,
    Information,
    Error,
};

/// Shows modal message boxes with one OK button. The windows show every box
/// through this, so that tests can record boxes instead of blocking on them.
class MessageBoxes
{
public:
    virtual ~MessageBoxes() = default;
    virtual void show(QWidget* parent, const QString& caption, const QString& text, MessageIcon icon) = 0;
};

/// The message boxes in use: the real ones unless a test installed others.
MessageBoxes& messageBoxes();

/// Installs other message boxes (a test's recorder); nullptr restores the real ones.
void setMessageBoxes(MessageBoxes* boxes);

} // namespace vidlume::ui
