#include "ui/directory.h"

// Placeholder dialog until the folder tree is built.
TfmDirectory* fmDirectory = nullptr;

TfmDirectory::TfmDirectory(QWidget* owner) : QDialog(owner)
{
    setObjectName("fmDirectory");
    setWindowTitle("Browse");
}
