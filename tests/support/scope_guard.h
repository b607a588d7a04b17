#pragma once

#include <utility>

// Runs its action when the scope ends, however it ends. A failed ASSERT returns from the test at
// once: what the test put into the shared prefix (a Run value, a shortcut on the desktop, files in
// the system folders) must go all the same, or the tests after it see it.
template <typename Action>
class ScopeGuard {
public:
    explicit ScopeGuard(Action action) : m_action(std::move(action)) {}
    ~ScopeGuard() { m_action(); }
    ScopeGuard(const ScopeGuard&) = delete;
    ScopeGuard& operator=(const ScopeGuard&) = delete;

private:
    Action m_action;
};
