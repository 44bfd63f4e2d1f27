#include "FileFetcher.h"

#include "Clock.h"
#include "FetchRoutines.h"
#include "HeadSignalsPlugin.h"
#include "HtmlCharSetPlugin.h"
#include "HtmlLinksPlugin.h"
#include "HtmlParser.h"
#include "HtmlTitlePlugin.h"
#include "HttpStreams.h"
#include "RobotsRules.h"
#include "TextRoutines.h"
#include "UnicodeText.h"
#include "Uri.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <ctime>
#include <stdexcept>

namespace tessaly {

using html::TUri;
using html::Utf16ToUtf8;
using html::Utf8ToUtf16;

namespace {

// The cache flags of every fetch: reload always, never from or into a cache.
constexpr TCacheOptions kFetchCacheOptions =
    SetOf(coAlwaysReload, coReloadIfNoExpireInformation, coReloadUpdatedObjects, coPragmaNoCache,
          coNoCacheWrite, coCreateTempFilesIfCantCache);

// How long a fetch waits for the late outcome of a stopped transfer before
// the client is made to give it up at once.
constexpr int kStopGraceMs = 3000;

// The decoder a byte order mark at the start of the page names, or nullptr.
html::TReadCharFunc ByteOrderMarkDecoder(const std::string& bytes) {
    auto starts = [&](std::string_view mark) { return bytes.compare(0, mark.size(), mark) == 0; };
    if (starts("\xEF\xBB\xBF"))
        return html::FindCharSet(u"Utf-8");
    if (starts("\xFE\xFF"))
        return html::FindCharSet(u"Utf-16BE");
    if (starts("\xFF\xFE"))
        return html::FindCharSet(u"Utf-16LE");
    return nullptr;
}

} // namespace

TFileFetcher::TFileFetcher()
    : m_Client(std::make_unique<THttpClient>()), m_Parser(std::make_unique<html::THtmlParser>()),
      m_Links(std::make_unique<html::THtmlLinksPlugin>()),
      m_TitlePlugin(std::make_unique<html::THtmlTitlePlugin>()),
      m_CharSet(std::make_unique<html::THtmlCharSetPlugin>()),
      m_HeadSignals(std::make_unique<THeadSignalsPlugin>()) {
    WireClient();
    // The links plug-in comes first: a <base> element sets the base that
    // the head's canonical targets resolve against.
    m_Links->SetHtmlParser(m_Parser.get());
    m_TitlePlugin->SetHtmlParser(m_Parser.get());
    m_CharSet->SetHtmlParser(m_Parser.get());
    m_HeadSignals->SetHtmlParser(m_Parser.get());
    m_HeadSignals->Links = m_Links.get();
    m_CharSet->MetaCharset = true;
    m_Links->OnLink = [this](html::THtmlLinksPlugin& plugin, std::u16string& link, bool&, bool&) {
        HandleLink(plugin, link);
    };
    m_TitlePlugin->OnTitle = [this](html::THtmlTitlePlugin& plugin) {
        Title = Utf16ToUtf8(plugin.Title());
        HasTitle = true;
    };
    m_CharSet->OnCharSetChange = [this](html::THtmlCharSetPlugin&, const std::u16string&,
                                        html::TReadCharFunc&, bool& allowChange) {
        if (m_CharSetFixed)
            allowChange = false;
    };
    ResetPage();
}

TFileFetcher::~TFileFetcher() {
    // The client gives its transfer up; the plug-ins
    // leave the parser before it goes.
    m_Client.reset();
    m_Links->SetHtmlParser(nullptr);
    m_TitlePlugin->SetHtmlParser(nullptr);
    m_CharSet->SetHtmlParser(nullptr);
    m_HeadSignals->SetHtmlParser(nullptr);
}

void TFileFetcher::WireClient() {
    THttpClient& c = *m_Client;
    c.OnRedirected = [this](TCustomHttpClient*, const std::string& newURL) {
        RedirectedURL = newURL;
        if (m_Busy) {
            FinalURL = newURL;
            Redirected = true;
        }
        ReportStatus("Redirected: " + newURL);
    };
    c.OnPasswordRequest = [this](TCustomHttpClient*, const std::string& realm, bool& tryAgain) {
        PasswordRequired = true;
        tryAgain = false;
        ReportStatus("Password Required: " + realm);
    };
    c.OnDone = [this](TCustomHttpClient*, const std::string& contentType, std::int64_t fileSize,
                      TStream* stream) {
        TakeHeaderInfo();
        if (stream) {
            stream->Seek(0);
            PageContent = stream->ReadRest();
        }
        ContentLength = fileSize;
        SetContentType(contentType);
        ReportStatus("Successfully Downloaded File: " + std::to_string(fileSize) + " bytes.");
        EndWait();
    };
    c.OnDoneInterrupted = [this](TCustomHttpClient* client) {
        TakeHeaderInfo();
        if (!client->HeldRedirect().empty()) {
            HeldRedirect = client->HeldRedirect();
            Response = client->HTTPStatus();
            ReportStatus("Redirect not followed: " + HeldRedirect);
        }
        ReportStatus("Done, but Interrupted.");
        EndWait();
    };
    c.OnHostUnreachable = [this](TCustomHttpClient*) {
        Response = 0;
        FailureReason = m_Client->FailureText();
        ReportStatus("Host Unreachable.");
        EndWait();
    };
    c.OnHTTPError = [this](TCustomHttpClient*, int errorCode, TStream*) {
        TakeHeaderInfo();
        Response = errorCode;
        PageContent.clear();
        ReportStatus(std::to_string(errorCode) + ": " + HTTPStatusText(errorCode));
        EndWait();
    };
    c.OnConnLost = [this](TCustomHttpClient*, const std::string&, std::int64_t, std::int64_t,
                          TStream*) {
        TakeHeaderInfo();
        Response = -3;
        ReportStatus("Connection with remote host lost.");
        EndWait();
    };
    c.OnAborted = [this](TCustomHttpClient*) {
        TakeHeaderInfo();
        Response = -2;
        ReportStatus("Connection aborted by user.");
        EndWait();
    };
    // Never raised without an output file; it would otherwise hold the wait.
    c.OnOutputFileError = [this](TCustomHttpClient*) { EndWait(); };
}

void TFileFetcher::TakeHeaderInfo() {
    // Once per fetch, before the outcome's own results, as the header's
    // event would have come first.
    const THttpHeaderInfo& h = m_Client->HeaderInfo();
    if (!m_Busy || m_HeaderTaken || !h.Valid)
        return;
    m_HeaderTaken = true;
    ContentLength = h.ContentLength;
    SetContentType(h.ContentType);
    m_HeaderCharSet = ContentTypeCharSet(h.ContentType);
    ContentLocation = h.Location;
    m_LastModified = h.LastModified;
    m_LastModifiedReceived = h.LastModified != 0;
    RetryAfter =
        RetryAfterSeconds(HeaderLineValue(h.RawHeadersCRLF, "Retry-After"), std::time(nullptr));
    // Every X-Robots-Tag line counts, and every canonical link of every
    // Link line (resolved once the page's final address is sure).
    const std::vector<std::string> robotsTags = HeaderLineValues(h.RawHeadersCRLF, "X-Robots-Tag");
    if (!robotsTags.empty()) {
        const std::string token = TRobotsRules::ProductToken(Agent);
        for (const std::string& value : robotsTags)
            Robots |= ParseXRobotsTag(value, token);
    }
    for (const std::string& value : HeaderLineValues(h.RawHeadersCRLF, "Link"))
        for (std::string& target : CanonicalLinks(value))
            m_HeaderCanonicals.push_back(std::move(target));
    if (!m_BodyWanted(h.ContentType)) {
        // An error answer whose body is not wanted still ends as that
        // error, not as a page received.
        const int code = h.ErrorCode;
        if (code >= 300 || (code > 0 && code < 200))
            Response = code;
    }
    ReportStatus("Header Info Received, Content Type: " + h.ContentType);
}

TMimeType TFileFetcher::MimeTypeOf(const std::string& contentType) {
    const std::string type = contentType.substr(0, contentType.find(';'));
    const size_t slash = type.find('/');
    const std::string major =
        slash == std::string::npos ? std::string() : AsciiLower(type.substr(0, slash));
    static const std::pair<const char*, TMimeType> kMajors[] = {
        {"application", mimeApplication},
        {"audio", mimeAudio},
        {"image", mimeImage},
        {"message", mimeMessage},
        {"model", mimeModel},
        {"multipart", mimeMultipart},
        {"text", mimeText},
        {"video", mimeVideo},
    };
    for (const auto& [name, mime] : kMajors)
        if (major == name)
            return mime;
    return mimeUnknown;
}

void TFileFetcher::SetContentType(const std::string& text) {
    m_ContentType = text.substr(0, text.find(';'));
    MimeType = MimeTypeOf(m_ContentType);
}

TDateTime TFileFetcher::LastModified() {
    if (m_LastModified == 0)
        m_LastModified = QtToDateTime(Clock::now());
    return m_LastModified;
}

const std::vector<std::string>& TFileFetcher::PageLinks() {
    if (m_PageLinks.empty())
        for (int i = 0; i < LinkCount(); ++i)
            m_PageLinks.emplace_back(Link(i).second);
    return m_PageLinks;
}

const std::vector<std::string>& TFileFetcher::FollowList() {
    // The bare address of every followed link: made when first asked for.
    if (m_FollowList.size() != m_FollowedLinks.size()) {
        m_FollowList.clear();
        for (int i = 0; i < LinkCount(); ++i)
            m_FollowList.emplace_back(Link(i).second);
    }
    return m_FollowList;
}

void TFileFetcher::ResetPage() {
    URL.clear();
    PageContent.clear();
    SetContentType({});
    m_HeaderCharSet.clear();
    ContentLength = 0;
    ContentLocation.clear();
    Title.clear();
    MimeType = mimeUnknown;
    Response = -1;
    PasswordRequired = false;
    Parsed = false;
    m_LastModified = 0;
    m_LastModifiedReceived = false;
    FinalURL.clear();
    Redirected = false;
    FailureReason.clear();
    HeldRedirect.clear();
    RetryAfter = -1;
    Robots = {};
    Canonicals.clear();
    m_HeaderCanonicals.clear();
    m_PageLinks.clear();
    m_FollowedLinks.clear();
    m_LinkText.clear();
    // The buffers kept between pages give back the room of a page whose
    // links ran to megabytes.
    auto release = [](auto& buffer) {
        if (buffer.capacity() > 1024 * 1024) {
            buffer.clear();
            buffer.shrink_to_fit();
        }
    };
    release(m_LinkText);
    release(m_Resolved);
    release(m_Composed);
    release(m_Recorded);
    m_FollowList.clear();
    m_NonFollowList.clear();
}

void TFileFetcher::ReportStatus(const std::string& text) {
    if (OnStatusMessage)
        OnStatusMessage(this, text);
}

void TFileFetcher::EndWait() {
    if (!m_Busy)
        return;
    m_Busy = false;
    // The wait may be about to sleep until the next event; it looks again
    // now. (The glib loop returns after running a handler by itself.)
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    static const bool returnsAfterHandlers =
        dispatcher && dispatcher->inherits("QEventDispatcherGlib");
    if (dispatcher && !returnsAfterHandlers)
        dispatcher->interrupt();
}

void TFileFetcher::WaitForIdleClient() {
    if (!m_Client->TransferActive())
        return;
    QElapsedTimer waited;
    waited.start();
    // The ticks wake the wait when nothing else arrives.
    QTimer tick;
    tick.start(50);
    while (m_Client->TransferActive() && waited.elapsed() < kStopGraceMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    // A transfer held up in the library is given up; OnAborted follows at once.
    if (m_Client->TransferActive())
        m_Client->CancelTransfer(false, true);
}

void TFileFetcher::ApplyLinkTypes() {
    html::THtmlLinksPlugin& p = *m_Links;
    auto on = [this](TLinkType type) { return (LinkTypes & (1u << type)) != 0; };
    p.Link_A_href = on(ltA_href);
    p.Link_APPLET_code = on(ltAPPLET_code);
    p.Link_AREA_href = on(ltAREA_href);
    p.Link_BGSOUND_src = on(ltBGSOUND_src);
    p.Link_BODY_background = on(ltBODY_background);
    p.Link_FRAME_src = on(ltFRAME_src);
    p.Link_IFRAME_src = on(ltIFRAME_src);
    p.Link_INPUT_src = on(ltINPUT_src);
    p.Link_IMG_src = on(ltIMG_src);
    p.Link_LINK_href = on(ltLINK_href);
    p.Link_OBJECT_data = on(ltOBJECT_data);
    p.Link_SCRIPT_src = on(ltSCRIPT_src);
    p.Link_TABLE_background = on(ltTABLE_background);
    p.Link_TD_background = on(ltTD_background);
    p.Link_TH_background = on(ltTH_background);
}

void TFileFetcher::FetchPage(const std::string& address) {
    BeginFetch(address);
    WaitForOutcome();
    EndFetch();
}

void TFileFetcher::BeginFetch(const std::string& address) {
    PrepareFetch(address);
    StartClient();
}

void TFileFetcher::PrepareFetch(const std::string& address) {
    WaitForIdleClient();
    // 1, 2
    ResetPage();
    URL = address;
    FinalURL = address;
    THttpClient& c = *m_Client;
    c.SetURL(address);
    c.SetCacheOptions(kFetchCacheOptions);
    // 3, 4
    m_Busy = true;
    ApplyLinkTypes();
    // 5
    if (ProxyServer.empty()) {
        c.Proxy().AccessType = atPreconfig;
    } else {
        c.Proxy().AccessType = atUseProxy;
        c.Proxy().ProxyServer = ProxyServer;
        c.Proxy().ProxyPort = ProxyPort;
        c.Proxy().ProxyUsername = ProxyUserName;
        c.Proxy().ProxyPassword = ProxyPassword;
    }
    // 6
    c.SetAgent(Agent);
    c.Timeouts().ConnectTimeout = ConnectTimeout;
    c.Timeouts().ReceiveTimeout = ReceiveTimeout;
    c.Timeouts().Deadline = Deadline;
    c.SetMaxBodySize(MaxPageSize);
    // A fetcher of no crawl keeps its own jar for its later fetches.
    if (!CookieJar)
        CookieJar = std::make_shared<THttpCookieJar>();
    c.SetCookieJar(CookieJar);
    c.RedirectFilter = RedirectFilter;
    c.SetUsername(UserName);
    c.SetPassword(Password);
    // Whether a body is wanted is decided on the engine's thread, from
    // copies of the settings taken now; the header's values are taken when
    // the outcome arrives.
    m_BodyWanted = [types = DownloadFileTypes, dont = DontGetContent](const std::string& type) {
        return !dont && (types & (1u << MimeTypeOf(type))) != 0;
    };
    c.HeaderFilter = [wanted = m_BodyWanted](int, const std::string& type) { return wanted(type); };
    m_HeaderTaken = false;
    // Progress is handed over only when someone listens: every block would
    // otherwise cost a trip to this thread.
    if (OnProgress)
        c.OnProgress = [this](TCustomHttpClient*, const std::string& contentType,
                              std::int64_t dataSize, std::int64_t bytesRead, std::int64_t elapsed,
                              std::int64_t timeLeft, std::uint8_t percents, float rate, TStream*) {
            if (OnProgress)
                OnProgress(this, contentType, dataSize, bytesRead, elapsed, timeLeft, percents,
                           rate);
        };
    else
        c.OnProgress = nullptr;
    m_FollowQueryParts.clear();
    for (const std::string& part : FollowQueryParts)
        if (!part.empty())
            m_FollowQueryParts.push_back(Utf8ToUtf16(part));
    // 7, 8
    HasTitle = false;
    ReportStatus("Retrieving: " + address);
}

void TFileFetcher::StartClient() {
    // 9
    if (!m_Client->BeginDownload(0, 0, false)) {
        Response = 0;
        m_Busy = false;
    }
}

void TFileFetcher::WaitForOutcome() {
    // 10: the handlers of the outcome events end the wait.
    while (m_Busy)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void TFileFetcher::EndFetch() {
    // 11 to 13
    ShortURL = ShortenURL(FinalURL);
    ParsePage();
    if (Response == -1)
        Response = 200;
    if (Parsed) {
        Robots |= m_HeadSignals->Robots();
        for (const THeadSignalsPlugin::TCanonical& canonical : m_HeadSignals->Canonicals())
            AddCanonical(canonical.Href, canonical.Base);
    }
    if (!m_HeaderCanonicals.empty()) {
        const std::u16string page = Utf8ToUtf16(FinalURL);
        for (const std::string& target : m_HeaderCanonicals)
            AddCanonical(Utf8ToUtf16(target), page);
    }
}

void TFileFetcher::ContinueRedirect() {
    if (HeldRedirect.empty())
        return;
    const std::string first = URL;
    const std::string target = HeldRedirect;
    ReportStatus("Redirected: " + target);
    FetchPage(target);
    URL = first;
    Redirected = true;
    RedirectedURL = FinalURL;
}

void TFileFetcher::CopySettings(const TFileFetcher& from) {
    Agent = from.Agent;
    Password = from.Password;
    UserName = from.UserName;
    ProxyAccess = from.ProxyAccess;
    ProxyBypass = from.ProxyBypass;
    ProxyPort = from.ProxyPort;
    ProxyServer = from.ProxyServer;
    ProxyUserName = from.ProxyUserName;
    ProxyPassword = from.ProxyPassword;
    UseCache = from.UseCache;
    DownloadFileTypes = from.DownloadFileTypes;
    DontGetContent = from.DontGetContent;
    ResolveUris = from.ResolveUris;
    LinkTypes = from.LinkTypes;
    FollowQueryParts = from.FollowQueryParts;
    FollowNofollow = from.FollowNofollow;
    ConnectTimeout = from.ConnectTimeout;
    ReceiveTimeout = from.ReceiveTimeout;
    Deadline = from.Deadline;
    CookieJar = from.CookieJar;
    RedirectFilter = from.RedirectFilter;
    MaxPageSize = from.MaxPageSize;
}

void TFileFetcher::CancelFetch() {
    EndWait();
    m_Client->CancelTransfer(false, false);
}

void TFileFetcher::ParsePage() {
    // A page that was not downloaded has nothing to parse.
    const bool parse =
        MimeType == mimeText && !PageContent.empty() &&
        (ShortURL.empty() || ShortURL.back() == '/' || !MatchesFileTypes(ShortURL, PageSkipMask));
    if (!parse)
        return;
    html::THtmlParser& parser = *m_Parser;
    parser.SetSource(PageContent);
    struct TRelease {
        html::THtmlParser& parser;
        ~TRelease() { parser.ReleaseSource(); }
    } release{parser};
    m_Links->BaseUri = Utf8ToUtf16(FinalURL);
    m_Links->BASE_href = true;
    parser.Reset();
    // The page's character set: a byte order mark, else the HTTP header's,
    // else what the page's META elements say as the parser meets them.
    html::TReadCharFunc decoder = ByteOrderMarkDecoder(PageContent);
    if (!decoder && !m_HeaderCharSet.empty())
        decoder = html::FindCharSet(Utf8ToUtf16(m_HeaderCharSet));
    m_CharSetFixed = decoder != nullptr;
    // A page that declares nothing is read as browsers read it: as UTF-8
    // when its bytes are valid UTF-8, else as windows-1252. A META element
    // met later may still name its set.
    if (!decoder)
        decoder = html::FindCharSet(IsValidUtf8(PageContent) ? u"utf-8" : u"windows-1252");
    if (decoder)
        parser.SetReadCharFunc(decoder);
    parser.ParseAll();
    Parsed = true;
}

bool TFileFetcher::QueryHasFollowPart(const std::u16string& query) const {
    for (const auto& part : m_FollowQueryParts)
        if (query.find(part) != std::u16string::npos)
            return true;
    return false;
}

void TFileFetcher::HandleLink(html::THtmlLinksPlugin& plugin, std::u16string& link) {
    // 1
    if (!link.empty() && link.front() == u'#')
        return;
    const size_t hash = link.find(u'#');
    if (hash != std::u16string::npos)
        link.erase(hash);
    // 2, and the resolved address parsed for step 4. A result with a host
    // reads back into the components it was made of, so they stand for its
    // parse; any other is parsed from its text.
    // Kept between links, so their buffers are reused.
    std::u16string& resolved = m_Resolved;
    TUri& uri = m_LinkUri;
    bool parsed = false;
    if (ResolveUris) {
        if (plugin.BaseUri != m_BaseText || !m_BaseValid) {
            m_BaseText = plugin.BaseUri;
            m_BaseValid = m_Base.Parse(m_BaseText);
        }
        const bool ok = m_BaseValid && html::ResolveURI(m_Base, link, uri, resolved);
        if (!ok)
            resolved = link;
        parsed = ok && uri.Host.Present;
    } else {
        resolved = link;
    }
    // 3
    const html::THtmlStartTag* tag = plugin.CurrentTag();
    if (tag) {
        const html::THtmlAttribute* rel = tag->Find(html::THtmlAttrId::rel);
        if (rel && !FollowNofollow && RelHasWord(rel->Value, u"nofollow"))
            return;
    }
    // 4
    if (!parsed)
        uri.Parse(resolved);
    bool followed = false;
    std::string& recorded = m_Recorded;
    recorded.clear();
    if (uri.Query.Present && !uri.Query.Value.empty() && QueryHasFollowPart(uri.Query.Value)) {
        uri.ClearFragment();
        uri.ComposeTo(m_Composed);
        html::AppendUtf8(recorded, m_Composed);
    } else {
        uri.ClearQuery();
        uri.ClearFragment();
        uri.ComposeTo(m_Composed);
        html::AppendUtf8(recorded, m_Composed);
        followed = uri.Scheme.Present &&
                   (uri.Scheme.Value == u"http" || uri.Scheme.Value == u"https") &&
                   !MatchesFileTypes(recorded, LinkSkipMask);
    }
    // 5
    if (followed) {
        TLinkSpan& link = m_FollowedLinks.emplace_back();
        link.full = m_LinkText.size();
        html::AppendUtf8(m_LinkText, resolved);
        link.bare = m_LinkText.size();
        m_LinkText += recorded;
        link.end = m_LinkText.size();
    } else {
        m_NonFollowList.push_back(recorded);
    }
    // 6
    if (OnLink)
        OnLink(this, tag ? Utf16ToUtf8(tag->Html()) : std::string(), Utf16ToUtf8(resolved),
               recorded);
}

void TFileFetcher::AddCanonical(std::u16string_view href, std::u16string_view base) {
    // Blanks around an address are not part of it, nor is its fragment; an
    // empty reference or a fragment alone names the page itself.
    auto blank = [](char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; };
    while (!href.empty() && blank(href.front()))
        href.remove_prefix(1);
    while (!href.empty() && blank(href.back()))
        href.remove_suffix(1);
    href = href.substr(0, href.find(u'#'));
    if (href.empty())
        return;
    TUri baseUri, uri;
    std::u16string resolved;
    if (!ResolveUris) {
        resolved = href;
        if (!uri.Parse(resolved))
            return;
    } else if (!baseUri.Parse(base) || !html::ResolveURI(baseUri, href, uri, resolved)) {
        return;
    }
    if (!uri.Scheme.Present || (uri.Scheme.Value != u"http" && uri.Scheme.Value != u"https") ||
        !uri.Host.Present)
        return;
    TCanonicalTarget& target = Canonicals.emplace_back();
    target.Full = Utf16ToUtf8(resolved);
    // Whether a link to it would be followed, as HandleLink decides it.
    const bool queryHeld =
        uri.Query.Present && !uri.Query.Value.empty() && QueryHasFollowPart(uri.Query.Value);
    uri.ClearQuery();
    uri.ClearFragment();
    target.Bare = Utf16ToUtf8(uri.Compose());
    target.Followed = !queryHeld && !MatchesFileTypes(target.Bare, LinkSkipMask);
}

void TFileFetcher::GetLink(int index, std::string& fullURL, std::string& bareURL) const {
    if (index < 0 || index >= LinkCount())
        throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
    const auto [full, bare] = Link(index);
    fullURL = full;
    bareURL = bare;
}

} // namespace tessaly
