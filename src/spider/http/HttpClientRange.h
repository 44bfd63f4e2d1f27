#pragma once

// Byte range of a transfer started without an explicit one.
class THttpClientRange {
  public:
    void Assign(const THttpClientRange* source) { *this = source ? *source : THttpClientRange(); }

    unsigned long long StartRange = 0;
    unsigned long long EndRange = 0;
};
