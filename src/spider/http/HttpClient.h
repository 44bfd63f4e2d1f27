#pragma once

// The HTTP client component with its properties and events published.

#include "CustomHttpClient.h"

class THttpClient : public TCustomHttpClient {
  public:
    using TCustomHttpClient::TCustomHttpClient;
};
