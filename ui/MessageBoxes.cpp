#include "ui/MessageBoxes.h"

#include <QMessageBox>

namespace vidlume::ui {

namespace {

class RealMessageBoxes final : public MessageBoxes
{
public:
    void show(QWidget* parent, const QString& caption, const QString& text, MessageIcon icon) override
    {
        QMessageBox box(parent);
        box.setWindowTitle(caption);
        // Paths and error texts may hold "<" or "&": show them as they are, never as markup.
        box.setTextFormat(Qt::PlainText);
        box.setText(text);
        box.setStandardButtons(QMessageBox::Ok);
        switch (icon) {
        case MessageIcon::None:
            box.setIcon(QMessageBox::NoIcon);
            break;
        case MessageIcon::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case MessageIcon::Error:
            box.setIcon(QMessageBox::Critical);
            break;
        }
        box.exec();
    }
};

RealMessageBoxes realBoxes;
MessageBoxes* installed = nullptr;

} // namespace

MessageBoxes& messageBoxes()
{
    return installed ? *installed : realBoxes;
}

void setMessageBoxes(MessageBoxes* boxes)
{
    installed = boxes;
}

} // namespace vidlume::ui
