#pragma once

#include <QString>

#include <optional>
#include <string>

class QUrl;

namespace vidlume::ui {

/// The local path of a file URL as the file system's bytes: its path
/// percent-decoded, so that a name that is not valid UTF-8 keeps its bytes
/// where the URL carries them (QUrl::toLocalFile replaces them). Nothing for
/// a URL that is no local file.
std::optional<std::string> localPathOfUrl(const QUrl& url);

/// The existing entry that a path names once each part that does not exist
/// is taken for the one entry of its folder shown under the same text: a
/// dialog that decodes names into text shows a name that is not valid UTF-8
/// with a replacement character and hands that text back. Nothing when a part
/// matches no entry or more than one.
std::optional<std::string> existingPathShownAs(const std::string& path);

/// The video named on the command line ("vidlume FILE", as "Open With" in a
/// file manager starts it): a path, made absolute against the current folder,
/// or a file URL. Nothing when no argument is given.
std::optional<std::string> videoArgument(int argc, char* argv[]);

/// A local path in a file URL, its bytes percent-encoded.
QUrl urlOfLocalPath(const std::string& path);

} // namespace vidlume::ui
