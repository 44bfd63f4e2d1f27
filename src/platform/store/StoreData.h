#pragma once
// The keys and named string values of the per-user store, held in memory.
// Key paths are names joined by "\" as in the registry
// ("Software\Quorvane Software\Internet\Profiles\My Site"). Key and value
// names keep their letter case but are compared without regard to it;
// subkeys are listed in alphabetical order without regard to case.
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tessaly {

class StoreData {
  public:
    // A key path is valid when it has at least one name and no name is empty.
    static bool ValidPath(std::string_view path);

    bool HasKey(std::string_view path) const;
    // Names of the direct subkeys, as spelled when written; empty when the key
    // is missing.
    std::vector<std::string> SubKeys(std::string_view path) const;
    // The value, or nothing when it (or its key) is absent. An empty value is
    // present.
    std::optional<std::string> Value(std::string_view path, std::string_view name) const;
    // Names and data of a key's values, in the order they were first written.
    std::vector<std::pair<std::string, std::string>> Values(std::string_view path) const;

    // Each edit returns false (and changes nothing) for an invalid path.
    // Creating a key creates its missing parents.
    bool CreateKey(std::string_view path);
    bool SetValue(std::string_view path, std::string_view name, std::string_view data);
    bool DeleteValue(std::string_view path, std::string_view name);
    // Deletes the key with every key below it.
    bool DeleteTree(std::string_view path);

    // The readable text form (see StoreText.h).
    std::string ToText() const;
    // Reads the text form; false with the line and reason in error, leaving
    // this store unchanged.
    bool FromText(std::string_view text, std::string& error);

    bool operator==(const StoreData& other) const;

  private:
    struct Key {
        std::string path; // as first written
        std::vector<std::pair<std::string, std::string>> values;
    };
    // Keyed by the folded path, so lookups ignore case and iteration is in
    // case-blind alphabetical order, parents before children.
    std::map<std::string, Key> keys_;
};

// The text folded for comparisons without regard to letter case.
std::string FoldCase(std::string_view text);

} // namespace tessaly
