#include "XmlSitemap.h"

#include "FileRoutines.h"
#include "TextRoutines.h"

#include <QByteArray>
#include <QString>
#include <deque>
#include <string_view>
#include <unordered_set>

namespace tessaly {

namespace {
const char* kSchema = "http://www.google.com/schemas/sitemap/0.84";
const char* kXsi = "http://www.w3.org/2001/XMLSchema-instance";

const char* FrequencyWord(ChangeFreqType f) {
    static const char* const words[] = {"",       "always",  "hourly", "daily",
                                        "weekly", "monthly", "yearly", "never"};
    return f <= cfNever ? words[f] : "";
}
} // namespace

std::string GoogleSiteMapFileName(const std::string& outputFileName) {
    return ChangeFileExt(outputFileName, ".xml");
}

std::string PriorityText(double priority) {
    std::string text = QByteArray::number(priority, 'g', 15).toStdString();
    for (char& c : text)
        if (c == ',')
            c = '.';
    return text;
}

namespace {
// The address in a form that compares without regard to case: ASCII folded
// directly, anything else through full case folding.
bool isFoldedAscii(const std::string& address) {
    for (char c : address)
        if (static_cast<unsigned char>(c) >= 0x80 || (c >= 'A' && c <= 'Z'))
            return false;
    return true;
}

std::string caseKey(const std::string& address) {
    for (char c : address)
        if (static_cast<unsigned char>(c) >= 0x80)
            return QString::fromStdString(address).toCaseFolded().toStdString();
    return AsciiLower(address);
}
} // namespace

std::string BuildGoogleSiteMap(const TSiteTree& tree) {
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";
    out.reserve(tree.count() * 200 + 512);
    out += std::string("<urlset xmlns=\"") + kSchema + "\"\r\n";
    out += std::string("xmlns:xsi=\"") + kXsi + "\"\r\n";
    out += std::string("xsi:schemaLocation=\"") + kSchema + "\r\n";
    out += std::string(kSchema) + "/sitemap.xsd\">\r\n";
    out += "\r\n";
    // Addresses already written, compared without regard to case. An address
    // already in folded form is its own key, viewed in place; only the others
    // get a folded copy.
    std::unordered_set<std::string_view> seen;
    seen.reserve(tree.count());
    std::deque<std::string> folded;
    double lastPriority = -1;
    std::string lastPriorityText;
    const TSiteTree::Node* first = tree.firstItem();
    tree.forEach([&](TSiteTree::Node& n) {
        if (&n != first && n.icon == iconFolder)
            return;
        const TDataRec& d = n.data;
        std::string_view key = d.LinkURL;
        if (!isFoldedAscii(d.LinkURL))
            key = folded.emplace_back(caseKey(d.LinkURL));
        if (!seen.insert(key).second)
            return;
        if (d.Priority != lastPriority) {
            lastPriority = d.Priority;
            lastPriorityText = PriorityText(d.Priority);
        }
        out += "  <url>\r\n    <loc>";
        out += EncodeURLForXML(d.LinkURL);
        out += "</loc>\r\n    <lastmod>";
        out += d.LastMod;
        out += "</lastmod>\r\n    <changefreq>";
        out += FrequencyWord(d.ChangeFreq);
        out += "</changefreq>\r\n    <priority>";
        out += lastPriorityText;
        out += "</priority>\r\n  </url>\r\n";
    });
    out += "</urlset>\r\n";
    return out;
}

bool WriteGoogleSiteMap(const TMapProfile& profile, const TSiteTree& tree,
                        std::string& googleSiteMapFile) {
    if (!profile.MakeGoogleSM() || QString::fromStdString(profile.Website()).size() < 8)
        return false;
    googleSiteMapFile = GoogleSiteMapFileName(profile.OutputFileName());
    WriteFileText(BuildGoogleSiteMap(tree), googleSiteMapFile);
    return true;
}

} // namespace tessaly
