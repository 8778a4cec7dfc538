#pragma once
// An in-memory file system with Windows' answers, which can fail any one call and can hold
// files "in use" for a number of attempts.

#include <map>
#include <string>
#include <vector>

#include "app/file_system.h"

namespace apptest {

class FakeFileSystem final : public app::FileSystem {
  public:
    struct Node {
        bool folder = false;
        std::string content;
        bool operator==(const Node&) const = default;
    };
    using Tree = std::map<std::u16string, Node>;  // whole paths without trailing backslash

    void AddFile(const std::u16string& path, const std::string& content) {
        nodes[Key(path)] = {false, content};
    }
    void AddFolder(const std::u16string& path) { nodes[Key(path)] = {true, {}}; }
    // Everything under folder, keyed relative to it.
    Tree Under(const std::u16string& folder) const {
        Tree tree;
        const std::u16string prefix = Key(folder) + u"\\";
        for (const auto& [path, node] : nodes) {
            if (path.starts_with(prefix)) tree[path.substr(prefix.size())] = node;
        }
        return tree;
    }

    app::EntryKind KindOf(const std::u16string& path) override {
        const auto found = nodes.find(Key(path));
        if (found == nodes.end()) return app::EntryKind::None;
        return found->second.folder ? app::EntryKind::Folder : app::EntryKind::File;
    }
    std::uint32_t CreateFolder(const std::u16string& path) override {
        if (const std::uint32_t error = Step(path)) return error;
        if (nodes.contains(Key(path))) return app::kErrorAlreadyExists;
        AddFolder(path);
        return 0;
    }
    std::uint32_t Move(const std::u16string& from, const std::u16string& to) override {
        const std::u16string source = Key(from), target = Key(to);
        if (const std::uint32_t error = Step(from)) {
            // A copy to another volume that fails half way, as on a full disk, leaves part.
            if (error == kDiskFull && source[0] != target[0] &&
                KindOf(source) == app::EntryKind::File) {
                AddFile(target, "part");
            }
            return error;
        }
        if (!nodes.contains(source)) return kFileNotFound;
        if (nodes.contains(target)) return app::kErrorAlreadyExists;
        if (!nodes.contains(target.substr(0, target.rfind(u'\\')))) return kPathNotFound;
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
        return 0;
    }
    std::uint32_t RemoveFile(const std::u16string& path) override { return Remove(path, false); }
    std::uint32_t RemoveFolder(const std::u16string& path) override { return Remove(path, true); }
    std::uint32_t ListTree(const std::u16string& root,
                           std::vector<app::TreeEntry>& entries) override {
        entries.clear();
        if (const std::uint32_t error = Step(root)) return error;
        if (KindOf(root) != app::EntryKind::Folder) return kPathNotFound;
        // Map order puts "a" before "a\b": each folder before its contents.
        for (const auto& [path, node] : Under(root)) entries.push_back({path, node.folder});
        return 0;
    }

    Tree nodes;
    int calls = 0;   // every call but KindOf
    int failAt = 0;  // the call that fails (1 is the first); 0: none
    std::uint32_t failError = kDiskFull;
    std::map<std::u16string, int> inUse;  // path: how many more calls find it in use

    static constexpr std::uint32_t kFileNotFound = 2, kPathNotFound = 3, kDirectoryName = 267,
                                   kDirNotEmpty = 145, kDiskFull = 112;

  private:
    std::uint32_t Remove(const std::u16string& path, bool folder) {
        if (const std::uint32_t error = Step(path)) return error;
        const auto found = nodes.find(Key(path));
        if (found == nodes.end()) return kFileNotFound;
        if (found->second.folder != folder)
            return folder ? kDirectoryName : app::kErrorAccessDenied;
        if (folder && !Under(path).empty()) return kDirNotEmpty;
        nodes.erase(found);
        return 0;
    }
    static std::u16string Key(std::u16string path) {
        while (path.ends_with(u'\\')) path.pop_back();
        return path;
    }

    std::uint32_t Step(const std::u16string& path) {
        if (++calls == failAt) return failError;
        const auto busy = inUse.find(Key(path));
        if (busy != inUse.end() && busy->second > 0) {
            --busy->second;
            return app::kErrorSharingViolation;
        }
        return 0;
    }
};

}  // namespace apptest
