#include "support/FileSizeLimit.h"

FileSizeLimit::FileSizeLimit(qint64 bytes)
{
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    if (::sigaction(SIGXFSZ, &ignore, &m_signalBefore) != 0 || ::getrlimit(RLIMIT_FSIZE, &m_before) != 0)
        return;
    rlimit limited = m_before;
    limited.rlim_cur = rlim_t(bytes);
    m_ok = ::setrlimit(RLIMIT_FSIZE, &limited) == 0;
}

FileSizeLimit::~FileSizeLimit()
{
    ::setrlimit(RLIMIT_FSIZE, &m_before);
    ::sigaction(SIGXFSZ, &m_signalBefore, nullptr);
}
