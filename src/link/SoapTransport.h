#pragma once

#include "base/AbortToken.h"
#include "link/External_.h"

#include <QtGlobal>

class Controls;
class NetworkConnections;

// The limits of one call. A reply bigger than kMaxReplyBytes is not read further (a 10,000-trip reply is about
// 22 MB); a call that has not completed after kCallLimitMs fails even while bytes keep trickling in.
inline constexpr qint64 kMaxReplyBytes = qint64(256) * 1024 * 1024;
inline constexpr int kCallLimitMs = 5 * 60 * 1000;
inline constexpr int kNoProgressLimitMs = 60 * 1000;
// A kept connection idle for longer is not used again. Paths that drop idle connections without a word (NAT,
// firewalls, proxies) do so after a few seconds or more, and a request written into such a connection is lost
// without an answer; the calls of one cycle follow each other within milliseconds and still share a connection.
inline constexpr int kIdleConnectionLimitMs = 2 * 1000;

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
    // The token whose trip stops the call (null: nothing stops it but its limits). A call whose request has not
    // gone out yet fails at once; one already on the wire may still finish for stopGraceMs, and fails only then.
    AbortToken *abortToken = nullptr;
    int stopGraceMs = AbortToken::kStopGraceMs;
    // Calls to the same host share kept-alive connections and TLS sessions (see NetworkConnections). Off: the call
    // gets a connection of its own that ends with it.
    bool keepConnections = true;
    // Kept connections idle for longer than this are closed instead of used. A call that fails on a kept
    // connection before the whole request has gone out is sent once more, on a new one; once it has gone out, a
    // connection that ends without an answer fails the call (the service may have acted on the request).
    int idleConnectionLimitMs = kIdleConnectionLimitMs;
};

// A stub of External_ bound to the URL (empty: the built-in default endpoint), whose calls go over net. xmlRequest
// blocks the calling thread without running its event loop (the exchange runs on the network thread): during a
// call no timer or other event of the caller's thread is handled, so no operation can start inside another. The
// no-progress limit, the call limit and the abort token bound how long the caller stands still. The network layer never sends a
// request twice by itself; only a request that a kept connection failed to take whole is sent once more.
// Certificate errors are ignored only when ignoreCertificateErrors is true.
std::unique_ptr<External_> CreateServiceProxy(NetworkConnections &net, const QString &url,
                                              bool ignoreCertificateErrors = false);
std::unique_ptr<External_> CreateServiceProxy(NetworkConnections &net, const QString &url,
                                              const ServiceProxyOptions &options);

// The URL a stub for this setting text calls: the text as it stands, or the built-in default when it is empty.
QString EffectiveServiceUrl(const QString &url);

// The factory the program uses: CreateServiceProxy over net, stopped by stop (may be null), with xCertNegeren read
// at the moment the stub is made.
ServiceFactory MakeServiceFactory(const Controls &controls, NetworkConnections &net, AbortToken *stop);
