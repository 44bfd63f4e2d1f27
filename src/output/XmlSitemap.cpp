#include "XmlSitemap.h"

#include "FileRoutines.h"
#include "TextRoutines.h"

#include <QByteArray>
#include <QString>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <deque>
#include <functional>
#include <string_view>
#include <vector>

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
    // The protocol takes 0.0 to 1.0; a profile may hold anything.
    if (std::isnan(priority))
        priority = 0.5;
    priority = std::clamp(priority, 0.0, 1.0);
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

// A set of texts viewed in place (the texts must outlive it), with open
// addressing: each slot is 8 bytes (a 32-bit piece of the hash and the
// entry's number), so a million addresses take one compact block that stays
// mostly in cache, and no allocation is made per entry.
class ViewSet {
  public:
    explicit ViewSet(std::size_t expected) {
        std::size_t capacity = 16;
        while (capacity < expected * 2)
            capacity *= 2;
        slots_.assign(capacity, 0);
        keys_.reserve(expected);
    }
    // Adds the text; false when an equal text is already there.
    bool insert(std::string_view text) {
        if ((keys_.size() + 1) * 2 > slots_.size())
            grow();
        const std::uint64_t hash = std::hash<std::string_view>{}(text);
        const std::uint64_t tag = hash >> 32;
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
            const std::uint64_t slot = slots_[i];
            if (slot == 0) {
                keys_.push_back(text);
                slots_[i] = tag << 32 | keys_.size(); // entry numbers start at 1
                return true;
            }
            if (slot >> 32 == tag && keys_[(slot & 0xFFFFFFFFu) - 1] == text)
                return false;
        }
    }

  private:
    void grow() {
        std::vector<std::uint64_t> old(slots_.size() * 2, 0);
        old.swap(slots_);
        const std::size_t mask = slots_.size() - 1;
        for (std::uint64_t slot : old)
            if (slot != 0) {
                std::size_t i =
                    std::hash<std::string_view>{}(keys_[(slot & 0xFFFFFFFFu) - 1]) & mask;
                while (slots_[i] != 0)
                    i = (i + 1) & mask;
                slots_[i] = slot;
            }
    }
    std::vector<std::uint64_t> slots_;
    std::vector<std::string_view> keys_;
};

std::string caseKey(const std::string& address) {
    for (char c : address)
        if (static_cast<unsigned char>(c) >= 0x80)
            return QString::fromStdString(address).toCaseFolded().toStdString();
    return AsciiLower(address);
}
} // namespace

void WriteGoogleSiteMapBytes(const TSiteTree& tree,
                             const std::function<void(std::string_view)>& sink) {
    // Items are gathered in a buffer that goes to the sink whenever it holds
    // about a megabyte, so a sitemap of a million addresses is never held
    // whole in memory.
    constexpr std::size_t kChunk = 1 << 20;
    std::string out;
    out.reserve(kChunk + 4096);
    out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";
    out += std::string("<urlset xmlns=\"") + kSchema + "\"\r\n";
    out += std::string("xmlns:xsi=\"") + kXsi + "\"\r\n";
    out += std::string("xsi:schemaLocation=\"") + kSchema + "\r\n";
    out += std::string(kSchema) + "/sitemap.xsd\">\r\n";
    out += "\r\n";
    // Addresses already written, compared without regard to case. An address
    // already in folded form is its own key, viewed in place; only the others
    // get a folded copy.
    ViewSet seen(tree.count());
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
        if (!seen.insert(key))
            return;
        if (d.Priority != lastPriority) {
            lastPriority = d.Priority;
            lastPriorityText = PriorityText(d.Priority);
        }
        out += "  <url>\r\n    <loc>";
        AppendURLForXML(out, d.LinkURL);
        out += "</loc>\r\n    <lastmod>";
        out += d.LastMod;
        out += "</lastmod>\r\n    <changefreq>";
        out += FrequencyWord(d.ChangeFreq);
        out += "</changefreq>\r\n    <priority>";
        out += lastPriorityText;
        out += "</priority>\r\n  </url>\r\n";
        if (out.size() >= kChunk) {
            sink(out);
            out.clear();
        }
    });
    out += "</urlset>\r\n";
    sink(out);
}

std::string BuildGoogleSiteMap(const TSiteTree& tree) {
    std::string all;
    WriteGoogleSiteMapBytes(tree, [&](std::string_view bytes) { all += bytes; });
    return all;
}

bool WantsGoogleSiteMap(const TMapProfile& profile) {
    return profile.MakeGoogleSM() && QString::fromStdString(profile.Website()).size() >= 8;
}

bool WriteGoogleSiteMap(const TMapProfile& profile, const TSiteTree& tree,
                        std::string& googleSiteMapFile) {
    if (!WantsGoogleSiteMap(profile))
        return false;
    googleSiteMapFile = GoogleSiteMapFileName(profile.OutputFileName());
    AtomicFileWriter file(googleSiteMapFile);
    WriteGoogleSiteMapBytes(tree, [&](std::string_view bytes) { file.write(bytes); });
    file.commit();
    return true;
}

} // namespace tessaly
