#pragma once

// What a fetched page says about itself to crawlers: the robots words of its
// <meta name="robots"> elements and X-Robots-Tag headers, the canonical
// addresses of its HTTP Link headers, and the words of a link's rel.

#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

struct TRobotsDirectives {
    bool NoIndex = false;
    bool NoFollow = false;

    TRobotsDirectives& operator|=(const TRobotsDirectives& other) {
        NoIndex = NoIndex || other.NoIndex;
        NoFollow = NoFollow || other.NoFollow;
        return *this;
    }
    bool operator==(const TRobotsDirectives&) const = default;
};

// The content of a robots meta element: words separated by commas (blanks
// around them allowed), without regard to case; "none" is both. Words it
// does not know are skipped.
TRobotsDirectives ParseRobotsContent(std::string_view content);

// One X-Robots-Tag header value. Its words count when it names no crawler
// ("noindex, nofollow") or names ours ("tessaly: noindex"), compared without
// regard to case; a value for another crawler ("googlebot: noindex") is
// skipped. A directive that has a value of its own after a colon
// ("unavailable_after: ...", "max-snippet: 20") is not a crawler's name.
TRobotsDirectives ParseXRobotsTag(std::string_view value, std::string_view productToken);

// The targets of an HTTP Link header value whose rel holds "canonical":
// `<https://example.com/a>; rel="canonical"`, several links separated by
// commas. The targets are returned as written, not yet resolved.
std::vector<std::string> CanonicalLinks(std::string_view linkHeader);

// Whether a rel value (words separated by blanks) holds word, without
// regard to ASCII case: rel="NoFollow noopener" holds "nofollow".
bool RelHasWord(std::u16string_view rel, std::u16string_view word);
bool RelHasWord(std::string_view rel, std::string_view word);

} // namespace tessaly
