// The names of the temporary outputs open now, kept where a fatal exit or
// a signal handler can find and remove them. Outputs are opened and
// committed on any thread, and a signal handler walks the set on whichever
// thread the signal reaches. Whoever touches the set first holds off the
// signals of its own thread, then takes a lock-free flag (a handler may use
// nothing else): a handler never waits for the thread it interrupted, and
// never sees a half-updated set.
#pragma once

#include <signal.h>

#include <atomic>
#include <set>
#include <string>

class PartialOutputNames {
 public:
  void remember(const std::string& name) {
    const Locked locked(busy_);
    names_.insert(name);
  }

  void forget(const std::string& name) {
    const Locked locked(busy_);
    names_.erase(name);
  }

  // Calls each(name) for every name, the set locked meanwhile.
  template <typename Each>
  void for_each(Each each) {
    const Locked locked(busy_);
    for (const std::string& name : names_) each(name);
  }

 private:
  class Locked {
   public:
    explicit Locked(std::atomic_flag& busy) : busy_(busy) {
      sigset_t all;
      sigfillset(&all);
      pthread_sigmask(SIG_BLOCK, &all, &saved_);
      while (busy_.test_and_set(std::memory_order_acquire)) {
      }
    }
    ~Locked() {
      busy_.clear(std::memory_order_release);
      pthread_sigmask(SIG_SETMASK, &saved_, nullptr);
    }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

   private:
    std::atomic_flag& busy_;
    sigset_t saved_;
  };

  std::atomic_flag busy_ = ATOMIC_FLAG_INIT;
  std::set<std::string> names_;
};
