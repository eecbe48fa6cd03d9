// Test hooks of the network layer. Not for the program.
#pragma once
#include <string>
#include <vector>

namespace net {
namespace test_hooks {

// Every lookup of a name (not of a numeric address) first waits this long, as with a
// slow name server. 0 turns it off.
void SetLookupDelayMs(int ms);

// Makes a name resolve to the given numeric addresses, in this order (an empty list
// removes the name again).
void SetHost(const std::string& name, const std::vector<std::string>& addresses);

// Both hooks off.
void Reset();

// Where the platform's roots come from files (not on Windows): these PEM roots instead of
// the system's, until called with an empty text.
void SetTrustedRootsPem(const std::string& pem);

}  // namespace test_hooks
}  // namespace net
