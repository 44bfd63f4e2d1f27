#pragma once

#include <stdexcept>

// Raised at once when the FTP client is used wrongly (not ready, not
// connected, a required property empty). Network failures never raise; they
// end the request with a code instead.
class FtpException : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};
