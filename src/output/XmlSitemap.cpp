#include "XmlSitemap.h"

#include "Clock.h"
#include "DateStamp.h"
#include "FileRoutines.h"
#include "LargeBuffers.h"
#include "LocalScan.h"
#include "TextRoutines.h"

#include <QByteArray>
#include <QString>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <deque>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <limits>
#include <optional>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tessaly {

namespace {
const char* kSchema = "http://www.google.com/schemas/sitemap/0.84";
const char* kSchema09 = "http://www.sitemaps.org/schemas/sitemap/0.9";
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
    std::string text = QByteArray::number(SitemapPriority(priority), 'g', 15).toStdString();
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
        // Every insert lands at a random place in the slots: on huge pages
        // a million addresses do not miss the address cache at each one.
        slots_.reserve(capacity);
        AdviseLargeBuffer(slots_.data(), capacity * sizeof(std::uint64_t));
        slots_.assign(capacity, 0);
        keys_.reserve(expected);
        AdviseLargeBuffer(keys_.data(), expected * sizeof(std::string_view));
    }
    static std::uint64_t hash(std::string_view text) { return std::hash<std::string_view>{}(text); }
    // Asks for the slot where the text of this hash will be looked for, so
    // that a few lookups ahead the slot is in cache: each lookup lands at a
    // random place in a table far larger than the cache, and the wait for
    // it was most of the sitemap's time.
    void prefetch(std::uint64_t hash) const {
        __builtin_prefetch(&slots_[hash & (slots_.size() - 1)], 1);
    }
    // Adds the text, whose hash is given; false when an equal text is
    // already there.
    bool insert(std::string_view text, std::uint64_t hash) {
        if ((keys_.size() + 1) * 2 > slots_.size())
            grow();
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

SitemapFormat SitemapFormatOf(const TMapProfile& profile) {
    SitemapFormat f;
    f.protocol = profile.SitemapProtocol();
    // Google's protocol of old is written exactly as it always was.
    f.lastModWhenKnown = f.protocol == spSitemaps09 && profile.LastModWhenKnown();
    return f;
}

namespace {
std::string fileHeader(const SitemapFormat& format, const char* element, const char* xsd) {
    const std::string schema = format.protocol == spGoogle084 ? kSchema : kSchema09;
    return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n") + "<" + element +
           " xmlns=\"" + schema + "\"\r\n" + "xmlns:xsi=\"" + kXsi + "\"\r\n" +
           "xsi:schemaLocation=\"" + schema + "\r\n" + schema + "/" + xsd + "\">\r\n";
}
} // namespace

std::size_t WriteSitemapUrlsets(const TSiteTree& tree, const SitemapFormat& format,
                                const SitemapLimits& limits,
                                const std::function<void(int)>& beginPart,
                                const std::function<void(std::string_view)>& sink) {
    // Items are gathered in a buffer that goes to the sink whenever it holds
    // about a megabyte, so a sitemap of a million addresses is never held
    // whole in memory.
    constexpr std::size_t kChunk = 1 << 20;
    const bool old = format.protocol == spGoogle084;
    const std::string header = fileHeader(format, "urlset", "sitemap.xsd") + "\r\n";
    const std::string footer = "</urlset>\r\n";
    std::string out, entry;
    out.reserve(kChunk + 4096);
    int part = 0;
    std::size_t partUrls = 0, partBytes = header.size();
    if (beginPart)
        beginPart(part);
    out += header;

    // Addresses already written, compared without regard to case. An address
    // already in folded form is its own key, viewed in place; only the others
    // get a folded copy.
    ViewSet seen(tree.count());
    std::deque<std::string> folded;
    // Neighbouring items mostly share a priority: its text is made once.
    // Nothing is cached at first, whatever the first item's value.
    std::optional<double> lastPriority;
    std::string lastPriorityText;
    auto writeItem = [&](const TDataRec& d) {
        if (!lastPriority || d.Priority != *lastPriority) {
            lastPriority = d.Priority;
            lastPriorityText = PriorityText(d.Priority);
        }
        entry.assign("  <url>\r\n    <loc>");
        AppendURLForXML(entry, d.LinkURL);
        entry += "</loc>\r\n";
        // 0.84 keeps every element as it always wrote them; 0.9 leaves out
        // what is not known rather than write an empty (invalid) element.
        if (old || (!d.LastMod.empty() && (d.LastModKnown || !format.lastModWhenKnown))) {
            entry += "    <lastmod>";
            entry += d.LastMod;
            entry += "</lastmod>\r\n";
        }
        if (old || d.ChangeFreq != cfNothing) {
            entry += "    <changefreq>";
            entry += FrequencyWord(d.ChangeFreq);
            entry += "</changefreq>\r\n";
        }
        entry += "    <priority>";
        entry += lastPriorityText;
        entry += "</priority>\r\n  </url>\r\n";
        // A file full by count or by size is closed and the next one begun.
        if (partUrls > 0 &&
            (partUrls == limits.urls || partBytes + entry.size() + footer.size() > limits.bytes)) {
            out += footer;
            sink(out);
            out.clear();
            ++part;
            if (beginPart)
                beginPart(part);
            out += header;
            partUrls = 0;
            partBytes = header.size();
        }
        out += entry;
        ++partUrls;
        partBytes += entry.size();
        if (out.size() >= kChunk) {
            sink(out);
            out.clear();
        }
    };

    // Items are taken a few at a time: the slots of their addresses are
    // asked for first, then each is looked up and written in tree order.
    struct Pending {
        const TDataRec* data;
        std::string_view key;
        std::uint64_t hash;
    };
    constexpr std::size_t kAhead = 16;
    std::vector<Pending> pending;
    pending.reserve(kAhead);
    // An address whose loc text is longer than the protocol allows would
    // make the whole file invalid: it is left out and counted. The crawl
    // and the scan leave such addresses out already; an item edited by
    // hand may still hold one.
    std::size_t leftOut = 0;
    auto writePending = [&] {
        for (const Pending& p : pending) {
            if (!seen.insert(p.key, p.hash))
                continue;
            if (FitsSitemapLoc(p.data->LinkURL))
                writeItem(*p.data);
            else
                ++leftOut;
        }
        pending.clear();
    };
    const TSiteTree::Node* first = tree.firstItem();
    tree.forEach([&](TSiteTree::Node& n) {
        if (&n != first && n.icon == iconFolder)
            return;
        const TDataRec& d = n.data;
        // Left out of the maps by the page's own wish, or the user's.
        if (d.LeftOut != TLeftOut::None)
            return;
        std::string_view key = d.LinkURL;
        if (!isFoldedAscii(d.LinkURL))
            key = folded.emplace_back(caseKey(d.LinkURL));
        const std::uint64_t hash = ViewSet::hash(key);
        seen.prefetch(hash);
        pending.push_back({&d, key, hash});
        if (pending.size() == kAhead)
            writePending();
    });
    writePending();
    out += footer;
    sink(out);
    return leftOut;
}

std::size_t WriteGoogleSiteMapBytes(const TSiteTree& tree,
                                    const std::function<void(std::string_view)>& sink,
                                    const SitemapFormat& format) {
    SitemapLimits unlimited{std::numeric_limits<std::size_t>::max(),
                            std::numeric_limits<std::size_t>::max()};
    return WriteSitemapUrlsets(tree, format, unlimited, {}, sink);
}

std::string BuildGoogleSiteMap(const TSiteTree& tree, const SitemapFormat& format) {
    std::string all;
    WriteGoogleSiteMapBytes(
        tree, [&](std::string_view bytes) { all += bytes; }, format);
    return all;
}

std::string SitemapIndexText(const SitemapFormat& format, const std::vector<std::string>& addresses,
                             const std::string& lastMod) {
    std::string out = fileHeader(format, "sitemapindex", "siteindex.xsd");
    for (const std::string& address : addresses) {
        out += "  <sitemap>\r\n    <loc>";
        AppendURLForXML(out, address);
        out += "</loc>\r\n";
        if (!lastMod.empty())
            out += "    <lastmod>" + lastMod + "</lastmod>\r\n";
        out += "  </sitemap>\r\n";
    }
    out += "</sitemapindex>\r\n";
    return out;
}

std::string NumberedSitemapFileName(const std::string& sitemapFile, int number) {
    const std::string ext = ".xml";
    return ChangeFileExt(sitemapFile, "") + std::to_string(number) + ext;
}

std::string SitemapBaseAddress(const TMapProfile& profile) {
    auto folderOf = [](const std::string& address) {
        std::size_t scheme = address.find("//");
        std::size_t slash = address.rfind('/');
        if (slash == std::string::npos || (scheme != std::string::npos && slash <= scheme + 1))
            return address + "/";
        return address.substr(0, slash + 1);
    };
    if (!profile.SitemapAddress().empty())
        return folderOf(profile.SitemapAddress());
    if (profile.SpiderType() == mstWebsite)
        return folderOf(profile.Website());
    // A local site: the website address, then the output's folder below the
    // index page's folder; the site's root when the output lies elsewhere.
    std::string site = profile.Website();
    if (site.empty() || site.back() != '/')
        site += '/';
    const std::string root = AbsolutePath(ExtractFilePath(profile.IndexPage()));
    const std::string out = AbsolutePath(ExtractFilePath(profile.OutputFileName()));
    if (!root.empty() && out.rfind(root, 0) == 0)
        return site + out.substr(root.size());
    return site;
}

bool WantsGoogleSiteMap(const TMapProfile& profile) {
    return profile.MakeGoogleSM() && QString::fromStdString(profile.Website()).size() >= 8;
}

bool IsSitemapFile(const std::string& file) {
    // Only the start is read, and only from a regular file (a pipe would block).
    int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    std::string head(4096, '\0');
    ssize_t got = -1;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
        got = ::read(fd, head.data(), head.size());
    ::close(fd);
    if (got <= 0)
        return false;
    head.resize(std::size_t(got));
    std::string_view text = head;
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    // Past blanks, the declaration, processing instructions, comments and a
    // document type, the first element is the root.
    for (;;) {
        std::size_t start = text.find_first_not_of(" \t\r\n");
        if (start == std::string_view::npos)
            return false;
        text.remove_prefix(start);
        std::string_view end;
        if (text.starts_with("<?"))
            end = "?>";
        else if (text.starts_with("<!--"))
            end = "-->";
        else if (text.starts_with("<!"))
            end = ">";
        else
            break;
        std::size_t at = text.find(end, 2);
        if (at == std::string_view::npos)
            return false;
        text.remove_prefix(at + end.size());
    }
    if (!text.starts_with("<"))
        return false;
    std::size_t nameEnd = text.find_first_of(" \t\r\n/>", 1);
    if (nameEnd == std::string_view::npos)
        return false;
    std::string_view name = text.substr(1, nameEnd - 1);
    if (std::size_t colon = name.find(':'); colon != std::string_view::npos)
        name.remove_prefix(colon + 1); // a namespace prefix
    return name == "urlset" || name == "sitemapindex";
}

SitemapWriter::SitemapWriter(const TMapProfile& profile, SitemapLimits limits)
    : fileName_(GoogleSiteMapFileName(profile.OutputFileName())), format_(SitemapFormatOf(profile)),
      limits_(limits), base_(SitemapBaseAddress(profile)) {
    // The first file is made at once, so that a folder that cannot be
    // written is known before the tree is walked.
    parts_.push_back(std::make_unique<AtomicFileWriter>(fileName_));
}

SitemapWriter::~SitemapWriter() = default;

void SitemapWriter::write(const TSiteTree& tree, const std::function<void()>& check) {
    leftOut_ = WriteSitemapUrlsets(
        tree, format_, limits_,
        [&](int part) {
            if (part > 0)
                parts_.push_back(std::make_unique<AtomicFileWriter>(
                    NumberedSitemapFileName(fileName_, part + 1)));
        },
        [&](std::string_view bytes) {
            if (check)
                check();
            parts_.back()->write(bytes);
        });
}

std::vector<std::string> SitemapWriter::plannedFiles() const {
    std::vector<std::string> files;
    if (parts_.size() > 1)
        for (std::size_t i = 0; i < parts_.size(); ++i)
            files.push_back(NumberedSitemapFileName(fileName_, int(i) + 1));
    files.push_back(fileName_);
    return files;
}

std::vector<std::string> SitemapWriter::commit() {
    std::vector<std::string> written;
    const int count = int(parts_.size());
    if (count == 1) {
        parts_[0]->commit();
        written.push_back(fileName_);
    } else {
        // The numbered files first, so the index never names a missing one.
        // The first part was begun under the chosen name: it is renamed.
        std::vector<std::string> addresses;
        for (int i = 0; i < count; ++i) {
            std::string name = NumberedSitemapFileName(fileName_, i + 1);
            if (i == 0)
                parts_[0]->retarget(name);
            parts_[std::size_t(i)]->commit();
            written.push_back(name);
            addresses.push_back(base_ + ExtractFileName(name));
        }
        WriteFileText(SitemapIndexText(format_, addresses, W3CDateTime(Clock::now())), fileName_);
        written.push_back(fileName_);
    }
    parts_.clear();
    // Numbered files an earlier, larger run left behind would be listed by
    // nothing and uploaded by mistake. Only sitemap files go: a file of the
    // user's that happens to have such a name is left alone.
    const int numbered = count == 1 ? 0 : count;
    for (int n = numbered + 1;; ++n) {
        const std::string stale = NumberedSitemapFileName(fileName_, n);
        if (!FileExists(stale) || !IsSitemapFile(stale))
            break;
        DeleteFileQuietly(stale);
    }
    return written;
}

bool WriteGoogleSiteMap(const TMapProfile& profile, const TSiteTree& tree,
                        std::vector<std::string>& sitemapFiles) {
    if (!WantsGoogleSiteMap(profile))
        return false;
    SitemapWriter writer(profile);
    writer.write(tree);
    sitemapFiles = writer.commit();
    return true;
}

} // namespace tessaly
