#include "ui/ComboBoxAccessible.h"

#include <QAccessibleWidget>
#include <QComboBox>

namespace vidlume::ui {

namespace {

class ComboBoxAccessible final : public QAccessibleWidget
{
public:
    explicit ComboBoxAccessible(QComboBox* box) : QAccessibleWidget(box, QAccessible::ComboBox) {}

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Value)
            return box()->currentText();
        return QAccessibleWidget::text(kind);
    }

    QStringList actionNames() const override
    {
        return QAccessibleWidget::actionNames() << showMenuAction();
    }

    void doAction(const QString& action) override
    {
        if (action == showMenuAction() || action == pressAction())
            box()->showPopup();
        else
            QAccessibleWidget::doAction(action);
    }

private:
    QComboBox* box() const { return static_cast<QComboBox*>(widget()); }
};

QAccessibleInterface* comboBoxFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("QComboBox") && object && object->isWidgetType())
        return new ComboBoxAccessible(static_cast<QComboBox*>(object));
    return nullptr;
}

} // namespace

void nameComboBoxesByLabel()
{
    static const bool installed = [] {
        QAccessible::installFactory(comboBoxFactory);
        return true;
    }();
    (void)installed;
}

} // namespace vidlume::ui
