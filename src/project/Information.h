#pragma once
// The checks made on the information page before a search starts.
#include <string>

namespace tessaly {

struct InformationCheck {
    enum Field { None, IndexField, WebsiteField };
    Field failed = None; // the field to focus when the check fails
    std::string message; // the message to show when it fails
    std::string website; // the website text, with a scheme put in front where due
};

InformationCheck ValidateInformation(bool local, const std::string& indexPage,
                                     const std::string& websiteText);
// The website text with "/" appended when it holds fewer than three "/".
std::string EnsureWebsiteSlash(const std::string& website);

} // namespace tessaly
