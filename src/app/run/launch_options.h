#pragma once
// The launch string's optional fourth field: option words separated by commas, for hosts and
// scripts that run the updater unattended or only ask whether an update is on offer.

#include <string>
#include <string_view>
#include <vector>

namespace app {

struct LaunchOptions {
    bool given = false;   // the launch string has a fourth field: exit codes tell the outcome
    bool silent = false;  // the host's call is the consent: no question, no window, no box
    bool check = false;   // fetch and verify the manifest, decide, and end
    std::vector<std::u16string> unknown;  // words this updater does not know, for the log

    // Nobody is there to read a box or answer a question.
    bool Unattended() const { return silent || check; }
};

// Reads "silent,check"; blanks around a word are dropped, letter case does not matter, empty
// words are skipped. "check" wins over "silent".
LaunchOptions ReadLaunchOptions(std::u16string_view field);

}  // namespace app
