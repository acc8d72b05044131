#include "ui/ButtonKeys.h"

#include <QKeyEvent>
#include <QPushButton>

namespace vidlume::ui {

namespace {

class EnterClicksButton final : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        const bool plain = (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
        auto* button = qobject_cast<QPushButton*>(watched);
        if (!enter || !plain || !button || !button->isEnabled())
            return false;
        if (!key->isAutoRepeat())
            button->click();
        return true;
    }
};

} // namespace

void clickFocusedButtonsOnEnter(QWidget* window)
{
    auto* filter = new EnterClicksButton(window);
    for (QPushButton* button : window->findChildren<QPushButton*>())
        button->installEventFilter(filter);
}

} // namespace vidlume::ui
