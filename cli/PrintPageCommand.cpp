#include "cli/PrintPageCommand.h"

#include "app/Error.h"
#include "cli/CliReport.h"
#include "page/BuildPlayerPage.h"
#include "platform/FileSystem.h"

#include <cerrno>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace vidlume::cli {

int runPrintPage(const PageInputs& inputs)
{
    std::string page;
    try {
        page = BuildPlayerPage(inputs);
    } catch (const Error& error) {
        return reportFailure(error.what());
    }

#ifdef _WIN32
    // The page carries its own CR LF breaks; text mode would double the CR.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    errno = 0;
    if (!writeBytes(stdout, page))
        return reportFailure(std::string("Cannot write the page to standard output: ") +
                             (errno ? platform::systemErrorText(errno) : std::string("write error")));
    return exitSuccess;
}

} // namespace vidlume::cli
