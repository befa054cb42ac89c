#pragma once
// The command lines of the quality programs, read one option at a time.

#include <string>
#include <string_view>
#include <vector>

namespace quality {

// A whole decimal number and nothing else ("12", not "12x" or "").
bool ParseWhole(std::string_view text, int& value);

class Arguments {
public:
    explicit Arguments(const std::vector<std::string>& args) : args_(args) {}

    // Moves to the next argument; false past the last.
    bool next() { return ++at_ < args_.size(); }
    const std::string& current() const { return args_[at_]; }
    // The argument after the current option, which it then passes over;
    // throws Error when the line ends first.
    const std::string& value();
    // value() as a count from low to high; throws Error naming `what`
    // ("Bildzahl") otherwise.
    int count(int low, int high, const std::string& what);

private:
    const std::vector<std::string>& args_;
    std::size_t at_ = static_cast<std::size_t>(-1);
};

} // namespace quality
