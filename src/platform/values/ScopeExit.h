#pragma once
// Runs a function when the scope ends, however it ends (a return, an
// exception): `const ScopeExit reset{[st] { sqlite3_reset(st); }};`.

namespace tv {

template <class F>
struct ScopeExit {
    F f;
    ~ScopeExit() { f(); }
};
template <class F>
ScopeExit(F) -> ScopeExit<F>;

}  // namespace tv
