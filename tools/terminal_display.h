#pragma once
// Loading progress on a terminal, until the game has a window of its own.

#include <cstdio>
#include <string>

#include "game/startup.h"

namespace kestrin {

class TerminalProgress : public LoadingDisplay {
public:
    explicit TerminalProgress(std::FILE* out) : out_(out) {}
    void Progress(int percent, const std::string& text) override;
    void Hide() override;

private:
    std::FILE* out_;
    bool shown_ = false;
};

class StderrMessages : public MessageSink {
public:
    void ShowMessage(const std::string& text) override {
        std::fflush(stdout); // the game's own output first when both are piped
        std::fprintf(stderr, "%s\n", text.c_str());
    }
};

} // namespace kestrin
