#pragma once

// Proxy use of the HTTP client.

#include "HttpClientTypes.h"

#include <string>

class THttpClientProxy {
  public:
    // Copies source; nothing restores the defaults.
    void Assign(const THttpClientProxy* source) { *this = source ? *source : THttpClientProxy(); }

    THttpClientAccessType AccessType = atPreconfig;
    int ProxyPort = 8080;
    std::string ProxyServer;
    // Hosts reached without the proxy, separated by ";".
    std::string ProxyBypass = "127.0.0.1;";
    std::string ProxyUsername;
    std::string ProxyPassword;

    // Streamed only when the proxy is named explicitly.
    bool IsProxyServerStored() const { return AccessType == atUseProxy; }
    bool IsProxyBypassStored() const { return AccessType == atUseProxy; }
};
