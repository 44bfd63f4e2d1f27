#include "StoreData.h"

#include "StoreText.h"

#include <QString>
#include <QStringDecoder>
#include <algorithm>

namespace tessaly {

namespace {

std::vector<std::string_view> SplitPath(std::string_view path) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    while (true) {
        size_t sep = path.find('\\', start);
        parts.push_back(path.substr(start, sep == std::string_view::npos ? sep : sep - start));
        if (sep == std::string_view::npos)
            return parts;
        start = sep + 1;
    }
}

// Each name is folded by itself, so a parent's folded path is always the
// start of its children's.
std::string FoldPath(std::string_view path) {
    std::string out;
    bool first = true;
    for (std::string_view part : SplitPath(path)) {
        if (!first)
            out += '\\';
        out += FoldCase(part);
        first = false;
    }
    return out;
}

bool SameName(std::string_view a, std::string_view b) {
    return FoldCase(a) == FoldCase(b);
}

} // namespace

std::string FoldCase(std::string_view text) {
    bool ascii = std::all_of(text.begin(), text.end(),
                             [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (!ascii) {
        QStringDecoder decode(QStringDecoder::Utf8);
        QString wide = decode(QByteArrayView(text.data(), qsizetype(text.size())));
        // Only valid UTF-8 is folded as Unicode; other bytes are compared as
        // they are, so two different broken names never become one.
        if (!decode.hasError())
            return wide.toCaseFolded().toStdString();
    }
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
    return out;
}

bool StoreData::ValidPath(std::string_view path) {
    for (std::string_view part : SplitPath(path)) {
        if (part.empty())
            return false;
    }
    return true;
}

bool StoreData::HasKey(std::string_view path) const {
    return ValidPath(path) && keys_.count(FoldPath(path)) > 0;
}

std::vector<std::string> StoreData::SubKeys(std::string_view path) const {
    std::vector<std::string> names;
    if (!ValidPath(path))
        return names;
    std::string prefix = FoldPath(path) + "\\";
    for (auto it = keys_.lower_bound(prefix); it != keys_.end(); ++it) {
        const std::string& folded = it->first;
        if (folded.compare(0, prefix.size(), prefix) != 0)
            break;
        if (folded.find('\\', prefix.size()) != std::string::npos)
            continue;
        const std::string& spelled = it->second.path;
        names.push_back(spelled.substr(spelled.rfind('\\') + 1));
    }
    return names;
}

std::optional<std::string> StoreData::Value(std::string_view path, std::string_view name) const {
    if (!ValidPath(path))
        return std::nullopt;
    auto it = keys_.find(FoldPath(path));
    if (it == keys_.end())
        return std::nullopt;
    for (const auto& [n, data] : it->second.values) {
        if (SameName(n, name))
            return data;
    }
    return std::nullopt;
}

std::vector<std::pair<std::string, std::string>> StoreData::Values(std::string_view path) const {
    if (!ValidPath(path))
        return {};
    auto it = keys_.find(FoldPath(path));
    return it == keys_.end() ? std::vector<std::pair<std::string, std::string>>{}
                             : it->second.values;
}

bool StoreData::CreateKey(std::string_view path) {
    if (!ValidPath(path))
        return false;
    size_t end = 0;
    while (end != std::string_view::npos) {
        end = path.find('\\', end + 1);
        std::string_view part = path.substr(0, end);
        std::string folded = FoldPath(part);
        if (!keys_.count(folded))
            keys_[folded].path = std::string(part);
    }
    return true;
}

bool StoreData::SetValue(std::string_view path, std::string_view name, std::string_view data) {
    if (!CreateKey(path))
        return false;
    Key& key = keys_[FoldPath(path)];
    for (auto& [n, d] : key.values) {
        if (SameName(n, name)) {
            d = data;
            return true;
        }
    }
    key.values.emplace_back(name, data);
    return true;
}

bool StoreData::DeleteValue(std::string_view path, std::string_view name) {
    if (!ValidPath(path))
        return false;
    auto it = keys_.find(FoldPath(path));
    if (it != keys_.end())
        std::erase_if(it->second.values, [&](const auto& v) { return SameName(v.first, name); });
    return true;
}

bool StoreData::DeleteTree(std::string_view path) {
    if (!ValidPath(path))
        return false;
    std::string folded = FoldPath(path);
    std::string prefix = folded + "\\";
    keys_.erase(folded);
    for (auto it = keys_.lower_bound(prefix);
         it != keys_.end() && it->first.compare(0, prefix.size(), prefix) == 0;)
        it = keys_.erase(it);
    return true;
}

std::string StoreData::ToText() const {
    std::string out(kStoreHeader);
    out += "\n";
    for (const auto& [folded, key] : keys_) {
        out += "\n[";
        bool first = true;
        for (std::string_view part : SplitPath(key.path)) {
            if (!first)
                out += '\\';
            out += EscapeStoreKeyName(part);
            first = false;
        }
        out += "]\n";
        for (const auto& [name, data] : key.values) {
            out += EscapeStoreValue(name);
            out += '=';
            out += EscapeStoreValue(data);
            out += '\n';
        }
    }
    return out;
}

bool StoreData::FromText(std::string_view text, std::string& error) {
    StoreData read;
    if (text.empty()) {
        // An empty file holds no keys.
        *this = std::move(read);
        return true;
    }
    std::string current;
    bool haveKey = false;
    size_t lineNo = 0;
    auto fail = [&](const char* why) {
        error = "line " + std::to_string(lineNo) + ": " + why;
        return false;
    };
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        std::string_view line = text.substr(pos, end == std::string_view::npos ? end : end - pos);
        pos = end == std::string_view::npos ? text.size() : end + 1;
        ++lineNo;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (lineNo == 1) {
            if (line != kStoreHeader)
                return fail("not a Tessaly user store");
            continue;
        }
        if (line.empty() || line.front() == ';')
            continue;
        if (line.front() == '[') {
            if (line.back() != ']' || line.size() < 3)
                return fail("broken key line");
            std::string path;
            for (std::string_view part : SplitPath(line.substr(1, line.size() - 2))) {
                std::string name;
                if (part.empty() || !UnescapeStoreKeyName(part, name) ||
                    name.find('\\') != std::string::npos)
                    return fail("broken key name");
                if (!path.empty())
                    path += '\\';
                path += name;
            }
            current = path;
            haveKey = true;
            read.CreateKey(current);
            continue;
        }
        if (line.front() == '"') {
            if (!haveKey)
                return fail("value outside a key");
            size_t at = 0;
            std::string name, data;
            if (!ReadStoreQuoted(line, at, name) || at >= line.size() || line[at] != '=')
                return fail("broken value name");
            ++at;
            if (!ReadStoreQuoted(line, at, data) || at != line.size())
                return fail("broken value");
            read.SetValue(current, name, data);
            continue;
        }
        return fail("unexpected text");
    }
    *this = std::move(read);
    return true;
}

bool StoreData::operator==(const StoreData& other) const {
    if (keys_.size() != other.keys_.size())
        return false;
    for (auto a = keys_.begin(), b = other.keys_.begin(); a != keys_.end(); ++a, ++b) {
        if (a->first != b->first || a->second.path != b->second.path ||
            a->second.values != b->second.values)
            return false;
    }
    return true;
}

} // namespace tessaly
