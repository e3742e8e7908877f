#pragma once

#include "link/External_.h"

class Controls;

// How a stub behaves beyond its URL.
struct ServiceProxyOptions {
    // Accept the certificate faults that the setting xCertNegeren relaxes (unknown issuer, other host name,
    // expired or not yet valid). Off: the platform's certificate checks apply in full.
    bool ignoreCertificateErrors = false;
    // A call fails when no byte moves in either direction for this long.
    int noProgressTimeoutMs = 60000;
};

// A stub of External_ bound to the URL (empty: the built-in default endpoint). xmlRequest blocks the calling
// thread without running its event loop (the exchange runs on a worker thread of its own): during a call no timer,
// click or repaint of the window is handled, so no operation can start inside another. The no-progress limit
// bounds how long the window can stand still. The network layer never sends a request twice by itself. Certificate errors are ignored
// only when ignoreCertificateErrors is true. A call that makes no progress for 60 s fails.
std::unique_ptr<External_> CreateServiceProxy(const QString &url, bool ignoreCertificateErrors = false);
std::unique_ptr<External_> CreateServiceProxy(const QString &url, const ServiceProxyOptions &options);

// The URL a stub for this setting text calls: the text as it stands, or the built-in default when it is empty.
QString EffectiveServiceUrl(const QString &url);

// The factory the program uses: CreateServiceProxy with xCertNegeren read at the moment the stub is made.
ServiceFactory MakeServiceFactory(const Controls &controls);
