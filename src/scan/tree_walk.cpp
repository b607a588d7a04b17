#include "scan/tree_walk.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "scan/path_rules.h"
#include "scan/scanner.h"

namespace {

using MASK = uint32_t;

// Tried in turn: the first a visitor may need whole (with writing, where a visitor asks for it), then
// what lets the walk still enumerate (and read) a key that refuses the rest.
constexpr REGSAM kAccesses[] = {KEY_READ | KEY_WRITE, KEY_READ, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE,
                                KEY_ENUMERATE_SUB_KEYS};

class CTreeWalker {
public:
    CTreeWalker(CRegistryScanner& engine, const std::vector<CTreeVisitor*>& visitors)
        : m_engine(engine), m_visitors(visitors)
    {
    }

    void Walk(REG_TREE tree);

private:
    struct LEVEL {
        RegKey key;
        REGSAM access = 0;
        HKEY parent = nullptr;
        std::string name;
        MASK followers = 0;   // visitors in this key
        MASK enumerating = 0; // those still taking its subkeys
        MASK valuesFirst = 0; // those that had its values before its subkeys
        DWORD index = 0;      // the next subkey to enumerate
        // Asked once on entering: the counts end the enumerations without a call that fails.
        VALUES_INFO info;
    };

    // Opens level's key and offers it to the candidates; the visitors that follow it.
    MASK Enter(LEVEL& level, MASK candidates, size_t depth);
    // Reads the values of level's key once for the readers that take them.
    void ReadValues(const LEVEL& level, MASK readers);
    template <typename Visit>
    void ForEach(MASK mask, Visit&& visit)
    {
        for (size_t i = 0; i < m_visitors.size(); ++i)
            if (mask & (MASK{1} << i))
                visit(*m_visitors[i], MASK{1} << i);
    }

    CRegistryScanner& m_engine;
    const std::vector<CTreeVisitor*>& m_visitors;
    bool m_writing = false; // a visitor of the tree walked asks which keys open for writing
    std::vector<wchar_t> m_valueName = std::vector<wchar_t>(16384); // value names are at most 16383 characters
    std::vector<BYTE> m_valueData;
};

VALUES_INFO QueryInfo(HKEY key)
{
    VALUES_INFO info;
    info.ok = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &info.subkeys, nullptr, nullptr, &info.values,
                               &info.longestName, &info.longestData, nullptr, nullptr) == ERROR_SUCCESS;
    return info;
}

MASK CTreeWalker::Enter(LEVEL& level, MASK candidates, size_t depth)
{
    for (const REGSAM access : kAccesses) {
        if (access == (KEY_READ | KEY_WRITE) && !m_writing)
            continue;
        if (RegOpenKeyExA(level.parent, level.name.c_str(), kWalkOpenOptions, access, level.key.put()) ==
            ERROR_SUCCESS) {
            level.access = access;
            break;
        }
        level.key.release();
    }
    const TREE_KEY key{level.parent, level.name.c_str(), level.key.get(), level.access, depth};
    ForEach(candidates, [&](CTreeVisitor& visitor, MASK bit) {
        const CTreeVisitor::ENTRY entry = visitor.Enter(key);
        if (entry != CTreeVisitor::SKIP)
            level.followers |= bit;
        if (entry == CTreeVisitor::FOLLOW_VALUES_FIRST)
            level.valuesFirst |= bit;
    });
    level.enumerating = level.followers;
    if (level.followers && (level.access & KEY_QUERY_VALUE) == KEY_QUERY_VALUE)
        level.info = QueryInfo(level.key.get());
    MASK readers = 0;
    ForEach(level.valuesFirst, [&](CTreeVisitor& visitor, MASK bit) {
        if (visitor.WantsValues())
            readers |= bit;
    });
    if (readers)
        ReadValues(level, readers);
    return level.followers;
}

void CTreeWalker::ReadValues(const LEVEL& level, MASK readers)
{
    RegKey reopened;
    HKEY key = level.key.get();
    if (!key || (level.access & KEY_QUERY_VALUE) != KEY_QUERY_VALUE) {
        // Enumerable only: the values may still be readable on their own.
        if (RegOpenKeyExA(level.parent, level.name.c_str(), kWalkOpenOptions, KEY_QUERY_VALUE, reopened.put()) !=
            ERROR_SUCCESS) {
            reopened.release();
            return;
        }
        key = reopened.get();
    }
    const VALUES_INFO info = key == level.key.get() ? level.info : QueryInfo(key);
    MASK taking = 0;
    ForEach(readers, [&](CTreeVisitor& visitor, MASK bit) {
        if (visitor.BeginValues(info))
            taking |= bit;
    });
    if (!taking)
        return;
    // Room for the longest value as any reader's buffer would take it; one that outgrew it since
    // is read again at its size.
    const size_t room = 2 * static_cast<size_t>(std::max<DWORD>(info.ok ? info.longestData + 1 : 0, kPathBuffer)) + 2;
    if (m_valueData.size() < room)
        m_valueData.resize(room);
    LONG end = ERROR_SUCCESS;
    for (DWORD index = 0; taking && !m_engine.StopRequested(); ++index) {
        if (info.ok && index >= info.values) {
            end = ERROR_NO_MORE_ITEMS;
            break;
        }
        WIDE_VALUE value;
        DWORD nameLength = 0;
        DWORD dataBytes = 0;
        for (int attempt = 0; attempt < 2; ++attempt) {
            nameLength = static_cast<DWORD>(m_valueName.size());
            dataBytes = static_cast<DWORD>(m_valueData.size());
            value.rc = RegEnumValueW(key, index, m_valueName.data(), &nameLength, nullptr, &value.type,
                                     m_valueData.data(), &dataBytes);
            if (value.rc != ERROR_MORE_DATA || dataBytes <= m_valueData.size())
                break;
            m_valueData.resize(dataBytes);
        }
        if (value.rc != ERROR_SUCCESS && value.rc != ERROR_MORE_DATA) {
            end = value.rc;
            break;
        }
        value.name = m_valueName.data();
        value.nameLength = nameLength;
        value.data = m_valueData.data();
        value.dataBytes = dataBytes;
        ForEach(taking, [&](CTreeVisitor& visitor, MASK bit) {
            if (!visitor.Value(value))
                taking &= ~bit;
        });
    }
    ForEach(taking, [&](CTreeVisitor& visitor, MASK) { visitor.ValuesEnded(end == ERROR_NO_MORE_ITEMS); });
}

void CTreeWalker::Walk(REG_TREE tree)
{
    MASK candidates = 0;
    m_writing = false;
    for (size_t i = 0; i < m_visitors.size(); ++i) {
        const auto& trees = m_visitors[i]->Trees();
        if (std::find(trees.begin(), trees.end(), tree) != trees.end()) {
            candidates |= MASK{1} << i;
            m_writing = m_writing || m_visitors[i]->OpensForWriting();
            m_visitors[i]->BeginTree(tree);
        }
    }
    if (!candidates)
        return;

    std::vector<LEVEL> stack(1);
    stack.back().parent = tree == REG_TREE::LOCAL_MACHINE ? HKEY_LOCAL_MACHINE : HKEY_USERS;
    if (!Enter(stack.back(), candidates, 0))
        return;
    char name[kPathBuffer];
    while (!m_engine.StopRequested()) {
        LEVEL& top = stack.back();
        const LONG rc = top.enumerating && top.key && !(top.info.ok && top.index >= top.info.subkeys)
                            ? EnumKeyName(top.key.get(), top.index, name, sizeof name)
                            : ERROR_NO_MORE_ITEMS;
        if (rc == ERROR_SUCCESS || rc == ERROR_NO_UNICODE_TRANSLATION) {
            ++top.index;
            MASK entering = 0;
            ForEach(top.enumerating, [&](CTreeVisitor& visitor, MASK bit) {
                switch (visitor.Subkey(rc == ERROR_SUCCESS ? name : nullptr)) {
                case CTreeVisitor::ENTER:
                    entering |= bit;
                    break;
                case CTreeVisitor::END_SUBKEYS:
                    top.enumerating &= ~bit;
                    break;
                case CTreeVisitor::PASS_OVER:
                    break;
                }
            });
            if (!entering)
                continue;
            LEVEL child;
            child.parent = top.key.get();
            child.name = name;
            if (Enter(child, entering, stack.size()))
                stack.push_back(std::move(child));
            continue;
        }
        // Key names are at most 255 characters, so every other answer means the key has no further
        // subkey that can be read: its values, then back to its parent.
        const bool complete = top.key && rc == ERROR_NO_MORE_ITEMS;
        ForEach(top.enumerating, [&](CTreeVisitor& visitor, MASK) { visitor.SubkeysEnded(complete); });
        MASK readers = 0;
        ForEach(top.followers & ~top.valuesFirst, [&](CTreeVisitor& visitor, MASK bit) {
            if (visitor.WantsValues())
                readers |= bit;
        });
        if (readers)
            ReadValues(top, readers);
        if (m_engine.StopRequested())
            return;
        ForEach(top.followers, [](CTreeVisitor& visitor, MASK) { visitor.Leave(); });
        stack.pop_back();
        if (stack.empty())
            return;
    }
}

} // namespace

void WalkTrees(CRegistryScanner& engine, const std::vector<CTreeVisitor*>& visitors)
{
    if (visitors.empty() || visitors.size() > 32)
        return;
    // The first visitor's trees in its order, then any only later ones walk.
    std::vector<REG_TREE> trees;
    for (const CTreeVisitor* visitor : visitors)
        for (const REG_TREE tree : visitor->Trees())
            if (std::find(trees.begin(), trees.end(), tree) == trees.end())
                trees.push_back(tree);
    CTreeWalker walker(engine, visitors);
    for (const REG_TREE tree : trees) {
        if (engine.StopRequested())
            return;
        walker.Walk(tree);
    }
}
