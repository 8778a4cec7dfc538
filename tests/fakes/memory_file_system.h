#pragma once
// An in-memory file system with Windows' answers, shared by every native test: it can fail any
// one call, stop dead after a given call (a crash: nothing later reaches the disk), hold files
// "in use" for a number of attempts, and writes through open files. Links are leaves whose
// target is elsewhere: any call but KindOf (a look that changes nothing) on a path through one
// is recorded in linksFollowed.

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "base/file_system.h"

namespace fakes {

class MemoryFileSystem final : public base::FileSystem {
  public:
    struct Node {
        bool folder = false;
        std::string content;
        bool link = false;
        bool operator==(const Node&) const = default;
    };
    using Tree = std::map<std::u16string, Node>;  // whole paths without closing backslash

    // --- setting up and looking ---
    void AddFile(const std::u16string& path, const std::string& content) {
        nodes[Key(path)] = {false, content};
    }
    void AddFolder(const std::u16string& path) { nodes[Key(path)] = {true, {}}; }
    void AddLink(const std::u16string& path, bool toFolder) {
        nodes[Key(path)] = {toFolder, {}, true};
    }
    bool Has(const std::u16string& path) const { return nodes.contains(Key(path)); }
    // The content of a file; empty when there is none.
    std::string Content(const std::u16string& path) const {
        const auto found = nodes.find(Key(path));
        return found == nodes.end() ? std::string() : found->second.content;
    }
    // Everything under folder, keyed relative to it.
    Tree Under(const std::u16string& folder) const {
        Tree tree;
        const std::u16string prefix = Key(folder) + u"\\";
        for (const auto& [path, node] : nodes) {
            if (path.starts_with(prefix)) tree[path.substr(prefix.size())] = node;
        }
        return tree;
    }

    // --- the script ---
    Tree nodes;
    int calls = 0;      // every call but KindOf and writes into open files
    int failAt = 0;     // the call that fails (1 is the first); 0: none
    int stopAfter = 0;  // every call after this one fails and changes nothing; 0: none
    std::vector<std::u16string> linksFollowed;  // paths called through a link
    base::FileResult failWith{base::FileError::DiskFull, 112};
    std::map<std::u16string, int> inUse;  // path: how many more calls find it in use
    // Paths this user may not even look at: every call is denied, and their kind is unknown.
    std::set<std::u16string> denied;
    // Writes into open files fail once a file would grow past this; 0: no limit.
    std::size_t diskLimit = 0;

    // --- base::FileSystem ---
    base::EntryKind KindOf(const std::u16string& path) override {
        if (denied.contains(Key(path))) return base::EntryKind::None;
        const auto found = nodes.find(Key(path));
        if (found == nodes.end()) return base::EntryKind::None;
        if (found->second.link) return base::EntryKind::Link;
        return found->second.folder ? base::EntryKind::Folder : base::EntryKind::File;
    }
    base::FileResult MakeFolder(const std::u16string& path) override {
        if (const auto failed = Step(path); !failed.Ok()) return failed;
        if (nodes.contains(Key(path))) return {base::FileError::Exists, 183};
        if (!ParentExists(path)) return kPathNotFound;
        AddFolder(path);
        return {};
    }
    base::FileResult Move(const std::u16string& from, const std::u16string& to) override {
        const std::u16string source = Key(from), target = Key(to);
        if (const auto failed = Step(from); !failed.Ok()) {
            // A copy to another volume that fails half way, as on a full disk, leaves part.
            if (failed.Is(base::FileError::DiskFull) && source[0] != target[0] &&
                KindOf(source) == base::EntryKind::File) {
                AddFile(target, "part");
            }
            return failed;
        }
        if (holds.contains(source)) return kHeld;
        if (!nodes.contains(source)) return kFileNotFound;
        if (nodes.contains(target)) return {base::FileError::Exists, 183};
        if (!ParentExists(target)) return kPathNotFound;
        Tree moved;
        for (auto at = nodes.begin(); at != nodes.end();) {
            if (at->first == source || at->first.starts_with(source + u"\\")) {
                moved[target + at->first.substr(source.size())] = at->second;
                at = nodes.erase(at);
            } else {
                ++at;
            }
        }
        nodes.merge(moved);
        return {};
    }
    base::FileResult RemoveFile(const std::u16string& path) override { return Remove(path, false); }
    base::FileResult RemoveFolder(const std::u16string& path) override {
        return Remove(path, true);
    }
    base::FileResult RemoveTree(const std::u16string& path) override {
        if (const auto failed = Step(path); !failed.Ok()) return failed;
        if (KindOf(path) == base::EntryKind::Link) return {base::FileError::Link, 0};
        if (KindOf(path) != base::EntryKind::Folder) return kFileNotFound;
        const std::u16string key = Key(path);
        std::erase_if(nodes, [&](const auto& node) {
            return node.first == key || node.first.starts_with(key + u"\\");
        });
        return {};
    }
    base::FileResult ListTree(const std::u16string& root,
                              std::vector<base::TreeEntry>& entries) override {
        entries.clear();
        if (const auto failed = Step(root); !failed.Ok()) return failed;
        if (KindOf(root) == base::EntryKind::Link) return {base::FileError::Link, 0};
        if (KindOf(root) != base::EntryKind::Folder) return kPathNotFound;
        ListInto(Key(root) + u"\\", u"", entries);
        return {};
    }
    std::vector<base::FolderAge> ListFolders(const std::u16string& parent,
                                             std::u16string_view prefix) override {
        std::vector<base::FolderAge> found;
        for (const auto& [path, node] : Under(parent)) {
            if (node.folder && !node.link && path.find(u'\\') == std::u16string::npos &&
                path.starts_with(prefix)) {
                const auto age = ages.find(Key(parent) + u"\\" + path);
                found.push_back({path, age == ages.end() ? 0 : age->second});
            }
        }
        return found;
    }
    base::FileResult ReadSmallFile(const std::u16string& path, std::size_t maxBytes,
                                   std::string& bytes) override {
        bytes.clear();
        if (const auto failed = Step(path); !failed.Ok()) return failed;
        const auto found = nodes.find(Key(path));
        if (found == nodes.end()) return ParentExists(path) ? kFileNotFound : kPathNotFound;
        if (found->second.folder) return {base::FileError::AccessDenied, 5};
        if (found->second.content.size() > maxBytes) return {base::FileError::Other, 223};
        bytes = found->second.content;
        return {};
    }
    base::FileResult OpenForWriting(const std::u16string& path, std::int64_t keep,
                                    std::unique_ptr<base::WritableFile>& file) override {
        file.reset();
        if (const auto failed = Step(path); !failed.Ok()) return failed;
        const std::u16string key = Key(path);
        if (!ParentExists(key)) return kPathNotFound;
        const auto found = nodes.find(key);
        if (found != nodes.end() && found->second.folder) return {base::FileError::AccessDenied, 5};
        if (keep > 0 && found == nodes.end()) return kFileNotFound;
        if (holds.contains(key)) return kHeld;
        std::string& content = nodes[key].content;
        content.resize(keep > 0 ? std::min(content.size(), static_cast<std::size_t>(keep)) : 0);
        file = std::make_unique<OpenFile>(*this, key);
        return {};
    }

    base::FileResult HoldForReading(const std::u16string& path,
                                    std::unique_ptr<base::HeldFile>& held) override {
        held.reset();
        if (const auto failed = Step(path); !failed.Ok()) return failed;
        const auto found = nodes.find(Key(path));
        if (found == nodes.end()) return kFileNotFound;
        if (found->second.folder) return {base::FileError::AccessDenied, 5};
        held = std::make_unique<Hold>(*this, Key(path));
        return {};
    }
    // Paths held for reading, with how many holds each: writing, moving or removing them is
    // refused as in use.
    std::map<std::u16string, int> holds;
    base::FileResult Hide(const std::u16string& path) override {
        if (const auto failed = Step(path); !failed.Ok()) return failed;
        return nodes.contains(Key(path)) ? base::FileResult{} : kFileNotFound;
    }

    // Last write times of folders for ListFolders, by whole path; 0 when not given.
    std::map<std::u16string, std::int64_t> ages;

    base::FileResult ReadFirstBytes(const std::u16string& path, std::int64_t count,
                                    PieceReader& reader) override {
        if (const auto failed = Step(path); !failed.Ok()) return failed;
        const auto found = nodes.find(Key(path));
        if (found == nodes.end() || found->second.folder) return kFileNotFound;
        const std::string& content = found->second.content;
        if (count < 0 || static_cast<std::size_t>(count) > content.size())
            return {base::FileError::Other, 38};
        if (!reader.Take(std::string_view(content).substr(0, static_cast<std::size_t>(count)))) {
            return {base::FileError::Other, 0};
        }
        return {};
    }
    // Not counted as a call: what every volume has free.
    std::uint64_t freeBytes = UINT64_MAX;
    base::FileResult FreeSpace(const std::u16string&, std::uint64_t& bytes) override {
        bytes = freeBytes;
        return {};
    }

    static constexpr base::FileResult kFileNotFound{base::FileError::NotFound, 2};
    static constexpr base::FileResult kPathNotFound{base::FileError::NotFound, 3};
    static constexpr base::FileResult kHeld{base::FileError::InUse, 32};

  private:
    class Hold final : public base::HeldFile {
      public:
        Hold(MemoryFileSystem& owner, std::u16string name) : files(owner), key(std::move(name)) {
            ++files.holds[key];
        }
        ~Hold() override {
            if (--files.holds[key] == 0) files.holds.erase(key);
        }

      private:
        MemoryFileSystem& files;
        std::u16string key;
    };

    class OpenFile final : public base::WritableFile {
      public:
        OpenFile(MemoryFileSystem& owner, std::u16string name)
            : files(owner), key(std::move(name)) {}
        base::FileResult Write(const char* data, std::size_t size) override {
            // Deleted while open (a cancel on another thread): the bytes go nowhere, as on
            // Windows, where the file goes once its last handle closes.
            // Stopped dead right after opening: nothing written reaches the disk.
            if (files.stopAfter != 0 && files.calls >= files.stopAfter) return {};
            const auto found = files.nodes.find(key);
            if (found == files.nodes.end()) return {};
            std::string& content = found->second.content;
            if (files.diskLimit != 0 && content.size() + size > files.diskLimit) {
                return {base::FileError::DiskFull, 112};
            }
            content.append(data, size);
            return {};
        }
        base::FileResult Close() override { return {}; }
        base::FileResult Flush() override { return files.Step(key); }

      private:
        MemoryFileSystem& files;
        std::u16string key;
    };

    bool ParentExists(const std::u16string& path) const {
        const std::u16string key = Key(path);
        const std::size_t slash = key.rfind(u'\\');
        if (slash == std::u16string::npos) return true;
        const std::u16string parent = key.substr(0, slash);
        // Drive roots ("C:") are always there.
        if (parent.size() == 2 && parent[1] == u':') return true;
        const auto found = nodes.find(parent);
        return found != nodes.end() && found->second.folder;
    }
    base::FileResult Remove(const std::u16string& path, bool folder) {
        if (const auto failed = Step(path); !failed.Ok()) return failed;
        const auto found = nodes.find(Key(path));
        if (found == nodes.end()) return kFileNotFound;
        if (holds.contains(Key(path))) return kHeld;
        if (found->second.folder != folder) {
            return folder ? base::FileResult{base::FileError::Other, 267}
                          : base::FileResult{base::FileError::AccessDenied, 5};
        }
        if (folder && !Under(path).empty()) return {base::FileError::NotEmpty, 145};
        nodes.erase(found);
        return {};
    }
    // As Windows lists: a folder's entries, then each sub-folder's in turn; so each folder
    // comes before its contents, but not always right before them.
    void ListInto(const std::u16string& root, const std::u16string& relative,
                  std::vector<base::TreeEntry>& entries) const {
        std::vector<std::u16string> folders;
        for (const auto& [path, node] : Under(root + relative)) {
            if (path.find(u'\\') != std::u16string::npos) continue;
            entries.push_back({relative + path, node.folder, node.link});
            if (node.folder && !node.link) folders.push_back(relative + path + u"\\");
        }
        for (const std::u16string& folder : folders) ListInto(root, folder, entries);
    }
    void NoteLinkAbove(const std::u16string& path) {
        const std::u16string key = Key(path);
        for (std::size_t at = key.find(u'\\'); at != std::u16string::npos;
             at = key.find(u'\\', at + 1)) {
            const auto found = nodes.find(key.substr(0, at));
            if (found != nodes.end() && found->second.link) linksFollowed.push_back(key);
        }
    }
    static std::u16string Key(std::u16string path) {
        while (path.ends_with(u'\\')) path.pop_back();
        return path;
    }
    base::FileResult Step(const std::u16string& path) {
        NoteLinkAbove(path);
        if (++calls == failAt) return failWith;
        if (stopAfter != 0 && calls > stopAfter) return {base::FileError::Other, 0};
        if (denied.contains(Key(path))) return {base::FileError::AccessDenied, 5};
        const auto busy = inUse.find(Key(path));
        if (busy != inUse.end() && busy->second > 0) {
            --busy->second;
            return {base::FileError::InUse, 32};
        }
        return {};
    }
};

}  // namespace fakes
