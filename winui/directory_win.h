#pragma once

#include <windows.h>

#include <string>

/// The output folder chooser: the shell's folder tree rooted at the desktop. It
/// refuses a folder on a CD-ROM while browsing (OK disabled) and again when the
/// browser returns, with the refusal box, after which the browser opens again.
/// Its result is SelectedDir, read after the modal run.
class TfmDirectory
{
public:
    /// The path accepted by the last successful OK; empty after Cancel or a refusal.
    std::string SelectedDir;

    /// Runs the chooser modally over owner.
    void exec(HWND owner);

    /// The folder that every opening selects ("C:\" unless a test sets another).
    void setStartFolder(const std::string& path) { m_startFolder = path; }

private:
    static int CALLBACK browseCallback(HWND dialog, UINT message, LPARAM param, LPARAM self);

    std::string m_startFolder = "C:\\";
};

/// The one chooser, created on first use.
extern TfmDirectory* fmDirectory;
