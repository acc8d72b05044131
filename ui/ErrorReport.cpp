#include "ui/ErrorReport.h"

#include "app/ErrorText.h"
#include "ui/MessageBoxes.h"

#include <QCoreApplication>
#include <exception>

namespace vidlume::ui {

void runReportingErrors(QWidget* parent, const std::function<void()>& handler)
{
    try {
        handler();
    } catch (const std::exception& error) {
        messageBoxes().show(parent, QCoreApplication::applicationName(),
                            QString::fromStdString(errorReportText(error.what())), MessageIcon::Error);
    }
}

} // namespace vidlume::ui
