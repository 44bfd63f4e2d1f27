#pragma once

// What a site's robots.txt lets the crawl request: the rules of the groups
// that name our product token (or of the "*" groups when none does), ready
// to be asked about every address before it is requested, and the sitemap
// addresses the file lists.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

class TRobotsRules {
  public:
    // Only this much of a robots.txt body is read; a line cut by the limit
    // is dropped with everything after it.
    static constexpr size_t MaxParsedBytes = 500 * 1024;

    // Everything allowed.
    TRobotsRules() = default;

    // Everything allowed: no robots.txt (a 4xx answer).
    static TRobotsRules AllowAll();
    // Everything but /robots.txt disallowed: a 5xx answer, a network failure
    // or a time-out.
    static TRobotsRules DisallowAll();
    // Reads a 2xx body for the given product token. Only the leading run of
    // letters, digits, "-" and "_" of the token counts ("Tessaly/4.5" is
    // "Tessaly"); an empty token matches no group but "*".
    static TRobotsRules Parse(std::string_view body, std::string_view productToken);
    // From the final answer after the caller followed redirects. status 0
    // means no answer (network failure, time-out). 2xx: the body is read;
    // 3xx (redirects not followed to the end) and 4xx: everything allowed;
    // 5xx, 0 and anything else: everything disallowed.
    static TRobotsRules FromAnswer(int status, std::string_view body,
                                   std::string_view productToken);

    // The product token of an agent text: its first word up to a "/" or a
    // blank, kept to letters, digits, "-" and "_"; "Tessaly" when nothing is
    // left ("Tessaly/4.5 (+https://example.com)" gives "Tessaly").
    static std::string ProductToken(std::string_view agentText);

    // pathAndQuery as it will be requested ("/a/b.html?x=1"); "" counts as
    // "/", and a path without its leading "/" gets one. /robots.txt is
    // always allowed. Safe to call from several threads at once.
    bool IsAllowed(std::string_view pathAndQuery) const;
    // True when no address but /robots.txt is allowed: an answer that counts
    // as a failure, or rules that disallow every path and allow none.
    bool DisallowsAll() const;
    // The Sitemap: values in the order of the file, each once.
    const std::vector<std::string>& Sitemaps() const { return m_Sitemaps; }
    // How many distinct Allow and Disallow rules apply to us.
    size_t RuleCount() const { return m_Rules.size(); }

  private:
    // A literal run of a pattern, in the compared form, inside m_Bytes.
    struct TPiece {
        uint32_t Start = 0;
        uint32_t Length = 0;
        // Start of its failure table in m_Tables for a long piece, or
        // NoTable for a short one searched directly.
        uint32_t Table = 0;
    };
    // A pattern split on "*": Prefix must start the path; each of the
    // pieces [FirstPiece, FirstPiece + PieceCount) must follow in order; a
    // pattern ending in "$" after a "*" has a Suffix that must end the path,
    // one without "*" must equal the whole path (Exact).
    struct TRule {
        uint64_t Head = 0;     // the first eight bytes of Prefix, zero-padded
        uint64_t HeadMask = 0; // which bytes of Head are Prefix's
        TPiece Prefix;
        TPiece Suffix;
        uint32_t FirstPiece = 0;
        uint32_t PieceCount = 0;
        uint32_t Octets = 0; // length of the pattern in the compared form
        bool Allow = false;
        bool Exact = false;
        bool HasSuffix = false;
    };
    static constexpr uint32_t NoTable = UINT32_MAX;

    void AddRule(bool allow, std::string_view pattern);
    void Finish();
    TPiece Store(std::string_view literal);
    bool Matches(const TRule& rule, std::string_view path) const;
    size_t Find(std::string_view text, size_t from, size_t end, const TPiece& piece) const;
    std::string_view Text(const TPiece& piece) const {
        return std::string_view(m_Bytes).substr(piece.Start, piece.Length);
    }

    std::vector<TRule> m_Rules; // longest pattern first, Allow before Disallow
    std::vector<TPiece> m_Pieces;
    std::vector<uint32_t> m_Tables;
    std::string m_Bytes;
    std::vector<std::string> m_Sitemaps;
    bool m_Unreachable = false;
    bool m_DisallowsAll = false;
};

} // namespace tessaly
