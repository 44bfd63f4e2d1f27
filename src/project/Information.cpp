#include "Information.h"

#include "FileRoutines.h"
#include "TextRoutines.h"

#include <QString>

namespace tessaly {

namespace {
bool startsWithNoCase(const std::string& text, const char* prefix) {
    return QString::fromStdString(text).startsWith(QLatin1String(prefix), Qt::CaseInsensitive);
}
bool blank(const std::string& s) {
    return QString::fromStdString(s).trimmed().isEmpty();
}
} // namespace

InformationCheck ValidateInformation(bool local, const std::string& indexPage,
                                     const std::string& websiteText) {
    InformationCheck r;
    r.website = websiteText;
    if (local && !DirectoryExists(ExtractFilePath(indexPage))) {
        r.failed = InformationCheck::IndexField;
        r.message = "The Index Page folder cannot be found, please enter a valid path.";
        return r;
    }
    // Counted in characters, as typed.
    if (QString::fromStdString(r.website).size() > 8 && !startsWithNoCase(r.website, "http://") &&
        !startsWithNoCase(r.website, "https://"))
        r.website = "http://" + r.website;
    if (r.website == "http://" || blank(r.website)) {
        r.failed = InformationCheck::WebsiteField;
        r.message = "Please enter your website address.";
        return r;
    }
    if (r.website.find("http://") == std::string::npos &&
        r.website.find("https://") == std::string::npos) {
        r.failed = InformationCheck::WebsiteField;
        r.message = "The website address must begin with \"http://\" or \"https://\".";
    }
    return r;
}

std::string EnsureWebsiteSlash(const std::string& website) {
    return CountOccurrences(website, "/") < 3 ? website + "/" : website;
}

} // namespace tessaly
