#pragma once

#include <QDialog>

#include <string>

/// The output folder chooser. Its result is SelectedDir, read after the modal run.
class TfmDirectory : public QDialog
{
    Q_OBJECT

public:
    explicit TfmDirectory(QWidget* owner = nullptr);

    /// The path accepted by the last successful OK; empty after Cancel or a refusal.
    std::string SelectedDir;
};

/// The one chooser, created hidden at start-up.
extern TfmDirectory* fmDirectory;
