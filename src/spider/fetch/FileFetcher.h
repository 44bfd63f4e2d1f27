#pragma once
// Fetches one web page at a time and hands back what the crawl needs of it:
// the body, the content type, the title, the last-modified date, the outcome
// and the links worth following. FetchPage runs on the user-interface thread
// and returns when the fetch has ended; meanwhile it lets events run, and the
// HTTP client's events, delivered on that thread, fill the results.
#include "FetcherTypes.h"
#include "HttpClient.h"
#include "HttpRequestOptions.h"
#include "PageSignals.h"
#include "Uri.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tessaly::html {
class THtmlParser;
class THtmlLinksPlugin;
class THtmlTitlePlugin;
class THtmlCharSetPlugin;
} // namespace tessaly::html

namespace tessaly {

class THeadSignalsPlugin;

// An address a page names as its canonical one, resolved as a link of the
// page is: the full address (without its fragment), the bare one (without
// its query), and whether a link to it would be followed.
struct TCanonicalTarget {
    std::string Full;
    std::string Bare;
    bool Followed = false;
};

class TFileFetcher {
  public:
    TFileFetcher();
    ~TFileFetcher();
    TFileFetcher(const TFileFetcher&) = delete;
    TFileFetcher& operator=(const TFileFetcher&) = delete;

    // Links never followed, by extension.
    static constexpr const char* LinkSkipMask =
        "*.gif;*.jpg;*.ico;*.swf;*.bmp;*.png;*.zip;*.exe;*.pdf;*.wav;*.chm;";
    // Fetched addresses never parsed, by extension.
    static constexpr const char* PageSkipMask =
        "*.gif;*.jpg;*.ico;*.swf;*.bmp;*.png;*.zip;*.exe;*.pdf;*.wav;";
    // The most bytes of a page that are read; the rest is dropped and the
    // page is parsed as far as it was read.
    static constexpr std::int64_t DefaultMaxPageSize = 15 * 1024 * 1024;

    // Published properties, in streaming order.
    // Every request names the program unless a profile gives its own text.
    std::string Agent = TessalyAgent();
    // Sent as HTTP basic authentication to the site (never to another host
    // a redirect leads to); never part of an address the crawl records.
    std::string Password;
    std::string UserName;
    THttpClientAccessType ProxyAccess = atPreconfig; // kept; ProxyServer decides
    std::string ProxyBypass;                         // kept; not handed on
    int ProxyPort = 0;
    std::string ProxyServer; // empty: the system's own proxy setting
    std::string ProxyUserName;
    std::string ProxyPassword;
    bool UseCache = false; // kept; not consulted
    // The content type of the last response without its parameters.
    const std::string& ContentType() const { return m_ContentType; }
    // Stores the text before its first ";" and sets MimeType from it.
    void SetContentType(const std::string& text);
    // The major class of a content type, as SetContentType reads it.
    static TMimeType MimeTypeOf(const std::string& contentType);
    std::int64_t ContentLength = 0;
    std::string ContentLocation;
    // The Last-Modified date of the last response in local time; the present
    // time is stored first while no date was received.
    TDateTime LastModified();
    void SetLastModified(TDateTime value) { m_LastModified = value; }
    // The last response carried a Last-Modified date (the getter above gives
    // the present time when it did not).
    bool LastModifiedReceived() const { return m_LastModifiedReceived; }
    TMimeType MimeType = mimeUnknown;
    TDownloadFileTypes DownloadFileTypes = 1u << mimeText;
    bool DontGetContent = false;
    // The address of the last fetch, exactly as passed to FetchPage.
    std::string URL;
    std::string ShortURL;
    std::string PageContent;
    bool PasswordRequired = false;
    bool ResolveUris = true;
    // 200, another HTTP status, 0 (no answer), -2 (stopped), -3 (connection
    // lost during a successful download).
    int Response = -1;
    std::string RedirectedURL;
    // Decides, on the HTTP engine's thread, whether a redirect to an
    // address is followed (see THttpClient::RedirectFilter); none follows
    // every one.
    std::function<bool(const std::string& url)> RedirectFilter;
    // The redirect target RedirectFilter refused in the last fetch: the
    // fetch ended at the redirect, Response holding its status. Empty when
    // none was refused.
    std::string HeldRedirect;
    // The seconds the last answer asked to wait before asking again (its
    // Retry-After header, a number or a date); -1 when it named none.
    int RetryAfter = -1;
    // Why the last fetch got no answer, where that matters to the user (a
    // certificate refused); empty otherwise.
    std::string FailureReason;
    bool Parsed = false;
    // Bare addresses of the followed links of the last page.
    const std::vector<std::string>& PageLinks();
    const std::vector<std::string>& FollowList();
    const std::vector<std::string>& NonFollowList() const { return m_NonFollowList; }
    TLinkTypes LinkTypes = AllLinkTypes;
    std::string Title;
    bool HasTitle = false;
    // Texts that make a link with a query not followed.
    std::vector<std::string> FollowQueryParts;
    // A link whose rel holds the word "nofollow" (in any letter case, among
    // other words or alone) is left out of both link lists unless this is
    // set.
    bool FollowNofollow = false;
    // What the last page says to crawlers: the words of the <meta
    // name="robots"> elements of its head and of the X-Robots-Tag header
    // lines of its answer that name no crawler or ours (the product token
    // of Agent).
    TRobotsDirectives Robots;
    // The addresses the last page names as its canonical one, in order: the
    // <link rel="canonical"> elements of its head, resolved against the
    // page's base as its links are, then the canonical links of its Link
    // header lines, resolved against FinalURL. Only http and https
    // addresses; a target that does not resolve is dropped.
    std::vector<TCanonicalTarget> Canonicals;
    THTTPProgressEvent OnProgress;
    THTTPStatusMessage OnStatusMessage;
    THTTPOnLinkEvent OnLink;

    // The address the last page was served from: the target of its last
    // redirect, or URL. Its links are resolved against it.
    std::string FinalURL;
    // The last fetch was redirected.
    bool Redirected = false;
    // Time-outs of a fetch in milliseconds: for the connection, and for a
    // server that stops sending (no byte for that long).
    unsigned ConnectTimeout = 30000;
    unsigned ReceiveTimeout = 30000;
    // The longest one fetch may take in milliseconds (0: no limit), so a
    // server that drips a page a byte at a time cannot hold it for ever.
    unsigned Deadline = 60000;
    // The jar every fetch of a crawl shares, the pages fetched ahead
    // included; without one, the first fetch makes one for this fetcher.
    std::shared_ptr<THttpCookieJar> CookieJar;
    std::int64_t MaxPageSize = DefaultMaxPageSize;

    // Fetches the address, waits for the outcome while events run, parses
    // the page and fills the properties. A parser error propagates.
    void FetchPage(const std::string& address);
    // FetchPage in its three parts, for fetches that run concurrently:
    // start the transfer; wait while events run until its outcome; parse.
    void BeginFetch(const std::string& address);
    void WaitForOutcome();
    void EndFetch();
    // Follows the redirect the last fetch held (HeldRedirect, which the
    // caller has cleared to be requested) as the rest of that fetch: the
    // target is fetched, URL stays the address first asked for, Redirected
    // is set, and the results are the target's.
    void ContinueRedirect();
    // Takes the published settings of another fetcher (not its events).
    void CopySettings(const TFileFetcher& from);
    // Ends the wait of a running FetchPage at once and asks the HTTP client
    // to stop its transfer.
    void CancelFetch();
    // Clears the results of the previous fetch.
    void ResetPage();
    // A fetch waits for its outcome.
    bool Busy() const { return m_Busy; }

    int LinkCount() const { return static_cast<int>(m_FollowedLinks.size()); }
    // The full and the bare address of the index-th followed link of the last
    // page, in document order; raises std::out_of_range
    // "List index out of bounds (%d)" for an index outside the list.
    void GetLink(int index, std::string& fullURL, std::string& bareURL) const;
    // The same without copies, for an index within the list; valid until
    // the next fetch.
    std::pair<std::string_view, std::string_view> Link(int index) const {
        const TLinkSpan& link = m_FollowedLinks[static_cast<size_t>(index)];
        const std::string_view text = m_LinkText;
        return {text.substr(link.full, link.bare - link.full),
                text.substr(link.bare, link.end - link.bare)};
    }

    THttpClient& HttpClient() { return *m_Client; }

  private:
    void WireClient();
    void ApplyLinkTypes();
    void ParsePage();
    void ReportStatus(const std::string& text);
    // Takes the values of the answer's header: the content length, type and
    // location, the last-modified date.
    void TakeHeaderInfo();
    // Ends the wait of FetchPage.
    void EndWait();
    // A transfer stopped by CancelFetch may still be winding down; its late
    // outcome is taken before the next fetch starts.
    void WaitForIdleClient();
    void HandleLink(html::THtmlLinksPlugin& plugin, std::u16string& link);
    // Adds a canonical target written on the page or in a header.
    void AddCanonical(std::u16string_view href, std::u16string_view base);
    // The settings of the next transfer, up to its start.
    void PrepareFetch(const std::string& address);
    void StartClient();
    bool QueryHasFollowPart(const std::u16string& query) const;

    std::unique_ptr<THttpClient> m_Client;
    std::unique_ptr<html::THtmlParser> m_Parser;
    std::unique_ptr<html::THtmlLinksPlugin> m_Links;
    std::unique_ptr<html::THtmlTitlePlugin> m_TitlePlugin;
    std::unique_ptr<html::THtmlCharSetPlugin> m_CharSet;
    std::unique_ptr<THeadSignalsPlugin> m_HeadSignals;
    // The canonical targets of the answer's Link header lines, as written.
    std::vector<std::string> m_HeaderCanonicals;

    std::string m_ContentType;
    // The charset parameter of the last response's content type.
    std::string m_HeaderCharSet;
    // The character set of the page was decided before parsing (by a byte
    // order mark or the HTTP header); the page's META elements do not change it.
    bool m_CharSetFixed = false;
    TDateTime m_LastModified = 0;
    bool m_LastModifiedReceived = false;
    bool m_Busy = false;
    bool m_HeaderTaken = false;
    // Whether the body of a content type is downloaded, by the settings of
    // the running fetch.
    std::function<bool(const std::string&)> m_BodyWanted;
    // The followed links of the page: each one's full and bare address,
    // converted to 8-bit text once, stand one after the other in m_LinkText
    // (one buffer for the page, kept between pages).
    struct TLinkSpan {
        std::size_t full, bare, end;
    };
    std::vector<TLinkSpan> m_FollowedLinks;
    std::string m_LinkText;
    // The bare address of the link being handled, and composed addresses.
    std::string m_Recorded;
    std::u16string m_Composed;
    std::vector<std::string> m_PageLinks;
    std::vector<std::string> m_FollowList;
    std::vector<std::string> m_NonFollowList;
    std::vector<std::u16string> m_FollowQueryParts;
    // The links plug-in's base address, parsed once for all links it
    // resolves.
    std::u16string m_BaseText;
    html::TUri m_Base;
    bool m_BaseValid = false;
    html::TUri m_LinkUri;
    std::u16string m_Resolved;
};

} // namespace tessaly
