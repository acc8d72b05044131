#include "ui/DialogParts.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>

namespace vidlume::ui {

QString textOf(const std::string& utf8)
{
    return QString::fromUtf8(utf8);
}

std::string localPathOf(const QString& shown)
{
    return QFile::encodeName(shown).toStdString();
}

QLabel* labelFor(const char* caption, QWidget* control, QWidget* parent)
{
    auto* label = new QLabel(QString::fromUtf8(caption), parent);
    label->setBuddy(control);
    return label;
}

QPushButton* dialogButton(const char* name, const char* caption, const char* accessible, QWidget* parent)
{
    auto* result = new QPushButton(QString::fromUtf8(caption), parent);
    result->setObjectName(name);
    result->setAccessibleName(QString::fromUtf8(accessible));
    result->setAutoDefault(false);
    return result;
}

} // namespace vidlume::ui
