#pragma once

#include "link/External_.h"

class Controls;

// A stub of External_ bound to the URL (empty: the built-in default endpoint). Certificate errors are ignored
// only when ignoreCertificateErrors is true. A call that makes no progress for 60 s fails.
std::unique_ptr<External_> CreateServiceProxy(const QString &url, bool ignoreCertificateErrors = false);

// The factory the program uses: CreateServiceProxy with xCertNegeren read at the moment the stub is made.
ServiceFactory MakeServiceFactory(const Controls &controls);
