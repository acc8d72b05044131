#pragma once

#include <QString>

#include <optional>
#include <string>
#include <vector>

class QUrl;

namespace vidlume::ui {

/// The local path of a file URL as the file system's bytes: its path
/// percent-decoded, so that a name that is not valid UTF-8 keeps its bytes
/// where the URL carries them (QUrl::toLocalFile replaces them). Nothing for
/// a URL that is no local file.
std::optional<std::string> localPathOfUrl(const QUrl& url);

/// The one existing entry that a path names once each part that holds U+FFFD
/// is taken for an entry of its folder shown under the same text: a dialog
/// that decodes names into text (GTK) shows each byte of a name that is not
/// valid UTF-8 as U+FFFD and hands that text back. Nothing when the path
/// names no entry, or more than one.
std::optional<std::string> existingPathShownAs(const std::string& path);

/// Every existing entry (up to limit) that a path names when each part that
/// holds U+FFFD may be any entry of its folder shown under the same text.
std::vector<std::string> existingPathsShownAs(const std::string& path, std::size_t limit);

/// The video named on the command line ("vidlume FILE", as "Open With" in a
/// file manager starts it): a path, made absolute against the current folder,
/// or a file URL. Nothing when no argument is given.
std::optional<std::string> videoArgument(int argc, char* argv[]);

/// A local path as text that tells apart names that look alike: bytes that are
/// not valid UTF-8 are written "\\xE9" rather than shown as U+FFFD.
QString exactPathText(const std::string& path);

/// A local path in a file URL, its bytes percent-encoded.
QUrl urlOfLocalPath(const std::string& path);

} // namespace vidlume::ui
