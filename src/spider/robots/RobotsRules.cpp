#include "RobotsRules.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

namespace tessaly {

namespace {

// Pieces longer than this are searched with a failure table, so a long
// piece against a long path costs their lengths added, not multiplied.
constexpr size_t LongPiece = 32;
// The path buffer of a thread gives its room back past this size.
constexpr size_t KeptBufferBytes = 64 * 1024;
// In the compared form of a pattern, a space (never left plain: it is
// written %20) stands for "*" and a final newline for "$".
constexpr char WildcardMark = ' ';
constexpr char AnchorMark = '\n';

constexpr std::string_view RobotsPath = "/robots.txt";
constexpr std::string_view DefaultToken = "Tessaly";

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    }
    return true;
}

bool IsTokenChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_';
}

// The leading run of product-token characters ("Tessaly/4.5" gives "Tessaly").
std::string_view TokenRun(std::string_view s) {
    size_t n = 0;
    while (n < s.size() && IsTokenChar(s[n]))
        ++n;
    return s.substr(0, n);
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool IsUnreserved(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

void AppendEscaped(unsigned char c, std::string& out) {
    static constexpr char Hex[] = "0123456789ABCDEF";
    out.push_back('%');
    out.push_back(Hex[c >> 4]);
    out.push_back(Hex[c & 15]);
}

// Appends text in the form paths and patterns are compared in: an escaped
// unreserved character, "*" or "$" is written plain (so "%7E" is "~", and a
// pattern's "%2A" is a literal "*" that matches a plain one in the path);
// any other escape keeps its meaning, with upper-case hex digits ("%2f" is
// "%2F", never "/"); octets outside printable ASCII are escaped (raw UTF-8
// "ツ" is "%E3%83%84"); a "%" that starts no escape is "%25".
void AppendCompared(std::string_view text, std::string& out) {
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '%') {
            const int hi = i + 2 < text.size() ? HexValue(text[i + 1]) : -1;
            const int lo = hi >= 0 ? HexValue(text[i + 2]) : -1;
            if (lo < 0) {
                out.append("%25");
                continue;
            }
            const auto decoded = static_cast<unsigned char>(hi * 16 + lo);
            if (IsUnreserved(decoded) || decoded == '*' || decoded == '$')
                out.push_back(static_cast<char>(decoded));
            else
                AppendEscaped(decoded, out);
            i += 2;
        } else if (c <= 0x20 || c >= 0x7F) {
            AppendEscaped(c, out);
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
}

// Whether a path is already in the compared form, with its leading "/".
bool IsComparedForm(std::string_view path) {
    if (path.empty() || path.front() != '/')
        return false;
    for (char ch : path) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '%' || c <= 0x20 || c >= 0x7F)
            return false;
    }
    return true;
}

// The path in the compared form: the text itself when it already is, else
// rewritten into buffer.
std::string_view ComparedPath(std::string_view path, std::string& buffer) {
    if (IsComparedForm(path))
        return path;
    buffer.clear();
    if (path.empty() || path.front() != '/')
        buffer.push_back('/');
    AppendCompared(path, buffer);
    return buffer;
}

// One path buffer per thread, so asking costs no allocation once it has
// grown to the size of the addresses asked about; one far longer than
// addresses are gives its room back when the call ends.
class TPathBuffer {
  public:
    TPathBuffer() : m_Text(Buffer()) {}
    ~TPathBuffer() {
        if (m_Text.capacity() > KeptBufferBytes)
            std::string().swap(m_Text);
    }
    TPathBuffer(const TPathBuffer&) = delete;
    TPathBuffer& operator=(const TPathBuffer&) = delete;
    std::string& Text() { return m_Text; }

  private:
    static std::string& Buffer() {
        thread_local std::string buffer;
        return buffer;
    }
    std::string& m_Text;
};

uint64_t LoadHead(std::string_view s) {
    uint64_t head = 0;
    if (!s.empty())
        std::memcpy(&head, s.data(), std::min<size_t>(s.size(), sizeof head));
    return head;
}

// The body cut to the parsed size: a line the limit cuts through is dropped.
std::string_view LimitBody(std::string_view body) {
    if (body.size() <= TRobotsRules::MaxParsedBytes)
        return body;
    const char next = body[TRobotsRules::MaxParsedBytes];
    body = body.substr(0, TRobotsRules::MaxParsedBytes);
    if (next == '\n' || next == '\r')
        return body;
    const size_t lastEnd = body.find_last_of("\r\n");
    return lastEnd == std::string_view::npos ? std::string_view() : body.substr(0, lastEnd + 1);
}

struct TPendingRule {
    bool Allow;
    std::string_view Value;
};

} // namespace

TRobotsRules TRobotsRules::AllowAll() {
    return TRobotsRules();
}

TRobotsRules TRobotsRules::DisallowAll() {
    TRobotsRules rules;
    rules.m_Unreachable = true;
    rules.m_DisallowsAll = true;
    return rules;
}

TRobotsRules TRobotsRules::FromAnswer(int status, std::string_view body,
                                      std::string_view productToken) {
    if (status >= 200 && status <= 299)
        return Parse(body, productToken);
    if (status >= 300 && status <= 499)
        return AllowAll();
    return DisallowAll();
}

std::string TRobotsRules::ProductToken(std::string_view agentText) {
    const std::string_view token = TokenRun(Trim(agentText));
    return std::string(token.empty() ? DefaultToken : token);
}

TRobotsRules TRobotsRules::Parse(std::string_view body, std::string_view productToken) {
    const std::string_view token = TokenRun(Trim(productToken));
    body = LimitBody(body);
    if (body.starts_with("\xEF\xBB\xBF"))
        body.remove_prefix(3);

    std::vector<TPendingRule> ownRules;
    std::vector<TPendingRule> starRules;
    std::unordered_set<std::string_view> sitemapsSeen;
    TRobotsRules rules;
    bool ownGroupSeen = false;
    bool inGroup = false;       // a user-agent line has been read
    bool readingAgents = false; // no rule since the last user-agent line
    bool groupIsOurs = false;
    bool groupIsStar = false;

    size_t pos = 0;
    while (pos < body.size()) {
        size_t end = body.find_first_of("\r\n", pos);
        if (end == std::string_view::npos)
            end = body.size();
        std::string_view line = body.substr(pos, end - pos);
        pos = end + 1;

        line = line.substr(0, line.find('#'));
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            continue;
        const std::string_view key = Trim(line.substr(0, colon));
        const std::string_view value = Trim(line.substr(colon + 1));

        if (EqualsNoCase(key, "user-agent")) {
            // Consecutive user-agent lines name one group; one after a rule
            // starts the next.
            if (!readingAgents) {
                groupIsOurs = false;
                groupIsStar = false;
                readingAgents = true;
                inGroup = true;
            }
            if (value == "*") {
                groupIsStar = true;
            } else {
                const std::string_view agent = TokenRun(value);
                if (!token.empty() && EqualsNoCase(agent, token)) {
                    groupIsOurs = true;
                    ownGroupSeen = true;
                }
            }
        } else if (EqualsNoCase(key, "allow") || EqualsNoCase(key, "disallow")) {
            // Rules before any user-agent line belong to no group.
            if (!inGroup)
                continue;
            readingAgents = false;
            const TPendingRule rule{Lower(key.front()) == 'a', value};
            if (groupIsOurs)
                ownRules.push_back(rule);
            if (groupIsStar)
                starRules.push_back(rule);
        } else if (EqualsNoCase(key, "sitemap")) {
            // Not part of any group, and ends none.
            if (!value.empty() && sitemapsSeen.insert(value).second)
                rules.m_Sitemaps.emplace_back(value);
        }
        // Other keys are ignored and end no group either.
    }

    // The groups naming us, all of them combined; else the "*" groups.
    std::unordered_set<std::string> patternsSeen;
    std::string compared;
    for (const TPendingRule& rule : ownGroupSeen ? ownRules : starRules) {
        if (rule.Value.empty() || (rule.Value.front() != '/' && rule.Value.front() != '*'))
            continue;
        compared.assign(1, rule.Allow ? 'A' : 'D');
        std::string_view pattern = rule.Value;
        const bool anchored = pattern.back() == '$';
        if (anchored)
            pattern.remove_suffix(1);
        for (size_t start = 0;;) {
            const size_t star = pattern.find('*', start);
            AppendCompared(pattern.substr(start, star - start), compared);
            if (star == std::string_view::npos)
                break;
            // A run of "*" means no more than one.
            if (compared.back() != WildcardMark)
                compared.push_back(WildcardMark);
            start = star + 1;
        }
        if (anchored)
            compared.push_back(AnchorMark);
        if (patternsSeen.insert(compared).second)
            rules.AddRule(rule.Allow, std::string_view(compared).substr(1));
    }
    rules.Finish();
    return rules;
}

TRobotsRules::TPiece TRobotsRules::Store(std::string_view literal) {
    TPiece piece;
    piece.Start = static_cast<uint32_t>(m_Bytes.size());
    piece.Length = static_cast<uint32_t>(literal.size());
    piece.Table = NoTable;
    m_Bytes.append(literal);
    if (literal.size() > LongPiece) {
        // Failure table: for each prefix of the piece, the length of its
        // longest proper prefix that is also its suffix.
        piece.Table = static_cast<uint32_t>(m_Tables.size());
        m_Tables.resize(m_Tables.size() + literal.size());
        uint32_t* table = m_Tables.data() + piece.Table;
        table[0] = 0;
        uint32_t k = 0;
        for (size_t i = 1; i < literal.size(); ++i) {
            while (k > 0 && literal[i] != literal[k])
                k = table[k - 1];
            if (literal[i] == literal[k])
                ++k;
            table[i] = k;
        }
    }
    return piece;
}

// pattern is in the compared form, with its marks for "*" and "$".
void TRobotsRules::AddRule(bool allow, std::string_view pattern) {
    TRule rule;
    rule.Allow = allow;
    rule.Octets = static_cast<uint32_t>(pattern.size());
    const bool anchored = !pattern.empty() && pattern.back() == AnchorMark;
    if (anchored)
        pattern.remove_suffix(1);

    size_t star = pattern.find(WildcardMark);
    const std::string_view prefix = pattern.substr(0, star);
    rule.Prefix = Store(prefix);
    const uint64_t allBytes = ~uint64_t(0);
    rule.Head = LoadHead(prefix);
    std::memcpy(&rule.HeadMask, &allBytes, std::min<size_t>(prefix.size(), sizeof rule.HeadMask));

    rule.FirstPiece = static_cast<uint32_t>(m_Pieces.size());
    if (star == std::string_view::npos) {
        rule.Exact = anchored;
    } else {
        std::string_view last;
        while (star != std::string_view::npos) {
            const size_t next = pattern.find(WildcardMark, star + 1);
            last =
                pattern.substr(star + 1, next == std::string_view::npos ? next : next - star - 1);
            if (!last.empty())
                m_Pieces.push_back(Store(last));
            star = next;
        }
        // "…*tail$": the tail must end the path rather than merely follow.
        if (anchored && !last.empty()) {
            rule.HasSuffix = true;
            rule.Suffix = m_Pieces.back();
            m_Pieces.pop_back();
        }
    }
    rule.PieceCount = static_cast<uint32_t>(m_Pieces.size()) - rule.FirstPiece;
    m_Rules.push_back(rule);
}

void TRobotsRules::Finish() {
    // The first rule that matches decides: the longest, Allow on a tie.
    std::stable_sort(m_Rules.begin(), m_Rules.end(), [](const TRule& a, const TRule& b) {
        if (a.Octets != b.Octets)
            return a.Octets > b.Octets;
        return a.Allow && !b.Allow;
    });
    // Everything is disallowed when a pattern that matches every path
    // ("/", "*", "/*"…) disallows and no Allow rule is as long.
    for (const TRule& rule : m_Rules) {
        if (rule.Allow)
            break;
        const bool everyPath = !rule.Exact && !rule.HasSuffix && rule.PieceCount == 0 &&
                               (rule.Prefix.Length == 0 || Text(rule.Prefix) == "/");
        if (everyPath) {
            m_DisallowsAll = true;
            break;
        }
    }
}

size_t TRobotsRules::Find(std::string_view text, size_t from, size_t end,
                          const TPiece& piece) const {
    const std::string_view needle = Text(piece);
    if (end < from || end - from < needle.size())
        return std::string_view::npos;
    if (piece.Table == NoTable)
        return text.substr(0, end).find(needle, from);
    const uint32_t* table = m_Tables.data() + piece.Table;
    size_t k = 0;
    for (size_t i = from; i < end; ++i) {
        while (k > 0 && text[i] != needle[k])
            k = table[k - 1];
        if (text[i] == needle[k] && ++k == needle.size())
            return i + 1 - needle.size();
    }
    return std::string_view::npos;
}

// A greedy match: each piece taken at its first place after the one before
// is never worse for the pieces after it, so one pass over the path decides
// whatever the number of "*".
bool TRobotsRules::Matches(const TRule& rule, std::string_view path) const {
    const std::string_view prefix = Text(rule.Prefix);
    if (!path.starts_with(prefix))
        return false;
    size_t pos = prefix.size();
    if (rule.Exact)
        return path.size() == pos;
    size_t end = path.size();
    if (rule.HasSuffix) {
        const std::string_view suffix = Text(rule.Suffix);
        if (end - pos < suffix.size() || !path.ends_with(suffix))
            return false;
        end -= suffix.size();
    }
    for (uint32_t i = 0; i < rule.PieceCount; ++i) {
        const TPiece& piece = m_Pieces[rule.FirstPiece + i];
        const size_t at = Find(path, pos, end, piece);
        if (at == std::string_view::npos)
            return false;
        pos = at + piece.Length;
    }
    return true;
}

bool TRobotsRules::IsAllowed(std::string_view pathAndQuery) const {
    if (!m_Unreachable && m_Rules.empty())
        return true;
    TPathBuffer buffer;
    const std::string_view path = ComparedPath(pathAndQuery, buffer.Text());
    if (path == RobotsPath)
        return true;
    if (m_Unreachable)
        return false;
    const uint64_t head = LoadHead(path);
    for (const TRule& rule : m_Rules) {
        if ((head & rule.HeadMask) != rule.Head)
            continue;
        if (Matches(rule, path))
            return rule.Allow;
    }
    return true;
}

bool TRobotsRules::DisallowsAll() const {
    return m_DisallowsAll;
}

} // namespace tessaly
