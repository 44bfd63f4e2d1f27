#pragma once

#include <string>
#include <string_view>

namespace tessaly::html {

// One component of an address: its text and whether it was written at all
// (an empty query "?" is present, a missing one is not).
struct TUriComponent {
    std::u16string Value;
    bool Present = false;

    void Set(std::u16string_view value) {
        Value.assign(value);
        Present = true;
    }
    void Clear() {
        Value.clear();
        Present = false;
    }
};

// An address split into its components. Hosts are names or IPv4 numbers
// (letters, digits, "-" and "."), or IPv6 addresses in brackets, which the
// host keeps ("[::1]"); anything else does not parse.
class TUri {
  public:
    TUriComponent Scheme;
    TUriComponent User;
    TUriComponent Password;
    TUriComponent Host;
    TUriComponent Port;
    std::u16string Path;
    TUriComponent Query;
    TUriComponent Fragment;

    // Fills the components from text. When a component is not valid, all are
    // left empty and the answer is false.
    bool Parse(std::u16string_view text);
    // The address text built from the present components.
    std::u16string Compose() const;
    // The same into out, replacing what it held and keeping its room.
    void ComposeTo(std::u16string& out) const;
    void ClearQuery() { Query.Clear(); }
    void ClearFragment() { Fragment.Clear(); }
    void Clear();
};

// Resolves link against the page address base. Returns false, with an empty
// result, when either does not parse.
bool ResolveURI(std::u16string_view base, std::u16string_view link, std::u16string& result);
// The same against a base parsed once for many links; resolved also gets the
// result's components (those its text parses into).
bool ResolveURI(const TUri& base, std::u16string_view link, TUri& resolved, std::u16string& result);

// Removes "." and ".." segments from a merged path.
std::u16string RemoveDotSegments(std::u16string_view path);
// The same into out (not a view of path), keeping its room.
void RemoveDotSegments(std::u16string_view path, std::u16string& out);

} // namespace tessaly::html
