#pragma once

// Time-outs in milliseconds; 0 leaves the library's own.
class THttpClientTimeouts {
  public:
    void Assign(const THttpClientTimeouts* source) {
        *this = source ? *source : THttpClientTimeouts();
    }

    unsigned ConnectTimeout = 0;
    unsigned ReceiveTimeout = 0;
    unsigned SendTimeout = 0;
    // The longest a whole transfer may take; 0: no limit.
    unsigned Deadline = 0;
};
