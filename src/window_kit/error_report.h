#pragma once
// Handler boundaries. A failure that escapes one of the program's handlers ends that handler
// only and is shown by the top-level error report; it never unwinds through Qt's own frames,
// whose cleanups may be skipped for an exception.
#include <concepts>
#include <functional>
#include <utility>

namespace pellora {

// Runs a handler; a failure is reported and goes no further. For event overrides.
void RunGuarded(const std::function<void()>& handler);

// A handler for connect() that runs guarded. It takes as many of the signal's arguments as the
// wrapped handler does (the constraint lets Qt count them).
template <class F> auto Guarded(F handler) {
  return [handler = std::move(handler)]<class... A>(
      A && ... args) requires std::invocable<const F&, A...> {
    RunGuarded([&] { std::invoke(handler, std::forward<A>(args)...); });
  };
}

} // namespace pellora
