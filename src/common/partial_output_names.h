// The names of the temporary outputs open now, kept where a fatal exit or
// a signal handler can find and remove them. Every change to the set is
// made with all signals held, so that a handler never walks a half-updated
// set.
#pragma once

#include <signal.h>

#include <set>
#include <string>

class PartialOutputNames {
 public:
  void remember(const std::string& name) {
    const SignalsHeld held;
    names_.insert(name);
  }

  void forget(const std::string& name) {
    const SignalsHeld held;
    names_.erase(name);
  }

  const std::set<std::string>& names() const { return names_; }

 private:
  class SignalsHeld {
   public:
    SignalsHeld() {
      sigset_t all;
      sigfillset(&all);
      pthread_sigmask(SIG_BLOCK, &all, &saved_);
    }
    ~SignalsHeld() { pthread_sigmask(SIG_SETMASK, &saved_, nullptr); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

   private:
    sigset_t saved_;
  };

  std::set<std::string> names_;
};
