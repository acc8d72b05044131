// Uploads over FTPS to Debian's real vsftpd on 127.0.0.1.
#include "UploadServerCases.h"

#include "upload/FtpsSite.h"

using namespace vidlume;

namespace {

struct Ftps
{
    using Server = vidlume::test::FtpsServer;
    static constexpr bool resumes = true; // from the end of the temporary file (APPE)
    static std::unique_ptr<upload::RemoteSite> connect(const upload::UploadUrl& url, const upload::TlsLogin& login)
    {
        return upload::connectFtps(url, login);
    }
};

} // namespace

namespace vidlume::test {
INSTANTIATE_TYPED_TEST_SUITE_P(Ftps, UploadOverTls, ::testing::Types<Ftps>);
} // namespace vidlume::test
