#pragma once

#include <windows.h>

#include <string>

/// The output folder chooser: the shell's folder tree rooted at the desktop. It
/// refuses a folder on a CD-ROM when the browser returns, with the refusal box,
/// after which the browser opens again at the last folder the user had selected
/// that it can take. Its result is SelectedDir, read after the modal run.
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
    std::string m_openAt; // where the browser opens: the start, then the last folder it could take
};

/// The one chooser, created on first use.
extern TfmDirectory* fmDirectory;
