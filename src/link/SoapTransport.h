#pragma once

#include "base/AbortToken.h"
#include "link/External_.h"

#include <QtGlobal>

class Controls;

// The limits of one call. A reply bigger than kMaxReplyBytes is not read further (a 10,000-trip reply is about
// 22 MB); a call that has not completed after kCallLimitMs fails even while bytes keep trickling in.
inline constexpr qint64 kMaxReplyBytes = qint64(256) * 1024 * 1024;
inline constexpr int kCallLimitMs = 5 * 60 * 1000;
inline constexpr int kNoProgressLimitMs = 60 * 1000;
// A kept connection idle for longer is not used again: paths that drop idle connections without a word (NAT,
// firewalls) commonly do so after 30 s or more.
inline constexpr int kIdleConnectionLimitMs = 15 * 1000;

// How a stub behaves beyond its URL.
struct ServiceProxyOptions {
    // Accept the certificate faults that the setting xCertNegeren relaxes (unknown issuer, other host name,
    // expired or not yet valid). Off: the platform's certificate checks apply in full.
    bool ignoreCertificateErrors = false;
    // A call fails when no byte moves in either direction for this long.
    int noProgressTimeoutMs = kNoProgressLimitMs;
    // The whole call, from sending to the last byte of the reply.
    int callLimitMs = kCallLimitMs;
    // The reply body as it arrives on the wire.
    qint64 maxReplyBytes = kMaxReplyBytes;
    // The token whose trip stops the call (null: the program's token). A call whose request has not gone out yet
    // fails at once; one already on the wire may still finish for stopGraceMs, and fails only then.
    AbortToken *abortToken = nullptr;
    int stopGraceMs = AbortToken::kStopGraceMs;
    // Calls to the same host share kept-alive connections and TLS sessions (one network manager per certificate
    // mode, on a thread of its own). Off: the call gets a connection of its own that ends with it.
    bool keepConnections = true;
    // Kept connections idle for longer than this are closed instead of used. A call that fails on a kept
    // connection before any byte of the answer has come (the path dropped it) is sent once more, on a new one.
    int idleConnectionLimitMs = kIdleConnectionLimitMs;
};

// A stub of External_ bound to the URL (empty: the built-in default endpoint). xmlRequest blocks the calling
// thread without running its event loop (the exchange runs on the network thread): during a call no timer, click
// or repaint of the window is handled, so no operation can start inside another. The no-progress limit, the call
// limit and the program's abort token bound how long the window can stand still. The network layer never sends a
// request twice by itself; only a request that a dropped kept connection swallowed before any answer is sent once
// more. Certificate errors are ignored only when ignoreCertificateErrors is true.
std::unique_ptr<External_> CreateServiceProxy(const QString &url, bool ignoreCertificateErrors = false);
std::unique_ptr<External_> CreateServiceProxy(const QString &url, const ServiceProxyOptions &options);

// The URL a stub for this setting text calls: the text as it stands, or the built-in default when it is empty.
QString EffectiveServiceUrl(const QString &url);

// The factory the program uses: CreateServiceProxy with xCertNegeren read at the moment the stub is made.
ServiceFactory MakeServiceFactory(const Controls &controls);
