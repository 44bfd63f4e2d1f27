#include "ProfileFile.h"

#include "ColorNames.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <strings.h>

namespace tessaly {

namespace {

[[noreturn]] void invalidValue() {
    throw EStreamError("Invalid property value");
}

bool asBool(const StreamValue& v) {
    if (v.kind != StreamValue::Boolean)
        invalidValue();
    return v.boolean;
}

std::string asText(const StreamValue& v) {
    if (v.kind != StreamValue::Text)
        invalidValue();
    return v.text;
}

TColor asColor(const StreamValue& v) {
    if (v.kind == StreamValue::Integer)
        return TColor(v.integer);
    if (v.kind == StreamValue::Identifier)
        if (auto c = IdentToColor(v.text))
            return *c;
    invalidValue();
}

double asReal(const StreamValue& v) {
    if (v.kind == StreamValue::Real)
        return v.real;
    if (v.kind == StreamValue::Integer)
        return double(v.integer);
    invalidValue();
}

// A whole number within [low, high]: a larger or smaller one (or a real,
// rounded) is brought to the nearer end, so a damaged value cannot make a
// limit negative or a count of connections absurd.
int asClampedInt(const StreamValue& v, int low, int high) {
    const double value = asReal(v);
    if (!(value > low))
        return low;
    if (!(value < high))
        return high;
    return static_cast<int>(std::lround(value));
}

template <class E, std::size_t N> E asEnum(const StreamValue& v, const char* const (&names)[N]) {
    if (v.kind == StreamValue::Identifier)
        for (std::size_t i = 0; i < N; ++i)
            if (strcasecmp(names[i], v.text.c_str()) == 0)
                return E(i);
    invalidValue();
}

constexpr const char* kOutputTypes[] = {"moutClipboard", "moutFile", "moutInsert", "moutEditor"};
constexpr const char* kOutputFormats[] = {"mfmtList", "mfmtTree", "mfmtParagraph"};
constexpr const char* kSpiderTypes[] = {"mstLocal", "mstWebsite"};
constexpr const char* kSitemapProtocols[] = {"spSitemaps09", "spGoogle084"};

void writeColor(TPropertyWriter& w, const char* name, TColor c) {
    if (auto ident = ColorToIdent(c))
        w.writeIdent(name, *ident);
    else
        w.writeInteger(name, c);
}

void writeNonEmpty(TPropertyWriter& w, const char* name, const std::string& text) {
    if (!text.empty())
        w.writeText(name, text);
}

template <class T> struct Property {
    const char* name;
    std::function<void(TPropertyWriter&, const T&)> write;
    std::function<void(T&, const StreamValue&)> read;
};

// The profile's published properties in stream order. Each entry writes the
// property by the format's rules and reads it back through its setter.
#define BOOL_PROP(N)                                                                               \
    {                                                                                              \
#N, [](TPropertyWriter & w,                                                                \
               const TMapProfile&                                                                  \
                   p) { w.writeBoolean(#N, p.N()); }, [](TMapProfile & p,                          \
                                                         const StreamValue&                        \
                                                             v) { p.set##N(asBool(v)); }           \
    }
#define COLOR_PROP(N)                                                                              \
    {                                                                                              \
#N, [](TPropertyWriter & w,                                                                \
               const TMapProfile&                                                                  \
                   p) { writeColor(w, #N, p.N()); }, [](TMapProfile & p,                           \
                                                        const StreamValue&                         \
                                                            v) { p.set##N(asColor(v)); }           \
    }
#define TEXT_PROP(N)                                                                               \
    {                                                                                              \
#N, [](TPropertyWriter & w,                                                                \
               const TMapProfile&                                                                  \
                   p) { writeNonEmpty(w, #N, p.N()); }, [](TMapProfile & p,                        \
                                                           const StreamValue&                      \
                                                               v) { p.set##N(asText(v)); }         \
    }
#define FLAG_PROP(N, Default)                                                                      \
    {                                                                                              \
#N, [](TPropertyWriter& w, const TMapProfile& p) {                                             \
            if (p.N() != Default)                                                                  \
                w.writeBoolean(#N, p.N());                                                         \
        },                                                                                         \
            [](TMapProfile& p, const StreamValue& v) { p.set##N(asBool(v)); }   \
    }
#define COUNT_PROP(N, Default, Low, High)                                                          \
    {                                                                                              \
#N, [](TPropertyWriter& w, const TMapProfile& p) {                                             \
            if (p.N() != Default)                                                                  \
                w.writeInteger(#N, p.N());                                                         \
        },                                                                                         \
            [](TMapProfile& p, const StreamValue& v) { p.set##N(asClampedInt(v, Low, High)); }   \
    }
#define ENUM_PROP(N, Type, Names)                                                                  \
    {                                                                                              \
#N, [](TPropertyWriter& w, const TMapProfile& p) { w.writeIdent(#N, Names[p.N()]); },        \
     [](TMapProfile& p, const StreamValue& v) { p.set##N(asEnum<Type>(v, Names)); }     \
    }

const std::vector<Property<TMapProfile>>& profileProperties() {
    static const std::vector<Property<TMapProfile>> props = {
        BOOL_PROP(AddImages),
        BOOL_PROP(NoFolderImages),
        BOOL_PROP(NoFolderLinks),
        BOOL_PROP(ClassAttribs),
        COLOR_PROP(clrBackground),
        COLOR_PROP(clrText),
        COLOR_PROP(clrLink),
        COLOR_PROP(clrVisited),
        COLOR_PROP(clrActive),
        BOOL_PROP(ConfirmDelete),
        TEXT_PROP(FileName),
        TEXT_PROP(FileTypes),
        TEXT_PROP(IgnoreFolders),
        TEXT_PROP(IgnoreFiles),
        TEXT_PROP(IndexPage),
        {"Modified",
         [](TPropertyWriter& w, const TMapProfile& p) { w.writeBoolean("Modified", p.Modified); },
         [](TMapProfile& p, const StreamValue& v) { p.Modified = asBool(v); }},
        ENUM_PROP(OutputType, TMapOutputType, kOutputTypes),
        ENUM_PROP(OutputFormat, TMapOutputFormat, kOutputFormats),
        TEXT_PROP(OutputFileName),
        TEXT_PROP(OutputInsert),
        {"Untitled",
         [](TPropertyWriter& w, const TMapProfile& p) { w.writeBoolean("Untitled", p.Untitled); },
         [](TMapProfile& p, const StreamValue& v) { p.Untitled = asBool(v); }},
        BOOL_PROP(UsePageTitles),
        BOOL_PROP(MakeGoogleSM),
        TEXT_PROP(Website),
        ENUM_PROP(SpiderType, TMapSpiderType, kSpiderTypes),
        TEXT_PROP(ServerName),
        TEXT_PROP(ServerDir),
        {"FtpFiles",
         [](TPropertyWriter& w, const TMapProfile& p) { w.writeBoolean("FtpFiles", p.FtpFiles); },
         [](TMapProfile& p, const StreamValue& v) { p.FtpFiles = asBool(v); }},
        {"DefFreq",
         [](TPropertyWriter& w, const TMapProfile& p) {
             w.writeIdent("DefFreq", ChangeFreqName(p.DefFreq()));
         },
         [](TMapProfile& p, const StreamValue& v) {
             auto f = v.kind == StreamValue::Identifier ? ChangeFreqFromName(v.text) : std::nullopt;
             if (!f)
                 invalidValue();
             p.setDefFreq(*f);
         }},
        {"DefPri",
         [](TPropertyWriter& w, const TMapProfile& p) {
             if (p.DefPri() != 0)
                 w.writeExtended("DefPri", p.DefPri());
         },
         [](TMapProfile& p, const StreamValue& v) { p.setDefPri(asReal(v)); }},
        {"FollowQueryParts.Strings",
         [](TPropertyWriter& w, const TMapProfile& p) {
             if (!p.FollowQueryParts().empty())
                 w.writeTextList("FollowQueryParts.Strings", p.FollowQueryParts());
         },
         [](TMapProfile& p, const StreamValue& v) {
             if (v.kind != StreamValue::List)
                 invalidValue();
             std::vector<std::string> items;
             for (const auto& item : v.items)
                 items.push_back(asText(item));
             p.setFollowQueryParts(std::move(items));
         }},
        // Written only when not the default: a profile that keeps the defaults
        // is byte for byte what older programs write and read.
        {"SitemapProtocol",
         [](TPropertyWriter& w, const TMapProfile& p) {
             if (p.SitemapProtocol() != spSitemaps09)
                 w.writeIdent("SitemapProtocol", kSitemapProtocols[p.SitemapProtocol()]);
         },
         [](TMapProfile& p, const StreamValue& v) {
             p.setSitemapProtocol(asEnum<TSitemapProtocol>(v, kSitemapProtocols));
         }},
        {"LastModWhenKnown",
         [](TPropertyWriter& w, const TMapProfile& p) {
             if (!p.LastModWhenKnown())
                 w.writeBoolean("LastModWhenKnown", false);
         },
         [](TMapProfile& p, const StreamValue& v) { p.setLastModWhenKnown(asBool(v)); }},
        TEXT_PROP(SitemapAddress),
        TEXT_PROP(UserAgent),
        {"ObeyRobotsTxt",
         [](TPropertyWriter& w, const TMapProfile& p) {
             if (!p.ObeyRobotsTxt())
                 w.writeBoolean("ObeyRobotsTxt", false);
         },
         [](TMapProfile& p, const StreamValue& v) { p.setObeyRobotsTxt(asBool(v)); }},
        FLAG_PROP(LeaveOutNoindex, true),
        FLAG_PROP(LeaveOutCanonical, true),
        FLAG_PROP(FollowNofollow, false),
        COUNT_PROP(MaxPages, TMapProfile::DefaultMaxPages, 0, std::numeric_limits<int>::max()),
        COUNT_PROP(MaxDepth, 0, 0, std::numeric_limits<int>::max()),
        COUNT_PROP(MaxMinutes, 0, 0, std::numeric_limits<int>::max()),
        {"MaxRate",
         [](TPropertyWriter& w, const TMapProfile& p) {
             if (p.MaxRate() != 0)
                 w.writeExtended("MaxRate", p.MaxRate());
         },
         [](TMapProfile& p, const StreamValue& v) {
             const double rate = asReal(v);
             p.setMaxRate(!(rate > 0) ? 0 : std::min(rate, TMapProfile::MaxRateLimit));
         }},
        COUNT_PROP(Connections, TMapProfile::DefaultConnections, TMapProfile::MinConnections,
                   TMapProfile::MaxConnections),
    };
    return props;
}
#undef BOOL_PROP
#undef COLOR_PROP
#undef TEXT_PROP
#undef ENUM_PROP
#undef FLAG_PROP
#undef COUNT_PROP

const std::vector<Property<TSiteMapSettings>>& settingsProperties() {
    static const std::vector<Property<TSiteMapSettings>> props = {
        {"LastFile",
         [](TPropertyWriter& w, const TSiteMapSettings& s) {
             writeNonEmpty(w, "LastFile", s.LastFile);
         },
         [](TSiteMapSettings& s, const StreamValue& v) { s.LastFile = asText(v); }},
        {"LoadLast",
         [](TPropertyWriter& w, const TSiteMapSettings& s) {
             w.writeBoolean("LoadLast", s.LoadLast);
         },
         [](TSiteMapSettings& s, const StreamValue& v) { s.LoadLast = asBool(v); }},
        {"SettingFile",
         [](TPropertyWriter& w, const TSiteMapSettings& s) {
             writeNonEmpty(w, "SettingFile", s.SettingFile);
         },
         [](TSiteMapSettings& s, const StreamValue& v) { s.SettingFile = asText(v); }},
    };
    return props;
}

template <class T>
std::string toBytes(const char* className, const std::vector<Property<T>>& props, const T& obj) {
    TPropertyWriter w(className, "");
    for (const auto& p : props)
        p.write(w, obj);
    return w.finish();
}

template <class T>
void fromBytes(const std::string& bytes, const std::vector<Property<T>>& props, T& obj,
               std::string* componentName) {
    TPropertyReader r(bytes);
    if (componentName)
        *componentName = r.componentName();
    std::string name;
    StreamValue value;
    while (r.next(name, value)) {
        const Property<T>* found = nullptr;
        for (const auto& p : props)
            if (strcasecmp(p.name, name.c_str()) == 0)
                found = &p;
        if (!found) {
            std::string shown = name.substr(0, name.find('.'));
            throw EStreamError("Error reading " + r.className() + "." + name + ": Property " +
                               shown + " does not exist");
        }
        found->read(obj, value);
    }
}

} // namespace

std::string ProfileToBytes(const TMapProfile& p) {
    return toBytes("TMapProfile", profileProperties(), p);
}

void ProfileFromBytes(const std::string& bytes, TMapProfile& p) {
    fromBytes(bytes, profileProperties(), p, &p.Name);
}

std::string SettingsToBytes(const TSiteMapSettings& s) {
    return toBytes("TSiteMapSettings", settingsProperties(), s);
}

void SettingsFromBytes(const std::string& bytes, TSiteMapSettings& s) {
    fromBytes(bytes, settingsProperties(), s, nullptr);
}

} // namespace tessaly
