#pragma once
// The per-user store: one file in an owner-only folder of the user's
// configuration, readable and writable by its owner only. Reads see the file as it is; every write
// takes a lock, re-reads the file, applies its edits and puts the new file in
// place with one rename, so two processes writing different values both keep
// theirs and a crash leaves either the old or the new store.
#include "StoreData.h"

#include <functional>
#include <string>

namespace tessaly {

class TUserStore {
  public:
    // The store in the user's configuration folder.
    TUserStore();
    // A store kept in the given file.
    explicit TUserStore(std::string file);

    // The file in the configuration folder (XDG_CONFIG_HOME moves it).
    static std::string DefaultFile();
    const std::string& File() const { return file_; }
    // The file of the password cipher's key, beside the store.
    std::string KeyFile() const;

    // Reads the store; a missing file is an empty store. False with the
    // reason when the file cannot be read, is damaged, is not a regular file,
    // belongs to another user or is open to others (see PrivateFile.h).
    bool Read(StoreData& data, std::string* error = nullptr) const;
    // One batch of edits: edit runs on the store as it is now on disk and
    // returns false to write nothing. False with the reason when the store
    // cannot be read, locked or written; the file on disk is then unchanged.
    bool Write(const std::function<bool(StoreData&)>& edit, std::string* error = nullptr) const;

  private:
    std::string file_;
};

} // namespace tessaly
