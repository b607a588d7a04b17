#pragma once

// One walk of a registry tree shared by every check that reads the whole tree: each key is opened
// once, its subkeys enumerated once and its values read once, and each check (a visitor) is handed
// what it would have read on a walk of its own, in the order it would have read it.

#include <windows.h>

#include <string>
#include <vector>

#include "scan/walk.h"

class CRegistryScanner;

// The trees the whole-tree checks walk, from their top.
enum class REG_TREE { LOCAL_MACHINE, USERS };

// A key the walk is entering. handle is open with access (KEY_READ | KEY_WRITE where a visitor of the
// tree asks for it and the key allows it, else KEY_READ where the key allows it, else
// KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE, else KEY_ENUMERATE_SUB_KEYS), or null when none of
// these was granted. depth is 0 for the top of the tree.
struct TREE_KEY {
    HKEY parent;
    const char* name;
    HKEY handle;
    REGSAM access;
    size_t depth;
};

// What RegQueryInfoKeyA told of the key whose values follow, asked as the walk entered it; ok false
// when it failed. The walk takes as many subkeys and values as it counts.
struct VALUES_INFO {
    bool ok = false;
    DWORD subkeys = 0;
    DWORD values = 0;
    DWORD longestName = 0;
    DWORD longestData = 0;
};

class CTreeVisitor {
public:
    enum ENTRY { SKIP, FOLLOW, FOLLOW_VALUES_FIRST };
    enum SUBKEY { PASS_OVER, ENTER, END_SUBKEYS };

    // trees: the trees this visitor walks, in its order; writing: it needs to know which keys also
    // open for writing (TREE_KEY::access).
    explicit CTreeVisitor(std::vector<REG_TREE> trees, bool writing = false)
        : m_trees(std::move(trees)), m_writing(writing)
    {
    }
    virtual ~CTreeVisitor() = default;
    const std::vector<REG_TREE>& Trees() const { return m_trees; }
    bool OpensForWriting() const { return m_writing; }

    // A walk of tree begins; the visitor's part of the walk (its position in Trees()).
    virtual void BeginTree(REG_TREE tree) = 0;
    // The walk enters key (the top, or a subkey this visitor asked to enter). SKIP: nothing more of
    // it or below; FOLLOW_VALUES_FIRST: its values now, before its subkeys, and not after them.
    virtual ENTRY Enter(const TREE_KEY& key) = 0;
    // The next subkey of the key last entered, or null for one whose name the code page cannot hold.
    virtual SUBKEY Subkey(const char* name) = 0;
    // The subkeys of the key entered last have been handed over: all of them (complete), or as many
    // as the registry gave before it failed. Only for a visitor still taking them.
    virtual void SubkeysEnded(bool complete) { (void)complete; }
    // After the subkeys of the key (or, for FOLLOW_VALUES_FIRST, before them): whether its values
    // are wanted. The visitor's bookkeeping for the key (the place it announces) happens here.
    virtual bool WantsValues() = 0;
    // The values follow; false declines them all.
    virtual bool BeginValues(const VALUES_INFO& info) = 0;
    // One value; false: no further value of this key.
    virtual bool Value(const WIDE_VALUE& value) = 0;
    // The values have been handed over: all of them (complete), or those read before a failure or a
    // stop. Only for a visitor still taking them.
    virtual void ValuesEnded(bool complete) { (void)complete; }
    // The walk leaves the key entered last.
    virtual void Leave() = 0;

private:
    std::vector<REG_TREE> m_trees;
    bool m_writing;
};

// Walks the trees in the order of the first visitor's Trees(), each once, handing every visitor
// what it reads of the trees it names. Ends as soon as engine.StopRequested(). At most 32 visitors.
void WalkTrees(CRegistryScanner& engine, const std::vector<CTreeVisitor*>& visitors);
