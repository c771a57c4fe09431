// The files of a directory tree down to a depth, by lower-cased name, walked once so that a long list of
// names does not walk the same tree again for every name. The file removal and the list of what the keeper
// refuses both look names up in it.
#ifndef KORUN_REMOVAL_FILE_INDEX_H
#define KORUN_REMOVAL_FILE_INDEX_H

#include <string>
#include <unordered_map>
#include <vector>

class CFileIndex {
public:
    struct Entry {
        std::string path;
        bool folder;
        int within;  // the directory it lies in below the indexed one (its place in folders), or -1
    };

    // Walks directory and depth levels below it ("." and ".." are listed, not entered); with aliases each
    // entry is found by its short name too, as Windows opens a file by either. False when the directory
    // is there but could not be listed (denied, say): the index then knows nothing of it.
    bool Build(const char* directory, int depth, bool aliases = false);
    // What the last Build answered.
    bool Listed() const { return listed; }

    // A name as the index looks it up (its letters folded): made once for a name looked up in several indexes.
    static std::string KeyOf(const char* name);
    // The entries of that name (a key of KeyOf) in the order a walk meets them, without those inside a
    // directory of the same name: a walk for one name does not enter such a directory (it tries to delete it).
    std::vector<const Entry*> FindKey(const std::string& key) const;
    // Whether any entry has that name (a key of KeyOf), inside a directory of the same name or not.
    bool HoldsKey(const std::string& key) const { return byName.count(key) != 0; }

private:
    // A directory below the indexed one: its lower-cased name and the directory it lies in (-1: the indexed
    // one). Each is held once, not once for every entry inside it.
    struct Folder {
        std::string name;
        int parent;
    };
    bool Walk(const char* directory, int depth, bool aliases, int within);
    std::unordered_map<std::string, std::vector<Entry>> byName;
    std::vector<Folder> folders;
    bool listed = false;
};

#endif
