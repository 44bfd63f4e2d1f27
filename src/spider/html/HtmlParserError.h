#pragma once

#include <stdexcept>

namespace tessaly::html {

// Raised only on a programming fault, such as a plug-in handed a tag it did
// not ask for.
class EHtmlParserError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

} // namespace tessaly::html
