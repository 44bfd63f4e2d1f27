// Link and title extraction over generated pages: Tessaly's streaming parser
// with its plug-ins against libxml2 (htmlReadMemory, then every a/@href and the
// title), both run in the same process over the same bytes.
#include "HtmlCharSetPlugin.h"
#include "HtmlLinksPlugin.h"
#include "HtmlParser.h"
#include "HtmlTitlePlugin.h"

#include <benchmark/benchmark.h>
#include <libxml/HTMLparser.h>
#include <libxml/tree.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <random>
#include <string>
#include <vector>

using namespace tessaly::html;

namespace {

// Heap accounting for the memory counters: every C++ allocation, and libxml2's
// through xmlMemSetup, carries its size in a header.
std::atomic<size_t> gLiveBytes{0};
std::atomic<size_t> gPeakBytes{0};
constexpr size_t kHeader = alignof(std::max_align_t);

void* CountedAlloc(size_t size) {
    auto* block = static_cast<char*>(std::malloc(size + kHeader));
    if (!block)
        return nullptr;
    std::memcpy(block, &size, sizeof size);
    size_t live = gLiveBytes += size;
    for (size_t peak = gPeakBytes; live > peak && !gPeakBytes.compare_exchange_weak(peak, live);) {
    }
    return block + kHeader;
}

void CountedFree(void* p) {
    if (!p)
        return;
    char* block = static_cast<char*>(p) - kHeader;
    size_t size;
    std::memcpy(&size, block, sizeof size);
    gLiveBytes -= size;
    std::free(block);
}

void* CountedRealloc(void* p, size_t size) {
    if (!p)
        return CountedAlloc(size);
    char* block = static_cast<char*>(p) - kHeader;
    size_t old;
    std::memcpy(&old, block, sizeof old);
    void* fresh = CountedAlloc(size);
    if (fresh) {
        std::memcpy(fresh, p, old < size ? old : size);
        CountedFree(p);
    }
    return fresh;
}

char* CountedStrdup(const char* s) {
    size_t n = std::strlen(s) + 1;
    auto* copy = static_cast<char*>(CountedAlloc(n));
    if (copy)
        std::memcpy(copy, s, n);
    return copy;
}

// Peak heap growth over the live bytes at the start of a measurement.
struct THeapWatch {
    size_t Base = gLiveBytes;
    THeapWatch() { gPeakBytes = Base; }
    double Growth() const { return static_cast<double>(gPeakBytes - Base); }
};

// A page of about targetSize bytes: a head with title, META and a script,
// then sections of paragraphs with links, images, comments and scripts.
std::string MakePage(size_t targetSize, unsigned seed) {
    std::mt19937 random(seed);
    std::string page = "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\n"
                       "<html><head>\n<meta http-equiv=\"Content-Type\" "
                       "content=\"text/html; charset=iso-8859-1\">\n"
                       "<title>Generated page &amp; benchmark</title>\n"
                       "<link rel=\"stylesheet\" href=\"/css/site.css\">\n"
                       "<script type=\"text/javascript\"><!--\nfunction go(u) { "
                       "if (u != '') { window.location = u; } }\n//--></script>\n"
                       "</head>\n<body bgcolor=\"#ffffff\">\n";
    int n = 0;
    while (page.size() < targetSize) {
        ++n;
        switch (random() % 8) {
        case 0:
            page += "<!-- section " + std::to_string(n) +
                    ": <a href=\"hidden.html\">not a link</a> -->\n";
            break;
        case 1:
            page += "<script>document.write('<a href=\"js" + std::to_string(n) +
                    ".html\">x</a>'); var i = " + std::to_string(n) + " / 2; // note\n</script>\n";
            break;
        case 2:
            page += "<table width=\"100%\"><tr><td class=cell><img src=\"/img/p" +
                    std::to_string(n) + ".gif\" alt='picture " + std::to_string(n) +
                    "' width=10 height=10></td></tr></table>\n";
            break;
        default:
            page += "<p class=\"text\">Lorem ipsum dolor sit amet, consectetur adipiscing "
                    "elit &ndash; <a href=\"/docs/page" +
                    std::to_string(n) + ".html?id=" + std::to_string(random() % 1000) +
                    "&amp;s=2\" title=\"Page " + std::to_string(n) + "\">page " +
                    std::to_string(n) + "</a> and <A HREF='../up/" + std::to_string(n) +
                    ".htm'>more</A> sed do eiusmod tempor.</p>\n";
        }
    }
    page += "</body></html>\n";
    return page;
}

const std::string& SmallPage() {
    static const std::string page = MakePage(6 * 1024, 1);
    return page;
}

const std::string& LargePage() {
    static const std::string page = MakePage(1024 * 1024, 2);
    return page;
}

const std::string& PageOf(int64_t which) {
    return which == 0 ? SmallPage() : LargePage();
}

void BM_Tessaly(benchmark::State& state) {
    const std::string& page = PageOf(state.range(0));
    THtmlParser parser;
    THtmlLinksPlugin links;
    THtmlTitlePlugin title;
    THtmlCharSetPlugin charSet;
    links.SetHtmlParser(&parser);
    title.SetHtmlParser(&parser);
    charSet.SetHtmlParser(&parser);
    links.Link_A_href = true;
    links.BASE_href = true;
    std::vector<std::u16string> found;
    links.OnLink = [&](THtmlLinksPlugin&, std::u16string& link, bool&, bool&) {
        found.push_back(link);
    };
    size_t linkCount = 0;
    for (auto _ : state) {
        found.clear();
        parser.SetSource(page);
        parser.Reset();
        parser.ParseAll();
        parser.ReleaseSource();
        benchmark::DoNotOptimize(title.Title().data());
        linkCount = found.size();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
    state.counters["links"] = static_cast<double>(linkCount);
}

// Peak heap growth of one parse, links counted but not kept, so that only the
// parser's own memory shows.
void BM_TessalyHeap(benchmark::State& state) {
    const std::string& page = PageOf(state.range(0));
    THtmlParser parser;
    THtmlLinksPlugin links;
    THtmlTitlePlugin title;
    links.SetHtmlParser(&parser);
    title.SetHtmlParser(&parser);
    links.Link_A_href = true;
    size_t count = 0;
    links.OnLink = [&](THtmlLinksPlugin&, std::u16string&, bool&, bool&) { ++count; };
    double growth = 0;
    for (auto _ : state) {
        THeapWatch watch;
        parser.SetSource(page);
        parser.Reset();
        parser.ParseAll();
        parser.ReleaseSource();
        growth = watch.Growth();
    }
    state.counters["heap_peak"] = growth;
    state.counters["links"] = static_cast<double>(count / state.iterations());
}

void CollectLinks(xmlNode* node, std::vector<std::string>& found, std::string& title) {
    // Iterative walk: the 1 MB page nests deeply enough under recovery that
    // recursion is best avoided.
    while (node) {
        if (node->type == XML_ELEMENT_NODE) {
            const char* name = reinterpret_cast<const char*>(node->name);
            if (name[0] == 'a' && name[1] == 0) {
                if (xmlChar* href = xmlGetProp(node, BAD_CAST "href")) {
                    found.emplace_back(reinterpret_cast<const char*>(href));
                    xmlFree(href);
                }
            } else if (title.empty() && std::string_view(name) == "title") {
                if (xmlChar* text = xmlNodeGetContent(node)) {
                    title = reinterpret_cast<const char*>(text);
                    xmlFree(text);
                }
            }
            if (node->children) {
                node = node->children;
                continue;
            }
        }
        while (node && !node->next)
            node = node->parent;
        if (node)
            node = node->next;
    }
}

void BM_LibXml2(benchmark::State& state) {
    const std::string& page = PageOf(state.range(0));
    std::vector<std::string> found;
    std::string title;
    size_t linkCount = 0;
    double growth = 0;
    for (auto _ : state) {
        found.clear();
        title.clear();
        THeapWatch watch;
        htmlDocPtr doc = htmlReadMemory(
            page.data(), static_cast<int>(page.size()), "http://www.example.com/", nullptr,
            HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET);
        if (doc) {
            CollectLinks(xmlDocGetRootElement(doc), found, title);
            growth = watch.Growth();
            xmlFreeDoc(doc);
        }
        benchmark::DoNotOptimize(title.data());
        linkCount = found.size();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
    state.counters["links"] = static_cast<double>(linkCount);
    state.counters["heap_peak"] = growth;
}

} // namespace

void* operator new(size_t size) {
    if (void* p = CountedAlloc(size))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    CountedFree(p);
}
void operator delete(void* p, size_t) noexcept {
    CountedFree(p);
}

BENCHMARK(BM_Tessaly)->Arg(0)->Arg(1)->ArgName("large");
BENCHMARK(BM_LibXml2)->Arg(0)->Arg(1)->ArgName("large");
BENCHMARK(BM_TessalyHeap)->Arg(0)->Arg(1)->ArgName("large");

int main(int argc, char** argv) {
    xmlMemSetup(CountedFree, CountedAlloc, CountedRealloc, CountedStrdup);
    xmlInitParser();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    xmlCleanupParser();
    return 0;
}
