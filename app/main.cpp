#include <QApplication>
#include <QLabel>

// Placeholder program body until the main window exists.
int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("Vidlume");
    QLabel label("Vidlume");
    label.show();
    return app.exec();
}
