#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

namespace quorv::systest {

// The terminal of a text polkit agent (pkttyagent), with someone at it: every password
// prompt gets the same reply, and what the agent was asked is counted from what it wrote.
class PromptTerminal {
  public:
    // reply: what is typed at each prompt ("secret\n", or "\x04" to give up).
    explicit PromptTerminal(std::string reply);
    ~PromptTerminal();
    PromptTerminal(const PromptTerminal&) = delete;
    PromptTerminal& operator=(const PromptTerminal&) = delete;

    const std::string& Path() const { return path_; }
    // Authentications the agent began (its "==== AUTHENTICATING FOR" banners).
    int Authentications() const;
    int PasswordPrompts() const;
    std::string Transcript() const;

  private:
    void Serve();
    void WaitForEchoOff() const;
    static int Count(const std::string& text, const std::string& what);

    std::string reply_;
    int master_ = -1;
    int slave_ = -1;  // kept open, so the terminal lives between agents
    std::string path_;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::string transcript_;
    std::thread thread_;
};

}  // namespace quorv::systest
